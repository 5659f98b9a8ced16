// Rows of every Jet 3 field type written through the DAO layer and read back by mdbtools,
// mdb-reader and our own recordset: nulls, wide rows with jump tables, tables spanning many pages
// (usage maps switching to bitmap pages), the global map of a file past 1024 pages.
#include <gtest/gtest.h>

#include <cmath>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

namespace {

dao::TableDef allTypes() {
  dao::TableDef td("ALLTYPES");
  td.appendField(td.createField("B", dao::dbBoolean));
  td.appendField(td.createField("Y", dao::dbByte));
  td.appendField(td.createField("I", dao::dbInteger));
  td.appendField(td.createField("L", dao::dbLong));
  td.appendField(td.createField("C", dao::dbCurrency));
  td.appendField(td.createField("S", dao::dbSingle));
  td.appendField(td.createField("D", dao::dbDouble));
  td.appendField(td.createField("T", dao::dbDate));
  td.appendField(td.createField("BIN", dao::dbBinary, 10));
  td.appendField(td.createField("TXT", dao::dbText));
  td.appendField(td.createField("OLE", dao::dbLongBinary));
  td.appendField(td.createField("MEMO", dao::dbMemo));
  td.appendField(td.createField("G", dao::dbGUID));
  return td;
}

}  // namespace

TEST(WriterRows, EveryFieldTypeWithValuesAndNulls) {
  ScratchDir dir;
  const std::string file = dir.path("types.mdb");
  dao::Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i * 17);
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    db->appendTableDef(allTypes());
    auto rs = db->openRecordset("ALLTYPES");
    rs->addNew();
    rs->fields()[0].setValue(true);
    rs->fields()[1].setValue(uint8_t{200});
    rs->fields()[2].setValue(int16_t{-32768});
    rs->fields()[3].setValue(int32_t{2147483647});
    rs->fields()[4].setValue(dao::Currency{-9223372036854775807LL});
    rs->fields()[5].setValue(1.5f);
    rs->fields()[6].setValue(-1.0e300);
    rs->fields()[7].setValue(dao::toOleDate({2100, 12, 31, 23, 59, 59, 0}));
    rs->fields()[8].setValue(dao::Bytes{0x7F, 0xFF, 0x10});  // mdbtools cuts binary at a NUL
    rs->fields()[9].setValue(std::string("①ソ\\A語～"));
    rs->fields()[10].setValue(dao::Bytes{1, 2, 3});
    rs->fields()[11].setValue(std::string("メモ"));
    rs->fields()[12].setValue(g);
    rs->update();
    rs->addNew();  // all Null
    rs->update();
    db->close();
  }
  const std::string schema = mdbSchema(file, "ALLTYPES");
  for (const char* t : {"[B]\t\t\tBoolean", "[Y]\t\t\tByte", "[I]\t\t\tInteger", "[L]\t\t\tLong Integer",
                        "[C]\t\t\tCurrency", "[S]\t\t\tSingle", "[D]\t\t\tDouble", "[T]\t\t\tDateTime",
                        "[BIN]\t\t\tBinary", "[TXT]\t\t\tText (255)", "[OLE]\t\t\tOLE", "[MEMO]\t\t\tMemo/Hyperlink",
                        "[G]\t\t\tReplication ID"}) {
    EXPECT_NE(schema.find(t), std::string::npos) << t << "\n" << schema;
  }
  const auto rows = mdbExport(file, "ALLTYPES", "CP932");
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0].size(), 13u);
  for (size_t i = 0; i < 13; ++i) ASSERT_TRUE(rows[0][i].has_value()) << "column " << i;
  const auto& r = rows[0];
  EXPECT_EQ(*r[0], "1");
  EXPECT_EQ(*r[1], "200");
  EXPECT_EQ(*r[2], "-32768");
  EXPECT_EQ(*r[3], "2147483647");
  EXPECT_EQ(*r[4], "-922337203685477.5807");
  EXPECT_EQ(*r[5], "1.5");
  EXPECT_EQ(*r[7], "2100-12-31 23:59:59");
  EXPECT_EQ(*r[8], "7FFF10");
  EXPECT_EQ(*r[9], "①ソ\\A語～");
  EXPECT_EQ(*r[10], "010203");
  EXPECT_EQ(*r[11], "メモ");
  for (size_t i = 1; i < rows[1].size(); ++i) EXPECT_FALSE(rows[1][i].has_value()) << "column " << i;
  EXPECT_EQ(*rows[1][0], "0");  // a Boolean is never Null
  // mdb-reader sees the same numbers.
  const std::string json = mdbReaderJson(file, "ALLTYPES");
  EXPECT_NE(json.find("\"rowCount\":2"), std::string::npos) << json;
  EXPECT_NE(json.find("\"D\":-1e+300"), std::string::npos) << json;
  EXPECT_NE(json.find("\"L\":2147483647"), std::string::npos) << json;
  EXPECT_NE(json.find("\"BIN\":\"7fff10\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"name\":\"BIN\",\"type\":\"binary\",\"size\":10}"), std::string::npos) << json;

  // Our own read side gives the values back as they were set.
  auto db = jetWorkspace()->openDatabase(file, 1);
  auto rs = db->openRecordset("ALLTYPES");
  ASSERT_FALSE(rs->eof());
  EXPECT_EQ(rs->fields()["TXT"].value(), dao::Variant(std::string("①ソ\\A語～")));
  EXPECT_EQ(rs->fields()["C"].value(), dao::Variant(dao::Currency{-9223372036854775807LL}));
  EXPECT_EQ(rs->fields()["G"].value(), dao::Variant(g));
  rs->moveNext();
  EXPECT_TRUE(dao::isNull(rs->fields()["L"].value()));
  rs->moveNext();
  EXPECT_TRUE(rs->eof());
}

