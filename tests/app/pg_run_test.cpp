// End-to-end runs of the real binary over the PostgreSQL stand-in: quoted object names, the
// unsupported-type stop, a wrong password, a connection lost in the middle of a table, and the
// listing command.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <fstream>
#include <mutex>

#include "app_harness.h"
#include "dataaccess/jet3/jet_file_reader.h"

namespace vellicor::e2e {
namespace {

constexpr const char* kSchema = "vellicor_r_e2e";

class PgRunTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    if (pg().templ.empty()) GTEST_SKIP() << "the PostgreSQL stand-in could not be started";
    out = path("out.mdb");
  }

  Result run(const std::vector<std::string>& extra, const std::string& templ = "") {
    std::vector<std::string> words = {"run", "-s", pg().server, "-u", pg().user, "-o", out, "--connect",
                                      templ.empty() ? pg().templ : templ};
    words.insert(words.end(), extra.begin(), extra.end());
    return runVellicor(words, {{"VELLICOR_PASSWORD", pg().password}});
  }

  // A schema of this test binary's own, so that the stand-in's shared schema stays as it is. Its
  // view kills its own server process half way through its rows.
  static void prepareOwnSchema() {
    static std::once_flag once;
    std::call_once(once, [] {
      pg().buildSchemaOnce(kSchema, std::string() +
                "create or replace view " + kSchema + ".dying_rows as select n, case when n = 1500 and "
                "current_query() not like '%count(*)%' then pg_terminate_backend(pg_backend_pid()) end as killed "
                "from generate_series(1, 3000) as n;" +
                "create table " + kSchema + ".guid_keys (id integer, k uuid);" +
                "create table " + kSchema + ".fit_text (id integer, short_note varchar(300), long_note varchar(300));" +
                "insert into " + kSchema + ".fit_text values (1, '総務部の備考', repeat('営', 200)), (2, null, 'x');" +
                "create table " + kSchema + ".fidelity (id integer, ts timestamp(6), d double precision, r real, "
                "t varchar(20));" +
                "insert into " + kSchema + ".fidelity values (1, '2026-12-07 12:34:56.123457', 'NaN', 'Infinity', "
                "U&'\\304B\\3099\\30CF\\309A'), (2, '0100-01-01 00:00:00.000001', '-Infinity', '-0', 'x');");
    });
  }

  std::string out;
};

TEST_F(PgRunTest, NamesThatAreNotPlainIdentifiersAreCopied) {
  const Result r = run({"--select", "Emp,order lines,DEPARTMENTS"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"DEPARTMENTS", "Emp", "order lines"}));
  EXPECT_EQ(mdbRows(out, "Emp"), (std::vector<std::vector<std::string>>{{"1", "mixed"}}));
  EXPECT_EQ(mdbRows(out, "order lines"), (std::vector<std::vector<std::string>>{{"1", "2"}}));
  EXPECT_EQ(mdbRows(out, "DEPARTMENTS"), (std::vector<std::vector<std::string>>{
                                             {"10", "総務部", "東京"}, {"20", "営業部", "大阪"}, {"30", "開発部", "<NULL>"}}));
  const auto lines = logLines(out + ".log");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "テーブル order lines レコード件数 = 1 件"), lines.end());
}

TEST_F(PgRunTest, UnsupportedColumnTypeStopsTheRun) {
  prepareOwnSchema();
  const Result r = run({"--prefix", "P_"}, pg().templateInSchema(kSchema));
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("[Vellicor] GUID_KEYSテーブルkの型(15)はサポートされていません。"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("異常終了"), std::string::npos);
  EXPECT_TRUE(mdbTables(out).empty());
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 3u);  // no time lines; the stop's box last
  EXPECT_EQ(lines[1], "テーブル GUID_KEYS レコード件数 = 0 件");
  EXPECT_EQ(lines[2], "中止: GUID_KEYSテーブルkの型(15)はサポートされていません。");
}

// Values kept as exactly as the file can hold them: a timestamp's microseconds rounded into the
// date's double, NaN and the infinities in Double and Single fields, kana with a separate voicing
// mark stored composed.
TEST_F(PgRunTest, MicrosecondsNonFiniteNumbersAndDecomposedKanaAreKept) {
  prepareOwnSchema();
  const Result r = run({"--select", "FIDELITY"}, pg().templateInSchema(kSchema));
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  vellicor::jet3::JetFileReader reader(out);
  vellicor::jet3::RowCursor rows(reader, reader.table("FIDELITY"));
  ASSERT_TRUE(rows.next());
  vellicor::dao::CivilTime t{2026, 12, 7, 12, 34, 56, 123};
  t.nanosecond = 457000;
  EXPECT_EQ(std::get<vellicor::dao::Date>(rows.value(1)).oa, vellicor::dao::toOleDate(t).oa);
  EXPECT_TRUE(std::isnan(std::get<double>(rows.value(2))));
  EXPECT_EQ(std::get<float>(rows.value(3)), std::numeric_limits<float>::infinity());
  EXPECT_EQ(std::get<std::string>(rows.value(4)), "がパ");
  ASSERT_TRUE(rows.next());
  vellicor::dao::CivilTime early{100, 1, 1, 0, 0, 0, 0};
  early.nanosecond = 1000;
  EXPECT_EQ(std::get<vellicor::dao::Date>(rows.value(1)).oa, vellicor::dao::toOleDate(early).oa);
  EXPECT_EQ(std::get<double>(rows.value(2)), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::signbit(std::get<float>(rows.value(3))));
  EXPECT_EQ(vellicor::testing::mdbExport(out, "FIDELITY", "CP932").at(0).at(4), std::optional<std::string>("がパ"));
}

