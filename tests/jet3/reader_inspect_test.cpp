// The text view of a file: table list with fields and row counts, and one table's rows, checked
// against a reference file whose contents are known (testV1997.mdb, Table1) and against mdb-export.
#include <gtest/gtest.h>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/inspect.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

std::string reference(const char* name) { return std::string(VELLICOR_REFERENCE_DIR) + "/" + name; }

TEST(ReaderInspect, SummaryListsUserTablesWithFieldsAndRowCounts) {
  const std::string text = inspectFile(reference("testV1997.mdb"));
  EXPECT_NE(text.find("並べ替え順 0x0409  コード ページ 1252  エンジン 9502"), std::string::npos) << text;
  EXPECT_NE(text.find("テーブル数: 4"), std::string::npos) << text;
  EXPECT_NE(text.find("テーブル Table1 (2 行, 9 フィールド)\n  A\tText\t50\n  B\tText\t100\n  C\tByte\t1\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  H\tCurrency\t8\n  I\tBoolean\t1\n"), std::string::npos);
  EXPECT_NE(text.find("テーブル Table2 (0 行, 89 フィールド)"), std::string::npos);
  EXPECT_EQ(text.find("MSysObjects"), std::string::npos);  // system tables are not user tables
}

TEST(ReaderInspect, SummaryListsEachIndexWithItsKindAndFieldsAsAccessMadeThem) {
  const std::string text = inspectFile(reference("nwind.mdb"));
  EXPECT_NE(text.find("  Discount\tSingle\t4\n  インデックス OrderID: OrderID\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  インデックス PrimaryKey (主キー, 一意, 必須): OrderID, ProductID\n"), std::string::npos);
  EXPECT_NE(text.find("  インデックス OrdersOrder Details (外部キー): OrderID\n"), std::string::npos);
}

TEST(ReaderInspect, RowsAreTabSeparatedWithAHeaderLine) {
  const std::string text = inspectFile(reference("testV1997.mdb"), "Table1");
  EXPECT_EQ(text,
            "A\tB\tC\tD\tE\tF\tG\tH\tI\n"
            "a\tb\t0\t0\t0\t0\t1981/12/12 00:00:00\t0.0000\tFalse\n"
            "abcdefg\thijklmnop\t2\t222\t333333333\t444.555\t1974/09/21 00:00:00\t3.5000\tTrue\n")
      << text;
}

TEST(ReaderInspect, ControlCharactersInValuesAreEscapedAndRowCountsMatchMdbExport) {
  // nwind's Employees.Notes memos contain line breaks; each row must stay on one line.
  const std::string path = reference("nwind.mdb");
  const std::string text = inspectFile(path, "Employees");
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 1 + testing::mdbExport(path, "Employees").size());
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("\\r\\n"), std::string::npos);  // the escaped line breaks of the memos
}

TEST(ReaderInspect, UnknownTableIsAnError) {
  EXPECT_THROW(inspectFile(reference("size97.mdb"), "NoSuchTable"), dao::Error);
}

}  // namespace
}  // namespace vellicor::jet3
