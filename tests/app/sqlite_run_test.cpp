// End-to-end runs of the real binary over the SQLite demo source into real Jet files, read back
// with mdbtools and compared with the source through the sqlite3 shell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "app_harness.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/journal.h"
#include "support/mdbtools_support.h"

namespace vellicor::e2e {
namespace {

using vellicor::testing::runCommand;
using vellicor::testing::shellQuote;

// Rows of a query on the SQLite source, tab-separated, Null as <NULL>, sorted.
std::vector<std::vector<std::string>> sqliteRows(const std::string& file, const std::string& sql) {
  int code = 0;
  const std::string out = runCommand("sqlite3 -batch -separator '\t' -nullvalue '<NULL>' " + shellQuote(file) + " " +
                                         shellQuote(sql),
                                     &code);
  EXPECT_EQ(code, 0) << out;
  std::vector<std::vector<std::string>> rows;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    std::vector<std::string> cells;
    const std::string line = out.substr(at, end - at);
    size_t c = 0;
    while (true) {
      const size_t tab = line.find('\t', c);
      cells.push_back(line.substr(c, tab == std::string::npos ? std::string::npos : tab - c));
      if (tab == std::string::npos) break;
      c = tab + 1;
    }
    rows.push_back(cells);
    at = end + 1;
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Code page 932 as Windows decodes it maps a few characters to their full-width look-alikes
// (WAVE DASH 0x8160 reads back as FULLWIDTH TILDE, and so on); compare in that form.
std::string asCp932ReadsIt(std::string s) {
  const std::pair<const char*, const char*> pairs[] = {{"\u301C", "\uFF5E"}, {"\u2212", "\uFF0D"},
                                                       {"\u2016", "\u2225"}, {"\u00A2", "\uFFE0"},
                                                       {"\u00A3", "\uFFE1"}, {"\u00AC", "\uFFE2"}};
  for (const auto& [from, to] : pairs) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at)) {
      s.replace(at, std::string(from).size(), to);
      at += std::string(to).size();
    }
  }
  return s;
}

bool sameNumber(const std::string& a, const std::string& b) {
  if (a == asCp932ReadsIt(b)) return true;
  char* ea = nullptr;
  char* eb = nullptr;
  const double x = std::strtod(a.c_str(), &ea);
  const double y = std::strtod(b.c_str(), &eb);
  return ea && *ea == '\0' && eb && *eb == '\0' && std::abs(x - y) <= 1e-9 * std::max(1.0, std::abs(x));
}

// Compares cell by cell: numbers by value, everything else as text.
void expectSameRows(const std::vector<std::vector<std::string>>& mdb, const std::vector<std::vector<std::string>>& src,
                    const std::string& what) {
  ASSERT_EQ(mdb.size(), src.size()) << what;
  for (size_t r = 0; r < mdb.size(); ++r) {
    ASSERT_EQ(mdb[r].size(), src[r].size()) << what << " row " << r;
    for (size_t c = 0; c < mdb[r].size(); ++c) {
      EXPECT_TRUE(sameNumber(mdb[r][c], src[r][c])) << what << " row " << r << " col " << c << ": mdb '" << mdb[r][c]
                                                    << "' source '" << src[r][c] << "'";
    }
  }
}

class SqliteRunTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    source = makeSqliteSource(dir, extraSql());
    out = path("out.mdb");
  }
  virtual std::string extraSql() const { return ""; }

  Result run(std::vector<std::string> extra, const std::string& output = "") {
    std::vector<std::string> words = {"run", "-s", source, "-u", "demo", "-o", output.empty() ? out : output,
                                      "--connect", kSqliteTemplate};
    words.insert(words.end(), extra.begin(), extra.end());
    return runVellicor(words);
  }

  std::string source, out;
};

