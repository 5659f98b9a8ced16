// Unit tests of the conversion run over the in-memory data access stand-in: the call order, the
// status texts, the log and every ending.
#include <gtest/gtest.h>

#include <algorithm>

#include "run_fixture.h"

namespace vellicor::fake {
namespace {

using engine::RunEnding;
using V = dao::Variant;

const std::string kTables = " where object_type in ('TABLE')";

Table empTable() {
  Table t;
  t.columns = {{"EMPNO", dao::dbDecimal, 4}, {"ENAME", dao::dbText, 10}, {"HIRED", dao::dbTimeStamp, 0}};
  t.rows = {{V(7369.0), V(std::string("SMITH")), V(dao::Date{29000.5})},
            {V(7499.0), V(dao::Null{}), V(dao::Null{})},
            {V(7521.0), V(std::string("WARD")), V(dao::Date{29001.25})}};
  return t;
}

Table deptTable() {
  Table t;
  t.columns = {{"DEPTNO", dao::dbInteger, 2}, {"DNAME", dao::dbChar, 14}};
  t.rows = {{V(int16_t{10}), V(std::string("ACCOUNTING"))}};
  return t;
}

size_t indexOf(const std::vector<std::string>& v, const std::string& item) {
  auto it = std::find(v.begin(), v.end(), item);
  EXPECT_NE(it, v.end()) << "missing: " << item;
  return static_cast<size_t>(it - v.begin());
}

TEST_F(FakeRunTest, CompletedRunMakesTheCallsInOrderAndCopiesEveryRow) {
  world.setObjectList(kTables, {"EMP", "DEPT"});
  world.addSourceObject("EMP", empTable());
  world.addSourceObject("DEPT", deptTable());

  ASSERT_EQ(run(), RunEnding::Completed);

  const std::vector<std::string> expectedStart = {
      "CreateWorkspace ODBC-D|||1",
      "CreateWorkspace |admin||2",
      "OpenDatabase odbc |1|ro|ODBC;Driver={Oracle ODBC Driver};DBQ=ORCL;UID=SCOTT;PWD=tiger;",
      "CreateDatabase " + out + "|;LANGID=0x0411;CP=932;COUNTRY=0",
      "Close output db",
      "OpenDatabase jet " + out + "|1",
      "OpenRecordset select count(*) from user_objects " + kTables + " |0",
      "Close source",
      "OpenRecordset select * from user_objects " + kTables + " |0",
      "OpenRecordset select count(*) from EMP |0",
      "Close source",
      "OpenRecordset select * from EMP |4",
      "CreateTableDef EMP",
      "AppendTableDef EMP(EMPNO:7:4;ENAME:10:10;HIRED:8:-;)",
      "OpenRecordset out EMP |0",
      "AddNew out:EMP",
      "Update out:EMP 1",
  };
  ASSERT_GE(world.calls.size(), expectedStart.size());
  EXPECT_EQ(std::vector<std::string>(world.calls.begin(), world.calls.begin() + expectedStart.size()), expectedStart);

  const std::vector<std::string> expectedEnd = {"Close source", "Close out:DEPT", "Close source", "Close output db",
                                                "Close source db", "Close jet ws", "Close odbc ws"};
  EXPECT_EQ(std::vector<std::string>(world.calls.end() - expectedEnd.size(), world.calls.end()), expectedEnd);
  // Source rows close before the target table, both before the object list moves on.
  EXPECT_LT(indexOf(world.calls, "Close out:EMP"), indexOf(world.calls, "CreateTableDef DEPT"));

  EXPECT_EQ(host.only("msg:"), (std::vector<std::string>{
                                   "Oracle接続中...SCOTT@ORCL", "", "テーブル名取得中...",
                                   "テーブル取得中...1/2 EMP", "テーブル取得中...1/2 EMP",
                                   "テーブル取得中...2/2 DEPT", "テーブル取得中...2/2 DEPT",
                                   "Oracleクローズ...", "MDBクローズ..."}));
  EXPECT_EQ(host.only("prog:"), (std::vector<std::string>{"レコード = 3", "レコード = 1/3", "レコード = 2/3",
                                                          "レコード = 3/3", "レコード = 1", "レコード = 1/1", ""}));
  EXPECT_TRUE(host.only("box:").empty());

  const Table& emp = world.files[out]["EMP"];
  ASSERT_EQ(emp.rows.size(), 3u);
  EXPECT_EQ(emp.rows, empTable().rows);
  EXPECT_EQ(world.files[out]["DEPT"].rows, deptTable().rows);

  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "データベース= SCOTT@ORCL");
  EXPECT_EQ(lines[1], "テーブル EMP レコード件数 = 3 件");
  EXPECT_EQ(lines[2], "テーブル DEPT レコード件数 = 1 件");
  EXPECT_TRUE(lines[3].rfind("開始日時：20", 0) == 0) << lines[3];
  EXPECT_TRUE(lines[4].rfind("終了日時：20", 0) == 0) << lines[4];
  EXPECT_EQ(lines[3].size(), std::string("開始日時：2001/05/17 14:05:00").size());
}

TEST_F(FakeRunTest, SelectionSkipsUnlistedObjectsAndKeepsPositions) {
  world.setObjectList(kTables, {"EMP", "BONUS", "DEPT"});
  world.addSourceObject("EMP", empTable());
  world.addSourceObject("DEPT", deptTable());
  host.selection = "SCOTT.DEPT,EMP";
  host.chkSeq = 1;
  Table seq;
  seq.columns = {{"SEQUENCE_NAME", dao::dbText, 128}, {"LAST_NUMBER", dao::dbDecimal, 38}};
  seq.rows = {{V(std::string("S1")), V(1.0)}, {V(std::string("S2")), V(21.0)}};
  world.addSourceObject("USER_SEQUENCES", seq);

  ASSERT_EQ(run(), RunEnding::Completed);
  const auto msgs = host.only("msg:");
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), "テーブル取得中...2/3 BONUS"), msgs.end());
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), "テーブル取得中...3/3 DEPT"), msgs.end());
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), "テーブル取得中...4/3 USER_SEQUENCES"), msgs.end());
  const auto progress = host.only("prog:");
  EXPECT_NE(std::find(progress.begin(), progress.end(), "スキップ"), progress.end());
  EXPECT_EQ(world.files[out].count("BONUS"), 0u);
  EXPECT_EQ(world.files[out]["USER_SEQUENCES"].rows.size(), 2u);

  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], "テーブル EMP レコード件数 = 3 件");
  EXPECT_EQ(lines[2], "テーブル BONUS スキップ");
  EXPECT_EQ(lines[3], "テーブル DEPT レコード件数 = 1 件");
  EXPECT_EQ(lines[4], "テーブル USER_SEQUENCES レコード件数 = 2 件");
}