TEST(WriterRows, WideRowsUseJumpTablesThatReadersFollow) {
  ScratchDir dir;
  const std::string file = dir.path("wide.mdb");
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("WIDE");
    for (int i = 0; i < 8; ++i) td.appendField(td.createField("T" + std::to_string(i), dao::dbText, 255));
    td.appendField(td.createField("N", dao::dbLong));
    db->appendTableDef(td);
    auto rs = db->openRecordset("WIDE");
    // Lengths chosen so that offsets cross 256-byte boundaries at several columns, some columns
    // are null or empty, and a row's trailer alone crosses a boundary.
    const int lengths[][8] = {{255, 255, 255, 255, 255, 255, 255, 200},
                              {0, 250, -1, 255, 10, 255, -1, 1},
                              {240, 0, 0, 0, 0, 0, 0, 0},
                              {1, 2, 3, 4, 5, 6, 7, 8}};
    for (int row = 0; row < 4; ++row) {
      rs->addNew();
      for (int c = 0; c < 8; ++c) {
        if (lengths[row][c] >= 0) rs->fields()[c].setValue(std::string(lengths[row][c], static_cast<char>('a' + c)));
      }
      rs->fields()[8].setValue(int32_t{row});
      rs->update();
    }
    db->close();
  }
  const auto rows = mdbExport(file, "WIDE", "CP932");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][7]->size(), 200u);
  EXPECT_EQ(*rows[0][3], std::string(255, 'd'));
  EXPECT_EQ(rows[1][1]->size(), 250u);
  EXPECT_FALSE(rows[1][2].has_value());
  EXPECT_EQ(*rows[1][5], std::string(255, 'f'));
  EXPECT_EQ(*rows[1][7], "h");
  EXPECT_EQ(rows[2][0]->size(), 240u);
  EXPECT_EQ(*rows[3][7], "hhhhhhhh");
  for (int r = 0; r < 4; ++r) EXPECT_EQ(*rows[r][8], std::to_string(r));
  EXPECT_NE(mdbReaderJson(file, "WIDE").find("\"rowCount\":4"), std::string::npos);
}