TEST_F(SqliteRunTest, CompletedRunCopiesEveryKindAndTheSequenceList) {
  const Result r = run({"--views", "--synonyms", "--sequences"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Oracle接続中...demo@" + source + "\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("テーブル名取得中...\n"), std::string::npos);
  EXPECT_NE(r.out.find("テーブル取得中...1/6 DEPARTMENTS\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("テーブル取得中...6/6 EMP\n"), std::string::npos);
  EXPECT_NE(r.out.find("テーブル取得中...7/6 USER_SEQUENCES\n"), std::string::npos);
  EXPECT_NE(r.out.find("レコード = 2500/2500\n"), std::string::npos);
  EXPECT_NE(r.out.find("Oracleクローズ...\nMDBクローズ...\n"), std::string::npos);
  EXPECT_NE(r.out.find("処理完了\n"), std::string::npos);
  EXPECT_NE(r.out.find(" 開始  "), std::string::npos);
  EXPECT_NE(r.err.find("[完了通知] 正常終了しました。"), std::string::npos) << r.err;

  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"ALL_TYPES", "DEPARTMENTS", "EMP", "EMPLOYEES", "EMP_DEPT",
                                                      "SALES_LOG", "USER_SEQUENCES"}));
  expectSameRows(mdbRows(out, "DEPARTMENTS"), sqliteRows(source, "select * from DEPARTMENTS"), "DEPARTMENTS");
  expectSameRows(mdbRows(out, "SALES_LOG"), sqliteRows(source, "select * from SALES_LOG"), "SALES_LOG");
  expectSameRows(mdbRows(out, "EMP_DEPT"), sqliteRows(source, "select * from EMP_DEPT"), "EMP_DEPT");
  expectSameRows(mdbRows(out, "EMPLOYEES"),
                 sqliteRows(source, "select EMP_ID, EMP_NAME, KANA, DEPT_ID, HIRE_DATE || ' 00:00:00', SALARY, "
                                    "COMMISSION, UPDATED_AT, NOTE from EMPLOYEES"),
                 "EMPLOYEES");

  // Long values arrive whole: text over 3,000 bytes and 2,500 bytes of binary.
  const auto types = mdbRows(out, "ALL_TYPES");
  const auto want = sqliteRows(source, "select ID, C_VARCHAR, C_CLOB, hex(C_BLOB) from ALL_TYPES");
  ASSERT_EQ(types.size(), want.size());
  for (size_t r = 0; r < types.size(); ++r) {
    ASSERT_EQ(types[r].size(), 17u);
    EXPECT_EQ(types[r][0], want[r][0]);
    // mdb-export prints a zero-length text as it prints Null (empty_value_run_test tells them apart).
    if (!want[r][1].empty()) {
      EXPECT_EQ(types[r][11], want[r][1]) << r;
    }
    EXPECT_EQ(types[r][12], want[r][2]) << r;
    EXPECT_EQ(types[r][13], want[r][3].empty() ? "<NULL>" : want[r][3]) << r;
  }
  EXPECT_GT(want[2][2].size(), 3000u);
  EXPECT_EQ(want[2][3].size(), 5000u);

  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "データベース= demo@" + source);
  EXPECT_EQ(lines[1], "テーブル DEPARTMENTS レコード件数 = 4 件");
  EXPECT_EQ(lines[2], "テーブル EMPLOYEES レコード件数 = 5 件");
  EXPECT_EQ(lines[4], "テーブル SALES_LOG レコード件数 = 2500 件");
  EXPECT_EQ(lines[7].rfind("テーブル USER_SEQUENCES レコード件数 = ", 0), 0u) << lines[7];
  EXPECT_EQ(lines[8].rfind("開始日時：", 0), 0u);
  EXPECT_EQ(lines[9].rfind("終了日時：", 0), 0u);
}

TEST_F(SqliteRunTest, SelectionSkipsOtherObjectsAndPrefixNamesTheTables) {
  const Result r = run({"--select", "EMPLOYEES,SCOTT.DEPARTMENTS", "--prefix", "X_"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"X_DEPARTMENTS", "X_EMPLOYEES"}));
  EXPECT_NE(r.out.find("テーブル取得中...3/4 ALL_TYPES\nスキップ\n"), std::string::npos) << r.out;
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], "テーブル DEPARTMENTS レコード件数 = 4 件");
  EXPECT_EQ(lines[2], "テーブル EMPLOYEES レコード件数 = 5 件");
  EXPECT_EQ(lines[3], "テーブル ALL_TYPES スキップ");
  EXPECT_EQ(lines[4], "テーブル SALES_LOG スキップ");
  expectSameRows(mdbRows(out, "X_DEPARTMENTS"), sqliteRows(source, "select * from DEPARTMENTS"), "X_DEPARTMENTS");
}

