// The demo source, the verdict of our reader, the whole-file checker and mdbtools on a file (rolling
// back an interrupted commit as the engine's next open would), and open files, for the hardening tests.
#include "hardening/hardening_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/odbc/odbc_script.h"
#include "support/mdbtools_support.h"

extern char** environ;

namespace vellicor::hardening {

using testing::runCommand;
using testing::shellQuote;

void makeDemoSource(const std::string& path) {
  std::filesystem::remove(path);
  const std::string script = fileBytes(std::string(VELLICOR_SOURCE_DIR) + "/app/demo/demo_schema.sql");
  if (script.empty()) throw std::runtime_error("demo schema not found");
  odbc::executeScript("Driver=SQLite3;Database=" + path, script);
}

std::string vellicorBinary() {
  const char* other = std::getenv("VELLICOR_TEST_BINARY");
  return other && *other ? other : std::string(VELLICOR_BINARY_DIR) + "/app/vellicor";
}

int startVellicor(const std::vector<std::string>& args) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> words{vellicorBinary()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + words[0]);
  return pid;
}

bool reapChild(int pid, int* exitCode) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return WIFSIGNALED(status);
}

namespace {

// Tables and rows as our reader reads them to the end, and the whole-file checker's verdict.
std::vector<std::pair<std::string, uint64_t>> readWithOurReader(const std::string& path, std::ostringstream& problems,
                                                                const std::vector<int>& tolerated) {
  std::vector<std::pair<std::string, uint64_t>> tables;
  try {
    jet3::JetFileReader reader(path);
    for (const jet3::CatalogEntry& e : reader.userTables()) {
      const jet3::TableInfo info = reader.table(e.name);
      jet3::RowCursor cursor(reader, info);
      uint64_t rows = 0;
      while (cursor.next()) {
        (void)cursor.values();
        ++rows;
      }
      tables.emplace_back(e.name, rows);
    }
    // The whole-file check, the index walker's included.
    for (const jet3::FileProblem& p : jet3::checkFile(reader).problems) {
      if (std::find(tolerated.begin(), tolerated.end(), static_cast<int>(p.kind)) == tolerated.end()) {
        problems << "checker: " << p.text << "\n";
      }
    }
  } catch (const dao::Error& e) {
    problems << "our reader: " << e.description() << "\n";
  }
  return tables;
}

// The tables mdb-tables lists.
std::vector<std::string> readWithMdbtools(const std::string& path, std::ostringstream& problems) {
  int code = 0;
  const std::string listed = runCommand("mdb-tables -1 " + shellQuote(path) + " 2>&1", &code);
  if (code != 0) problems << "mdb-tables exit " << code << ": " << listed << "\n";
  std::vector<std::string> names;
  std::istringstream lines(listed);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) names.push_back(line);
  }
  return names;
}

}  // namespace

FileVerdict verifyFile(const std::string& path, const std::vector<int>& tolerated) {
  FileVerdict v;
  std::ostringstream problems;
  if (std::filesystem::exists(jet3::journalPath(path))) {
    // A commit was interrupted. Programs that know nothing of the journal read the file as it
    // lies; our reader reads it as it was before the commit, and the next open for writing puts
    // it back so: both views must be the same.
    v.interruptedCommit = true;
    std::ostringstream foreign;
    for (const std::string& name : readWithMdbtools(path, foreign)) {
      try {
        (void)testing::mdbExport(path, name, "CP932");
      } catch (const std::exception& e) {
        foreign << e.what() << "\n";
      }
    }
    if (!foreign.str().empty()) problems << "before the rollback, mdbtools: " << foreign.str();
    std::ostringstream overlaid;
    const auto seen = readWithOurReader(path, overlaid, tolerated);
    if (!overlaid.str().empty()) problems << "before the rollback, our reader: " << overlaid.str();
    try {
      std::unique_ptr<jet3::FileIo> file = jet3::openSystemFile(path, jet3::OpenMode::kOpenExclusive);
      std::string notice;
      v.rolledBack = jet3::recoverInterruptedCommit(path, *file, &notice);
      file->close();
      // A journal the process left beside its own file always fits it.
      if (!notice.empty()) problems << "the file's own journal was set aside: " << notice << "\n";
    } catch (const dao::Error& e) {
      problems << "rollback: " << e.description() << "\n";
    }
    if (std::filesystem::exists(jet3::journalPath(path))) problems << "the journal is still there after the rollback\n";
    v.tables = readWithOurReader(path, problems, tolerated);
    if (seen != v.tables) problems << "our reader saw other tables or rows before the rollback than after it\n";
  } else {
    v.tables = readWithOurReader(path, problems, tolerated);
  }
  const std::vector<std::string> names = readWithMdbtools(path, problems);
  if (names.size() != v.tables.size()) problems << "mdb-tables lists " << names.size() << " tables, our reader " << v.tables.size() << "\n";
  for (const auto& [name, rows] : v.tables) {
    try {
      const size_t exported = testing::mdbExport(path, name, "CP932").size();
      if (exported != rows) problems << "mdb-export " << name << ": " << exported << " rows, our reader " << rows << "\n";
    } catch (const std::exception& e) {
      problems << e.what() << "\n";
    }
  }
  v.problems = problems.str();
  return v;
}

std::string mdbtoolsProblems(const std::string& path) {
  std::ostringstream problems;
  for (const std::string& name : readWithMdbtools(path, problems)) {
    try {
      (void)testing::mdbExport(path, name, "CP932");
    } catch (const std::exception& e) {
      problems << e.what() << "\n";
    }
  }
  return problems.str();
}

std::string checkerProblems(const std::string& path, bool asItLies, const std::vector<int>& tolerated,
                            std::vector<std::pair<std::string, uint64_t>>* rows) {
  using View = jet3::JetFileReader::JournalView;
  try {
    jet3::JetFileReader reader(path, asItLies ? View::kFileAsItLies : View::kBeforeInterruptedCommit);
    const jet3::FileCheckResult result = jet3::checkFile(reader);
    std::string text;
    for (const jet3::FileProblem& p : result.problems) {
      if (std::find(tolerated.begin(), tolerated.end(), static_cast<int>(p.kind)) == tolerated.end()) text += p.text + "\n";
    }
    if (result.omitted && !text.empty()) text += "(" + std::to_string(result.omitted) + " more)\n";
    if (rows) {
      rows->clear();
      for (const jet3::CatalogEntry& e : reader.userTables()) {
        jet3::RowCursor cursor(reader, reader.table(e.name));
        uint64_t n = 0;
        while (cursor.next()) ++n;
        rows->emplace_back(e.name, n);
      }
    }
    return text;
  } catch (const dao::Error& e) {
    return "checker: " + e.description() + "\n";
  }
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> openFiles() {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code ec2;
    const auto target = std::filesystem::read_symlink(e.path(), ec2);
    if (!ec2) out.push_back(target.string());
  }
  return out;
}

}  // namespace vellicor::hardening
