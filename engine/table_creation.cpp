// Table creation: the column type mapping and the unsupported-type stop. Timestamps become dates,
// decimals doubles, both text kinds text; the long kinds keep their type with size 0.
#include "engine/table_creation.h"

#include "engine/run_state.h"

namespace vellicor::engine {

std::optional<dao::FieldDef> targetFieldFor(const std::string& name, int16_t sourceType, int32_t sourceSize) {
  using namespace vellicor::dao;
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

void createTargetTable(RunHost& host, dao::Database& output, const std::string& targetName,
                       const std::string& objectName, dao::Recordset& sourceRows) {
  std::unique_ptr<dao::TableDef> def = output.createTableDef(targetName);  // the new table
  dao::Fields& columns = sourceRows.fields();                               // the source's columns
  const int count = columns.count();
  for (int k = 0; k < count; ++k) {
    dao::Field& column = columns[k];  // one column
    const std::string& name = column.name();
    const int16_t type = column.type();
    std::optional<dao::FieldDef> field = targetFieldFor(name, type, column.size());
    if (!field) {
      const std::string text = objectName + "テーブル" + name + "の型(" + std::to_string(type) +
                               ")はサポートされていません。";
      host.messageBox(text, "");
      throw UnsupportedTypeStop(text);
    }
    def->appendField(def->createField(field->name, field->type, field->size));  // its field, type mapped
  }
  output.appendTableDef(*def);  // the table into the file
}

}  // namespace vellicor::engine
