// Formatting of the plan: one block per object with a table of its columns, then the summary; and
// the same facts as JSON (names as given, numbers as numbers, absent facts left out).
#include "app/plan_format.h"

#include <cstdio>
#include <vector>

#include "app/display_width.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/odbc/odbc_api.h"
#include "dataaccess/variant.h"
#include "engine/plan_scan.h"
#include "engine/run_host.h"

namespace vellicor::app {
namespace {

using engine::KeyPlan;
using engine::ColumnPlan;
using engine::ObjectPlan;
using engine::PlanAction;
using engine::RunPlan;

const char* actionWord(PlanAction a) {
  switch (a) {
    case PlanAction::Copy: return "copy";
    case PlanAction::Skip: return "skip";
    case PlanAction::Stop: return "stop";
  }
  return "";
}

const char* actionLabel(PlanAction a) {
  switch (a) {
    case PlanAction::Copy: return "コピー";
    case PlanAction::Skip: return "スキップ";
    case PlanAction::Stop: return "停止";
  }
  return "";
}

std::string kindLabel(const std::string& kind) {
  if (kind == "TABLE") return "テーブル";
  if (kind == "VIEW") return "ビュー";
  if (kind == "SYNONYM") return "シノニム";
  if (kind == "SEQUENCES") return "シーケンス一覧";
  return kind;
}

std::string captionOf(const ObjectPlan& o) {
  return "[" + (o.stopCaption.empty() ? std::string(engine::kProgramTitle) : o.stopCaption) + "] " + o.stopMessage;
}

bool hasSize(int16_t type) { return type == dao::dbText || type == dao::dbBinary; }

int32_t sizeOf(const dao::FieldDef& f) { return f.size ? *f.size : 255; }

std::string sourceTypeText(const ColumnPlan& c) {
  if (!c.source) return std::string(dao::dataTypeName(c.sourceType)) + "(" + std::to_string(c.sourceSize) + ")";
  std::string t = odbcTypeName(c.source->sqlType) + "(" + std::to_string(c.source->columnSize);
  if (c.source->decimalDigits != 0 || c.source->sqlType == SQL_NUMERIC || c.source->sqlType == SQL_DECIMAL) {
    t += "," + std::to_string(c.source->decimalDigits);
  }
  t += ")";
  if (!c.source->typeName.empty()) t += " " + c.source->typeName;
  return t;
}

std::string targetTypeText(const ColumnPlan& c) {
  if (!c.field) return "-";
  std::string t = dao::dataTypeName(c.field->type);
  if (hasSize(c.field->type)) t += "(" + std::to_string(sizeOf(*c.field)) + ")";
  return t;
}

std::string rowList(const std::vector<int64_t>& rows) {
  std::string s;
  for (int64_t r : rows) s += (s.empty() ? "" : ", ") + std::to_string(r);
  return s;
}

// The notes of a column, the scan's findings after them.
std::vector<std::string> notesOf(const ColumnPlan& c) {
  std::vector<std::string> notes = c.notes;
  if (c.scan) {
    if (c.scan->longest >= 0) notes.push_back("最長 " + std::to_string(c.scan->longest) + " バイト");
    if (c.scan->unmappable > 0) {
      notes.push_back("シフトJISで表せない文字 " + std::to_string(c.scan->unmappable) + " 文字 (「?」で格納、行 " +
                      rowList(c.scan->unmappableRows) + (c.scan->unmappableRows.size() < engine::kListedUnmappableRows ? "" : " ...") +
                      ")");
    }
  }
  return notes;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string s;
  for (const std::string& p : parts) s += (s.empty() ? "" : separator) + p;
  return s;
}

void appendColumns(std::string& out, const engine::TablePlan& table) {
  std::vector<std::vector<std::string>> rows;
  rows.push_back({"元の列", "元の型 (ODBC)", "フィールド", "型", "注記"});
  for (const ColumnPlan& c : table.columns) {
    rows.push_back({c.sourceName, sourceTypeText(c), c.field ? c.field->name : "-", targetTypeText(c),
                    joined(notesOf(c), "; ")});
  }
  std::vector<size_t> widths(4, 0);
  for (const auto& r : rows)
    for (size_t k = 0; k < widths.size(); ++k) widths[k] = std::max(widths[k], displayWidth(r[k]));
  for (const auto& r : rows) {
    std::string line = "    ";
    for (size_t k = 0; k < widths.size(); ++k) line += padToWidth(r[k], widths[k]) + "  ";
    line += r[4];
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
}

// ---- JSON -----------------------------------------------------------------------------------

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string stringArray(const std::vector<std::string>& items) {
  std::vector<std::string> q;
  for (const std::string& s : items) q.push_back(quoted(s));
  return "[" + joined(q, ", ") + "]";
}

std::string numberArray(const std::vector<int64_t>& items) {
  std::vector<std::string> q;
  for (int64_t n : items) q.push_back(std::to_string(n));
  return "[" + joined(q, ", ") + "]";
}

std::string boolText(bool b) { return b ? "true" : "false"; }

std::string columnJson(const ColumnPlan& c) {
  std::vector<std::string> members;
  members.push_back("\"name\": " + quoted(c.sourceName));
  std::vector<std::string> source = {"\"daoType\": " + std::to_string(c.sourceType),
                                     "\"daoTypeName\": " + quoted(dao::dataTypeName(c.sourceType)),
                                     "\"size\": " + std::to_string(c.sourceSize)};
  if (c.source) {
    source.push_back("\"odbcType\": " + std::to_string(c.source->sqlType));
    source.push_back("\"odbcTypeName\": " + quoted(odbcTypeName(c.source->sqlType)));
    source.push_back("\"columnSize\": " + std::to_string(c.source->columnSize));
    source.push_back("\"decimalDigits\": " + std::to_string(c.source->decimalDigits));
    source.push_back("\"typeName\": " + quoted(c.source->typeName));
  }
  members.push_back("\"source\": {" + joined(source, ", ") + "}");
  if (c.field) {
    std::vector<std::string> target = {"\"name\": " + quoted(c.field->name), "\"type\": " + std::to_string(c.field->type),
                                       "\"typeName\": " + quoted(dao::dataTypeName(c.field->type))};
    if (hasSize(c.field->type)) target.push_back("\"size\": " + std::to_string(sizeOf(*c.field)));
    members.push_back("\"target\": {" + joined(target, ", ") + "}");
  } else {
    members.push_back("\"target\": null");
  }
  members.push_back("\"renamed\": " + boolText(c.renamed));
  members.push_back("\"madeLong\": " + boolText(c.madeLong));
  members.push_back("\"notes\": " + stringArray(c.notes));
  if (c.scan) {
    std::vector<std::string> scan;
    if (c.scan->longest >= 0) scan.push_back("\"longest\": " + std::to_string(c.scan->longest));
    scan.push_back("\"unmappable\": " + std::to_string(c.scan->unmappable));
    scan.push_back("\"unmappableRows\": " + numberArray(c.scan->unmappableRows));
    members.push_back("\"scan\": {" + joined(scan, ", ") + "}");
  }
  return "{" + joined(members, ", ") + "}";
}

std::string keyJson(const KeyPlan& k) {
  std::vector<std::string> fields;
  for (const dao::IndexDef::Column& c : k.index.columns)
    fields.push_back("{\"name\": " + quoted(c.name) + ", \"ascending\": " + boolText(c.ascending) + "}");
  std::vector<std::string> members = {"\"name\": " + quoted(k.index.name), "\"source\": " + quoted(k.sourceName),
                                      "\"primary\": " + boolText(k.index.primary),
                                      "\"unique\": " + boolText(k.index.unique),
                                      "\"fields\": [" + joined(fields, ", ") + "]"};
  if (!k.leftOut.empty()) members.push_back("\"leftOut\": " + quoted(k.leftOut));
  return "{" + joined(members, ", ") + "}";
}

std::string objectJson(const ObjectPlan& o) {
  std::vector<std::string> members;
  members.push_back("\"name\": " + quoted(o.name));
  members.push_back("\"kind\": " + quoted(o.kind));
  members.push_back("\"action\": " + quoted(actionWord(o.action)));
  if (o.rowCount >= 0) members.push_back("\"rows\": " + std::to_string(o.rowCount));
  if (o.scannedRows >= 0) members.push_back("\"scannedRows\": " + std::to_string(o.scannedRows));
  if (o.table) {
    members.push_back("\"table\": " + quoted(o.table->targetName));
    members.push_back("\"tableRenamed\": " + boolText(o.table->renamed));
    if (o.table->widestRow > 0) members.push_back("\"widestRow\": " + std::to_string(o.table->widestRow));
    members.push_back("\"logLines\": " +
                      stringArray(o.action == PlanAction::Copy ? o.table->logLines : std::vector<std::string>{}));
    std::vector<std::string> columns;
    for (const ColumnPlan& c : o.table->columns) columns.push_back("      " + columnJson(c));
    members.push_back("\"columns\": [\n" + joined(columns, ",\n") + "\n    ]");
    std::vector<std::string> keys;
    for (const KeyPlan& k : o.keys) keys.push_back("      " + keyJson(k));
    members.push_back("\"keys\": [" + (keys.empty() ? std::string() : "\n" + joined(keys, ",\n") + "\n    ") + "]");
    if (!o.keysUnreadable.empty()) members.push_back("\"keysUnreadable\": " + quoted(o.keysUnreadable));
  }
  if (o.action == PlanAction::Stop) {
    members.push_back("\"stop\": {\"caption\": " + quoted(o.stopCaption) + ", \"message\": " + quoted(o.stopMessage) + "}");
  }
  return "    {" + joined(members, ",\n     ") + "}";
}

}  // namespace

std::string odbcTypeName(int16_t sqlType) {
  switch (sqlType) {
    case SQL_CHAR: return "SQL_CHAR";
    case SQL_NUMERIC: return "SQL_NUMERIC";
    case SQL_DECIMAL: return "SQL_DECIMAL";
    case SQL_INTEGER: return "SQL_INTEGER";
    case SQL_SMALLINT: return "SQL_SMALLINT";
    case SQL_FLOAT: return "SQL_FLOAT";
    case SQL_REAL: return "SQL_REAL";
    case SQL_DOUBLE: return "SQL_DOUBLE";
    case SQL_DATETIME: return "SQL_DATE";
    case SQL_TIME: return "SQL_TIME";
    case SQL_TIMESTAMP: return "SQL_TIMESTAMP";
    case SQL_VARCHAR: return "SQL_VARCHAR";
    case SQL_TYPE_DATE: return "SQL_TYPE_DATE";
    case SQL_TYPE_TIME: return "SQL_TYPE_TIME";
    case SQL_TYPE_TIMESTAMP: return "SQL_TYPE_TIMESTAMP";
    case SQL_LONGVARCHAR: return "SQL_LONGVARCHAR";
    case SQL_BINARY: return "SQL_BINARY";
    case SQL_VARBINARY: return "SQL_VARBINARY";
    case SQL_LONGVARBINARY: return "SQL_LONGVARBINARY";
    case SQL_BIGINT: return "SQL_BIGINT";
    case SQL_TINYINT: return "SQL_TINYINT";
    case SQL_BIT: return "SQL_BIT";
    case SQL_WCHAR: return "SQL_WCHAR";
    case SQL_WVARCHAR: return "SQL_WVARCHAR";
    case SQL_WLONGVARCHAR: return "SQL_WLONGVARCHAR";
    case SQL_GUID: return "SQL_GUID";
    default:
      if (sqlType >= SQL_INTERVAL_YEAR && sqlType <= SQL_INTERVAL_MINUTE_TO_SECOND) return "SQL_INTERVAL";
      return "SQL type " + std::to_string(sqlType);
  }
}

std::string formatPlanText(const RunPlan& plan, const PlanHeading& h) {
  std::string out = "計画: " + h.user + "@" + h.server;
  if (!h.prefix.empty()) out += "  接頭辞 " + h.prefix;
  out += h.allTypes ? "  すべての型を変換 (--all-types)" : "";
  out += h.scan ? "  全行を走査 (--scan)" : "";
  out += "\n";
  const size_t total = plan.objects.size();
  for (size_t i = 0; i < total; ++i) {
    const ObjectPlan& o = plan.objects[i];
    std::string line = "[" + std::to_string(i + 1) + "/" + std::to_string(total) + "] " + o.name;
    if (!o.kind.empty()) line += "  " + kindLabel(o.kind);
    if (o.rowCount >= 0) line += "  " + std::to_string(o.rowCount) + " 件";
    line += "  → " + std::string(actionLabel(o.action));
    if (o.table && o.action == PlanAction::Copy) line += " (テーブル " + o.table->targetName + ")";
    out += line + "\n";
    if (o.table) {
      if (o.table->renamed) out += "    テーブル名を変更: " + h.prefix + o.name + " → " + o.table->targetName + "\n";
      appendColumns(out, *o.table);
      bool madeLong = false;
      for (const ColumnPlan& c : o.table->columns) madeLong = madeLong || c.madeLong;
      if (madeLong || o.table->widestRow > jet3::fmt::kMaxRowSize) {
        out += "    最長のレコード " + std::to_string(o.table->widestRow) + " バイト (上限 " +
               std::to_string(jet3::fmt::kMaxRowSize) + " バイト)\n";
      }
      for (const KeyPlan& k : o.keys) {
        out += "    " + std::string(k.index.primary ? "主キー " : "一意インデックス ") + k.index.name;
        if (k.sourceName != k.index.name) out += " (" + k.sourceName + ")";
        out += ":";
        for (size_t i = 0; i < k.index.columns.size(); ++i)
          out += (i ? ", " : " ") + k.index.columns[i].name + (k.index.columns[i].ascending ? "" : " 降順");
        if (!k.leftOut.empty()) out += "  → 作成しません: " + k.leftOut;
        out += "\n";
      }
      if (!o.keysUnreadable.empty()) out += "    キーを取得できません: " + o.keysUnreadable + "\n";
      if (o.action == PlanAction::Copy) {
        for (const std::string& l : o.table->logLines) out += "    ログ: " + l + "\n";
        for (const KeyPlan& k : o.keys)
          if (!k.leftOut.empty()) out += "    ログ: " + engine::keyLeftOutLine(o.table->targetName, k) + "\n";
      }
    }
    if (o.scannedRows >= 0) out += "    走査した行: " + std::to_string(o.scannedRows) + "\n";
    if (o.action == PlanAction::Stop) out += "    停止: " + captionOf(o) + "\n";
  }
  out += "集計: コピー " + std::to_string(plan.count(PlanAction::Copy)) + "  スキップ " +
         std::to_string(plan.count(PlanAction::Skip)) + "  停止 " + std::to_string(plan.count(PlanAction::Stop)) + "\n";
  if (const ObjectPlan* first = plan.firstStop()) {
    out += "最初の停止: " + first->name + "  " + captionOf(*first) + "\n";
    out += "実行は " + first->name + " で止まります。\n";
  } else {
    out += "実行は最後まで完了します。\n";
  }
  return out;
}

std::string formatPlanJson(const RunPlan& plan, const PlanHeading& h) {
  std::vector<std::string> objects;
  for (const ObjectPlan& o : plan.objects) objects.push_back(objectJson(o));
  std::string out = "{\n";
  out += "  \"server\": " + quoted(h.server) + ",\n";
  out += "  \"user\": " + quoted(h.user) + ",\n";
  out += "  \"prefix\": " + quoted(h.prefix) + ",\n";
  out += "  \"allTypes\": " + boolText(h.allTypes) + ",\n";
  out += "  \"scan\": " + boolText(h.scan) + ",\n";
  out += "  \"connected\": " + boolText(plan.connected) + ",\n";
  out += "  \"objects\": [\n" + joined(objects, ",\n") + (objects.empty() ? "" : "\n") + "  ],\n";
  out += "  \"summary\": {\"copy\": " + std::to_string(plan.count(PlanAction::Copy)) +
         ", \"skip\": " + std::to_string(plan.count(PlanAction::Skip)) +
         ", \"stop\": " + std::to_string(plan.count(PlanAction::Stop)) +
         ", \"completes\": " + boolText(plan.completes());
  if (const ObjectPlan* first = plan.firstStop()) {
    out += ", \"firstStop\": {\"object\": " + quoted(first->name) + ", \"caption\": " + quoted(first->stopCaption) +
           ", \"message\": " + quoted(first->stopMessage) + "}";
  }
  out += "}\n}\n";
  return out;
}

}  // namespace vellicor::app