TEST_F(SqliteRunTest, AppendAddsTablesToTheFileAndLinesToTheLog) {
  ASSERT_EQ(run({"--select", "DEPARTMENTS"}).exitCode, 0);
  const Result r = run({"--append", "--prefix", "B_", "--select", "DEPARTMENTS"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"B_DEPARTMENTS", "DEPARTMENTS"}));
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0], lines[7]);  // both runs' database lines
  EXPECT_EQ(lines[6].rfind("終了日時：", 0), 0u);
  EXPECT_EQ(lines[8], "テーブル DEPARTMENTS レコード件数 = 4 件");
  EXPECT_EQ(mdbRows(out, "B_DEPARTMENTS"), mdbRows(out, "DEPARTMENTS"));

  // The same table again into the same file: the append of its definition fails.
  const Result again = run({"--append", "--prefix", "B_", "--select", "DEPARTMENTS"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("[異常終了] "), std::string::npos) << again.err;
}

TEST_F(SqliteRunTest, AppendBesideAJournalOfAnotherFileSetsItAsideAndSaysSo) {
  ASSERT_EQ(run({"--select", "DEPARTMENTS"}).exitCode, 0);
  // A whole journal that matches page 0 (all our files share it) but not the page it holds.
  const std::string bytes = readText(out);
  jet3::Journal j;
  j.pageCount = static_cast<uint32_t>(bytes.size() / jet3::fmt::kPageSize);
  j.headerHash = jet3::journalHash(reinterpret_cast<const uint8_t*>(bytes.data()), jet3::fmt::kPageSize);
  const std::vector<uint8_t> other(jet3::fmt::kPageSize, 0x5A);
  j.images.push_back({2, std::vector<uint8_t>(jet3::fmt::kPageSize, 0xA5), jet3::sectorHashes(other.data())});
  const std::vector<uint8_t> encoded = jet3::encodeJournal(j);
  std::ofstream(jet3::journalPath(out), std::ios::binary)
      .write(reinterpret_cast<const char*>(encoded.data()), static_cast<std::streamsize>(encoded.size()));

  const Result r = run({"--append", "--select", "EMPLOYEES"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::string aside = jet3::journalPath(out) + ".foreign-1";
  EXPECT_NE(r.err.find("[Vellicor] ジャーナル '" + jet3::journalPath(out) + "' はこのデータベースのものではない"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(aside), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::exists(aside));
  EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(out)));
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"DEPARTMENTS", "EMPLOYEES"}));
  EXPECT_EQ(mdbRows(out, "DEPARTMENTS").size(), 4u);
}

TEST_F(SqliteRunTest, DeclinedOverwriteLeavesFileAndLogAlone) {
  ASSERT_EQ(run({"--select", "DEPARTMENTS"}).exitCode, 0);
  const std::string before = readText(out), logBefore = readText(out + ".log");
  const Result r = run({});
  EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
  EXPECT_NE(r.err.find("[MDBファイル作成] ファイルは上書きされます。よろしいですか？"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("正常終了しました。"), std::string::npos);
  EXPECT_EQ(readText(out), before);
  EXPECT_EQ(readText(out + ".log"), logBefore);

  const Result yes = run({"--yes", "--select", "EMPLOYEES"});
  ASSERT_EQ(yes.exitCode, 0) << yes.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"EMPLOYEES"}));
}

TEST_F(SqliteRunTest, CreationAndOpenFailures) {
  const Result create = run({}, path("missing-folder/out.mdb"));
  EXPECT_EQ(create.exitCode, 1);
  EXPECT_NE(create.err.find("[MDBファイル作成エラー] MDBファイルの作成に失敗しました。"), std::string::npos) << create.err;

  // A hidden file is neither asked about nor deleted; the creation then fails.
  const std::string hidden = path(".hidden.mdb");
  { std::ofstream(hidden) << "keep me"; }
  const Result h = run({}, hidden);
  EXPECT_EQ(h.exitCode, 1);
  EXPECT_EQ(h.err.find("上書き"), std::string::npos);
  EXPECT_NE(h.err.find("MDBファイルの作成に失敗しました。"), std::string::npos) << h.err;
  EXPECT_EQ(readText(hidden), "keep me");
  EXPECT_FALSE(std::filesystem::exists(hidden + ".log"));

  const Result open = run({"--append"});
  EXPECT_EQ(open.exitCode, 1);
  EXPECT_NE(open.err.find("[MDBファイルオープンエラー] MDBファイルのオープンに失敗しました。"), std::string::npos) << open.err;
  EXPECT_FALSE(std::filesystem::exists(out + ".log"));
}

