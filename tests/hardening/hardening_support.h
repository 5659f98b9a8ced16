// Shared pieces of the hardening tests: the demo source as a SQLite file, the verdict of every
// reader we have (our reader, the whole-file checker, mdbtools) on a file left behind, file bytes,
// and starting the built binary.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vellicor::hardening {

// The demo schema (app/demo/demo_schema.sql) as a SQLite file at path, read by the SQLite ODBC
// driver with the template kSqliteTemplate.
void makeDemoSource(const std::string& path);
inline constexpr const char* kSqliteTemplate = "Driver=SQLite3;Database=%DBQ%";

// The built `vellicor` binary (VELLICOR_TEST_BINARY names another one).
std::string vellicorBinary();

// Starts the binary with args (after the binary's name), its standard streams on /dev/null.
int startVellicor(const std::vector<std::string>& args);
// Waits for a child; true when a signal ended it. exitCode receives its status otherwise (-1).
bool reapChild(int pid, int* exitCode = nullptr);

struct FileVerdict {
  // User tables in catalog order with the rows our reader read to the end of each.
  std::vector<std::pair<std::string, uint64_t>> tables;
  // Empty when our reader, the whole-file checker (jet3/file_check.h, the index walker included),
  // mdb-tables and mdb-export (every table, to the same row count) all read the file; else what failed.
  std::string problems;
  bool interruptedCommit = false;  // a commit's journal was left beside the file
  bool rolledBack = false;         // and it was hot: the commit was rolled back before the checks
};
// When a commit's journal lies beside the file, mdbtools must read the file as it lies and our
// reader as it was before the commit; the commit is then rolled back (as the engine's next open
// does) and the checks run on the result.
// Kinds of the whole-file checker's problems listed in `tolerated` are left out.
FileVerdict verifyFile(const std::string& path, const std::vector<int>& tolerated = {});

// What mdb-tables and mdb-export (every table it lists) report when they cannot read the file as it
// lies; empty when they read it all.
std::string mdbtoolsProblems(const std::string& path);

// The whole-file checker's problems (jet3/file_check.h) on the file as it lies beside any journal
// (what other programs read) or as this engine reads it (an interrupted commit's pages put back),
// leaving out the kinds listed in `tolerated`; empty when there are none. rows, when given,
// receives each user table's rows as read in that view.
std::string checkerProblems(const std::string& path, bool asItLies, const std::vector<int>& tolerated = {},
                            std::vector<std::pair<std::string, uint64_t>>* rows = nullptr);

// The bytes of a file as text, to compare a file before and after (empty when absent).
std::string fileBytes(const std::string& path);

// Paths of this process's open file descriptors (from /proc/self/fd).
std::vector<std::string> openFiles();

}  // namespace vellicor::hardening