TEST_F(FakeRunTest, NoKindTickedStillCopiesTheSequenceList) {
  host.chkTable = 0;
  host.chkSeq = 1;
  world.setObjectList(" where rownum<0", {});
  Table seq;
  seq.columns = {{"SEQUENCE_NAME", dao::dbText, 128}};
  world.addSourceObject("USER_SEQUENCES", seq);

  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_NE(std::find(world.calls.begin(), world.calls.end(),
                      "OpenRecordset select * from user_objects  where rownum<0 |0"),
            world.calls.end());
  const auto msgs = host.only("msg:");
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), "テーブル取得中...1/0 USER_SEQUENCES"), msgs.end());
  ASSERT_EQ(world.files[out].count("USER_SEQUENCES"), 1u);
  EXPECT_TRUE(world.files[out]["USER_SEQUENCES"].rows.empty());
  EXPECT_EQ(logLines()[1], "テーブル USER_SEQUENCES レコード件数 = 0 件");
}

TEST_F(FakeRunTest, SequenceBoxClearOrGreyedMeansNoSequenceQuery) {
  world.setObjectList(kTables, {});
  for (int box : {0, 2}) {
    host.chkSeq = box;
    std::filesystem::remove(out);
    world.calls.clear();
    ASSERT_EQ(run(), RunEnding::Completed);
    for (const std::string& c : world.calls) EXPECT_EQ(c.find("USER_SEQUENCES"), std::string::npos) << c;
    EXPECT_EQ(logLines().size(), 3u);
  }
}

TEST_F(FakeRunTest, SuffixGoesInFrontOfTheTargetNameOnly) {
  world.setObjectList(kTables, {"EMP"});
  world.addSourceObject("EMP", empTable());
  ASSERT_EQ(run(true, true, "X_"), RunEnding::Completed);
  EXPECT_EQ(world.files[out].count("X_EMP"), 1u);
  EXPECT_EQ(world.files[out].count("EMP"), 0u);
  EXPECT_EQ(logLines()[1], "テーブル EMP レコード件数 = 3 件");
  const auto msgs = host.only("msg:");
  EXPECT_NE(std::find(msgs.begin(), msgs.end(), "テーブル取得中...1/1 EMP"), msgs.end());
}

