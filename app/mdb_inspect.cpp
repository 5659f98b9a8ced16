// Inspection of an output file through our own Jet engine, read-only.
// Long values are read whole; display texts come from the value layer.
#include "app/mdb_inspect.h"

#include <memory>

#include "dataaccess/dao.h"

namespace vellicor::app {
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

struct OpenFile {
  std::unique_ptr<dao::Workspace> ws;
  std::unique_ptr<dao::Database> db;
  explicit OpenFile(const std::string& file) {
    ws = dao::DBEngine::instance().createWorkspace("", "admin", "", dao::dbUseJet);
    db = ws->openDatabase(file, 0, true);
  }
  ~OpenFile() {
    try {
      if (db) db->close();
      if (ws) ws->close();
    } catch (...) {
    }
  }
};

std::string cellText(dao::Field& f) {
  const int16_t type = f.type();
  if (type == dao::dbMemo || type == dao::dbLongBinary) {
    const dao::Variant v = f.value();
    if (!dao::isNull(v)) return dao::toDisplayText(v);
    const int64_t size = f.fieldSize();
    if (size <= 0) return {};
    dao::Bytes all = f.getChunk(0, static_cast<int32_t>(size));
    if (type == dao::dbMemo) return std::string(all.begin(), all.end());
    return dao::toDisplayText(dao::Variant(all));
  }
  return dao::toDisplayText(f.value());
}

}  // namespace

int printFileSummary(const std::string& file, std::FILE* out, std::FILE* err) {
  try {
    OpenFile f(file);
    std::fprintf(out, "%s\n", file.c_str());
    for (const std::string& name : f.db->tableNames()) {
      std::unique_ptr<dao::Recordset> rs = f.db->openRecordset(name);
      int64_t rows = 0;
      for (; !rs->eof(); rs->moveNext()) ++rows;
      std::fprintf(out, "テーブル %s (%lld 件)\n", name.c_str(), static_cast<long long>(rows));
      dao::Fields& fields = rs->fields();
      for (int k = 0; k < fields.count(); ++k) {
        dao::Field& fld = fields[k];
        std::fprintf(out, "  %s\t%s\t%d\n", fld.name().c_str(), dao::dataTypeName(fld.type()), fld.size());
      }
      rs->close();
    }
    return 0;
  } catch (const dao::Error& e) {
    std::fprintf(err, "[%s] %s\n", "Vellicor", e.description().c_str());
    return 1;
  }
}

int printTableRows(const std::string& file, const std::string& table, std::FILE* out, std::FILE* err) {
  try {
    OpenFile f(file);
    std::unique_ptr<dao::Recordset> rs = f.db->openRecordset(table);
    dao::Fields& fields = rs->fields();
    for (int k = 0; k < fields.count(); ++k) {
      std::fprintf(out, "%s%s", k ? "\t" : "", escapeCell(fields[k].name()).c_str());
    }
    std::fputs("\n", out);
    for (; !rs->eof(); rs->moveNext()) {
      dao::Fields& row = rs->fields();
      for (int k = 0; k < row.count(); ++k) {
        std::fprintf(out, "%s%s", k ? "\t" : "", escapeCell(cellText(row[k])).c_str());
      }
      std::fputs("\n", out);
    }
    rs->close();
    return 0;
  } catch (const dao::Error& e) {
    std::fprintf(err, "[%s] %s\n", "Vellicor", e.description().c_str());
    return 1;
  }
}

}  // namespace vellicor::app
