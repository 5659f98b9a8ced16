// Runs stopped part way, and what must hold of the file left and of an append onto it:
//  - a three-table conversion (rows over many pages, Memo and OLE values in the row, in shared
//    rows and in chains) and an append onto its result, stopped before every one of their writes:
//    killed there (a child process), torn there (half of a growing write, then the run's failure
//    handling), or with the disk full from there on;
//  - `vellicor run` of a long table (rows past its usage map's second bitmap page) and of a table of
//    long values, killed when the file reaches a random size in the second half and stopped by a
//    file size limit. Sizes: VELLICOR_LONG_ROWS (450,000 rows, about 18,000 pages),
//    VELLICOR_LONG_VALUE_MB (24), VELLICOR_LONG_KILLS (2 a table), VELLICOR_KILL_SEED. The check of a
//    million rows killed twenty times: VELLICOR_LONG_ROWS=1000000 VELLICOR_LONG_KILLS=20.
// The file left passes the whole-file checker as it lies (what programs that ignore the journal
// read: no page both referred to and free or missing; only row counts and catalog indexes may lag
// one commit) and as read here, and mdbtools reads it; an append onto it, with its journal kept and
// lost, completes and leaves a file that the checker, mdbtools and our reader read whole, with every
// row that was there before.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/odbc/odbc_script.h"
#include "engine/conversion_run.h"
#include "hardening/hardening_support.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::hardening;
namespace fs = std::filesystem;
using Rows = std::vector<std::pair<std::string, uint64_t>>;
using Kind = jet3::FileProblem::Kind;

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

// ---- Stopping the engine at its k-th write, counted over every file it opens -------------------

enum class Stop { kKill, kTornWrite, kDiskFull };
constexpr int kKilledAtWrite = 86;  // exit status of a child killed at its planned write

struct StopPlan {
  Stop kind = Stop::kKill;
  long at = -1;  // 0: count only
  long writes = 0;
  bool fired = false;
};

class StoppingFile : public jet3::FileIo {
 public:
  StoppingFile(std::unique_ptr<jet3::FileIo> real, StopPlan& plan) : real_(std::move(real)), plan_(plan) {}
  void readAt(uint64_t o, void* b, size_t n) override { real_->readAt(o, b, n); }
  void writeAt(uint64_t o, const void* b, size_t n) override {
    const long k = ++plan_.writes;
    if (plan_.kind == Stop::kKill && k == plan_.at) ::_exit(kKilledAtWrite);  // dies as a kill would
    if (plan_.kind == Stop::kDiskFull && (plan_.fired || k == plan_.at)) fire();
    if (plan_.kind == Stop::kTornWrite && k == plan_.at) {
      // Only a write that grows the file comes back short for want of space.
      if (o + n > real_->size()) real_->writeAt(o, b, n / 2);
      fire();
    }
    real_->writeAt(o, b, n);
  }
  void sync() override {
    if (plan_.kind == Stop::kDiskFull && plan_.fired) fire();
    real_->sync();
  }
  uint64_t size() override { return real_->size(); }
  void truncate(uint64_t n) override {
    if (plan_.kind == Stop::kDiskFull && plan_.fired) fire();
    real_->truncate(n);
  }
  void close() override { real_->close(); }

 private:
  [[noreturn]] void fire() {
    plan_.fired = true;
    throw dao::Error("注入した障害");
  }
  std::unique_ptr<jet3::FileIo> real_;
  StopPlan& plan_;
};

class Host : public engine::RunHost {
 public:
  explicit Host(std::string selection) : selection_(std::move(selection)) {}
  void setMessage(const std::string&) override {}
  void setProgress(const std::string&) override {}
  std::string selectionText() override { return selection_; }
  int sequencesBox() override { return 0; }
  std::string getWhereObjectType() override { return engine::whereObjectType(1, 0, 0); }
  void messageBox(const std::string&, const std::string&) override {}
  engine::Answer askYesNo(const std::string&, const std::string&) override { return engine::Answer::Yes; }

 private:
  std::string selection_;
};

// ---- The checks of a file left behind -----------------------------------------------------------

