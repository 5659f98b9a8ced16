// Creating an object's target table in the output database: one field per source column, with the
// field type mapped from the column's type.
#pragma once

#include <optional>
#include <string>

#include "dataaccess/dao.h"
#include "engine/run_host.h"

namespace vellicor::engine {

// The field made for one source column, or nullopt when the column's type cannot be copied. With
// allTypes every type gets a field: binary as Binary up to 255 bytes and Long Binary beyond, times
// as Date/Time, GUIDs as GUID, the types Jet 3 lacks as Double or Text, and any other type
// (intervals, the driver's own types) as Text of its text form.
std::optional<dao::FieldDef> targetFieldFor(const std::string& name, int16_t sourceType, int32_t sourceSize,
                                            bool allTypes = false);

struct RunState;

// Creates the table of `objectName` as planTable plans it (fields mapped under the run's options,
// names made to fit, Text made Memo for the row limit), named `targetName`. A table the plan stops
// shows the stop message and throws UnsupportedTypeStop without appending anything; otherwise the
// table is appended and the log gets the plan's lines for it. Data access failures propagate.
// Returns the plan it was made from. longestText: what a scan of the rows found (TableOptions::longestText), for --fit-text.
struct TablePlan;
TablePlan createTargetTable(RunState& run, const std::string& objectName, const std::string& targetName,
                       dao::Recordset& sourceRows, const std::vector<int64_t>& longestText = {});

}  // namespace vellicor::engine
