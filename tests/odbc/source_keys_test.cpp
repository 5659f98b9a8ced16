// A source table's primary key and unique indexes through both stand-in drivers: key order,
// descending and expression columns, indexes left out, tables without keys, Japanese names, and
// same-named tables of two PostgreSQL schemas.
#include <gtest/gtest.h>

#include <mutex>

#include "odbc_sources.h"

using namespace vellicor;
using namespace vellicor::odbc::testing;

namespace {

constexpr const char* kSqliteKeys = R"(
CREATE TABLE K_ONE (CODE VARCHAR(10) PRIMARY KEY, NAME VARCHAR(20));
CREATE TABLE K_COMP (A INTEGER, B VARCHAR(10), C INTEGER, D INTEGER, CONSTRAINT K_COMP_PK PRIMARY KEY (C, A));
CREATE UNIQUE INDEX K_COMP_UQ ON K_COMP (B DESC, A);
CREATE UNIQUE INDEX K_COMP_SAMEPK ON K_COMP (A, C);
CREATE INDEX K_COMP_NU ON K_COMP (D);
CREATE UNIQUE INDEX K_COMP_EXPR ON K_COMP (D + A, B);
CREATE TABLE K_NOKEYS (X INTEGER, Y INTEGER);
CREATE INDEX K_NOKEYS_X ON K_NOKEYS (X);
CREATE VIEW K_VIEW AS SELECT * FROM K_COMP;
CREATE TABLE "社員" ("社員番号" INTEGER PRIMARY KEY, "氏名" VARCHAR(20), "部署" INTEGER);
CREATE UNIQUE INDEX "氏名索引" ON "社員" ("氏名", "部署");
CREATE TABLE K_UNIQUES (A INTEGER, B INTEGER UNIQUE, UNIQUE (A, B));
)";

class SqliteKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    static const std::string connect = sqliteConnectWith("keys", kSqliteKeys);
    src_ = openSource(connect);
  }
  std::string keys(const std::string& table) { return describeKeys(src_.db->keysOf(table, "scott")); }
  Source src_;
};

TEST_F(SqliteKeys, PrimaryKeysAndUniqueIndexes) {
  // The index SQLite makes for the key is left out; the driver names no key.
  EXPECT_EQ(keys("K_ONE"), "PrimaryKey(CODE) PUR");
  // This driver numbers KEY_SEQ in the table's column order (A before C) and reports no descending
  // columns; the unique index over the key's columns, in either order, is left out; the
  // expression's column comes back empty; the non-unique index is not returned.
  EXPECT_EQ(keys("K_COMP"), "PrimaryKey(A,C) PUR; K_COMP_EXPR(,B) UI; K_COMP_UQ(B,A) UI");
  EXPECT_EQ(keys("K_NOKEYS"), "");
  EXPECT_EQ(keys("K_VIEW"), "");
  EXPECT_EQ(keys("社員"), "PrimaryKey(社員番号) PUR; 氏名索引(氏名,部署) UI");
  // No primary key: the driver lists the unique constraints in its place, which is not one key.
  EXPECT_EQ(keys("K_UNIQUES"), "sqlite_autoindex_K_UNIQUES_1(B) UI; sqlite_autoindex_K_UNIQUES_2(A,B) UI");
}

TEST_F(SqliteKeys, FailuresAreTheDriversAndAClosedSourceRefuses) {
  // The driver refuses a name it takes for a pattern: a failure, not a table without keys.
  try {
    src_.db->keysOf("%", "scott");
    FAIL() << "the driver's refusal came back as no keys";
  } catch (const dao::Error& e) {
    EXPECT_EQ(e.kind(), dao::ErrorKind::kSource);
    EXPECT_NE(e.description().find("need table name"), std::string::npos) << e.description();
  }
  src_.db->close();
  EXPECT_THROW(src_.db->keysOf("K_ONE", "scott"), dao::Error);
}