// --fit-text: a column the driver declares longer than Text holds becomes Text of its longest
// value when every value fits (code page 932 bytes), and stays Memo when one does not; the plan's
// scan shows the same choice.
TEST_F(PgRunTest, FitTextMakesMemoColumnsTextWhereEveryValueFits) {
  prepareOwnSchema();
  auto columns = [&] {
    vellicor::jet3::JetFileReader reader(out);
    std::vector<std::pair<int, int>> typeAndLength;
    for (const auto& c : reader.table("FIT_TEXT").def.columns) typeAndLength.emplace_back(c.type, c.length);
    return typeAndLength;
  };
  using vellicor::jet3::fmt::kTypeMemo;
  using vellicor::jet3::fmt::kTypeText;
  const Result plain = run({"--select", "FIT_TEXT"}, pg().templateInSchema(kSchema));
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(columns()[1], std::make_pair(int{kTypeMemo}, 0));
  const Result fitted = run({"--select", "FIT_TEXT", "--fit-text", "--yes"}, pg().templateInSchema(kSchema));
  ASSERT_EQ(fitted.exitCode, 0) << fitted.err;
  EXPECT_EQ(columns()[1], std::make_pair(int{kTypeText}, 12));  // 総務部の備考: 12 bytes in code page 932
  EXPECT_EQ(columns()[2], std::make_pair(int{kTypeMemo}, 0));   // 400 bytes do not fit
  const auto rows = vellicor::testing::mdbExport(out, "FIT_TEXT", "CP932");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], std::optional<std::string>("総務部の備考"));
  const auto lines = logLines(out + ".log");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "テーブル FIT_TEXT フィールド short_note をテキスト型 (12) に変更 (値の最長 12 バイト)"),
            lines.end());
  const Result p = runVellicor({"plan", "-s", pg().server, "-u", pg().user, "--connect", pg().templateInSchema(kSchema),
                                "--select", "FIT_TEXT", "--scan", "--fit-text"},
                               {{"VELLICOR_PASSWORD", pg().password}});
  EXPECT_EQ(p.exitCode, 0) << p.err;
  EXPECT_NE(p.out.find("値の最長 12 バイトのためテキスト型 (12) で格納"), std::string::npos) << p.out;
}

TEST_F(PgRunTest, ValueTheFieldCannotHoldEndsTheRun) {
  const Result r = run({"--select", "DEPARTMENTS,ALL_TYPES,EMPLOYEES"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("[異常終了] "), std::string::npos) << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"ALL_TYPES", "DEPARTMENTS", "EMPLOYEES"}));
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "テーブル ALL_TYPES レコード件数 = 3 件");
  EXPECT_EQ(lines[4].rfind("中止: ", 0), 0u) << lines[4];
  EXPECT_NE(r.err.find(lines[4].substr(std::string("中止: ").size())), std::string::npos) << "the box's own text";
}

TEST_F(PgRunTest, WrongPasswordIsAConnectFailureAndTouchesNothing) {
  { std::ofstream(out) << "old"; }
  const Result r = runVellicor({"run", "-s", pg().server, "-u", pg().user, "-o", out, "--connect", pg().templ},
                               {{"VELLICOR_PASSWORD", "wrong"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("[Vellicor] DB接続に失敗しました。"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("上書き"), std::string::npos);
  EXPECT_NE(r.out.find("password"), std::string::npos) << r.out;  // the driver's description
  EXPECT_EQ(readText(out), "old");
  EXPECT_FALSE(std::filesystem::exists(out + ".log"));
}

TEST_F(PgRunTest, ConnectionLostInTheMiddleOfATableEndsTheRun) {
  prepareOwnSchema();
  const Result r = run({"--views", "--select", "DYING_ROWS"}, pg().templateInSchema(kSchema));
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("[異常終了] "), std::string::npos) << r.err;
  ASSERT_EQ(mdbTables(out), (std::vector<std::string>{"DYING_ROWS"}));
  const auto rows = mdbRows(out, "DYING_ROWS");
  EXPECT_LT(rows.size(), 3000u);
  const auto lines = logLines(out + ".log");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "テーブル DYING_ROWS レコード件数 = 3000 件");
  EXPECT_EQ(lines[2].rfind("中止: ", 0), 0u) << lines[2];
}

TEST_F(PgRunTest, ListCommandPrintsTheTickedKindsSorted) {
  const Result r = runVellicor({"list", "-s", pg().server, "-u", pg().user, "--views", "--no-tables", "--connect",
                                pg().templ},
                               {{"VELLICOR_PASSWORD", pg().password}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "EMP_DEPT\n");
  const Result bad = runVellicor({"list", "-s", pg().server, "-u", pg().user, "--connect", pg().templ},
                                 {{"VELLICOR_PASSWORD", "wrong"}});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("[Vellicor] DB接続に失敗しました。"), std::string::npos);
}

}  // namespace
}  // namespace vellicor::e2e
