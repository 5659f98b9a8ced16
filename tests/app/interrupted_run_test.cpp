// Ctrl-C (SIGINT) and SIGTERM sent to the real binary while it copies a large table: the run
// stops at the next row, keeps what it copied, closes the file, the log and the source, says so,
// and exits with 130; a second Ctrl-C while it closes is waited out. The file left then takes an
// append.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "app_harness.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/journal.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

namespace vellicor::e2e {
namespace {

class InterruptedRunTest : public E2ETest {
 protected:
  std::vector<std::string> runWords(const std::string& out, std::vector<std::string> extra) const {
    std::vector<std::string> words = {"run", "-s", largeSource(), "-u", "demo", "-o", out, "--connect", kSqliteTemplate};
    words.insert(words.end(), extra.begin(), extra.end());
    return words;
  }

  // Starts the copy of BIGT into out and returns once its rows are reaching the file.
  std::unique_ptr<Background> startCopying(const std::string& out) {
    auto b = startVellicor(runWords(out, {"--select", "BIGT"}));
    const bool flowing = waitUntil(
        [&] {
          std::error_code ec;
          return std::filesystem::file_size(out, ec) > (2u << 20) && !ec;
        },
        b.get());
    EXPECT_TRUE(flowing) << "the rows never reached the file";
    return b;
  }

  // The run ended as an interrupted one and left a whole file with the rows it copied: the
  // first rows of the source, in order, as our reader, the index walker and mdbtools read them;
  // the log closed as after a stop; the file takes an append. Returns the rows kept.
  uint64_t expectStoppedCleanly(const Result& r, const std::string& out) {
    EXPECT_EQ(r.exitCode, 130) << r.out << r.err;
    EXPECT_NE(r.err.find("中断します。"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("[中断] 処理を中断しました。"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("正常終了"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(out))) << "a commit was left half done";

    uint64_t rows = 0;
    {
      jet3::JetFileReader reader(out);
      jet3::RowCursor cursor(reader, reader.table("BIGT"));
      while (cursor.next()) {
        ++rows;
        const dao::Variant id = cursor.value(0);
        const auto* n = std::get_if<int32_t>(&id);
        if (n == nullptr || *n != static_cast<int32_t>(rows)) {
          ADD_FAILURE() << "row " << rows << " holds ID " << dao::toDisplayText(id);
          break;
        }
      }
    }
    EXPECT_GT(rows, 0u);
    EXPECT_LT(rows, static_cast<uint64_t>(kLargeRows)) << "the run was not stopped";
    EXPECT_EQ(vellicor::testing::indexFaults(out), "");
    const Result inspected = runVellicor({"inspect", out});
    EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
    EXPECT_EQ(vellicor::testing::mdbExport(out, "BIGT", "CP932").size(), rows);

    // The log as a stop leaves it: every line up to the table being copied, no time lines.
    const std::string log = readText(out + ".log");
    const std::vector<std::string> lines = logLines(out + ".log");
    EXPECT_EQ(lines.size(), 7u);  // the database line, four tables skipped, BIGT, the stop
    EXPECT_EQ(lines.front(), "データベース= demo@" + largeSource());
    if (lines.size() == 7) {
      EXPECT_EQ(lines[5], "テーブル BIGT レコード件数 = " + std::to_string(kLargeRows) + " 件");
    }
    EXPECT_EQ(lines.back(), "中止: 処理を中断しました。");
    EXPECT_TRUE(log.size() >= 2 && log.substr(log.size() - 2) == "\r\n") << "the log ends inside a line";

    const Result more = runVellicor(runWords(out, {"--append", "--select", "DEPARTMENTS"}));
    EXPECT_EQ(more.exitCode, 0) << more.out << more.err;
    EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"BIGT", "DEPARTMENTS"}));
    EXPECT_EQ(vellicor::testing::mdbExport(out, "BIGT", "CP932").size(), rows);
    EXPECT_EQ(mdbRows(out, "DEPARTMENTS").size(), 4u);
    EXPECT_EQ(vellicor::testing::indexFaults(out), "");
    return rows;
  }
};

TEST_F(InterruptedRunTest, CtrlCAndSigtermStopAtTheNextRowAndKeepTheRowsCopied) {
  for (int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig == SIGINT ? "SIGINT" : "SIGTERM");
    const std::string out = path(std::string(sig == SIGINT ? "int" : "term") + ".mdb");
    auto b = startCopying(out);
    ::kill(b->pid, sig);
    const Result& r = finish(*b);
    const uint64_t rows = expectStoppedCleanly(r, out);
    std::printf("[ interrupt ] %s: %llu of %ld rows kept\n", sig == SIGINT ? "SIGINT" : "SIGTERM",
                static_cast<unsigned long long>(rows), kLargeRows);
    if (HasFailure()) return;
  }
}

TEST_F(InterruptedRunTest, ASecondCtrlCWhileClosingIsWaitedOut) {
  // The second Ctrl-C must come after the first was taken and before the run has ended: the run
  // is held (SIGSTOP) between the two, and the attempt is made again when it had already ended.
  bool tried = false;
  for (int attempt = 0; attempt < 5 && !tried; ++attempt) {
    const std::string out = path("twice" + std::to_string(attempt) + ".mdb");
    auto b = startCopying(out);
    ::kill(b->pid, SIGINT);
    ASSERT_TRUE(waitUntil([&] { return readText(b->errFile).find("中断します。") != std::string::npos; }, b.get()));
    if (!pause(*b)) continue;
    if (readText(b->errFile).find("[中断]") != std::string::npos) {  // already at its end
      resume(*b);
      finish(*b);
      continue;
    }
    tried = true;
    ::kill(b->pid, SIGINT);
    resume(*b);
    const Result& r = finish(*b);
    EXPECT_NE(r.err.find("お待ちください"), std::string::npos) << r.err;
    expectStoppedCleanly(r, out);
  }
  EXPECT_TRUE(tried) << "the run always ended before the second Ctrl-C could be sent";
}

}  // namespace
}  // namespace vellicor::e2e
