// End-to-end tests of `vellicor plan` against `vellicor run` through both stand-ins, over a schema
// that holds every case the plan predicts: names Jet refuses (characters, a leading blank, 70
// characters, Japanese names cut at a character boundary, two names that clash only after the
// change), a table whose full rows pass Jet's record limit, reserved words of Oracle's SQL as table
// names, column types the run stops on, and a table of 300 columns. Also --json, --scan, --append
// and the command line's --help and --version.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <mutex>

#include "app/display_width.h"
#include "app_harness.h"
#include "support/json_reader.h"

namespace vellicor::e2e {
namespace {

using vellicor::testing::Json;
using Rows = std::vector<std::vector<std::string>>;

// Forty full-width katakana: 80 bytes in code page 932.
const std::string kKana40 = "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリ";
std::string kana(size_t n) { return kKana40.substr(0, n * 3); }
std::string repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}
const std::string kLong70 = "L" + repeat("0123456789", 6) + "123456789";  // seventy characters

std::string manyColumns(const std::string& type) {
  std::string sql;
  for (int i = 1; i <= 300; ++i) sql += (i > 1 ? ", " : "") + std::string("c") + std::to_string(i) + " " + type;
  return sql;
}

// What the run did, next to what the plan said: the exit status, the stop, the tables and the
// log's added lines.
void expectRunAsPlanned(const Json& plan, int planExit, const Result& run, const std::string& out) {
  SCOPED_TRACE(run.out + run.err);
  EXPECT_EQ(run.exitCode, planExit);
  const Json& summary = plan["summary"];
  EXPECT_EQ(summary["completes"].boolean(), planExit == 0);
  std::vector<std::string> tables, added;
  for (size_t i = 0; i < plan["objects"].size(); ++i) {
    const Json& o = plan["objects"][i];
    if (o["action"].str() == "stop") break;
    if (o["action"].str() == "skip") continue;
    tables.push_back(o["table"].str());
    for (const std::string& l : o["logLines"].strings()) added.push_back(l);
  }
  std::sort(tables.begin(), tables.end());
  EXPECT_EQ(mdbTables(out), tables);
  if (summary.has("firstStop")) {
    const Json& stop = summary["firstStop"];
    const std::string caption = stop["caption"].str().empty() ? "Vellicor" : stop["caption"].str();
    EXPECT_NE(run.err.find("[" + caption + "] " + stop["message"].str()), std::string::npos);
    added.push_back("中止: " + stop["message"].str());  // the log ends with the stop
  }
  std::vector<std::string> logged;
  for (const std::string& l : logLines(out + ".log")) {
    const bool usual = l.rfind("データベース= ", 0) == 0 || l.find(" レコード件数 = ") != std::string::npos ||
                       l.find(" スキップ") != std::string::npos || l.rfind("開始日時", 0) == 0 ||
                       l.rfind("終了日時", 0) == 0 ||
                       l.find(" シフトJISで表せない文字 = ") != std::string::npos;  // known from the values only
    if (!usual) logged.push_back(l);
  }
  EXPECT_EQ(logged, added);
}

const Json& objectNamed(const Json& plan, const std::string& name) {
  for (size_t i = 0; i < plan["objects"].size(); ++i)
    if (plan["objects"][i]["name"].str() == name) return plan["objects"][i];
  throw std::runtime_error("no object " + name + " in the plan");
}

std::vector<std::string> targetNames(const Json& object) {
  std::vector<std::string> names;
  for (size_t i = 0; i < object["columns"].size(); ++i) names.push_back(object["columns"][i]["target"]["name"].str());
  return names;
}

std::vector<std::string> memoFields(const Json& object) {
  std::vector<std::string> names;
  for (size_t i = 0; i < object["columns"].size(); ++i) {
    const Json& c = object["columns"][i];
    if (c["madeLong"].boolean()) names.push_back(c["target"]["name"].str());
  }
  return names;
}

// ---- The SQLite stand-in ------------------------------------------------------------------

class SqlitePlanTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    std::string sql = "DELETE FROM USER_OBJECTS;\n";
    auto table = [&](const std::string& name, const std::string& columns, const std::string& rows) {
      std::string q;
      for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
      sql += "CREATE TABLE \"" + q + "\" (" + columns + ");\n";
      if (!rows.empty()) sql += "INSERT INTO \"" + q + "\" VALUES " + rows + ";\n";
      sql += "INSERT INTO USER_OBJECTS VALUES ('" + name + "', 'TABLE', 'VALID', 0);\n";
    };
    // (The SQLite driver reports a column "A.B" as "B": the dot is left to the PostgreSQL test.)
    table("X!Y TABLE", "\"X!Y\" INTEGER, \"A`B\" VARCHAR2(10), \"A!B\" VARCHAR2(10), A_B VARCHAR2(10), \" LEAD\" VARCHAR2(10)",
          "(1, 'dot', 'bang', 'plain', 'lead')");
    table("T!1", "ID INTEGER", "(1)");
    table("T`1", "ID INTEGER", "(2)");
    table(kLong70, "ID INTEGER", "(3)");
    table("A" + kKana40 + "1", "名前 VARCHAR2(20)", "('一')");
    table("A" + kKana40 + "2", "名前 VARCHAR2(20)", "('二')");
    table(" LEADING", "ID INTEGER", "(4)");
    std::string wideColumns, full = "(", part = "(";
    for (int i = 1; i <= 12; ++i) {
      const std::string n = (i < 10 ? "C0" : "C") + std::to_string(i);
      wideColumns += (i > 1 ? ", " : "") + n + " VARCHAR2(250)";
      full += std::string(i > 1 ? ", " : "") + "'" + repeat("漢", 125) + "'";
      part += std::string(i > 1 ? ", " : "") + (i % 2 ? "NULL" : "'short'");
    }
    table("WIDE", wideColumns, full + "), " + part + ")");
    // U+20BB7 and U+1F600, which code page 932 lacks (made by SQLite: the driver's statement text
    // does not carry characters beyond the BMP).
    table("ORDER", "ID INTEGER, ITEM VARCHAR2(20)", "(1, '机'), (2, char(134071) || '野家'), (3, char(128512, 128512))");
    table("GROUP", "ID INTEGER", "(7)");
    table("ODD_TYPES", "ID INTEGER, C_RAW VARBINARY(16), C_TIME TIME", "(1, X'DEADBEEF', '23:59:58')");
    table("MANY", manyColumns("INTEGER"), "");
    source = makeSqliteSource(dir, sql);
    out = path("out.mdb");
  }

  std::vector<std::string> words(const std::string& command, const std::vector<std::string>& extra) const {
    std::vector<std::string> w = {command, "-s", source, "-u", "demo", "--connect", kSqliteTemplate};
    if (command == "run") w.insert(w.end(), {"-o", out, "--yes"});
    w.insert(w.end(), extra.begin(), extra.end());
    return w;
  }
  std::pair<Json, int> plan(const std::vector<std::string>& extra) const {
    std::vector<std::string> w = words("plan", extra);
    w.push_back("--json");
    const Result r = runVellicor(w);
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.out << r.err;
    return {Json::parse(r.out), r.exitCode};
  }
  Result run(const std::vector<std::string>& extra) const { return runVellicor(words("run", extra)); }

  std::string everythingButMany() const {
    return "X!Y TABLE,T!1,T`1," + kLong70 + ",A" + kKana40 + "1,A" + kKana40 + "2, LEADING,WIDE,ORDER,GROUP,ODD_TYPES";
  }

  std::string source, out;
};

