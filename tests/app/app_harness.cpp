// The end-to-end harness: process runs, stand-in sources and the independent readers.
#include "app_harness.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "dataaccess/odbc/odbc_script.h"
#include "support/mdbtools_support.h"

namespace vellicor::e2e {

using vellicor::testing::runCommand;
using vellicor::testing::shellQuote;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Result runVellicor(const std::vector<std::string>& words, const std::map<std::string, std::string>& env,
                   const std::string& cwd) {
  static int serial = 0;
  const std::string errFile = (std::filesystem::temp_directory_path() /
                               ("vellicor-e2e-err-" + std::to_string(::getpid()) + "-" + std::to_string(++serial)))
                                  .string();
  std::string cmd = cwd.empty() ? std::string() : "cd " + shellQuote(cwd) + " && ";
  cmd += "env -u VELLICOR_PASSWORD -u VELLICOR_CONNECT";
  for (const auto& [k, v] : env) cmd += " " + k + "=" + shellQuote(v);
  cmd += " " + shellQuote(std::string(VELLICOR_BINARY_DIR) + "/app/vellicor");
  for (const std::string& w : words) cmd += " " + shellQuote(w);
  cmd += " </dev/null 2>" + shellQuote(errFile);
  Result r;
  r.out = runCommand(cmd, &r.exitCode);
  r.err = readText(errFile);
  std::filesystem::remove(errFile);
  return r;
}

std::string makeSqliteSource(const std::filesystem::path& dir, const std::string& extraSql) {
  const std::string file = (dir / "source.sqlite").string();
  const std::string script = readText(std::string(VELLICOR_SOURCE_DIR) + "/app/demo/demo_schema.sql") + "\n" + extraSql;
  odbc::executeScript("Driver=SQLite3;Database=" + file, script);
  return file;
}

std::string Pg::templateInSchema(const std::string& schema) const {
  return templ + "ConnSettings=set search_path to " + schema + ",public;";
}

std::string Pg::psql(const std::string& sql) const {
  int code = 0;
  const std::string out = runCommand("PGPASSWORD=" + shellQuote(password) + " psql -X -q -A -t -F '\t' -v ON_ERROR_STOP=1 -h " +
                                         shellQuote(server) + " -p " + port + " -U " + shellQuote(user) +
                                         " -d vellicor -c " + shellQuote(sql) + " 2>&1",
                                     &code);
  if (code != 0) throw std::runtime_error("psql: " + out);
  return out;
}

namespace {

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : fallback;
}

// Reads the export lines the stand-in script prints: export NAME='value' or NAME=escaped.
std::map<std::string, std::string> parseExports(const std::string& text) {
  std::map<std::string, std::string> vars;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("export ", 0) != 0) continue;
    const size_t eq = line.find('=');
    const std::string name = line.substr(7, eq - 7);
    std::string raw = line.substr(eq + 1), value;
    if (!raw.empty() && raw[0] == '\'') {
      value = raw.substr(1, raw.size() - 2);
    } else {
      for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
        value += raw[i];
      }
    }
    vars[name] = value;
  }
  return vars;
}

}  // namespace

const Pg& pg() {
  static const Pg settings = [] {
    Pg p;
    if (std::getenv("VELLICOR_PG_CONNECT") == nullptr) {
      const std::string script = std::string(VELLICOR_SOURCE_DIR) + "/tests/standin/pg_standin.sh";
      int code = 0;
      const std::string out = runCommand("flock -o /tmp/vellicor-pg-start.lock " + shellQuote(script) + " start", &code);
      auto vars = parseExports(out);
      p.templ = vars["VELLICOR_PG_CONNECT"];
      p.server = vars["VELLICOR_PG_SERVER"];
      p.user = vars["VELLICOR_PG_USER"];
      p.password = vars["VELLICOR_PG_PASSWORD"];
      p.port = vars["VELLICOR_PG_PORT"];
    } else {
      p.templ = envOr("VELLICOR_PG_CONNECT", "");
      p.server = envOr("VELLICOR_PG_SERVER", "127.0.0.1");
      p.user = envOr("VELLICOR_PG_USER", "scott");
      p.password = envOr("VELLICOR_PG_PASSWORD", "");
      p.port = envOr("VELLICOR_PG_PORT", "5432");
    }
    return p;
  }();
  return settings;
}

std::vector<std::string> mdbTables(const std::string& file) {
  int code = 0;
  const std::string out = runCommand("MDB_JET3_CHARSET=CP932 mdb-tables -1 " + shellQuote(file), &code);
  std::vector<std::string> names;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) names.push_back(line);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::vector<std::string>> mdbRows(const std::string& file, const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : vellicor::testing::mdbExport(file, table, "CP932")) {
    std::vector<std::string> cells;
    for (const auto& c : row) cells.push_back(c ? *c : std::string("<NULL>"));
    rows.push_back(std::move(cells));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void E2ETest::SetUp() {
  dir = std::filesystem::temp_directory_path() /
        ("vellicor-e2e-" + std::to_string(::getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
}

void E2ETest::TearDown() {
  if (!HasFailure()) std::filesystem::remove_all(dir);
}

}  // namespace vellicor::e2e
