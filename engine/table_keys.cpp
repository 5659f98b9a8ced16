// Planning and building a copied table's keys: source columns mapped to the table's fields, Jet's
// limits applied, index names made to fit, and each index appended after the copy.
#include "engine/table_keys.h"

#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/format.h"
#include "engine/name_fitting.h"
#include "engine/object_name.h"
#include "engine/run_state.h"

namespace vellicor::engine {
namespace {

constexpr const char* kPrimaryKeyName = "PrimaryKey";  // as Access names a table's primary key

// Why a field of this type takes no key the engine builds (column_type.h); empty when it takes one.
std::string unkeyableType(int16_t daoType) {
  const jet3::ColumnType* type = jet3::columnTypeOfDao(daoType);
  if (type != nullptr && type->keyBuilt) return {};
  if (type != nullptr && !type->keyable) return "メモ型や OLE オブジェクト型のフィールドにはインデックスを作成できません";
  return std::string("型 ") + dao::dataTypeName(daoType) + " のフィールドのキーは作成できません";
}

const ColumnPlan* columnNamed(const TablePlan& table, const std::string& name) {
  for (const ColumnPlan& c : table.columns)
    if (c.sourceName == name) return &c;
  for (const ColumnPlan& c : table.columns)
    if (nameKey(c.sourceName) == nameKey(name)) return &c;
  return nullptr;
}

}  // namespace

std::vector<KeyPlan> planKeys(const std::vector<dao::IndexDef>& sourceKeys, const TablePlan& table) {
  std::vector<KeyPlan> plans;
  NameScope names;
  names.take(kPrimaryKeyName);
  size_t made = 0;
  for (const dao::IndexDef& key : sourceKeys) {
    KeyPlan p;
    p.sourceName = key.name;
    p.index.primary = key.primary;
    p.index.unique = true;
    p.index.required = key.primary;
    p.index.ignoreNulls = !key.primary;
    for (const dao::IndexDef::Column& c : key.columns) {
      const ColumnPlan* column = c.name.empty() ? nullptr : columnNamed(table, c.name);
      if (column == nullptr || !column->field) {
        p.leftOut = c.name.empty() ? "式のインデックスです" : "列 " + c.name + " に当たるフィールドがありません";
        break;
      }
      if (std::string why = unkeyableType(column->field->type); !why.empty()) {
        p.leftOut = "フィールド " + column->field->name + ": " + why;
        break;
      }
      p.index.columns.push_back({column->field->name, c.ascending});
    }
    if (p.leftOut.empty() && key.columns.size() > jet3::fmt::kMaxIndexColumns)
      p.leftOut = "フィールドが " + std::to_string(key.columns.size()) + " 個あります (1 つのインデックスは " +
                  std::to_string(jet3::fmt::kMaxIndexColumns) + " 個まで)";
    if (p.leftOut.empty() && made == jet3::fmt::kMaxIndexes)
      p.leftOut = "1 つのテーブルのインデックスは " + std::to_string(jet3::fmt::kMaxIndexes) + " 個までです";
    p.index.name = key.primary ? kPrimaryKeyName : names.takeFitted(key.name);
    if (p.leftOut.empty()) ++made;
    plans.push_back(std::move(p));
  }
  return plans;
}

std::vector<dao::IndexDef> sourceKeysOf(dao::Database& source, const std::string& objectName, const std::string& owner,
                                        std::string* why) {
  try {
    return source.keysOf(quoteObjectName(objectName), owner);  // as the row query names it
  } catch (const dao::Error& e) {
    if (e.kind() != dao::ErrorKind::kSource) throw;
    if (why) *why = e.description();
    return {};
  }
}

std::string keyLeftOutLine(const std::string& targetTable, const KeyPlan& key) {
  std::string source = key.sourceName == key.index.name ? std::string() : " (" + key.sourceName + ")";
  return "テーブル " + targetTable + " インデックス " + key.index.name + source + " 作成せず: " + key.leftOut + "。";
}

void buildKeys(RunState& run, const std::string& objectName, const TablePlan& table) {
  std::string why;
  const std::vector<dao::IndexDef> keys = sourceKeysOf(run.source, objectName, run.owner, &why);
  if (!why.empty() && run.logflag)
    run.log.writeTextLine("テーブル " + table.targetName + " キーを取得できません: " + why);
  for (KeyPlan& key : planKeys(keys, table)) {
    checkStop(run.stop);
    if (key.leftOut.empty()) {
      run.host.setProgress("インデックス作成中 " + key.index.name);
      try {
        run.output.appendIndex(table.targetName, key.index);
      } catch (const dao::Error& e) {
        // The data's refusal names the table, the index and the row itself; a failing disk or a
        // damaged file ends the copy.
        if (dao::isFileFailure(e)) throw;
        if (run.logflag) run.log.writeTextLine(e.description());
      }
    } else if (run.logflag) {
      run.log.writeTextLine(keyLeftOutLine(table.targetName, key));
    }
  }
}

}  // namespace vellicor::engine