TEST_F(SqlitePlanTest, WithoutTheOptInThePlanAndTheRunStopAtTheSameColumn) {
  const auto [doc, code] = plan({});
  EXPECT_EQ(code, 1);
  const Json& summary = doc["summary"];
  EXPECT_EQ(summary["copy"].integer(), 10);
  EXPECT_EQ(summary["stop"].integer(), 2);
  EXPECT_EQ(summary["skip"].integer(), 0);
  EXPECT_EQ(summary["firstStop"]["object"].str(), "ODD_TYPES");
  EXPECT_EQ(summary["firstStop"]["caption"].str(), "");
  EXPECT_EQ(summary["firstStop"]["message"].str(), "ODD_TYPESテーブルC_RAWの型(17)はサポートされていません。");
  const Json& odd = objectNamed(doc, "ODD_TYPES");
  EXPECT_EQ(odd["rows"].integer(), 1);
  const Json& raw = odd["columns"][1];
  EXPECT_EQ(raw["source"]["odbcTypeName"].str(), "SQL_VARBINARY");
  EXPECT_EQ(raw["source"]["columnSize"].integer(), 16);
  EXPECT_TRUE(raw["target"].isNull());
  EXPECT_EQ(objectNamed(doc, "MANY")["stop"]["message"].str(),
            "MANYテーブルの列数 (300) が多すぎます。Access 97 のテーブルは 255 列までです。");

  expectRunAsPlanned(doc, code, run({}), out);
}

