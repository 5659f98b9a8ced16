// Text rendering of a Jet 3 file's tables and rows for `vellicor inspect` and for diagnosis.
// Everything is read through JetFileReader; values are shown with the value layer's display text.
#include "dataaccess/jet3/inspect.h"

#include <algorithm>
#include <cstdio>

#include "dataaccess/dao.h"
#include "text/codepage.h"
#include "dataaccess/jet3/jet_file_reader.h"

namespace vellicor::jet3 {
namespace {

std::string escapeCell(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string hex4(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

std::string columnName(const JetFileReader& reader, const ColumnDef& c) {
  std::string name;
  reader.codePage().decode(c.name, name);
  return name;
}

// "  インデックス PrimaryKey (主キー, 一意, 必須): ID, Placed 降順", one line per logical index.
std::string indexLines(const JetFileReader& reader, const TableDefinition& def) {
  std::string text;
  for (const LogicalIndexDef& li : def.logicalIndexes) {
    std::string name;
    reader.codePage().decode(li.name, name);
    text += "  インデックス " + name;
    if (li.realIndex >= def.realIndexes.size()) {
      text += " (実インデックス " + std::to_string(li.realIndex) + " がありません)\n";
      continue;
    }
    const RealIndexDef& ri = def.realIndexes[li.realIndex];
    std::vector<std::string> traits;
    if (li.type == fmt::kIndexPrimaryKey) traits.push_back("主キー");
    if (li.type == fmt::kIndexForeignKey) traits.push_back("外部キー");
    if (ri.flags & fmt::kIndexUnique) traits.push_back("一意");
    if (ri.flags & fmt::kIndexIgnoreNulls) traits.push_back("Null を無視");
    if (ri.flags & fmt::kIndexRequired) traits.push_back("必須");
    if (!traits.empty()) {
      text += " (";
      for (size_t i = 0; i < traits.size(); ++i) text += (i ? ", " : "") + traits[i];
      text += ")";
    }
    text += ":";
    for (const IndexColumn& ic : ri.columns) {
      if (ic.column == fmt::kNoIndexColumn) continue;
      const auto c = std::find_if(def.columns.begin(), def.columns.end(),
                                  [&](const ColumnDef& d) { return d.number == ic.column; });
      text += " " + (c == def.columns.end() ? "#" + std::to_string(ic.column) : columnName(reader, *c));
      if (ic.order == fmt::kIndexOrderDescending) text += " 降順";
      text += ",";
    }
    text.back() = '\n';
  }
  return text;
}

std::string summary(JetFileReader& reader) {
  const DatabaseHeader& h = reader.header();
  std::string text = "ファイル: " + reader.path() + "\n";
  text += "形式: Jet 3 (Access 97)  並べ替え順 " + hex4(h.sortOrder) + "  コード ページ " + std::to_string(h.codePage) +
          "  エンジン " + std::to_string(h.engineBuild) + "  ページ数 " + std::to_string(reader.pageCount()) + "\n";
  if (reader.readsInterruptedCommit()) {
    text += "注意: 前回の書き込みが途中で中断されています。中断前の内容を表示します (書き込み用に開くと元に戻されます)。\n";
  }
  const auto tables = reader.userTables();
  text += "テーブル数: " + std::to_string(tables.size()) + "\n";
  for (const CatalogEntry& e : tables) {
    const TableInfo info = reader.table(e.name);
    // Counted by reading, so that a stale count in the definition cannot mislead.
    uint64_t rows = 0;
    RowCursor cursor(reader, info);
    while (cursor.next()) ++rows;
    text += "\nテーブル " + e.name + " (" + std::to_string(rows) + " 行, " + std::to_string(info.def.columns.size()) +
            " フィールド)\n";
    for (const ColumnDef& c : info.def.columns) {
      text += "  " + columnName(reader, c) + "\t" + dao::dataTypeName(c.type) + "\t" + std::to_string(c.length) + "\n";
    }
    text += indexLines(reader, info.def);
  }
  return text;
}

std::string rows(JetFileReader& reader, const std::string& name) {
  const TableInfo info = reader.table(name);
  std::string text;
  for (size_t i = 0; i < info.def.columns.size(); ++i) {
    if (i) text += '\t';
    text += escapeCell(columnName(reader, info.def.columns[i]));
  }
  text += '\n';
  RowCursor cursor(reader, info);
  while (cursor.next()) {
    const std::vector<dao::Variant> values = cursor.values();
    for (size_t i = 0; i < values.size(); ++i) {
      if (i) text += '\t';
      text += escapeCell(dao::toDisplayText(values[i]));
    }
    text += '\n';
  }
  return text;
}

}  // namespace

std::string inspectFile(const std::string& path, const std::optional<std::string>& table) {
  JetFileReader reader(path);
  return table ? rows(reader, *table) : summary(reader);
}

}  // namespace vellicor::jet3
