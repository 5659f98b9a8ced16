// The source's keys in the output, end to end through the PostgreSQL stand-in: primary keys and
// unique indexes become Jet indexes that every reader verifies, what Jet cannot hold or what the
// rows refuse is left out with a log line, the plan lists the keys, and --no-keys leaves heaps.
#include <gtest/gtest.h>

#include <mutex>

#include "app_harness.h"
#include "support/json_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

namespace vellicor::e2e {
namespace {

using vellicor::testing::Json;

class PgKeysTest : public E2ETest {
 protected:
  static constexpr const char* kSchema = "vellicor_keys_e2e";

  void SetUp() override {
    E2ETest::SetUp();
    if (pg().templ.empty()) GTEST_SKIP() << "the PostgreSQL stand-in could not be started";
    static std::once_flag once;
    std::call_once(once, [] {
      std::string many = "create table many_unique (id integer";
      for (int i = 1; i <= 33; ++i) many += ", u" + std::to_string(i) + " integer";
      many += "); insert into many_unique select n";
      for (int i = 1; i <= 33; ++i) many += ", n * 100 + " + std::to_string(i);
      many += " from generate_series(1, 50) as n;";
      for (int i = 1; i <= 33; ++i)
        many += "create unique index \"MU_" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "\" on many_unique (u" +
                std::to_string(i) + ");";
      std::string wide = "create table wide_key (";
      for (int i = 1; i <= 11; ++i) wide += std::string(i > 1 ? ", " : "") + "k" + std::to_string(i) + " integer";
      wide += ", unique (k1, k2, k3, k4, k5, k6, k7, k8, k9, k10, k11)); insert into wide_key values (" +
              std::string("1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);");
      pg().buildSchemaOnce(kSchema, std::string() +
          // 5,000 rows in shuffled key order: several leaves and an intermediate page.
          "create table orders (id integer primary key, code varchar(12) not null, placed date, amount numeric(12,2));"
          "insert into orders select n, 'C-' || (n % 97), date '2020-01-01' + (n % 400), n * 1.5 "
          "  from generate_series(1, 5000) as n order by md5(n::text);"
          // A compound key over a date and ASCII text, declared in another order than the columns.
          "create table shipments (region varchar(5), placed date, seq integer, note varchar(20),"
          "  primary key (placed, region, seq));"
          "insert into shipments select chr(65 + n % 5), date '2024-02-28' + (n % 3), n / 15, 'n' || n "
          "  from generate_series(1, 300) as n;"
          // Unique indexes that hold Nulls; one with a descending column.
          "create table people (id integer primary key, email varchar(40), a integer, b varchar(8));"
          "insert into people values (1, 'ann@example.com', 1, 'x'), (2, null, 1, 'y'), (3, null, null, null),"
          "  (4, 'bob@example.com', 2, 'x'), (5, null, null, null);"
          "create unique index \"PEOPLE_EMAIL\" on people (email);"
          "create unique index \"PEOPLE_A_B\" on people (a, b desc);" +
          many + wide +
          // Duplicates a constraint would have refused: a unique index over some rows only, which
          // the driver reports as a unique index over them all.
          "create table dups (id integer, k integer, live boolean);"
          "insert into dups values (1, 10, true), (2, 20, true), (3, 10, false), (4, 30, true), (5, 20, false);"
          "create unique index \"DUPS_K\" on dups (k) where live;"
          // A Japanese text key: its General key is not known exactly.
          "create table \"Busho\" (code varchar(10) primary key, name varchar(20));"
          "insert into \"Busho\" values ('A1', '総務'), ('B2', '営業'), ('本社', '本社'), ('C3', '開発')");
    });
    out = path("keys.mdb");
  }

  std::vector<std::string> words(const std::string& command, const std::vector<std::string>& extra) const {
    std::vector<std::string> w = {command, "-s", pg().server, "-u", pg().user, "--connect", pg().templateInSchema(kSchema)};
    if (command == "run") w.insert(w.end(), {"-o", out});
    w.insert(w.end(), extra.begin(), extra.end());
    return w;
  }
  Result run(const std::vector<std::string>& extra) const {
    return runVellicor(words("run", extra), {{"VELLICOR_PASSWORD", pg().password}});
  }
  std::string schemaOf(const std::string& table) const {
    return vellicor::testing::runCommand("mdb-schema -T " + vellicor::testing::shellQuote(table) + " " +
                                         vellicor::testing::shellQuote(out) + " postgres 2>&1");
  }