TEST_F(SqlitePlanTest, WithTheOptInTheWholeSchemaConvertsAndReadsBackEqual) {
  const auto [doc, code] = plan({"--all-types", "--select", everythingButMany()});
  ASSERT_EQ(code, 0);
  // The names, as the rule makes them.
  const Json& xy = objectNamed(doc, "X!Y TABLE");
  EXPECT_EQ(xy["table"].str(), "X_Y TABLE");
  EXPECT_TRUE(xy["tableRenamed"].boolean());
  EXPECT_EQ(targetNames(xy), (std::vector<std::string>{"X_Y", "A_B_2", "A_B_3", "A_B", "LEAD"}));
  EXPECT_EQ(objectNamed(doc, "T!1")["table"].str(), "T_1");
  EXPECT_EQ(objectNamed(doc, "T`1")["table"].str(), "T_1_2");
  EXPECT_EQ(objectNamed(doc, kLong70)["table"].str(), kLong70.substr(0, 64));
  EXPECT_EQ(objectNamed(doc, "A" + kKana40 + "1")["table"].str(), "A" + kana(31));
  EXPECT_EQ(objectNamed(doc, "A" + kKana40 + "2")["table"].str(), "A" + kana(30) + "_2");
  EXPECT_EQ(objectNamed(doc, " LEADING")["table"].str(), "LEADING");
  EXPECT_FALSE(objectNamed(doc, "ORDER")["tableRenamed"].boolean());
  // Five of the twelve 250-byte fields become Memo, the first five (all are as wide).
  const Json& wide = objectNamed(doc, "WIDE");
  EXPECT_EQ(memoFields(wide), (std::vector<std::string>{"C01", "C02", "C03", "C04", "C05"}));
  EXPECT_LE(wide["widestRow"].integer(), 2012);
  EXPECT_EQ(wide["columns"][0]["target"]["typeName"].str(), "Memo");
  EXPECT_EQ(wide["columns"][5]["target"]["size"].integer(), 250);
  const Json& odd = objectNamed(doc, "ODD_TYPES");
  EXPECT_EQ(odd["columns"][1]["target"]["typeName"].str(), "Binary");
  EXPECT_EQ(odd["columns"][1]["target"]["size"].integer(), 16);
  EXPECT_EQ(odd["columns"][2]["target"]["typeName"].str(), "Date/Time");

  const Result r = run({"--all-types", "--select", everythingButMany()});
  expectRunAsPlanned(doc, code, r, out);
  EXPECT_EQ(mdbRows(out, "X_Y TABLE"), (Rows{{"1", "dot", "bang", "plain", "lead"}}));
  EXPECT_EQ(vellicor::testing::mdbExport(out, "X_Y TABLE", "CP932", true).front()[1], "A_B_2");
  EXPECT_EQ(mdbRows(out, "T_1_2"), (Rows{{"2"}}));
  EXPECT_EQ(mdbRows(out, kLong70.substr(0, 64)), (Rows{{"3"}}));
  EXPECT_EQ(mdbRows(out, "A" + kana(30) + "_2"), (Rows{{"二"}}));
  EXPECT_EQ(mdbRows(out, "LEADING"), (Rows{{"4"}}));
  Rows wideRows(2);
  for (int i = 1; i <= 12; ++i) {
    wideRows[0].push_back(i % 2 ? "<NULL>" : "short");
    wideRows[1].push_back(repeat("漢", 125));
  }
  EXPECT_EQ(mdbRows(out, "WIDE"), wideRows);
  EXPECT_EQ(mdbRows(out, "ORDER"), (Rows{{"1", "机"}, {"2", "?野家"}, {"3", "??"}}));
  EXPECT_EQ(mdbRows(out, "GROUP"), (Rows{{"7"}}));
  const Rows odd_ = mdbRows(out, "ODD_TYPES");
  ASSERT_EQ(odd_.size(), 1u);
  EXPECT_EQ(odd_[0][1], "DEADBEEF");
  EXPECT_NE(odd_[0][2].find("23:59:58"), std::string::npos) << odd_[0][2];
}

TEST_F(SqlitePlanTest, TooManyColumnsStopsEvenWithTheOptInBeforeTheTableIsWritten) {
  const auto [doc, code] = plan({"--all-types"});
  EXPECT_EQ(code, 1);
  EXPECT_EQ(doc["summary"]["firstStop"]["object"].str(), "MANY");
  EXPECT_EQ(doc["summary"]["stop"].integer(), 1);
  expectRunAsPlanned(doc, code, run({"--all-types"}), out);
}