TEST_F(FakeRunTest, ConnectFailureShowsTheDescriptionAndLeavesTheFileAlone) {
  std::ofstream(out) << "old";
  std::ofstream(log) << "old log";
  world.failConnect = "ORA-01017: invalid username/password";
  ASSERT_EQ(run(), RunEnding::ConnectFailed);
  EXPECT_EQ(engine::oracle2mdb(host, {"ORCL", "SCOTT", "x", out, log, true, true, "", opts}), 1);
  EXPECT_EQ(host.events[0], "msg:Oracle接続中...SCOTT@ORCL");
  EXPECT_EQ(host.events[1], "msg:ORA-01017: invalid username/password");
  EXPECT_EQ(host.events[2], "box:|DB接続に失敗しました。");
  EXPECT_TRUE(host.only("ask:").empty());
  EXPECT_EQ(readFile(out), "old");
  EXPECT_EQ(readFile(log), "old log");
}

TEST_F(FakeRunTest, JetWorkspaceFailureIsAConnectFailureToo) {
  world.failJetWorkspace = true;
  ASSERT_EQ(run(), RunEnding::ConnectFailed);
  EXPECT_EQ(host.events[1], "msg:Jet ワークスペースを作成できません。");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(FakeRunTest, DeclinedOverwriteTouchesNothingAndReturnsZero) {
  std::ofstream(out) << "old";
  std::ofstream(log) << "old log";
  host.answer = engine::Answer::No;
  ASSERT_EQ(run(), RunEnding::Declined);
  EXPECT_EQ(engine::oracle2mdb(host, {"ORCL", "SCOTT", "tiger", out, log, true, true, "", opts}), 0);
  EXPECT_EQ(host.only("ask:")[0], "MDBファイル作成|ファイルは上書きされます。よろしいですか？");
  EXPECT_EQ(readFile(out), "old");
  EXPECT_EQ(readFile(log), "old log");
  EXPECT_EQ(world.calls.back(), "Close odbc ws");
}

TEST_F(FakeRunTest, AcceptedOverwriteReplacesTheFile) {
  world.setObjectList(kTables, {});
  std::ofstream(out) << "old";
  host.answer = engine::Answer::Yes;
  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_EQ(readFile(out), "mdb");
}

TEST_F(FakeRunTest, HiddenOutputFileIsNeitherAskedAboutNorDeleted) {
  out = (dir / ".hidden.mdb").string();
  std::ofstream(out) << "old";
  ASSERT_EQ(run(), RunEnding::CreateFailed);
  EXPECT_TRUE(host.only("ask:").empty());
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"MDBファイル作成エラー|MDBファイルの作成に失敗しました。"}));
  EXPECT_EQ(readFile(out), "old");
  EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(FakeRunTest, CreationAndOpenFailuresHaveTheirOwnBoxes) {
  world.failCreate = true;
  ASSERT_EQ(run(), RunEnding::CreateFailed);
  EXPECT_FALSE(std::filesystem::exists(log));

  host.events.clear();
  ASSERT_EQ(run(true, false), RunEnding::OpenFailed);  // no file to open
  EXPECT_EQ(host.only("box:"),
            (std::vector<std::string>{"MDBファイルオープンエラー|MDBファイルのオープンに失敗しました。"}));
  // The status line says why before the box.
  EXPECT_EQ(host.only("msg:").back(), "ファイルが見つかりません。");
  EXPECT_FALSE(std::filesystem::exists(log));
  EXPECT_EQ(world.calls.back(), "Close odbc ws");
}

TEST_F(FakeRunTest, UnsupportedTypeStopsWithItsMessageAndClosesEverything) {
  world.setObjectList(kTables, {"DEPT", "EMP", "BONUS"});
  world.addSourceObject("DEPT", deptTable());
  Table emp = empTable();
  emp.columns.push_back({"PHOTO", dao::dbVarBinary, 100});
  for (auto& r : emp.rows) r.push_back(V(dao::Null{}));
  world.addSourceObject("EMP", emp);

  ASSERT_EQ(run(true, true, "X_"), RunEnding::UnsupportedType);
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"|EMPテーブルPHOTOの型(17)はサポートされていません。"}));
  EXPECT_EQ(world.files[out].count("X_DEPT"), 1u);
  EXPECT_EQ(world.files[out].count("X_EMP"), 0u);
  const std::vector<std::string> closing = {"Close source", "Close source", "Close output db", "Close source db",
                                            "Close jet ws", "Close odbc ws"};
  EXPECT_EQ(std::vector<std::string>(world.calls.end() - closing.size(), world.calls.end()), closing);
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 4u);  // database line and two record count lines, the stop, no times
  EXPECT_EQ(lines[2], "テーブル EMP レコード件数 = 3 件");
  EXPECT_EQ(lines[3], "中止: EMPテーブルPHOTOの型(17)はサポートされていません。");
}

