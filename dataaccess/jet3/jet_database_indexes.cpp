// Indexes.Append of the Jet database: the checks Jet makes of a new index, then the build over the
// table's rows (index_build.h) and the commit that records it in the table's definition.
#include <string>
#include <vector>

#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/index_build.h"
#include "dataaccess/jet3/jet_database.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/names.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/table_writer.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/jet3/usage_map.h"
#include "text/codepage.h"

namespace vellicor::jet3 {
namespace {

// Why new indexes cannot key a column of this type; empty when they can.
std::string typeRefusal(uint8_t code) {
  const ColumnType* type = columnType(code);
  if (type != nullptr && type->keyBuilt) return {};
  return type != nullptr && !type->keyable ? "メモ型や OLE オブジェクト型のフィールドにはインデックスを作成できません。"
                                           : "この型のフィールドのキーは作成できません (数値、日付/時刻、Yes/No、テキストのみ)。";
}

// The build request for `index` on `def`, after the checks Jet makes when an index is appended.
IndexBuildRequest checkedRequest(const TableDefinition& def, const dao::IndexDef& index, const text::CodePage& cp,
                                 const std::string& table, std::string& nameBytes) {
  const std::string what = "テーブル '" + table + "' にインデックス '" + index.name + "' を作成できません: ";
  if (auto bad = checkName(index.name, cp)) throw dao::Error(what + *bad, dao::errnum::kNotAValidName);
  cp.encode(index.name, nameBytes);
  const std::vector<uint8_t> key = nameKey(nameBytes);
  for (const LogicalIndexDef& li : def.logicalIndexes) {
    if (nameKey(li.name) == key) throw dao::Error(what + "同じ名前のインデックスが既にあります。", dao::errnum::kIndexExists);
    if (index.primary && li.type == fmt::kIndexPrimaryKey)
      throw dao::Error(what + "主キーは既にあります。", dao::errnum::kPrimaryKeyExists);
  }
  if (def.logicalIndexes.size() >= fmt::kMaxIndexes)
    throw dao::formatLimit(what + "1 つのテーブルのインデックスは " + std::to_string(fmt::kMaxIndexes) + " 個までです。");
  if (index.columns.empty()) throw dao::Error(what + "フィールドがありません。", dao::errnum::kNoFields);
  if (index.columns.size() > fmt::kMaxIndexColumns)
    throw dao::formatLimit(what + "1 つのインデックスのフィールドは " + std::to_string(fmt::kMaxIndexColumns) + " 個までです。");

  IndexBuildRequest request;
  request.name = index.name;
  for (const dao::IndexDef::Column& c : index.columns) {
    std::string bytes;
    cp.encode(c.name, bytes);
    const std::vector<uint8_t> columnKey = nameKey(bytes);
    size_t found = def.columns.size();
    for (size_t i = 0; i < def.columns.size(); ++i)
      if (nameKey(def.columns[i].name) == columnKey) found = i;
    if (found == def.columns.size())
      throw dao::Error(what + "フィールド '" + c.name + "' がありません。", dao::errnum::kItemNotFound);
    for (size_t taken : request.columns)
      if (taken == found) throw dao::Error(what + "フィールド '" + c.name + "' が二度指定されています。", dao::errnum::kInvalidArgument);
    if (const std::string why = typeRefusal(def.columns[found].type); !why.empty())
      throw dao::Error(what + "フィールド '" + c.name + "': " + why, dao::errnum::kNotSupported);
    request.columns.push_back(found);
    request.ascending.push_back(c.ascending);
  }
  if (index.unique || index.primary) request.flags |= fmt::kIndexUnique;
  if (index.ignoreNulls) request.flags |= fmt::kIndexIgnoreNulls;
  if (index.required || index.primary) request.flags |= fmt::kIndexRequired;
  return request;
}

}  // namespace

void JetDatabase::appendIndex(const std::string& table, const dao::IndexDef& index) {
  checkWritable();
  const uint32_t tdef = findTable(table);
  if (tdef == 0) throw dao::Error("テーブル '" + table + "' が見つかりません。", dao::errnum::kTableNotFound);
  commitTables();  // the rows the index is built over, as the reader sees them
  JetFileReader reader(*pager_, path_);
  TableInfo info = reader.readTable(tdef);
  info.name = table;
  TableDefinition def = info.def;
  std::string nameBytes;
  const IndexBuildRequest request = checkedRequest(def, index, *codePage_, table, nameBytes);

  const BuiltIndexTree built = buildTableIndex(reader, info, request, *pager_);
  std::vector<uint32_t> newPages = built.pages;
  try {
    MapHolderWriter holders(*pager_);
    UsageMap map = holders.addMap(true);
    holders.finish();
    newPages.insert(newPages.end(), holders.pages().begin(), holders.pages().end());
    for (uint32_t p : built.pages) map.pages().insert(p);

    RealIndexDef real;
    real.distinctKeys = built.distinctKeys;
    for (size_t k = 0; k < request.columns.size(); ++k) {
      real.columns[k].column = def.columns[request.columns[k]].number;
      real.columns[k].order = request.ascending[k] ? fmt::kIndexOrderAscending : fmt::kIndexOrderDescending;
    }
    real.usageMap = map.rowPointer();
    real.rootPage = built.root;
    real.flags = request.flags;
    LogicalIndexDef logical;
    logical.number = static_cast<uint32_t>(def.logicalIndexes.size());
    logical.realIndex = static_cast<uint32_t>(def.realIndexes.size());
    logical.type = index.primary ? fmt::kIndexPrimaryKey : fmt::kIndexOther;
    logical.name = nameBytes;
    def.realIndexes.push_back(real);
    def.logicalIndexes.push_back(logical);

    // The tree's pages are on the disk already; the map that lists them and the definition that
    // refers to them change together.
    Pager::CommitScope scope(*pager_);
    map.store(*pager_);
    writeTdefPages(*pager_, info.tdefPages, encodeTdef(def));
    scope.done();
  } catch (...) {
    try {
      for (uint32_t p : newPages) pager_->release(p);
    } catch (...) {
    }
    throw;
  }
  if (TableWriter* w = writerFor(tdef)) w->closeToRows();
}

}  // namespace vellicor::jet3