TEST_F(SqlitePlanTest, ScanFindsLongestValuesAndCharactersShiftJisCannotHold) {
  const auto [doc, code] = plan({"--scan", "--select", "ORDER,WIDE"});
  ASSERT_EQ(code, 0);
  const Json& order = objectNamed(doc, "ORDER");
  EXPECT_EQ(order["scannedRows"].integer(), 3);
  const Json& item = order["columns"][1]["scan"];
  EXPECT_EQ(item["longest"].integer(), 5);  // "?" and two double-byte characters
  EXPECT_EQ(item["unmappable"].integer(), 3);
  EXPECT_EQ(item["unmappableRows"].size(), 2u);
  EXPECT_EQ(item["unmappableRows"][0].integer(), 2);
  EXPECT_EQ(item["unmappableRows"][1].integer(), 3);
  EXPECT_FALSE(order["columns"][0]["scan"].has("longest"));
  const Json& wide = objectNamed(doc, "WIDE");
  EXPECT_EQ(wide["columns"][0]["scan"]["longest"].integer(), 250);  // a Memo now, measured all the same
  EXPECT_EQ(wide["columns"][1]["scan"]["longest"].integer(), 250);
  // The run counts the same characters.
  const Result r = run({"--select", "ORDER,WIDE"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("表せない文字が 3 文字あり"), std::string::npos) << r.err;
}

TEST_F(SqlitePlanTest, AnAppendingPlanSeesTheTablesAlreadyInTheFile) {
  ASSERT_EQ(run({"--select", "GROUP"}).exitCode, 0);
  // GROUP is in the file now: the run that appends it again fails there, and so says the plan;
  // the fitted T_1 keeps clear of a T_1 in the file.
  ASSERT_EQ(run({"--select", "T!1", "--append", "--no-log"}).exitCode, 0);
  const auto [doc, code] = plan({"--append", "-o", out, "--select", "T`1,GROUP"});
  EXPECT_EQ(code, 1);
  EXPECT_EQ(objectNamed(doc, "T`1")["table"].str(), "T_1_2");
  EXPECT_EQ(doc["summary"]["firstStop"]["caption"].str(), "異常終了");
  EXPECT_EQ(doc["summary"]["firstStop"]["message"].str(), "テーブル 'GROUP' は既に存在します。");
  const Result r = run({"--select", "T`1,GROUP", "--append"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("[異常終了] テーブル 'GROUP' は既に存在します。"), std::string::npos) << r.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"GROUP", "T_1", "T_1_2"}));
}

