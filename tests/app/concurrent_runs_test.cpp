// Two runs of the real binary on one output file at once: a run that would replace the file
// while another run has it open fails with the creation-failure message and says the file is in
// use, and the run holding the file completes into it. The run holding the file is held still
// (SIGSTOP) in the middle of its rows while the second one starts, so that the two overlap.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_harness.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

namespace vellicor::e2e {
namespace {

class ConcurrentRunsTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    out = path("same.mdb");
  }

  std::vector<std::string> runWords(std::vector<std::string> extra) const {
    std::vector<std::string> words = {"run", "-s", largeSource(), "-u", "demo", "-o", out, "--connect", kSqliteTemplate};
    words.insert(words.end(), extra.begin(), extra.end());
    return words;
  }

  // Starts a run copying BIGT and holds it still once the file has grown past `bytes`.
  std::unique_ptr<Background> startAndHoldInItsRows(std::vector<std::string> extra, uintmax_t bytes) {
    extra.insert(extra.end(), {"--select", "BIGT"});
    auto b = startVellicor(runWords(extra));
    const bool flowing = waitUntil(
        [&] {
          std::error_code ec;
          return std::filesystem::file_size(out, ec) > bytes && !ec;
        },
        b.get());
    EXPECT_TRUE(flowing) << "the rows never reached the file";
    EXPECT_TRUE(pause(*b)) << "the run ended before the second one started: " << b->result.err;
    return b;
  }

  // A second run that would replace the file: refused while the file is in use, the file left.
  void expectReplacingRunRefused() {
    const Result r = runVellicor(runWords({"--yes", "--select", "EMPLOYEES"}));
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("[MDBファイル作成エラー] MDBファイルの作成に失敗しました。"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("使用中"), std::string::npos) << r.out;
  }

  // The rows of BIGT as our reader and mdbtools read them, with the index walker's verdict.
  void expectWholeLargeTable() {
    uint64_t rows = 0;
    {
      jet3::JetFileReader reader(out);
      jet3::RowCursor cursor(reader, reader.table("BIGT"));
      while (cursor.next()) ++rows;
    }
    EXPECT_EQ(rows, static_cast<uint64_t>(kLargeRows));
    EXPECT_EQ(vellicor::testing::mdbExport(out, "BIGT", "CP932").size(), static_cast<size_t>(kLargeRows));
    EXPECT_EQ(vellicor::testing::indexFaults(out), "");
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      EXPECT_EQ(e.path().filename().string().find(".vellicor-new-"), std::string::npos) << e.path();
    }
  }

  std::string out;
};

TEST_F(ConcurrentRunsTest, AnOverwriteRunLeavesTheFileOfARunningAppend) {
  ASSERT_EQ(runVellicor(runWords({"--select", "DEPARTMENTS"})).exitCode, 0);
  const uintmax_t before = std::filesystem::file_size(out);
  auto append = startAndHoldInItsRows({"--append"}, before + (2u << 20));
  expectReplacingRunRefused();
  resume(*append);
  const Result& r = finish(*append);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("正常終了しました。"), std::string::npos) << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"BIGT", "DEPARTMENTS"}));
  EXPECT_EQ(mdbRows(out, "DEPARTMENTS").size(), 4u);
  expectWholeLargeTable();
  // Both completed runs wrote their lines (eight each: the database line, five tables, the two
  // times); the refused one wrote none.
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[13], "テーブル BIGT レコード件数 = " + std::to_string(kLargeRows) + " 件");
  EXPECT_EQ(lines[15].rfind("終了日時：", 0), 0u) << lines[15];
}

TEST_F(ConcurrentRunsTest, ARunningOverwriteKeepsItsNewFileFromOtherRuns) {
  ASSERT_EQ(runVellicor(runWords({"--select", "DEPARTMENTS"})).exitCode, 0);
  auto overwrite = startAndHoldInItsRows({"--yes"}, 2u << 20);
  // The old file is gone from the name, the new one is in use: an append cannot open it, and a
  // further overwrite cannot replace it.
  const Result append = runVellicor(runWords({"--append", "--select", "EMPLOYEES"}));
  EXPECT_EQ(append.exitCode, 1) << append.out << append.err;
  EXPECT_NE(append.err.find("[MDBファイルオープンエラー] MDBファイルのオープンに失敗しました。"), std::string::npos)
      << append.err;
  expectReplacingRunRefused();
  resume(*overwrite);
  const Result& r = finish(*overwrite);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"BIGT"}));
  expectWholeLargeTable();
  const auto lines = logLines(out + ".log");  // the overwrite's own lines only
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[5], "テーブル BIGT レコード件数 = " + std::to_string(kLargeRows) + " 件");
}

}  // namespace
}  // namespace vellicor::e2e
