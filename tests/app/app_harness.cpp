// The end-to-end harness: process runs, stand-in sources and the independent readers.
#include "app_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <thread>
#include <fstream>
#include <sstream>

#include "dataaccess/odbc/connect_string.h"
#include "dataaccess/odbc/odbc_script.h"
#include "support/mdbtools_support.h"
#include "support/pg_schema.h"

extern char** environ;

namespace vellicor::e2e {

using vellicor::testing::runCommand;
using vellicor::testing::shellQuote;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const Program& linuxProgram() {
  static const Program program{{std::string(VELLICOR_BINARY_DIR) + "/app/vellicor"}, {}};
  return program;
}

Result runVellicor(const std::vector<std::string>& words, const std::map<std::string, std::string>& env,
                   const std::string& cwd) {
  return runProgram(linuxProgram(), words, env, cwd);
}

Result runProgram(const Program& program, const std::vector<std::string>& words,
                  const std::map<std::string, std::string>& env, const std::string& cwd) {
  static int serial = 0;
  const std::string errFile = (std::filesystem::temp_directory_path() /
                               ("vellicor-e2e-err-" + std::to_string(::getpid()) + "-" + std::to_string(++serial)))
                                  .string();
  std::string cmd = cwd.empty() ? std::string() : "cd " + shellQuote(cwd) + " && ";
  cmd += "env -u VELLICOR_PASSWORD -u VELLICOR_CONNECT";
  for (const auto& [k, v] : program.env) {
    if (env.count(k) == 0) cmd += " " + k + "=" + shellQuote(v);
  }
  for (const auto& [k, v] : env) cmd += " " + k + "=" + shellQuote(v);
  for (const std::string& w : program.command) cmd += " " + shellQuote(w);
  for (const std::string& w : words) cmd += " " + shellQuote(w);
  cmd += " </dev/null 2>" + shellQuote(errFile);
  Result r;
  r.out = runCommand(cmd, &r.exitCode);
  r.err = readText(errFile);
  std::filesystem::remove(errFile);
  return r;
}

Background::~Background() {
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
}

std::unique_ptr<Background> startVellicor(const std::vector<std::string>& words,
                                          const std::map<std::string, std::string>& env) {
  return startProgram(linuxProgram(), words, env);
}

std::unique_ptr<Background> startProgram(const Program& program, const std::vector<std::string>& words,
                                         const std::map<std::string, std::string>& given) {
  static int serial = 0;
  std::map<std::string, std::string> env = program.env;
  for (const auto& [k, v] : given) env[k] = v;
  auto b = std::make_unique<Background>();
  const std::string stem = (std::filesystem::temp_directory_path() /
                            ("vellicor-e2e-bg-" + std::to_string(::getpid()) + "-" + std::to_string(++serial)))
                               .string();
  b->outFile = stem + ".out";
  b->errFile = stem + ".err";
  std::vector<std::string> envText;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (name == "VELLICOR_PASSWORD" || name == "VELLICOR_CONNECT" || env.count(name) != 0) continue;
    envText.push_back(entry);
  }
  for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string binary = program.command.at(0);
  std::vector<std::string> argText = program.command;
  argText.insert(argText.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& a : argText) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, b->outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, b->errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int rc = posix_spawn(&b->pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + binary);
  return b;
}

const Result& finish(Background& b) {
  if (b.pid > 0) {
    int status = 0;
    while (::waitpid(b.pid, &status, 0) < 0 && errno == EINTR) {
    }
    b.pid = -1;
    b.result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
    b.result.out = readText(b.outFile);
    b.result.err = readText(b.errFile);
  }
  return b.result;
}

bool waitUntil(const std::function<bool()>& ready, Background* b) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(3);
  while (std::chrono::steady_clock::now() < giveUp) {
    if (ready()) return true;
    if (b != nullptr && b->pid > 0) {
      // Ended: look once more, as the condition may have come with the end (the run is reaped
      // by finish()).
      siginfo_t info{};
      if (::waitid(P_PID, static_cast<id_t>(b->pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) {
        return ready();
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

bool pause(Background& b) {
  if (b.pid <= 0) return false;
  ::kill(b.pid, SIGSTOP);
  int status = 0;
  while (::waitpid(b.pid, &status, WUNTRACED) < 0 && errno == EINTR) {
  }
  if (WIFSTOPPED(status)) return true;
  b.pid = -1;
  b.result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
  b.result.out = readText(b.outFile);
  b.result.err = readText(b.errFile);
  return false;
}

void resume(Background& b) {
  if (b.pid > 0) ::kill(b.pid, SIGCONT);
}

const std::string& largeSource() {
  struct Made {
    std::filesystem::path dir;
    std::string file;
    Made() {
      dir = std::filesystem::temp_directory_path() / ("vellicor-e2e-large-" + std::to_string(::getpid()));
      std::filesystem::remove_all(dir);
      std::filesystem::create_directories(dir);
      file = makeSqliteSource(dir);
      addLargeTable(file, "BIGT", kLargeRows);
    }
    ~Made() { std::filesystem::remove_all(dir); }
  };
  static const Made made;
  return made.file;
}

void addLargeTable(const std::string& source, const std::string& name, long rows) {
  const std::string sql =
      "CREATE TABLE " + name + " (ID INTEGER PRIMARY KEY, X DOUBLE, NAME VARCHAR(50), T TIMESTAMP, N INTEGER);"
      "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " + std::to_string(rows) + ") "
      "INSERT INTO " + name + " SELECT i, i * 0.25, 'name ' || i, '2001-05-17 14:05:00', i % 1000 FROM c;"
      "INSERT INTO USER_OBJECTS VALUES ('" + name + "', 'TABLE', 'VALID', (SELECT COUNT(*) + 1 FROM USER_OBJECTS));";
  int code = 0;
  const std::string out = runCommand("sqlite3 -batch " + shellQuote(source) + " " + shellQuote(sql) + " 2>&1", &code);
  if (code != 0) throw std::runtime_error("sqlite3: " + out);
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

void Pg::buildSchemaOnce(const std::string& schema, const std::string& sql) const {
  vellicor::testing::buildPgSchemaOnce(odbc::buildConnectString(server, user, password, templ), schema, sql);
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