TEST_F(SqlitePlanTest, ThePlainFormLinesUpJapaneseNamesAndEndsWithTheSummary) {
  const Result r = runVellicor(words("plan", {"--select", "A" + kKana40 + "1,ODD_TYPES"}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("テーブル名を変更: A" + kKana40 + "1 → A" + kana(31)), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("集計: コピー 1  スキップ 10  停止 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("最初の停止: ODD_TYPES  [Vellicor] ODD_TYPESテーブルC_RAWの型(17)"), std::string::npos);
  // The column table's header and its first row: the source types begin in the same column.
  const size_t header = r.out.find("元の列");
  ASSERT_NE(header, std::string::npos);
  const size_t headerEnd = r.out.find('\n', header);
  const std::string row = r.out.substr(headerEnd + 1, r.out.find('\n', headerEnd + 1) - headerEnd - 1);
  const std::string headerLine = r.out.substr(header - 4, headerEnd - header + 4);
  EXPECT_EQ(app::displayWidth(headerLine.substr(0, headerLine.find("元の型"))),
            app::displayWidth(row.substr(0, row.find("SQL_VARCHAR")))) << headerLine << "\n" << row;
  EXPECT_EQ(app::displayWidth(headerLine.substr(0, headerLine.find("フィールド"))),
            app::displayWidth(row.substr(0, row.find("名前", 8)))) << headerLine << "\n" << row;
}

// ---- The PostgreSQL stand-in --------------------------------------------------------------

class PgPlanTest : public E2ETest {
 protected:
  static constexpr const char* kSchema = "vellicor_plan_e2e";
  // Plain names are created unquoted (the stand-in lists them in upper case, as Oracle does);
  // ORDER and GROUP are created quoted, in upper case, as Oracle keeps a quoted reserved word.

  void SetUp() override {
    E2ETest::SetUp();
    if (pg().templ.empty()) GTEST_SKIP() << "the PostgreSQL stand-in could not be started";
    static std::once_flag once;
    std::call_once(once, [] {
      std::string wide, full;
      for (int i = 1; i <= 12; ++i) {
        wide += (i > 1 ? ", " : "") + std::string(i < 10 ? "c0" : "c") + std::to_string(i) + " varchar(120)";
        full += std::string(i > 1 ? ", " : "") + "repeat('漢', 120)";
      }
      pg().buildSchemaOnce(kSchema,
                std::string() +
                "create table \"X!Y TABLE\" (\"X!Y\" integer, \"A.B\" varchar(10), \"A!B\" varchar(10), \"A_B\" varchar(10), "
                "\" LEAD\" varchar(10)); insert into \"X!Y TABLE\" values (1, 'dot', 'bang', 'plain', 'lead');"
                "create table \"T!1\" (id integer); insert into \"T!1\" values (1);"
                "create table \"T`1\" (id integer); insert into \"T`1\" values (2);"
                "create table l" + kLong70.substr(1, 62) + " (id integer); insert into l" + kLong70.substr(1, 62) + " values (3);"
                "create table wide (" + wide + "); insert into wide values (" + full + ");"
                "create table \"ORDER\" (id integer, item varchar(20)); insert into \"ORDER\" values (1, '机');"
                "create table \"GROUP\" (id integer); insert into \"GROUP\" values (7);"
                "create table odd_types (id integer, c_time time, c_uuid uuid, c_interval interval);"
                "insert into odd_types values (1, '23:59:58', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '3 days 04:05:06');"
                "create table many (" + manyColumns("integer") + ")");
    });
    out = path("out.mdb");
  }

  std::vector<std::string> words(const std::string& command, const std::vector<std::string>& extra) const {
    std::vector<std::string> w = {command, "-s", pg().server, "-u", pg().user, "--connect", pg().templateInSchema(kSchema),
                                  "--prefix", "P_"};
    if (command == "run") w.insert(w.end(), {"-o", out});
    w.insert(w.end(), extra.begin(), extra.end());
    return w;
  }
  std::pair<Json, int> plan(const std::vector<std::string>& extra) const {
    std::vector<std::string> w = words("plan", extra);
    w.push_back("--json");
    const Result r = runVellicor(w, {{"VELLICOR_PASSWORD", pg().password}});
    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.out << r.err;
    return {Json::parse(r.out), r.exitCode};
  }
  Result run(const std::vector<std::string>& extra) const {
    return runVellicor(words("run", extra), {{"VELLICOR_PASSWORD", pg().password}});
  }

  std::string out;
};

TEST_F(PgPlanTest, ThePlanPredictsTheRunWithAndWithoutTheOptIn) {
  {
    const auto [doc, code] = plan({});
    EXPECT_EQ(code, 1);
    EXPECT_EQ(doc["summary"]["firstStop"]["message"].str(), "ODD_TYPESテーブルc_timeの型(22)はサポートされていません。");
    const Json& xy = objectNamed(doc, "X!Y TABLE");
    EXPECT_EQ(xy["table"].str(), "P_X_Y TABLE");
    EXPECT_EQ(targetNames(xy), (std::vector<std::string>{"X_Y", "A_B_2", "A_B_3", "A_B", "LEAD"}));
    // The prefix makes the 63 characters 65: cut to 64.
    EXPECT_EQ(objectNamed(doc, kLong70.substr(0, 63))["table"].str(), "P_" + kLong70.substr(0, 62));
    EXPECT_EQ(objectNamed(doc, "T`1")["table"].str(), "P_T_1_2");
    // Twelve fields of 240 bytes (psqlODBC's 120 characters): four become Memo.
    EXPECT_EQ(memoFields(objectNamed(doc, "WIDE")), (std::vector<std::string>{"c01", "c02", "c03", "c04"}));
    expectRunAsPlanned(doc, code, run({"--yes"}), out);
  }
  std::vector<std::string> all = {"--all-types", "--select",
                                  "X!Y TABLE,T!1,T`1," + kLong70.substr(0, 63) + ",WIDE,ORDER,GROUP,ODD_TYPES"};
  const auto [doc, code] = plan(all);
  ASSERT_EQ(code, 0);
  all.push_back("--yes");
  expectRunAsPlanned(doc, code, run(all), out);
  EXPECT_EQ(mdbRows(out, "P_WIDE"), (Rows{std::vector<std::string>(12, repeat("漢", 120))}));
  EXPECT_EQ(mdbRows(out, "P_ORDER"), (Rows{{"1", "机"}}));
  EXPECT_EQ(mdbRows(out, "P_X_Y TABLE"), (Rows{{"1", "dot", "bang", "plain", "lead"}}));
  const Rows odd = mdbRows(out, "P_ODD_TYPES");
  ASSERT_EQ(odd.size(), 1u);
  EXPECT_NE(odd[0][1].find("23:59:58"), std::string::npos) << odd[0][1];
  // mdb-export writes the GUID's text form (in hex under its binary option), its last two groups
  // run together.
  std::string guid;
  for (size_t i = 0; i + 1 < odd[0][2].size(); i += 2) guid += static_cast<char>(std::stoi(odd[0][2].substr(i, 2), nullptr, 16));
  EXPECT_EQ(guid, "{A0EEBC99-9C0B-4EF8-BB6D6BB9BD380A11}") << odd[0][2];
  EXPECT_EQ(odd[0][3], "3 days 04:05:06");
}

TEST_F(PgPlanTest, ScanFindsTheValueTheRunThenRefuses) {
  // The shared schema's ALL_TYPES holds the date 0001-01-01, which Jet cannot store.
  const Result p = runVellicor({"plan", "-s", pg().server, "-u", pg().user, "--connect", pg().templ, "--select",
                                "ALL_TYPES", "--scan", "--json"},
                               {{"VELLICOR_PASSWORD", pg().password}});
  ASSERT_EQ(p.exitCode, 1) << p.out << p.err;
  const Json doc = Json::parse(p.out);
  const Json& stop = doc["summary"]["firstStop"];
  EXPECT_EQ(stop["caption"].str(), "異常終了");
  const Result r = runVellicor({"run", "-s", pg().server, "-u", pg().user, "--connect", pg().templ, "--select",
                                "ALL_TYPES", "-o", out},
                               {{"VELLICOR_PASSWORD", pg().password}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("[異常終了] " + stop["message"].str()), std::string::npos) << r.err << "\n" << p.out;
}

TEST_F(PgPlanTest, APlanThatCannotConnectSaysWhyAndStillGivesItsDocument) {
  const Result r = runVellicor({"plan", "-s", pg().server, "-u", pg().user, "--connect", pg().templ, "--json"},
                               {{"VELLICOR_PASSWORD", "wrong"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("password"), std::string::npos) << r.err;  // the driver's description
  EXPECT_NE(r.err.find("[Vellicor] DB接続に失敗しました。"), std::string::npos) << r.err;
  const Json doc = Json::parse(r.out);
  EXPECT_FALSE(doc["connected"].boolean());
  EXPECT_FALSE(doc["summary"]["completes"].boolean());
  EXPECT_EQ(doc["objects"].size(), 0u);
}

// ---- The command line ---------------------------------------------------------------------

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
  const Result all = runVellicor({"--help"});
  EXPECT_EQ(all.exitCode, 0);
  EXPECT_EQ(all.out.rfind("使い方:", 0), 0u) << all.out;
  for (const char* command : {"vellicor run", "vellicor plan", "vellicor list", "vellicor inspect", "vellicor demo"})
    EXPECT_NE(all.out.find(command), std::string::npos) << command;
  EXPECT_TRUE(all.err.empty());
  EXPECT_EQ(runVellicor({"-h"}).out, all.out);

  for (const std::string command : {"run", "plan", "list", "inspect", "demo"}) {
    for (const std::string flag : {"--help", "-h"}) {
      const Result one = runVellicor({command, flag});
      EXPECT_EQ(one.exitCode, 0) << command << flag;
      EXPECT_NE(one.out.find("vellicor " + command + " "), std::string::npos) << one.out;
      EXPECT_EQ(one.out.find(command == "run" ? "vellicor list" : "vellicor run "), std::string::npos) << one.out;
      EXPECT_EQ(one.err.find("不明"), std::string::npos) << one.err;
    }
  }
  // Whatever else the line holds.
  EXPECT_EQ(runVellicor({"run", "--bogus", "--help"}).exitCode, 0);

  const Result version = runVellicor({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("vellicor ", 0), 0u);
  EXPECT_TRUE(version.out.size() > 10 && std::isdigit(static_cast<unsigned char>(version.out[9]))) << version.out;

  const Result unknown = runVellicor({"frobnicate", "--help"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("不明なコマンドです: frobnicate"), std::string::npos) << unknown.err;
}

}  // namespace
}  // namespace vellicor::e2e
