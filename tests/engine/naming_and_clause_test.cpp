// Unit tests of the two texts that go into queries: the object-type clause and quoted names.
#include <gtest/gtest.h>

#include "engine/object_name.h"
#include "engine/run_host.h"

namespace vellicor::engine {
namespace {

TEST(ObjectTypeClause, TickedKindsInFixedOrder) {
  EXPECT_EQ(whereObjectType(1, 1, 1), " where object_type in ('TABLE','VIEW','SYNONYM')");
  EXPECT_EQ(whereObjectType(1, 0, 1), " where object_type in ('TABLE','SYNONYM')");
  EXPECT_EQ(whereObjectType(0, 1, 0), " where object_type in ('VIEW')");
  EXPECT_EQ(whereObjectType(0, 0, 0), " where rownum<0");
  EXPECT_EQ(whereObjectType(2, 2, 1), " where object_type in ('SYNONYM')");  // greyed is not ticked
}

TEST(ObjectNameQuoting, PlainIdentifiersStayOthersAreQuoted) {
  for (const char* plain : {"EMP", "USER_SEQUENCES", "A1$#_", "X"}) EXPECT_EQ(quoteObjectName(plain), plain);
  EXPECT_EQ(quoteObjectName("Emp"), "\"Emp\"");
  EXPECT_EQ(quoteObjectName("order lines"), "\"order lines\"");
  EXPECT_EQ(quoteObjectName("BIN$k3J9x+Q==$0"), "\"BIN$k3J9x+Q==$0\"");
  EXPECT_EQ(quoteObjectName("A\"B"), "\"A\"\"B\"");
  EXPECT_EQ(quoteObjectName("社員"), "\"社員\"");
  EXPECT_EQ(quoteObjectName("1ST"), "\"1ST\"");
  EXPECT_EQ(quoteObjectName("_X"), "\"_X\"");
  EXPECT_EQ(quoteObjectName(""), "\"\"");
}

TEST(ObjectNameQuoting, ReservedWordsOfOraclesSqlAreQuoted) {
  for (const char* word : {"ORDER", "GROUP", "TABLE", "SELECT", "LEVEL", "SIZE", "USER", "VARCHAR2", "ROWNUM"}) {
    EXPECT_EQ(quoteObjectName(word), std::string("\"") + word + "\"") << word;
  }
  for (const char* plain : {"ORDERS", "GROUPS", "ORDER_", "USER_SEQUENCES", "XTABLE"}) EXPECT_EQ(quoteObjectName(plain), plain);
}

}  // namespace
}  // namespace vellicor::engine