struct Tally {
  long stops = 0, files = 0, journals = 0, lagging = 0, failed = 0;
  uint64_t rows = 0;  // rows of the stopped table committed, over all stops
  std::string summary() const {
    return std::to_string(stops) + " stops, " + std::to_string(files) + " files checked (" + std::to_string(journals) +
           " with a journal, " + std::to_string(lagging) + " with a row count or catalog index a commit behind as they lie), " +
           std::to_string(failed) + " failed";
  }
};

// The IDs (first column) of a table: 1..n, each once (storage order is not insertion order: pages
// freed by a commit are taken again).
bool idsOnceEach(const std::string& path, const std::string& table) try {
  jet3::JetFileReader reader(path);
  jet3::RowCursor cursor(reader, reader.table(table));
  std::vector<bool> seen;
  uint64_t n = 0;
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

// Checks the file left at `left`; append(copy) adds `added` (two rows or more) to a copy. idTable,
// when given, must hold its IDs each once. Returns the rows of `stopped` as read here.
uint64_t examine(const std::string& left, const std::function<bool(const std::string&)>& append, const std::string& added,
                 const std::string& stopped, bool idTable, Tally& tally) {
  ++tally.stops;
  std::error_code ec;
  if (!fs::exists(left) || fs::file_size(left, ec) == 0) return 0;  // stopped before the file was made
  ++tally.files;
  const bool hasJournal = fs::exists(jet3::journalPath(left));
  tally.journals += hasJournal;
  std::string problems;
  Rows asLies, before;
  const std::vector<int> lagging{static_cast<int>(Kind::kRowCount), static_cast<int>(Kind::kIndex)};
  problems += checkerProblems(left, true, lagging, &asLies);
  tally.lagging += !checkerProblems(left, true).empty();
  problems += mdbtoolsProblems(left);
  problems += checkerProblems(left, false, {}, &before);
  for (const bool keep : {true, false}) {
    const std::string copy = left + (keep ? ".kept.mdb" : ".lost.mdb");
    fs::remove(jet3::journalPath(copy));
    fs::copy_file(left, copy, fs::copy_options::overwrite_existing);
    if (keep && hasJournal) fs::copy_file(jet3::journalPath(left), jet3::journalPath(copy));
    const std::string which = keep ? "after an append with the journal: " : "after an append without the journal: ";
    if (!append(copy)) problems += which + "the append did not complete\n";
    // Without the journal, a row count the stop left a commit behind its rows stays so.
    const std::vector<int> tolerated = keep ? std::vector<int>{} : std::vector<int>{static_cast<int>(Kind::kRowCount)};
    const FileVerdict v = verifyFile(copy, tolerated);
    problems += v.problems.empty() ? "" : which + v.problems;
    for (const auto& [name, n] : keep ? before : asLies) {
      if (rowsOf(v.tables, name) != n) problems += which + name + " has " + std::to_string(rowsOf(v.tables, name)) + " rows, not " + std::to_string(n) + "\n";
    }
    if (rowsOf(v.tables, added) < 2) problems += which + "the added table is missing\n";
    if (idTable && rowsOf(v.tables, stopped) > 0 && !idsOnceEach(copy, stopped)) problems += which + "the IDs are not 1..n each once\n";
  }
  tally.failed += !problems.empty();
  EXPECT_TRUE(problems.empty()) << problems;
  tally.rows += rowsOf(before, stopped);
  return rowsOf(before, stopped);
}

// ---- A three-table conversion and an append, stopped before every write -----------------------

constexpr const char* kSourceScript = R"(CREATE TABLE USER_OBJECTS (OBJECT_NAME VARCHAR2(128) NOT NULL, OBJECT_TYPE VARCHAR2(23), STATUS VARCHAR2(7), ROWNUM INTEGER);
INSERT INTO USER_OBJECTS VALUES ('ROWS_T', 'TABLE', 'VALID', 1);
INSERT INTO USER_OBJECTS VALUES ('LONG_T', 'TABLE', 'VALID', 2);
INSERT INTO USER_OBJECTS VALUES ('SMALL_T', 'TABLE', 'VALID', 3);
INSERT INTO USER_OBJECTS VALUES ('EXTRA_T', 'TABLE', 'VALID', 4);
INSERT INTO USER_OBJECTS VALUES ('AFTER_T', 'TABLE', 'VALID', 5);
CREATE TABLE USER_SEQUENCES (SEQUENCE_NAME VARCHAR2(128) NOT NULL, MIN_VALUE BIGINT, MAX_VALUE VARCHAR2(40), INCREMENT_BY BIGINT, CYCLE_FLAG VARCHAR2(1), ORDER_FLAG VARCHAR2(1), CACHE_SIZE BIGINT, LAST_NUMBER BIGINT);
CREATE TABLE ROWS_T (ID INTEGER, AMOUNT DOUBLE, LABEL VARCHAR(50), STAMP TIMESTAMP, QTY INTEGER);
INSERT INTO ROWS_T SELECT x, x * 0.25, 'label number ' || x, '2024-01-02 03:04:05', x % 97 FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000) SELECT x FROM c);
CREATE TABLE LONG_T (ID INTEGER, MEMO TEXT, PICTURE LONGVARBINARY);
INSERT INTO LONG_T SELECT x, substr(replace(hex(zeroblob(x * 300)), '00', 'メモ' || x), 1, x * 600), zeroblob(x * 900) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 7) SELECT x FROM c);
INSERT INTO LONG_T VALUES (100, 'short', X'0102');
INSERT INTO LONG_T VALUES (101, NULL, NULL);
CREATE TABLE SMALL_T (ID INTEGER, NAME VARCHAR(20));
INSERT INTO SMALL_T VALUES (1, 'one');
INSERT INTO SMALL_T VALUES (2, 'two');
CREATE TABLE EXTRA_T (ID INTEGER, NOTE TEXT);
INSERT INTO EXTRA_T SELECT x, substr(replace(hex(zeroblob(x * 100)), '00', 'note '), 1, x * 450) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 8) SELECT x FROM c);
CREATE TABLE AFTER_T (ID INTEGER, NAME VARCHAR(20));
INSERT INTO AFTER_T VALUES (1, 'after');
INSERT INTO AFTER_T VALUES (2, 'after');
)";

