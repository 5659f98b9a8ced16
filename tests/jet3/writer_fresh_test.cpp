// A new database and its first tables, checked by readers nobody here wrote: mdbtools and
// mdb-reader, plus the walk over every index.
#include <gtest/gtest.h>

#include "dataaccess/dao.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

TEST(WriterFresh, EmptyDatabaseIsJet3WithTheSystemTables) {
  ScratchDir dir;
  const std::string file = dir.path("empty.mdb");
  auto ws = jetWorkspace();
  ws->createDatabase(file, dao::dbLangJapanese)->close();
  EXPECT_EQ(mdbVersion(file), "JET3");
  EXPECT_TRUE(mdbTables(file).empty());
  const auto objects = mdbExport(file, "MSysObjects", "CP932");
  ASSERT_EQ(objects.size(), 8u);
  EXPECT_EQ(*objects[0][2], "Tables");
  EXPECT_EQ(mdbExport(file, "MSysACEs", "CP932").size(), 23u);
  EXPECT_EQ(indexFaults(file), "");
}

TEST(WriterFresh, TableOfFixedTypesRoundTrips) {
  ScratchDir dir;
  const std::string file = dir.path("fixed.mdb");
  auto ws = jetWorkspace();
  {
    auto db = ws->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("数値");
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("名前", dao::dbText, 20));
    td.appendField(td.createField("金額", dao::dbCurrency));
    td.appendField(td.createField("日付", dao::dbDate));
    td.appendField(td.createField("有効", dao::dbBoolean));
    db->appendTableDef(td);
    auto rs = db->openRecordset("数値");
    EXPECT_TRUE(rs->eof());
    for (int i = 0; i < 3; ++i) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{i + 1});
      rs->fields()[1].setValue(std::string("日本語テキスト") + std::to_string(i));
      rs->fields()[2].setValue(dao::Currency{12345678});
      rs->fields()[3].setValue(dao::toOleDate({2024, 2, 29, 13, 45, 10, 0}));
      rs->fields()[4].setValue(i % 2 == 0);
      rs->update();
    }
    rs->close();
    db->close();
  }
  EXPECT_EQ(mdbVersion(file), "JET3");
  ASSERT_EQ(mdbTables(file), std::vector<std::string>{"数値"});
  const auto rows = mdbExport(file, "数値", "CP932");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(*rows[2][0], "3");
  EXPECT_EQ(*rows[2][1], "日本語テキスト2");
  EXPECT_EQ(*rows[2][2], "1234.5678");
  EXPECT_EQ(*rows[2][3], "2024-02-29 13:45:10");
  EXPECT_EQ(*rows[0][4], "1");
  EXPECT_EQ(*rows[1][4], "0");
  EXPECT_EQ(indexFaults(file), "");
}
