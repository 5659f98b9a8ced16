// Creating an object's target table in the output database: one field per source column, with the
// field type mapped from the column's type.
#pragma once

#include <optional>
#include <string>

#include "dataaccess/dao.h"
#include "engine/run_host.h"

namespace vellicor::engine {

// The field made for one source column, or nullopt when the column's type cannot be copied.
std::optional<dao::FieldDef> targetFieldFor(const std::string& name, int16_t sourceType, int32_t sourceSize);

// Creates and appends the table `targetName` with the columns of `sourceRows`. For a column of an
// unsupported type it shows the stop message (naming `objectName`) and throws UnsupportedTypeStop
// without appending anything. Data access failures propagate as dao::Error.
void createTargetTable(RunHost& host, dao::Database& output, const std::string& targetName,
                       const std::string& objectName, dao::Recordset& sourceRows);

}  // namespace vellicor::engine