class EveryWrite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new vellicor::testing::ScratchDir();
    source_ = dir_->path("source.sqlite");
    odbc::executeScript("Driver=SQLite3;Database=" + source_, kSourceScript);
    base_ = dir_->path("base.mdb");
    StopPlan counting{Stop::kKill, 0};
    if (convert(base_, "ROWS_T,LONG_T,SMALL_T", true, &counting) != engine::RunEnding::Completed) throw std::runtime_error("conversion failed");
    conversionWrites_ = counting.writes;
    const std::string appended = dir_->path("appended.mdb");
    fs::copy_file(base_, appended);
    counting = StopPlan{Stop::kKill, 0};
    if (convert(appended, "EXTRA_T", false, &counting) != engine::RunEnding::Completed) throw std::runtime_error("append failed");
    appendWrites_ = counting.writes;
  }
  static void TearDownTestSuite() { delete dir_; }

  static engine::RunEnding convert(const std::string& out, const std::string& selection, bool newFile, StopPlan* plan = nullptr) {
    engine::RunOptions opts;
    opts.connectTemplate = kSqliteTemplate;
    if (plan) {
      opts.createWorkspace = [plan](const std::string& name, const std::string& user, const std::string& password,
                                    int useType) -> std::unique_ptr<dao::Workspace> {
        if (useType != dao::dbUseJet) return dao::DBEngine::instance().createWorkspace(name, user, password, useType);
        return jet3::makeJetWorkspace([plan](const std::string& path, jet3::OpenMode mode) {
          return std::make_unique<StoppingFile>(jet3::openSystemFile(path, mode), *plan);
        });
      };
    }
    Host host(selection);
    return engine::runConversion(host, {source_, "demo", "", out, out + ".log", false, newFile, "", opts});
  }

  // Runs the conversion (or the append onto the base file) stopped at write k.
  static void stoppedRun(Stop kind, long k, const std::string& out, bool append) {
    const char* selection = append ? "EXTRA_T" : "ROWS_T,LONG_T,SMALL_T";
    StopPlan plan{kind, k};
    if (kind != Stop::kKill) {
      EXPECT_NE(convert(out, selection, !append, &plan), engine::RunEnding::Completed) << "a failed run reported success";
      return;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      convert(out, selection, !append, &plan);
      ::_exit(0);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kKilledAtWrite) << "the child did not stop at write " << k;
  }

  void sweep(Stop kind, bool append) {
    const long writes = append ? appendWrites_ : conversionWrites_;
    const std::string whole = checkerProblems(base_, true);
    ASSERT_TRUE(whole.empty()) << whole;
    Tally tally;
    const auto addAfter = [](const std::string& copy) { return convert(copy, "AFTER_T", false) == engine::RunEnding::Completed; };
    for (long k = 1; k <= writes; ++k) {
      SCOPED_TRACE("stopped at write " + std::to_string(k) + " of " + std::to_string(writes));
      const std::string out = dir_->path("left.mdb");
      fs::remove(out);
      fs::remove(jet3::journalPath(out));
      if (append) fs::copy_file(base_, out);
      stoppedRun(kind, k, out, append);
      examine(out, addAfter, "AFTER_T", "", false, tally);
      for (const auto& e : fs::directory_iterator(dir_->path("")))
        if (e.path().filename().string().find(".vellicor-new-") != std::string::npos) fs::remove(e.path());
    }
    std::printf("[ stopped runs ] %s, %s at every write: %s\n", append ? "append" : "conversion",
                kind == Stop::kKill ? "killed" : kind == Stop::kTornWrite ? "torn" : "disk full", tally.summary().c_str());
  }

  static inline vellicor::testing::ScratchDir* dir_ = nullptr;
  static inline std::string source_, base_;
  static inline long conversionWrites_ = 0, appendWrites_ = 0;
};

