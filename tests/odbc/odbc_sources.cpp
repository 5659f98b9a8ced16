// Building and opening the stand-in sources for the ODBC tests. The SQLite demo file is made through
// the SQLite ODBC driver itself, from the demo schema script; PostgreSQL test schemas through psqlODBC.
#include "odbc_sources.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "dataaccess/odbc/connect_string.h"
#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/odbc/odbc_returned_text.h"
#include "dataaccess/odbc/odbc_script.h"
#include "dataaccess/odbc/odbc_text.h"
#include "support/pg_schema.h"

namespace vellicor::odbc::testing {
namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Removes the files this process made when it ends.
struct Cleanup {
  std::vector<std::filesystem::path> files;
  ~Cleanup() {
    for (const auto& f : files) {
      std::error_code ec;
      std::filesystem::remove(f, ec);
    }
  }
};
Cleanup& cleanup() {
  static Cleanup c;
  return c;
}

std::string buildSqlite(const std::string& name, const std::string& extraSql) {
  namespace fs = std::filesystem;
  cleanup();  // constructed before the first file, so it is destroyed after the sources close
  const fs::path dir = fs::path(VELLICOR_BINARY_DIR) / "odbc-test-data";
  fs::create_directories(dir);
  // One file per process and name: ctest runs test cases in parallel processes.
  const fs::path file = dir / (name + "-" + std::to_string(::getpid()) + ".db");
  fs::remove(file);
  cleanup().files.push_back(file);
  // Forward slashes: a Windows build under Wine hands the path to the Linux driver.
  const std::string connect = "Driver=SQLite3;Database=" + file.generic_string();
  executeScript(connect, readFile(std::string(VELLICOR_SOURCE_DIR) + "/app/demo/demo_schema.sql") + "\n" + extraSql);
  return connect;
}

}  // namespace

std::string sqliteConnect() {
  static const std::string connect = buildSqlite("demo", "");
  return connect;
}

std::string sqliteConnectWith(const std::string& name, const std::string& extraSql) {
  return buildSqlite(name, extraSql);
}

PgSettings pgSettings() {
  PgSettings s;
  s.templ = env("VELLICOR_PG_CONNECT");
  s.server = env("VELLICOR_PG_SERVER");
  s.user = env("VELLICOR_PG_USER");
  s.password = env("VELLICOR_PG_PASSWORD");
  return s;
}

std::string PgSettings::connect() const { return buildConnectString(server, user, password, templ); }

std::string PgSettings::connectWithPath(const std::string& searchPath) const {
  return connect() + "ConnSettings=set search_path to " + searchPath + ",public;";
}

void buildPgSchemaOnce(const PgSettings& settings, const std::string& schema, const std::string& sql) {
  vellicor::testing::buildPgSchemaOnce(settings.connect(), schema, sql);
}

Source openSource(const std::string& connect, bool readOnly) {
  Source s;
  s.workspace = dao::DBEngine::instance().createWorkspace("ODBC-D", "", "", dao::dbUseODBC);
  s.db = s.workspace->openDatabase("", dao::dbDriverNoPrompt, readOnly, connect);
  return s;
}

std::string describeKeys(const std::vector<dao::IndexDef>& keys) {
  std::string out;
  for (const dao::IndexDef& k : keys) {
    if (!out.empty()) out += "; ";
    out += k.name + "(";
    for (size_t i = 0; i < k.columns.size(); ++i) {
      if (i > 0) out += ",";
      out += k.columns[i].name + (k.columns[i].ascending ? "" : " desc");
    }
    out += ") ";
    if (k.primary) out += "P";
    if (k.unique) out += "U";
    if (k.ignoreNulls) out += "I";
    if (k.required) out += "R";
  }
  return out;
}

}  // namespace vellicor::odbc::testing
