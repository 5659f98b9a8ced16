// Copying one object's rows into its target table: count, open, create the table, then one
// AddNew/Update per row with the progress text after each.
#pragma once

#include <string>

#include "engine/run_state.h"

namespace vellicor::engine {

// Long values are read and appended in pieces of this many bytes.
inline constexpr int32_t kChunkSize = 1000;

// Copies the object `objectName` (as listed) into its table (suffix + objectName, made to fit).
void copyObject(RunState& run, const std::string& objectName);

// Copies every remaining row of source into target (recordCount: the rows counted, for the
// progress text); returns the rows stored.
int64_t copyRows(RunState& run, dao::Recordset& source, dao::Recordset& target, int64_t recordCount);

// A refusal of a row's value with the row named: "… (12 件目のレコード)。".
std::string withRecordNumber(const std::string& description, int64_t record);

}  // namespace vellicor::engine
