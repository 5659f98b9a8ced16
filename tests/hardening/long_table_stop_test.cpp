// `vellicor run` of one long table stopped in the second half of its rows, by SIGKILL at random
// moments (when the file reaches a random size) and by a full disk (a file size limit) at set sizes, each file then appended to with
// `--append` of a small table, with its journal and, on a copy, without it. A table of rows past
// its usage map's second bitmap page, and a table of long values (which commits as it grows). The
// file left must pass the whole-file checker as it lies (no page referred to and free) and as read
// here; after the append every committed row is there, once and in order, and the whole-file
// checker, mdbtools and our reader read every table.
//
// Sizes (the defaults keep the run to a minute or two): VELLICOR_LONG_ROWS rows (450,000 rows of
// 50-character labels: about 18,000 pages), VELLICOR_LONG_VALUE_MB megabytes of long values (24),
// VELLICOR_LONG_KILLS kills a table (2), VELLICOR_KILL_SEED. The check of a million rows killed
// twenty times: VELLICOR_LONG_ROWS=1000000 VELLICOR_LONG_KILLS=20.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/odbc/odbc_script.h"
#include "hardening/hardening_support.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::hardening;
using vellicor::testing::runCommand;
using vellicor::testing::shellQuote;
namespace fs = std::filesystem;
using Kind = jet3::FileProblem::Kind;
using Rows = std::vector<std::pair<std::string, uint64_t>>;

