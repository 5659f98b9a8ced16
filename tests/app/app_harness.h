// End-to-end test harness: runs the real `vellicor` binary, prepares the two stand-in sources
// (a SQLite file from the demo schema, the PostgreSQL stand-in), and reads files back.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/mdbtools_support.h"

namespace vellicor::e2e {

struct Result {
  int exitCode = -1;
  std::string out, err;
};

// The command that starts the program under test and the environment it needs: build/app/vellicor
// by default; the Windows executable under Wine for tests/wine.
struct Program {
  std::vector<std::string> command;
  std::map<std::string, std::string> env;
};
// build/app/vellicor.
const Program& linuxProgram();

// Runs build/app/vellicor with the words (each shell-quoted), standard input from /dev/null and
// the given extra environment.
Result runVellicor(const std::vector<std::string>& words, const std::map<std::string, std::string>& env = {},
                   const std::string& cwd = "");
// The same with another program.
Result runProgram(const Program& program, const std::vector<std::string>& words,
                  const std::map<std::string, std::string>& env = {}, const std::string& cwd = "");

// A run of the binary going on beside the test (standard input from /dev/null, its output in
// files), for tests that signal it or start a second run against it.
struct Background {
  pid_t pid = -1;
  std::string outFile, errFile;
  Result result;  // once finish() returned
  ~Background();  // kills a run the test left running
};
// Starts build/app/vellicor with the words (not through a shell) and the extra environment.
std::unique_ptr<Background> startVellicor(const std::vector<std::string>& words,
                                          const std::map<std::string, std::string>& env = {});
std::unique_ptr<Background> startProgram(const Program& program, const std::vector<std::string>& words,
                                         const std::map<std::string, std::string>& env = {});
// Waits for it to end. exitCode is its exit status, or -(signal) when a signal killed it.
const Result& finish(Background& b);
// Polls until ready() holds or the run b (when given) has ended; false if it did not happen within
// a few minutes (a guard against a hung test, not a timing check).
bool waitUntil(const std::function<bool()>& ready, Background* b = nullptr);

// Stops the run where it is (SIGSTOP) and waits until it has stopped; false when it had ended
// instead (its result is then in b.result). resume() lets it go on.
bool pause(Background& b);
void resume(Background& b);

// Adds table name to the dictionary of the SQLite source: rows rows of (ID integer counting from
// 1, X double, NAME varchar(50), T timestamp, N integer), made by the sqlite3 shell.
void addLargeTable(const std::string& source, const std::string& name, long rows);
// The demo source with kLargeRows rows in table BIGT, made once per test process.
inline constexpr long kLargeRows = 1000000;
const std::string& largeSource();

// A SQLite source built from the demo schema plus extraSql, in dir; returns its path.
std::string makeSqliteSource(const std::filesystem::path& dir, const std::string& extraSql = "");
inline constexpr const char* kSqliteTemplate = "Driver=SQLite3;Database=%DBQ%";

// The PostgreSQL stand-in (started under a lock when the environment does not name it).
struct Pg {
  std::string templ, server, user, password, port;
  // The template with the test's own schema first on the search path.
  std::string templateInSchema(const std::string& schema) const;
  // Runs SQL through psql; returns the rows with tab-separated cells.
  std::string psql(const std::string& sql) const;
  // buildPgSchemaOnce (support/pg_schema.h) on this server.
  void buildSchemaOnce(const std::string& schema, const std::string& sql) const;
};
const Pg& pg();

// Tables of an .mdb as mdb-tables lists them, sorted.
std::vector<std::string> mdbTables(const std::string& file);
// The rows of one table as mdb-export prints them (CP932 text), sorted by their text.
std::vector<std::vector<std::string>> mdbRows(const std::string& file, const std::string& table);

std::string readText(const std::string& path);
using vellicor::testing::logLines;  // the log's lines without CR LF

// A fresh folder per test, removed afterwards.
class E2ETest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::filesystem::path dir;
};

}  // namespace vellicor::e2e