TEST_F(EveryWrite, ConversionKilled) { sweep(Stop::kKill, false); }
TEST_F(EveryWrite, ConversionTorn) { sweep(Stop::kTornWrite, false); }
TEST_F(EveryWrite, ConversionOutOfSpace) { sweep(Stop::kDiskFull, false); }
TEST_F(EveryWrite, AppendKilled) { sweep(Stop::kKill, true); }
TEST_F(EveryWrite, AppendTorn) { sweep(Stop::kTornWrite, true); }
TEST_F(EveryWrite, AppendOutOfSpace) { sweep(Stop::kDiskFull, true); }

// ---- Long tables stopped in their second half ---------------------------------------------------

class LongTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new vellicor::testing::ScratchDir();
    source_ = dir_->path("long.sqlite");
    const std::string count = "(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < ";
    odbc::executeScript(
        "Driver=SQLite3;Database=" + source_,
        std::string(R"(CREATE TABLE USER_OBJECTS (OBJECT_NAME VARCHAR2(128) NOT NULL, OBJECT_TYPE VARCHAR2(23), STATUS VARCHAR2(7), ROWNUM INTEGER);
INSERT INTO USER_OBJECTS VALUES ('BIGT', 'TABLE', 'VALID', 1);
INSERT INTO USER_OBJECTS VALUES ('LVT', 'TABLE', 'VALID', 2);
INSERT INTO USER_OBJECTS VALUES ('SMALLT', 'TABLE', 'VALID', 3);
CREATE TABLE USER_SEQUENCES (SEQUENCE_NAME VARCHAR2(128) NOT NULL, MIN_VALUE BIGINT, MAX_VALUE VARCHAR2(40), INCREMENT_BY BIGINT, CYCLE_FLAG VARCHAR2(1), ORDER_FLAG VARCHAR2(1), CACHE_SIZE BIGINT, LAST_NUMBER BIGINT);
CREATE TABLE SMALLT (ID INTEGER, NAME VARCHAR(20));
INSERT INTO SMALLT VALUES (1, 'one');
INSERT INTO SMALLT VALUES (2, 'two');
CREATE TABLE BIGT (ID INTEGER, AMOUNT DOUBLE, LABEL VARCHAR(50), STAMP TIMESTAMP, QTY INTEGER);
CREATE TABLE LVT (ID INTEGER, DATA LONGVARBINARY);
INSERT INTO BIGT SELECT x, x * 0.25, substr('label ' || x || ' abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ', 1, 50), '2024-01-02 03:04:05', x % 97 FROM )") +
            count + std::to_string(envNumber("VELLICOR_LONG_ROWS", 450000)) + ") SELECT x FROM c);\n" +
            "INSERT INTO LVT SELECT x, zeroblob(1048576) FROM " + count +
            std::to_string(envNumber("VELLICOR_LONG_VALUE_MB", 24)) + ") SELECT x FROM c);\n");
    ::setenv("VELLICOR_PASSWORD", "x", 1);
  }
  static void TearDownTestSuite() { delete dir_; }

  static std::vector<std::string> runArgs(const std::string& table, const std::string& out, bool append) {
    std::vector<std::string> a = {"run", "-s", source_, "-u", "demo", "--select", table, "-o", out, "--yes", "--quiet", "--connect", kSqliteTemplate};
    if (append) a.push_back("--append");
    return a;
  }

  void stopRuns(const std::string& table, bool rowsPastSecondBitmap) {
    const std::string whole = dir_->path("whole.mdb"), out = dir_->path("left.mdb");
    int code = -1;
    reapChild(startVellicor(runArgs(table, whole, false)), &code);
    ASSERT_EQ(code, 0);
    {
      jet3::JetFileReader reader(whole);
      const jet3::TableDefinition def = reader.table(table).def;
      const std::vector<uint32_t> pages = reader.usageMap(rowsPastSecondBitmap ? def.ownedMap : def.longValueMaps.at(0).ownedMap);
      if (rowsPastSecondBitmap) {
        ASSERT_GE(pages.back(), jet3::fmt::kBitmapPageBits) << "short of the map's second bitmap page";
      }
    }
    const uint64_t size = fs::file_size(whole);
    const auto addSmall = [this](const std::string& copy) {
      int status = -1;
      reapChild(startVellicor(runArgs("SMALLT", copy, true)), &status);
      return status == 0;
    };
    Tally tally;
    const long kills = envNumber("VELLICOR_LONG_KILLS", 2);
    const long seed = envNumber("VELLICOR_KILL_SEED", static_cast<long>(std::random_device{}()));
    std::mt19937 random(static_cast<uint32_t>(seed));
    // A moment in the second half of the rows: the file reaching a size between half the whole
    // file's and all of it (the source's own reading takes a time of its own).
    std::uniform_int_distribution<uint64_t> target(size / 2, size);
    for (long i = 0; i < kills; ++i) {
      const uint64_t at = target(random);
      SCOPED_TRACE("killed at " + std::to_string(at) + " of " + std::to_string(size) + " bytes (seed " + std::to_string(seed) + ")");
      fs::remove(out);
      fs::remove(jet3::journalPath(out));
      const int pid = startVellicor(runArgs(table, out, false));
      std::error_code ec;
      while (::waitpid(pid, nullptr, WNOHANG) == 0 && !(fs::file_size(out, ec) >= at && !ec)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      ::kill(pid, SIGKILL);
      reapChild(pid);
      examine(out, addSmall, "SMALLT", table, true, tally);
    }
    for (const double fraction : {0.6, 0.9}) {
      const uint64_t limit = static_cast<uint64_t>(static_cast<double>(size) * fraction);
      SCOPED_TRACE("file size limit " + std::to_string(limit) + " bytes");
      fs::remove(out);
      fs::remove(jet3::journalPath(out));
      // sh counts ulimit -f in blocks of 512 bytes; writes past the limit fail with EFBIG.
      std::string command = "(trap '' XFSZ; ulimit -f " + std::to_string(limit / 512) + "; exec " + vellicor::testing::shellQuote(vellicorBinary());
      for (const std::string& a : runArgs(table, out, false)) command += " " + vellicor::testing::shellQuote(a);
      vellicor::testing::runCommand(command + ") </dev/null >/dev/null 2>&1", &code);
      EXPECT_EQ(code, 1) << "the run did not fail at the size limit";
      // Past 16 MiB of rows or long values a long table has committed some of them.
      const uint64_t committed = examine(out, addSmall, "SMALLT", table, true, tally);
      if (static_cast<double>(size) * fraction > 20.0 * (1 << 20)) {
        EXPECT_GT(committed, 0u);
      }
    }
    std::printf("[ stopped runs ] %s (%llu bytes whole), %ld kills (seed %ld) and 2 size limits: %s, %llu rows committed\n",
                table.c_str(), static_cast<unsigned long long>(size), kills, seed, tally.summary().c_str(),
                static_cast<unsigned long long>(tally.rows));
  }

  static inline vellicor::testing::ScratchDir* dir_ = nullptr;
  static inline std::string source_;
};

TEST_F(LongTable, RowsPastTheSecondBitmapPage) { stopRuns("BIGT", true); }
TEST_F(LongTable, LongValues) { stopRuns("LVT", false); }

}  // namespace
