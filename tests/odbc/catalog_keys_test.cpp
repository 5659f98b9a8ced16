// A table's keys from catalog rows shaped as Oracle's driver gives them, which the stand-ins cannot
// give: rows of several schemas for one name, key columns out of KEY_SEQ order, partial indexes.
#include <gtest/gtest.h>

#include "dataaccess/odbc/catalog_keys.h"
#include "odbc_sources.h"

namespace vellicor::odbc {
namespace {

using testing::describeKeys;

// SCOTT.EMP and HR.EMP, as a catalog call with no schema lists them.
CatalogKeys twoSchemas() {
  CatalogKeys rows;
  rows.primaryKey = {{"HR", "EMP_NO", 1, "HR_EMP_PK"}, {"SCOTT", "EMPNO", 1, "PK_EMP"}};
  rows.uniqueIndexes = {{"HR", "HR_EMP_PK", "EMP_NO", 1, false, false},
                        {"HR", "HR_EMP_MAIL", "MAIL", 1, false, false},
                        {"SCOTT", "PK_EMP", "EMPNO", 1, false, false},
                        {"SCOTT", "EMP_ENAME", "ENAME", 1, false, false}};
  return rows;
}

QueriedTable failIfQueried() {
  ADD_FAILURE() << "the table was queried although the owner's rows were there";
  return {};
}

TEST(CatalogKeys, OnlyTheOwnersOrTheQueriedSchemasRowsCount) {
  const CatalogKeys rows = twoSchemas();
  // Oracle keeps user names in upper case; the user may have typed them in any case.
  for (const std::string owner : {"SCOTT", "scott", "Scott"}) {
    const auto schema = schemaOfTable(rows, owner, failIfQueried);
    ASSERT_EQ(schema, std::optional<std::string>("SCOTT")) << owner;
    EXPECT_EQ(describeKeys(keysFromRows(rows, *schema, nullptr)), "PK_EMP(EMPNO) PUR; EMP_ENAME(ENAME) UI");
  }

  // The owner's table has no keys but another schema's same-named one has: none are taken, whether
  // the driver cannot name the queried schema or names the owner's.
  CatalogKeys othersOnly;
  othersOnly.primaryKey = {rows.primaryKey[0]};
  othersOnly.uniqueIndexes = {rows.uniqueIndexes[0], rows.uniqueIndexes[1]};
  EXPECT_EQ(schemaOfTable(othersOnly, "scott", [] { return QueriedTable{}; }), std::nullopt);
  EXPECT_EQ(schemaOfTable(othersOnly, "scott", [] { return QueriedTable{"SCOTT", {"EMPNO"}}; }), std::nullopt);
  // The schema a query reads is taken when its rows are there (PostgreSQL's search path).
  EXPECT_EQ(schemaOfTable(othersOnly, "scott", [] { return QueriedTable{"HR", {"EMP_NO"}}; }),
            std::optional<std::string>("HR"));

  // Two schemas that differ only in case from the owner: the exact one, else the query decides.
  CatalogKeys twins;
  twins.primaryKey = {{"scott", "A", 1, "K1"}, {"SCOTT", "B", 1, "K2"}};
  EXPECT_EQ(schemaOfTable(twins, "SCOTT", failIfQueried), std::optional<std::string>("SCOTT"));
  int queries = 0;
  auto queryScott = [&] {
    ++queries;
    return QueriedTable{"scott", {"A"}};
  };
  EXPECT_EQ(schemaOfTable(twins, "Scott", queryScott), std::optional<std::string>("scott"));
  EXPECT_EQ(queries, 1);

  // A driver without schemas: every row is the table's.
  CatalogKeys plain;
  plain.primaryKey = {{"", "ID", 1, ""}};
  EXPECT_EQ(schemaOfTable(plain, "scott", failIfQueried), std::optional<std::string>(""));
  EXPECT_EQ(describeKeys(keysFromRows(plain, "", nullptr)), "PrimaryKey(ID) PUR");
}

TEST(CatalogKeys, RowsBecomeOnePrimaryKeyAndUniqueIndexesByName) {
  CatalogKeys rows;
  // Key columns listed out of KEY_SEQ order.
  rows.primaryKey = {{"S", "LINE_NO", 2, "ORDER_LINES_PK"}, {"S", "ORDER_NO", 1, "ORDER_LINES_PK"}};
  rows.uniqueIndexes = {
      {"S", "受注_品目", "品目", 2, true, false},      {"S", "受注_品目", "ORDER_NO", 1, false, false},
      {"S", "BACKS_PK", "LINE_NO", 1, false, false},  {"S", "BACKS_PK", "ORDER_NO", 2, false, false},
      {"S", "BY_EXPR", "SYS_NC00005$", 1, false, false}, {"S", "BY_EXPR", "LINE_NO", 2, false, false},
      {"S", "NO_COLUMN", "", 1, false, false},        {"S", "PARTIAL", "品目", 1, false, true},
  };
  const std::vector<std::string> columns = {"ORDER_NO", "LINE_NO", "品目"};
  // The index over the key's columns in another order backs the key; the partial index holds
  // only some rows; names in code point order, Japanese after ASCII.
  EXPECT_EQ(describeKeys(keysFromRows(rows, "S", &columns)),
            "ORDER_LINES_PK(ORDER_NO,LINE_NO) PUR; BY_EXPR(,LINE_NO) UI; NO_COLUMN() UI; "
            "受注_品目(ORDER_NO,品目 desc) UI");
  // Without the table's columns the driver's words for an expression stand.
  EXPECT_NE(describeKeys(keysFromRows(rows, "S", nullptr)).find("; BY_EXPR(SYS_NC00005$,LINE_NO) UI;"),
            std::string::npos);

  // Rows that are not one key (several names, as the SQLite driver lists a table's unique
  // constraints when it has no primary key, or a repeated KEY_SEQ) make no primary key; the
  // index over the same columns then stays.
  const std::string withoutKey =
      "BACKS_PK(LINE_NO,ORDER_NO) UI; BY_EXPR(,LINE_NO) UI; NO_COLUMN() UI; 受注_品目(ORDER_NO,品目 desc) UI";
  CatalogKeys notOneKey = rows;
  notOneKey.primaryKey = {{"S", "ORDER_NO", 1, "U1"}, {"S", "LINE_NO", 2, "U1"}, {"S", "LINE_NO", 1, "U2"}};
  EXPECT_EQ(describeKeys(keysFromRows(notOneKey, "S", &columns)), withoutKey);
  notOneKey.primaryKey = {{"S", "ORDER_NO", 1, "K"}, {"S", "LINE_NO", 1, "K"}};
  EXPECT_EQ(describeKeys(keysFromRows(notOneKey, "S", &columns)), withoutKey);
}

}  // namespace
}  // namespace vellicor::odbc