TEST(WriterRows, LargeTableSpansManyPagesAndBitmapMaps) {
  // ~1150 data pages: the table's own map and the global map both outgrow an inline row.
  ScratchDir dir;
  const std::string file = dir.path("large.mdb");
  const int kRows = 90000;
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("LARGE");
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("V", dao::dbDouble));
    td.appendField(td.createField("T", dao::dbText, 30));
    db->appendTableDef(td);
    auto rs = db->openRecordset("LARGE");
    for (int i = 0; i < kRows; ++i) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{i});
      rs->fields()[1].setValue(i * 0.25);
      rs->fields()[2].setValue(std::string("行") + std::to_string(i));
      rs->update();
    }
    db->close();
  }
  const auto rows = mdbExport(file, "LARGE", "CP932");
  ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
  for (int i = 0; i < kRows; i += 997) {
    EXPECT_EQ(*rows[i][0], std::to_string(i));
    EXPECT_EQ(*rows[i][2], "行" + std::to_string(i));
  }
  EXPECT_NE(mdbReaderJson(file, "LARGE").find("\"rowCount\":90000"), std::string::npos);
  jet3::JetFileReader reader(file);
  const jet3::TableInfo t = reader.table("LARGE");
  EXPECT_EQ(t.def.rowCount, static_cast<uint32_t>(kRows));
  const std::vector<uint32_t> pages = reader.usageMap(t.def.ownedMap);
  EXPECT_GT(pages.size(), 1024u);
  // Every page of the file is either free or in use, nothing past the end counts as used.
  const std::vector<uint32_t> free = reader.globalFreePages();
  for (uint32_t p : pages) EXPECT_FALSE(std::binary_search(free.begin(), free.end(), p)) << p;
  EXPECT_EQ(indexFaults(file), "");
}

TEST(WriterRows, TablesFilledInTurnKeepEveryPage) {
  // Two tables filled row by row in turn take pages alternately, and pages freed by the catalog's
  // commits come back among them: full pages reach the file in runs of neighbours, and no page of
  // a run that is broken off may be lost or land on the other table's page.
  ScratchDir dir;
  const std::string file = dir.path("turns.mdb");
  const int kRows = 12000;
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    for (const char* name : {"A", "B"}) {
      dao::TableDef td(name);
      td.appendField(td.createField("ID", dao::dbLong));
      td.appendField(td.createField("T", dao::dbText, 100));
      db->appendTableDef(td);
    }
    auto a = db->openRecordset("A");
    auto b = db->openRecordset("B");
    for (int i = 0; i < kRows; ++i) {
      for (auto* rs : {a.get(), b.get()}) {
        rs->addNew();
        rs->fields()[0].setValue(int32_t{i});
        rs->fields()[1].setValue(std::string(rs == a.get() ? "甲" : "乙") + std::string(40 + i % 50, 'x'));
        rs->update();
      }
      if (i == kRows / 2) {  // a third table in between: the catalog frees and takes pages
        dao::TableDef td("C");
        td.appendField(td.createField("ID", dao::dbLong));
        db->appendTableDef(td);
      }
    }
    a->close();
    b->close();
    db->close();
  }
  jet3::JetFileReader reader(file);
  for (const char* name : {"A", "B"}) {
    SCOPED_TRACE(name);
    jet3::RowCursor cursor(reader, reader.table(name));
    std::vector<bool> seen(kRows, false);
    const std::string mark = std::string(name) == "A" ? "甲" : "乙";
    int count = 0;
    while (cursor.next()) {
      const auto values = cursor.values();
      const int id = std::get<int32_t>(values[0]);
      ASSERT_TRUE(id >= 0 && id < kRows && !seen[id]) << id;
      seen[id] = true;
      EXPECT_EQ(std::get<std::string>(values[1]), mark + std::string(40 + id % 50, 'x'));
      ++count;
    }
    EXPECT_EQ(count, kRows);
    EXPECT_EQ(mdbExport(file, name, "CP932").size(), static_cast<size_t>(kRows));
  }
  EXPECT_EQ(indexFaults(file), "");
}