// Keyed tables are created quoted in upper case, as Oracle keeps quoted names; keysOf takes them
// quoted, as a query names a quoted identifier.
constexpr const char* kSchemaA = "vellicor_keys_a";
constexpr const char* kSchemaB = "vellicor_keys_b";
constexpr const char* kPgKeysA = R"(
create table "ONE" ("CODE" varchar(10), "NAME" varchar(20), constraint "ONE_PK" primary key ("CODE"));
create table "COMP" ("A" integer, "B" varchar(10), "C" integer, "D" integer, constraint "COMP_PK" primary key ("C", "A"));
create unique index "COMP_UQ" on "COMP" ("B" desc, "A");
create unique index "COMP_SAMEPK" on "COMP" ("A", "C");
create index "COMP_NU" on "COMP" ("D");
create unique index "COMP_EXPR" on "COMP" (lower("B"), "D");
create table "NOKEYS" ("X" integer, "Y" integer);
create index "NOKEYS_X" on "NOKEYS" ("X");
create view "COMP_VIEW" as select * from "COMP";
create table "社員" ("社員番号" integer, "氏名" varchar(20), "部署" integer, constraint "社員_主キー" primary key ("社員番号"));
create unique index "氏名索引" on "社員" ("氏名", "部署" desc);
create table "TWIN" ("P" integer, "Q" integer, constraint "TWIN_A_PK" primary key ("P"));
)";
constexpr const char* kPgKeysB = R"(
create table "TWIN" ("R" integer, "S" integer, constraint "TWIN_B_PK" primary key ("S", "R"));
create unique index "TWIN_B_R" on "TWIN" ("R");
)";

class PgKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = pgSettings();
    VELLICOR_REQUIRE_PG(settings_);
    static std::once_flag once;
    std::call_once(once, [this] {
      buildPgSchemaOnce(settings_, kSchemaA, kPgKeysA);
      buildPgSchemaOnce(settings_, kSchemaB, kPgKeysB);
    });
  }
  std::string keys(const std::string& path, const std::string& table, const std::string& owner) {
    Source src = openSource(settings_.connectWithPath(path));
    return describeKeys(src.db->keysOf("\"" + table + "\"", owner));  // quoted, as a query names them
  }
  PgSettings settings_;
};

TEST_F(PgKeys, PrimaryKeysAndUniqueIndexes) {
  const std::string path = std::string(kSchemaA) + "," + kSchemaB;
  Source src = openSource(settings_.connectWithPath(path));
  // The tables are quoted identifiers: keysOf takes the name as a query's text has it.
  auto keysIn = [&](const std::string& table) {
    return describeKeys(src.db->keysOf("\"" + table + "\"", settings_.user));
  };
  EXPECT_EQ(keysIn("ONE"), "ONE_PK(CODE) PUR");
  // Key columns in KEY_SEQ order, not the table's; the index backing the key and the one over the
  // same columns in another order are left out; the expression's column comes back empty.
  EXPECT_EQ(keysIn("COMP"), "COMP_PK(C,A) PUR; COMP_EXPR(,D) UI; COMP_UQ(B desc,A) UI");
  EXPECT_EQ(keysIn("NOKEYS"), "");
  EXPECT_EQ(keysIn("COMP_VIEW"), "");
  EXPECT_EQ(keysIn("社員"), "社員_主キー(社員番号) PUR; 氏名索引(氏名,部署 desc) UI");
  // Names are matched exactly: the lower-case name is another (absent) table.
  EXPECT_EQ(keysIn("comp"), "");

  // A connection lost before the call: the driver's failure, not a table without keys.
  const auto pid = std::get<int32_t>(src.db->openRecordset("select pg_backend_pid()")->fields()[0].value());
  Source killer = openSource(settings_.connect());
  ASSERT_EQ(killer.db->openRecordset("select pg_terminate_backend(" + std::to_string(pid) + ")")->fields()[0].value(),
            dao::Variant(true));
  try {
    src.db->keysOf("COMP", settings_.user);
    FAIL() << "the lost connection came back as no keys";
  } catch (const dao::Error& e) {
    EXPECT_EQ(e.kind(), dao::ErrorKind::kSource);
    EXPECT_FALSE(e.description().empty());
  }
}

TEST_F(PgKeys, SameNamedTablesOfTwoSchemasAreNeverMixed) {
  const std::string aFirst = std::string(kSchemaA) + "," + kSchemaB;
  const std::string bFirst = std::string(kSchemaB) + "," + kSchemaA;
  const std::string keysOfA = "TWIN_A_PK(P) PUR";
  const std::string keysOfB = "TWIN_B_PK(S,R) PUR; TWIN_B_R(R) UI";
  // The connected user owns neither schema: the search path's table, as a query reads it.
  EXPECT_EQ(keys(aFirst, "TWIN", settings_.user), keysOfA);
  EXPECT_EQ(keys(bFirst, "TWIN", settings_.user), keysOfB);
  // The owner named in another case.
  EXPECT_EQ(keys(bFirst, "TWIN", "VELLICOR_KEYS_B"), keysOfB);
  // An owner whose table the session would not read does not pull in its keys.
  EXPECT_EQ(keys(aFirst, "TWIN", kSchemaB), keysOfA);
  // Neither schema on the path: no table, no keys.
  EXPECT_EQ(keys("public", "TWIN", settings_.user), "");
}

}  // namespace