TEST_F(SqliteRunTest, RelativeOutputGetsAnAbsoluteLogBesideIt) {
  const Result r = runVellicor({"run", "-s", source, "-u", "demo", "-o", "rel.mdb", "--connect", kSqliteTemplate,
                                "--select", "DEPARTMENTS", "--quiet"},
                               {}, dir.string());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(std::filesystem::exists(path("rel.mdb.log")));
  EXPECT_EQ(mdbTables(path("rel.mdb")), (std::vector<std::string>{"DEPARTMENTS"}));
}

TEST_F(SqliteRunTest, NamedPatternOfAPatternFileChoosesTheObjects) {
  const std::string file = path("seltable.dat");
  {
    std::ofstream f(file, std::ios::binary);
    f << "@ignored\r\n# seltable.dat\r\n#HR\r\nemployees\r\nDEPARTMENTS\r\n#SALES\r\nSALES_LOG\r\n";
  }
  const Result r = run({"--pattern", "HR", "--pattern-file", file});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"DEPARTMENTS", "EMPLOYEES"}));

  const Result missing = run({"--pattern", "NOPE", "--pattern-file", file, "--yes"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("NOPE"), std::string::npos) << missing.err;
  const Result both = run({"--pattern", "HR", "--select", "EMP", "--pattern-file", file, "--yes"});
  EXPECT_EQ(both.exitCode, 2);
}

class SqliteFailureTest : public SqliteRunTest {
 protected:
  std::string extraSql() const override {
    return "CREATE TABLE TOO_LONG (A VARCHAR2(5));\n"
           "INSERT INTO TOO_LONG VALUES ('ABCDE');\n"
           "INSERT INTO TOO_LONG VALUES ('ABCDEFGHIJKLMNOPQRSTUVWXYZ');\n"
           "INSERT INTO USER_OBJECTS VALUES ('GHOST', 'TABLE', 'VALID', 10);\n"
           "INSERT INTO USER_OBJECTS VALUES ('TOO_LONG', 'TABLE', 'VALID', 11);\n";
  }
};

TEST_F(SqliteFailureTest, RejectedQueryEndsWithItsDescription) {
  const Result r = run({"--select", "DEPARTMENTS,GHOST"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("[異常終了] "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("GHOST"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("正常終了しました。"), std::string::npos);
  EXPECT_NE(r.out.find("処理完了\n"), std::string::npos);
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"DEPARTMENTS"}));
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 6u);  // database, DEPARTMENTS, three skips, the stop; no time lines
  EXPECT_EQ(lines[4], "テーブル SALES_LOG スキップ");
  EXPECT_NE(lines.back().find("GHOST"), std::string::npos) << lines.back();
}

TEST_F(SqliteFailureTest, RefusedValueKeepsTheRowsBeforeIt) {
  const Result r = run({"--select", "TOO_LONG"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("[異常終了] "), std::string::npos) << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"TOO_LONG"}));
  EXPECT_EQ(mdbRows(out, "TOO_LONG"), (std::vector<std::vector<std::string>>{{"ABCDE"}}));
  const auto lines = logLines(out + ".log");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "テーブル TOO_LONG レコード件数 = 2 件");
  EXPECT_EQ(lines.back(), "中止: 列 A の値が、ドライバが報告した列の長さ (5) を超えています。");
}