namespace {

long envNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

uint64_t rowsOf(const Rows& rows, const std::string& table) {
  for (const auto& [name, n] : rows)
    if (name == table) return n;
  return 0;
}

// The IDs of a table's rows as our reader reads them: true when they are 1..n, each once (pages
// freed by a commit are reused, so storage order is not insertion order).
bool idsOnceEach(const std::string& path, const std::string& table, uint64_t& n) try {
  jet3::JetFileReader reader(path);
  jet3::RowCursor cursor(reader, reader.table(table));
  std::vector<bool> seen;
  n = 0;
  while (cursor.next()) {
    const int32_t id = std::get<int32_t>(cursor.value(0));
    if (id < 1) return false;
    if (static_cast<size_t>(id) > seen.size()) seen.resize(static_cast<size_t>(id), false);
    if (seen[static_cast<size_t>(id) - 1]) return false;
    seen[static_cast<size_t>(id) - 1] = true;
    ++n;
  }
  return seen.size() == n;
} catch (const dao::Error&) {
  return false;
}

class LongTableStop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new vellicor::testing::ScratchDir();
    source_ = dir_->path("long.sqlite");
    const long rows = envNumber("VELLICOR_LONG_ROWS", 450000);
    const long megabytes = envNumber("VELLICOR_LONG_VALUE_MB", 24);
    odbc::executeScript("Driver=SQLite3;Database=" + source_,
                        "CREATE TABLE USER_OBJECTS (OBJECT_NAME VARCHAR2(128) NOT NULL, OBJECT_TYPE VARCHAR2(23), STATUS VARCHAR2(7), ROWNUM INTEGER);\n"
                        "INSERT INTO USER_OBJECTS VALUES ('BIGT', 'TABLE', 'VALID', 1);\n"
                        "INSERT INTO USER_OBJECTS VALUES ('LVT', 'TABLE', 'VALID', 2);\n"
                        "INSERT INTO USER_OBJECTS VALUES ('SMALLT', 'TABLE', 'VALID', 3);\n"
                        "CREATE TABLE USER_SEQUENCES (SEQUENCE_NAME VARCHAR2(128) NOT NULL, MIN_VALUE BIGINT, MAX_VALUE VARCHAR2(40), INCREMENT_BY BIGINT, CYCLE_FLAG VARCHAR2(1), ORDER_FLAG VARCHAR2(1), CACHE_SIZE BIGINT, LAST_NUMBER BIGINT);\n"
                        "CREATE TABLE BIGT (ID INTEGER, AMOUNT DOUBLE, LABEL VARCHAR(50), STAMP TIMESTAMP, QTY INTEGER);\n"
                        "INSERT INTO BIGT SELECT x, x * 0.25, substr('label ' || x || ' abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ', 1, 50), '2024-01-02 03:04:05', x % 97 FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
                            std::to_string(rows) +
                            ") SELECT x FROM c);\n"
                            "CREATE TABLE LVT (ID INTEGER, DATA LONGVARBINARY);\n"
                            "INSERT INTO LVT SELECT x, zeroblob(1048576) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
                            std::to_string(megabytes) +
                            ") SELECT x FROM c);\n"
                            "CREATE TABLE SMALLT (ID INTEGER, NAME VARCHAR(20));\n"
                            "INSERT INTO SMALLT VALUES (1, 'one');\n"
                            "INSERT INTO SMALLT VALUES (2, 'two');\n");
    ::setenv("VELLICOR_PASSWORD", "x", 1);
  }
  static void TearDownTestSuite() { delete dir_; }

  static std::vector<std::string> runArgs(const std::string& table, const std::string& out, bool append) {
    std::vector<std::string> a = {"run", "-s", source_, "-u", "demo", "--select", table, "-o", out, "--yes", "--quiet", "--connect", kSqliteTemplate};
    if (append) a.push_back("--append");
    return a;
  }

  struct Tally {
    long stops = 0, files = 0, journals = 0, committedRows = 0, emptyTables = 0;
  };

  // The checks of a file left by a stopped run of `table`, and of the appends onto it; returns the
  // rows of the table that were committed.
  uint64_t examine(const std::string& left, const std::string& table, Tally& tally) {
    ++tally.stops;
    std::error_code ec;
    if (!fs::exists(left) || fs::file_size(left, ec) == 0) return 0;  // stopped before the file was made
    ++tally.files;
    const bool hasJournal = fs::exists(jet3::journalPath(left));
    if (hasJournal) ++tally.journals;
    Rows asLies, before;
    std::string problems = checkerProblems(left, true, {static_cast<int>(Kind::kRowCount), static_cast<int>(Kind::kIndex)}, &asLies);
    EXPECT_TRUE(problems.empty()) << "as it lies:\n" << problems;
    problems = checkerProblems(left, false, {}, &before);
    EXPECT_TRUE(problems.empty()) << "as read here:\n" << problems;
    const uint64_t committed = rowsOf(before, table);
    tally.committedRows += static_cast<long>(committed);
    if (committed == 0) ++tally.emptyTables;

    for (const bool keepJournal : {true, false}) {
      SCOPED_TRACE(keepJournal ? "appended with the journal" : "appended without the journal");
      const std::string copy = dir_->path(keepJournal ? "kept.mdb" : "lost.mdb");
      fs::remove(copy);
      fs::remove(jet3::journalPath(copy));
      fs::copy_file(left, copy);
      if (keepJournal && hasJournal) fs::copy_file(jet3::journalPath(left), jet3::journalPath(copy));
      int code = -1;
      reapChild(startVellicor(runArgs("SMALLT", copy, true)), &code);
      EXPECT_EQ(code, 0) << "the append failed";
      // Without the journal, a row count that the stop left one commit behind its rows stays so.
      const std::vector<int> tolerated = keepJournal ? std::vector<int>{} : std::vector<int>{static_cast<int>(Kind::kRowCount)};
      problems = checkerProblems(copy, false, tolerated);
      EXPECT_TRUE(problems.empty()) << "after the append:\n" << problems;
      const FileVerdict v = verifyFile(copy, tolerated);
      EXPECT_TRUE(v.problems.empty()) << v.problems;
      const uint64_t expected = rowsOf(keepJournal ? before : asLies, table);
      EXPECT_EQ(rowsOf(v.tables, table), expected);
      EXPECT_EQ(rowsOf(v.tables, "SMALLT"), 2u);
      uint64_t n = 0;
      if (expected > 0) {
        EXPECT_TRUE(idsOnceEach(copy, table, n)) << "the IDs of " << table << " are not 1.." << n << " each once";
      }
    }
    return committed;
  }

  void stopRuns(const std::string& table, bool crossesSecondBitmap) {
    const std::string whole = dir_->path("whole.mdb");
    fs::remove(whole);
    int code = -1;
    reapChild(startVellicor(runArgs(table, whole, false)), &code);
    ASSERT_EQ(code, 0);
    std::string problems = checkerProblems(whole, true);
    ASSERT_TRUE(problems.empty()) << problems;
    jet3::JetFileReader reader(whole);
    const jet3::TableInfo info = reader.table(table);
    const uint32_t map = crossesSecondBitmap ? info.def.ownedMap : info.def.longValueMaps.at(0).ownedMap;
    const std::vector<uint32_t> pages = reader.usageMap(map);
    if (crossesSecondBitmap) {
      ASSERT_GE(pages.back(), jet3::fmt::kBitmapPageBits) << "the table does not reach its map's second bitmap page";
    }
    const uint64_t size = fs::file_size(whole);

    Tally tally;
    const long kills = envNumber("VELLICOR_LONG_KILLS", 2);
    const long seed = envNumber("VELLICOR_KILL_SEED", static_cast<long>(std::random_device{}()));
    std::mt19937 random(static_cast<uint32_t>(seed));
    // A moment in the second half of the rows: when the file being written reaches a size between
    // half the whole file's and all of it (the source's own reading takes time of its own).
    std::uniform_int_distribution<uint64_t> target(size / 2, size);
    const std::string out = dir_->path("left.mdb");
    for (long i = 0; i < kills; ++i) {
      const uint64_t at = target(random);
      SCOPED_TRACE("kill " + std::to_string(i) + " at " + std::to_string(at) + " of " + std::to_string(size) + " bytes (seed " +
                   std::to_string(seed) + ")");
      fs::remove(out);
      fs::remove(jet3::journalPath(out));
      const int pid = startVellicor(runArgs(table, out, false));
      std::error_code ec;
      while (::waitpid(pid, nullptr, WNOHANG) == 0 && !(fs::exists(out, ec) && fs::file_size(out, ec) >= at && !ec)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      ::kill(pid, SIGKILL);
      reapChild(pid);
      examine(out, table, tally);
    }
    // A full disk: the file may not grow past a limit set in the second half of the file's size.
    for (const double fraction : {0.6, 0.9}) {
      const uint64_t limit = static_cast<uint64_t>(static_cast<double>(size) * fraction);
      SCOPED_TRACE("file size limit " + std::to_string(limit) + " bytes");
      fs::remove(out);
      fs::remove(jet3::journalPath(out));
      // sh counts ulimit -f in blocks of 512 bytes; writes past the limit fail with EFBIG.
      std::string command = "(trap '' XFSZ; ulimit -f " + std::to_string(limit / 512) + "; exec " + shellQuote(vellicorBinary());
      for (const std::string& a : runArgs(table, out, false)) command += " " + shellQuote(a);
      command += ") </dev/null >/dev/null 2>&1";
      runCommand(command, &code);
      EXPECT_EQ(code, 1) << "the run did not fail at the size limit";
      const uint64_t committed = examine(out, table, tally);
      // Past 16 MiB of rows or long values a long table has committed some of them.
      if (static_cast<double>(size) * fraction > 20.0 * (1 << 20)) {
        EXPECT_GT(committed, 0u);
      }
    }
    std::printf("[ long table ] %s: %ld stops (%ld kills, seed %ld; the whole file %llu bytes), %ld files checked, %ld "
                "with a journal, %ld rows committed in all, %ld stops with no row committed\n",
                table.c_str(), tally.stops, kills, seed, static_cast<unsigned long long>(size), tally.files, tally.journals,
                tally.committedRows, tally.emptyTables);
  }

  static inline vellicor::testing::ScratchDir* dir_ = nullptr;
  static inline std::string source_;
};

TEST_F(LongTableStop, RowsPastTheSecondBitmapPage) { stopRuns("BIGT", true); }
TEST_F(LongTableStop, LongValues) { stopRuns("LVT", false); }

}  // namespace
