// Table creation: the column type mapping, the unsupported-type stop and the table appended as
// planned. Timestamps become dates, decimals doubles, both text kinds text; the long kinds keep
// their type with size 0.
#include "engine/table_creation.h"

#include "engine/run_state.h"
#include "engine/table_plan.h"

namespace vellicor::engine {
namespace {

// The fields that only the opt-in for every column type makes (nullopt: the usual mapping).
std::optional<dao::FieldDef> optInFieldFor(const std::string& name, int16_t sourceType, int32_t sourceSize) {
  using namespace vellicor::dao;
  constexpr int32_t kLongestText = 255;  // Jet 3's Text and Binary limit
  switch (sourceType) {
    case dbVarBinary:
    case dbBinary:
      if (sourceSize >= 1 && sourceSize <= kLongestText) return FieldDef{name, dbBinary, sourceSize};
      return FieldDef{name, dbLongBinary, 0};
    case dbText:
    case dbChar:
      if (sourceSize > kLongestText) return FieldDef{name, dbMemo, 0};
      return std::nullopt;
    case dbTime:
      return FieldDef{name, dbDate, std::nullopt};
    case dbGUID:
      return FieldDef{name, dbGUID, std::nullopt};
    case dbFloat:
    case dbNumeric:
      return FieldDef{name, dbDouble, std::nullopt};
    case dbBigInt:
      return FieldDef{name, dbText, 20};  // 19 digits and the sign
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbCurrency: case dbSingle: case dbDouble:
    case dbDate: case dbLongBinary: case dbMemo: case dbDecimal: case dbTimeStamp:
      return std::nullopt;
    default:
      return FieldDef{name, dbText, kLongestText};
  }
}

// T1 to T6 for a planned table, or its stop.
void createPlanned(RunHost& host, dao::Database& output, const TablePlan& plan) {
  if (!plan.stop.empty()) {
    host.messageBox(plan.stop, "");
    throw UnsupportedTypeStop(plan.stop);
  }
  std::unique_ptr<dao::TableDef> def = output.createTableDef(plan.targetName);  // the new table
  for (const ColumnPlan& c : plan.columns) {
    def->appendField(def->createField(c.field->name, c.field->type, c.field->size));  // its field, type mapped
  }
  output.appendTableDef(*def);  // the table into the file
}

}  // namespace

std::optional<dao::FieldDef> targetFieldFor(const std::string& name, int16_t sourceType, int32_t sourceSize,
                                            bool allTypes) {
  using namespace vellicor::dao;
  if (allTypes) {
    if (auto field = optInFieldFor(name, sourceType, sourceSize)) return field;
  }
  switch (sourceType) {
    case dbTimeStamp:
      return FieldDef{name, dbDate, std::nullopt};
    case dbText:
    case dbChar:
      if (sourceSize != 0) return FieldDef{name, dbText, sourceSize};
      return FieldDef{name, dbText, std::nullopt};
    case dbDecimal:
      return FieldDef{name, dbDouble, sourceSize};
    case dbDate:
      return FieldDef{name, dbDate, std::nullopt};
    case dbInteger: case dbLong: case dbBigInt: case dbFloat: case dbDouble: case dbSingle:
    case dbBinary: case dbBoolean: case dbByte: case dbCurrency: case dbNumeric:
      return FieldDef{name, sourceType, sourceSize};
    case dbLongBinary:
    case dbMemo:
      return FieldDef{name, sourceType, 0};
    default:
      return std::nullopt;
  }
}

TablePlan createTargetTable(RunState& run, const std::string& objectName, const std::string& targetName,
                       dao::Recordset& sourceRows, const std::vector<int64_t>& longestText) {
  TableOptions options;
  options.allTypes = run.allTypes;
  options.longestText = longestText;
  const TablePlan plan = planTable(objectName, run.suffix + objectName, targetName, sourceRows, options);
  createPlanned(run.host, run.output, plan);
  if (run.logflag)
    for (const std::string& line : plan.logLines) run.log.writeTextLine(line);
  return plan;
}

}  // namespace vellicor::engine
