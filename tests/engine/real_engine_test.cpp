// The run through the real ODBC source (SQLite demo schema) and the real Jet engine, for what the
// command line cannot reach: no kind ticked with the sequence list, and characters the output code
// page cannot hold. Files are read back with mdbtools.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "dataaccess/odbc/odbc_script.h"
#include "engine/conversion_run.h"
#include "fake_dao.h"
#include "run_fixture.h"
#include "support/mdbtools_support.h"

namespace vellicor::fake {
namespace {

class RealEngineTest : public FakeRunTest {
 protected:
  void SetUp() override {
    FakeRunTest::SetUp();
    opts = engine::RunOptions{};
    opts.connectTemplate = "Driver=SQLite3;Database=%DBQ%";
    source = (dir / "source.sqlite").string();
  }
  void makeSource(const std::string& extra) {
    odbc::executeScript("Driver=SQLite3;Database=" + source,
                        readFile(std::string(VELLICOR_SOURCE_DIR) + "/app/demo/demo_schema.sql") + "\n" + extra);
  }
  engine::RunEnding runReal() {
    return engine::runConversion(host, {source, "demo", "", out, log, true, true, "S_", opts});
  }
  std::string source;
};

TEST_F(RealEngineTest, NoKindTickedCopiesOnlyTheSequenceList) {
  makeSource("");
  host.chkTable = 0;
  host.chkSeq = 1;
  ASSERT_EQ(runReal(), engine::RunEnding::Completed);
  const auto msgs = host.only("msg:");
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), "テーブル取得中...1/0 USER_SEQUENCES"), msgs.end());
  int code = 0;
  EXPECT_EQ(vellicor::testing::runCommand("mdb-tables -1 " + vellicor::testing::shellQuote(out), &code),
            "S_USER_SEQUENCES\n");
  const auto rows = vellicor::testing::mdbExport(out, "S_USER_SEQUENCES", "CP932");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][0], std::optional<std::string>("DEPT_SEQ"));
  EXPECT_EQ(rows[1][7], std::optional<std::string>("50"));
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "テーブル USER_SEQUENCES レコード件数 = 3 件");
}

TEST_F(RealEngineTest, CharactersOutsideTheCodePageAreCountedAndReported) {
  makeSource(
      "CREATE TABLE SYMBOLS (ID INTEGER, T VARCHAR2(20));\n"
      "INSERT INTO SYMBOLS VALUES (1, '価格€5');\n"
      "INSERT INTO SYMBOLS VALUES (2, 'ok');\n"
      "INSERT INTO SYMBOLS VALUES (3, 'üß');\n"
      "INSERT INTO USER_OBJECTS VALUES ('SYMBOLS', 'TABLE', 'VALID', 10);\n");
  host.selection = "SYMBOLS";
  ASSERT_EQ(runReal(), engine::RunEnding::Completed);
  const auto boxes = host.only("box:");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(" 3 文字"), std::string::npos) << boxes[0];
  auto rows = vellicor::testing::mdbExport(out, "S_SYMBOLS", "CP932");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], std::optional<std::string>("価格?5"));
  EXPECT_EQ(rows[2][1], std::optional<std::string>("??"));
  // The log keeps its usual lines, and says how many characters of the table were replaced.
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "テーブル SYMBOLS シフトJISで表せない文字 = 3 文字 (「?」に置換)"), lines.end());
}

}  // namespace
}  // namespace vellicor::fake
