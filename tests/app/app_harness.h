// End-to-end test harness: runs the real `vellicor` binary, prepares the two stand-in sources
// (a SQLite file from the demo schema, the PostgreSQL stand-in), and reads files back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/mdbtools_support.h"

namespace vellicor::e2e {

struct Result {
  int exitCode = -1;
  std::string out, err;
};

// Runs build/app/vellicor with the words (each shell-quoted), standard input from /dev/null and
// the given extra environment.
Result runVellicor(const std::vector<std::string>& words, const std::map<std::string, std::string>& env = {},
                   const std::string& cwd = "");

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
