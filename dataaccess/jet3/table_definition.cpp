// Laying out a table definition's columns, with the field checks of Jet 3.5, and the longest row
// those columns allow.
#include "dataaccess/jet3/table_definition.h"

#include <optional>
#include <string>
#include <vector>

#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/names.h"
#include "dataaccess/jet3/row_writer.h"
#include "text/codepage.h"

namespace vellicor::jet3 {
namespace {

// Column type, stored length and fixed-ness of a DAO field type; false for types Jet 3 lacks.
bool columnOf(int16_t daoType, std::optional<int32_t> size, uint8_t& type, uint16_t& length, bool& fixed) {
  const ColumnType* t = columnTypeOfDao(daoType);
  if (t == nullptr) return false;
  type = t->code;
  fixed = t->fixed();
  switch (t->storage) {
    case ColumnStorage::kVariable:
      length = static_cast<uint16_t>(size ? *size : static_cast<int32_t>(fmt::kMaxTextLength));
      break;
    case ColumnStorage::kLongValue: length = 0; break;
    default: length = t->width; break;
  }
  return true;
}

}  // namespace

TableDefinition checkedDefinition(const dao::TableDef& def, const text::CodePage& codePage) {
  const std::string& table = def.name();
  if (def.fields().empty()) {
    throw dao::Error("テーブル '" + table + "' にはフィールドが定義されていないため追加できません。", dao::errnum::kNoFields);
  }
  if (def.fields().size() > fmt::kMaxColumns) {
    throw dao::Error("テーブル '" + table + "' のフィールドが多すぎます (" + std::to_string(def.fields().size()) +
                         " 個、最大 255 個)。",
                     dao::errnum::kTooManyFields);
  }
  TableDefinition td;
  td.tableType = fmt::kTableTypeUser;
  uint16_t fixedOffset = 0, varIndex = 0;
  std::vector<std::vector<uint8_t>> keys;
  for (const dao::FieldDef& f : def.fields()) {
    const std::string where = "テーブル '" + table + "' のフィールド '" + f.name + "'";
    if (auto bad = checkName(f.name, codePage)) throw dao::Error(where + " の名前は使用できません: " + *bad, dao::errnum::kNotAValidName);
    ColumnDef c;
    bool fixed;
    if (!columnOf(f.type, f.size, c.type, c.length, fixed)) {
      throw dao::Error(where + " のデータ型 " + dao::dataTypeName(f.type) + " (" + std::to_string(f.type) +
                           ") は Jet 3 (Access 97) のデータベースでは使用できません。",
                       dao::errnum::kInvalidFieldType);
    }
    if ((f.type == dao::dbText || f.type == dao::dbBinary) && f.size &&
        (*f.size < 1 || *f.size > static_cast<int32_t>(fmt::kMaxTextLength))) {
      throw dao::Error(where + " のサイズ " + std::to_string(*f.size) + " は範囲外です (1 ～ 255)。", dao::errnum::kInvalidFieldType);
    }
    std::string nb;
    codePage.encode(f.name, nb);
    std::vector<uint8_t> key = nameKey(nb);
    for (const auto& k : keys)
      if (k == key) throw dao::Error(where + " は既に存在します。", dao::errnum::kFieldExists);
    keys.push_back(std::move(key));
    c.number = static_cast<uint16_t>(td.columns.size());
    c.numberAgain = static_cast<uint16_t>(c.number + 1);  // what Jet 3.5 writes in user tables
    c.sortOrder = fmt::kSortGeneral;
    c.codePage = codePage.id();
    c.flags = fixed ? (fmt::kColFixed | fmt::kColUpdatable) : fmt::kColUpdatable;
    c.varIndex = varIndex;
    if (fixed) {
      c.fixedOffset = c.type == fmt::kTypeBoolean ? 0 : fixedOffset;
      if (c.type != fmt::kTypeBoolean) fixedOffset = static_cast<uint16_t>(fixedOffset + c.length);
    } else {
      ++varIndex;
    }
    c.name = nb;
    td.columns.push_back(std::move(c));
  }
  td.maxColumns = static_cast<uint16_t>(td.columns.size());
  const RowLayout layout = RowLayout::fromDefinition(td);
  if (encodedRowLength(layout, 0) > fmt::kMaxRowSize) {
    throw dao::Error("テーブル '" + table + "' のフィールドの合計サイズが大きすぎるため、レコードが 1 ページに収まりません。", dao::errnum::kRecordTooLarge);
  }
  return td;
}

size_t widestRowLength(const TableDefinition& def) {
  size_t varBytes = 0;
  for (const ColumnDef& c : def.columns) {
    const ColumnType* t = columnType(c.type);
    if (t == nullptr) continue;
    if (t->storage == ColumnStorage::kVariable) varBytes += c.length;
    if (t->storage == ColumnStorage::kLongValue) varBytes += fmt::kLongValueHeaderSize;
  }
  return encodedRowLength(RowLayout::fromDefinition(def), varBytes);
}

}  // namespace vellicor::jet3