TEST_F(FakeRunTest, RefusedValueEndsThroughTheFailureHandling) {
  world.setObjectList(kTables, {"DEPT", "EMP"});
  world.addSourceObject("DEPT", deptTable());
  world.addSourceObject("EMP", empTable());
  world.failUpdateAtRow = 2;  // the second row of EMP

  ASSERT_EQ(run(), RunEnding::Failed);
  // The refusal names the row it refused.
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"異常終了|値がフィールドに入りません (2 件目のレコード)。"}));
  EXPECT_EQ(world.files[out]["EMP"].rows.size(), 1u);
  const std::vector<std::string> closing = {"Close source", "Close out:EMP", "Close source", "Close output db",
                                            "Close source db", "Close jet ws", "Close odbc ws"};
  EXPECT_EQ(std::vector<std::string>(world.calls.end() - closing.size(), world.calls.end()), closing);
  ASSERT_EQ(logLines().size(), 4u);
  EXPECT_EQ(logLines().back(), "中止: 値がフィールドに入りません (2 件目のレコード)。");  // the log says it stopped
  // The status lines keep what they showed last.
  EXPECT_EQ(host.only("msg:").back(), "テーブル取得中...2/2 EMP");
  EXPECT_EQ(host.only("prog:").back(), "レコード = 1/3");
}

TEST_F(FakeRunTest, RejectedQueryAndExistingTableAreFailures) {
  world.setObjectList(kTables, {"GONE"});
  world.rejected["select count(*) from GONE"] = "ORA-00942: table or view does not exist";
  ASSERT_EQ(run(), RunEnding::Failed);
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"異常終了|ORA-00942: table or view does not exist"}));

  // Into the existing file: the sequence table made by an earlier run is already there.
  host.events.clear();
  host.chkTable = 0;
  host.chkSeq = 1;
  world.setObjectList(" where rownum<0", {});
  Table seq;
  seq.columns = {{"SEQUENCE_NAME", dao::dbText, 128}};
  world.addSourceObject("USER_SEQUENCES", seq);
  ASSERT_EQ(run(true, false), RunEnding::Completed);
  ASSERT_EQ(run(true, false), RunEnding::Failed);
  EXPECT_EQ(host.only("box:").back(), "異常終了|テーブル 'USER_SEQUENCES' は既に存在します。");
}

TEST_F(FakeRunTest, LogIsAppendedForAnExistingFileAndAbsentWithoutLogflag) {
  world.setObjectList(kTables, {"DEPT"});
  world.addSourceObject("DEPT", deptTable());
  ASSERT_EQ(run(false), RunEnding::Completed);
  EXPECT_FALSE(std::filesystem::exists(log));

  std::ofstream(log, std::ios::binary) << "earlier\r\n";
  world.files[out].clear();
  ASSERT_EQ(run(true, false, "B_"), RunEnding::Completed);
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "earlier");
  EXPECT_EQ(lines[1], "データベース= SCOTT@ORCL");
}

TEST_F(FakeRunTest, UnopenableLogIsAFailureAfterTheFileIsMade) {
  world.setObjectList(kTables, {});
  log = (dir / "no-such-folder" / "x.log").string();
  ASSERT_EQ(run(), RunEnding::Failed);
  ASSERT_EQ(host.only("box:").size(), 1u);
  EXPECT_EQ(host.only("box:")[0].rfind("異常終了|ログファイル", 0), 0u) << host.only("box:")[0];
}

TEST_F(FakeRunTest, SubstitutedCharactersAreReportedOnlyWhenThereAreAny) {
  world.setObjectList(kTables, {});
  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_TRUE(host.only("box:").empty());

  std::filesystem::remove(out);
  world.substituted = 3;
  ASSERT_EQ(run(), RunEnding::Completed);
  ASSERT_EQ(host.only("box:").size(), 1u);
  EXPECT_NE(host.only("box:")[0].find(" 3 文字"), std::string::npos);
  EXPECT_EQ(host.only("box:")[0][0], '|');  // the program's title
  EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(FakeRunTest, NamesThatAreNotPlainIdentifiersAreQuotedInQueries) {
  world.setObjectList(kTables, {"Emp", "order lines"});
  world.addSourceObject("\"Emp\"", deptTable());
  world.addSourceObject("\"order lines\"", deptTable());
  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_EQ(world.files[out].count("Emp"), 1u);
  EXPECT_EQ(world.files[out].count("order lines"), 1u);
}

}  // namespace
}  // namespace vellicor::fake
