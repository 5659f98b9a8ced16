// End-to-end runs over sources whose table and column names are Japanese (also mixed with ASCII,
// and one column name of 64 bytes in code page 932, the longest Jet takes): the SQLite driver
// reports such a name's length in bytes, psqlODBC in characters.
#include <gtest/gtest.h>

#include "app_harness.h"

namespace vellicor::e2e {
namespace {

const std::string kTable = "社員名簿";
// Thirty-two double-byte characters: 64 bytes in code page 932. PostgreSQL keeps 63 bytes of
// UTF-8 of a name, so it gets the twenty-one that fit.
const std::string kLongest = "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミ";
const std::string kLongestInPg = kLongest.substr(0, 21 * 3);
std::vector<std::string> columns(const std::string& longest) { return {"社員番号", "氏名", "部署CODE", "ID_カナ", longest}; }
const std::vector<std::vector<std::string>> kRows = {{"1", "山田 太郎", "A01", "ヤマダ", "x"},
                                                     {"2", "佐藤 花子", "<NULL>", "サトウ", "<NULL>"}};

std::string createTable(const std::string& q, const std::vector<std::string>& names) {
  std::string sql = "CREATE TABLE " + q + kTable + q + " (" + q + names[0] + q + " INTEGER";
  sql += ", " + q + names[1] + q + " VARCHAR(20)";
  for (size_t i = 2; i < names.size(); ++i) sql += ", " + q + names[i] + q + " VARCHAR(10)";
  sql += ");\nINSERT INTO " + q + kTable + q + " VALUES (1, '山田 太郎', 'A01', 'ヤマダ', 'x');\n";
  sql += "INSERT INTO " + q + kTable + q + " VALUES (2, '佐藤 花子', NULL, 'サトウ', NULL);\n";
  return sql;
}

// The header mdb-export prints and the rows, as the source holds them.
void expectCopiedWhole(const std::string& out, const std::vector<std::string>& names) {
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{kTable}));
  const auto withHeader = vellicor::testing::mdbExport(out, kTable, "CP932", true);
  ASSERT_FALSE(withHeader.empty());
  std::vector<std::string> header;
  for (const auto& cell : withHeader.front()) header.push_back(cell.value_or("<NULL>"));
  EXPECT_EQ(header, names);
  EXPECT_EQ(mdbRows(out, kTable), kRows);
}

TEST_F(E2ETest, JapaneseColumnNamesFromTheSqliteDriverAreCopied) {
  const std::string source =
      makeSqliteSource(dir, createTable("\"", columns(kLongest)) + "INSERT INTO USER_OBJECTS VALUES ('" + kTable + "', 'TABLE', 'VALID', 20);\n");
  const std::string out = path("out.mdb");
  const Result r = runVellicor({"run", "-s", source, "-u", "demo", "-o", out, "--connect", kSqliteTemplate,
                                "--select", kTable});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  expectCopiedWhole(out, columns(kLongest));
}

TEST_F(E2ETest, JapaneseColumnNamesFromPsqlOdbcAreCopied) {
  if (pg().templ.empty()) GTEST_SKIP() << "the PostgreSQL stand-in could not be started";
  const std::string schema = "vellicor_jp_names";
  pg().psql("select pg_advisory_lock(4243); drop schema if exists " + schema + " cascade; create schema " + schema +
            "; set search_path to " + schema + "; " + createTable("\"", columns(kLongestInPg)) + "select pg_advisory_unlock(4243);");
  const std::string out = path("out.mdb");
  const Result r = runVellicor({"run", "-s", pg().server, "-u", pg().user, "-o", out, "--connect",
                                pg().templateInSchema(schema), "--select", kTable},
                               {{"VELLICOR_PASSWORD", pg().password}});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  expectCopiedWhole(out, columns(kLongestInPg));
}

}  // namespace
}  // namespace vellicor::e2e