  std::string out;
};

bool hasLine(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

TEST_F(PgKeysTest, KeysBecomeIndexesEveryReaderVerifiesAndWhatCannotBeMadeIsLogged) {
  const Result r = run({});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(vellicor::testing::indexFaults(out), "");
  EXPECT_EQ(runVellicor({"inspect", "--check", out}).exitCode, 0);

  EXPECT_NE(schemaOf("ORDERS").find("PRIMARY KEY (\"id\")"), std::string::npos) << schemaOf("ORDERS");
  EXPECT_NE(schemaOf("SHIPMENTS").find("PRIMARY KEY (\"placed\", \"region\", \"seq\")"), std::string::npos)
      << schemaOf("SHIPMENTS");
  const std::string people = schemaOf("PEOPLE");
  EXPECT_NE(people.find("CREATE UNIQUE INDEX \"people_people_email_idx\" ON \"people\" (\"email\")"), std::string::npos)
      << people;
  EXPECT_NE(people.find("(\"a\", \"b\" DESC)"), std::string::npos) << people;
  EXPECT_EQ(mdbRows(out, "ORDERS").size(), 5000u);

  const auto log = logLines(out + ".log");
  // 32 of MANY_UNIQUE's 33 unique indexes, in the source's (name) order: the last is left out.
  const std::string many = runVellicor({"inspect", out}).out;
  EXPECT_NE(many.find("インデックス MU_32 (一意, Null を無視): u32"), std::string::npos) << many;
  EXPECT_EQ(many.find("インデックス MU_33"), std::string::npos);
  EXPECT_TRUE(hasLine(log, "テーブル MANY_UNIQUE インデックス MU_33 作成せず: 1 つのテーブルのインデックスは 32 個までです。"));
  EXPECT_TRUE(hasLine(log, "テーブル WIDE_KEY インデックス ")) << r.err;
  EXPECT_TRUE(hasLine(log, "フィールドが 11 個あります"));
  // The rows' refusals name the row: the second of the duplicate pair, and the Japanese key.
  EXPECT_TRUE(hasLine(log, "テーブル 'DUPS' にインデックス 'DUPS_K' を作成できません: 値が重複しています: k=10 (1 件目と 3 件目のレコード)。"));
  EXPECT_TRUE(hasLine(log, "テーブル 'Busho' にインデックス 'PrimaryKey' を作成できません: フィールド 'code'"));
  EXPECT_TRUE(hasLine(log, "(3 件目のレコード)"));
  // The tables whose keys were left out are there whole.
  EXPECT_EQ(mdbRows(out, "DUPS").size(), 5u);
  EXPECT_EQ(mdbRows(out, "Busho").size(), 4u);

  // The plan lists what the run made and left out.
  const Result p = runVellicor(words("plan", {"--json"}), {{"VELLICOR_PASSWORD", pg().password}});
  ASSERT_EQ(p.exitCode, 0) << p.err;
  const Json doc = Json::parse(p.out);
  size_t checked = 0;
  for (size_t i = 0; i < doc["objects"].size(); ++i) {
    const Json& o = doc["objects"][i];
    if (o["name"].str() == "SHIPMENTS") {
      ASSERT_EQ(o["keys"].size(), 1u);
      EXPECT_TRUE(o["keys"][0]["primary"].boolean());
      EXPECT_EQ(o["keys"][0]["fields"][0]["name"].str(), "placed");
      ++checked;
    } else if (o["name"].str() == "MANY_UNIQUE") {
      ASSERT_EQ(o["keys"].size(), 33u);
      EXPECT_FALSE(o["keys"][31].has("leftOut"));
      EXPECT_TRUE(o["keys"][32].has("leftOut"));
      ++checked;
    }
  }
  EXPECT_EQ(checked, 2u);
}

TEST_F(PgKeysTest, NoKeysLeavesEveryTableAHeap) {
  const Result r = run({"--no-keys", "--select", "ORDERS,PEOPLE"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(runVellicor({"inspect", out}).out.find("インデックス"), std::string::npos);
  const Result p = runVellicor(words("plan", {"--json", "--no-keys", "--select", "ORDERS"}),
                               {{"VELLICOR_PASSWORD", pg().password}});
  EXPECT_EQ(Json::parse(p.out)["objects"][0]["keys"].size(), 0u);
}

}  // namespace
}  // namespace vellicor::e2e