TEST(CommandLine, InputChecksAndUsage) {
  auto r = runVellicor({"run", "-u", "U", "-o", "x.mdb"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "[DB接続エラー] サーバを指定してください。\n");
  r = runVellicor({"run", "-s", "", "-u", "", "-o", ""});
  EXPECT_EQ(r.err, "[DB接続エラー] サーバを指定してください。\n");
  r = runVellicor({"run", "-s", "S", "-o", "x.mdb"});
  EXPECT_EQ(r.err, "[DB接続エラー] ユーザを指定してください。\n");
  r = runVellicor({"run", "-s", "S", "-u", "U"});
  EXPECT_EQ(r.err, "[MDBファイル作成エラー] 出力先を指定してください。\n");
  r = runVellicor({"run", "-s", "S", "-u", "U", "-o", "x.mdb", "--no-tables", "--sequences"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "[Vellicor] 対象オブジェクトを１つ以上選択してください。\n");
  r = runVellicor({"run", "-s", "S", "-u", "U", "-o", "x.mdb", "--password", "secret"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.find("secret"), std::string::npos);
  r = runVellicor({"frobnicate"});
  EXPECT_EQ(r.exitCode, 2);
  r = runVellicor({"list", "-s", "S"});
  EXPECT_EQ(r.err, "[DB接続エラー] ユーザを指定してください。\n");
}

TEST_F(E2ETest, DemoCommandConvertsTheEmbeddedSchemaAndPrintsTheFile) {
  const std::string out = path("demo.mdb");
  Result r = runVellicor({"demo", out});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("テーブル SALES_LOG (2500 行, "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("テーブル USER_SEQUENCES"), std::string::npos);
  EXPECT_EQ(mdbTables(out).size(), 7u);
  int code = 0;
  EXPECT_NE(runCommand("mdb-ver " + shellQuote(out), &code).find("JET3"), std::string::npos);

  // inspect: one table's rows, tab-separated, header first.
  r = runVellicor({"inspect", out, "DEPARTMENTS"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "DEPT_ID\tDEPT_NAME\tLOCATION");
  EXPECT_NE(r.out.find("30\t開発部\t\n"), std::string::npos) << r.out;
  r = runVellicor({"inspect", out, "NO_SUCH_TABLE"});
  EXPECT_EQ(r.exitCode, 1);

  // Without --yes and without a terminal the existing output is kept.
  r = runVellicor({"demo", out});
  EXPECT_EQ(r.exitCode, 3);
}

// --keep-going: a query the server rejects and a value the run cannot take leave their objects
// out; every other object is copied, the run ends with status 4 and its own list, and the log
// names what was left out and why, then ends as a completed run's does.
TEST_F(SqliteFailureTest, KeepGoingLeavesOutWhatCannotBeCopiedAndFinishesTheRest) {
  const Result all = run({"--keep-going"});
  EXPECT_EQ(all.exitCode, 4) << all.out << all.err;
  EXPECT_NE(all.err.find("[完了通知] 次の 2 個のオブジェクトを除外して終了しました。"), std::string::npos) << all.err;
  EXPECT_NE(all.err.find("GHOST: "), std::string::npos) << all.err;
  EXPECT_NE(all.err.find("TOO_LONG: 列 A の値が"), std::string::npos) << all.err;
  const auto tables = mdbTables(out);
  EXPECT_NE(std::find(tables.begin(), tables.end(), "DEPARTMENTS"), tables.end());
  EXPECT_EQ(std::find(tables.begin(), tables.end(), "GHOST"), tables.end());
  // The half-made table keeps the row stored before the refusal, and says so.
  EXPECT_EQ(mdbRows(out, "TOO_LONG"), (std::vector<std::vector<std::string>>{{"ABCDE"}}));
  EXPECT_NE(all.err.find("TOO_LONG は 1 件を書き込んだ作成途中"), std::string::npos) << all.err;
  const auto lines = logLines(out + ".log");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("テーブル GHOST 除外: ", 0) == 0; }), 1);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("テーブル TOO_LONG 除外: ", 0) == 0; }), 1);
  EXPECT_EQ(lines.back().rfind("終了日時：", 0), 0u) << lines.back();
  const Result check = runVellicor({"inspect", "--check", out});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  // Without it the same source stops at the first of them, as before.
  const Result stopped = run({"--yes"});
  EXPECT_EQ(stopped.exitCode, 1) << stopped.err;
}

}  // namespace
}  // namespace vellicor::e2e
