// Memo and OLE values of every storage kind (inline, one LVAL row, a chain of LVAL pages),
// assembled from chunks, read back by mdbtools and by our recordset.
#include <gtest/gtest.h>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

namespace {

std::string japaneseText(size_t characters) {
  static const char* pieces[] = {"日本語", "ABC", "①", "ｶﾅ", "～", "x"};
  std::string s;
  for (size_t i = 0; s.size() < characters; ++i) s += pieces[i % 6];
  return s;
}

dao::Bytes binary(size_t n, uint8_t seed) {
  dao::Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 31 + (i >> 8));
  return b;
}

std::string hex(const dao::Bytes& b) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (uint8_t x : b) s += {d[x >> 4], d[x & 15]};
  return s;
}

}  // namespace

TEST(WriterLongValues, EveryKindOfMemoAndOleRoundTrips) {
  ScratchDir dir;
  const std::string file = dir.path("long.mdb");
  // Inline (<= 64 bytes), single LVAL rows, chains of 2, 3 and many pages.
  const size_t sizes[] = {0, 10, 64, 65, 500, 2032, 2033, 4064, 5000, 70000};
  std::vector<std::string> memos;
  std::vector<dao::Bytes> oles;
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("LONGS");
    td.appendField(td.createField("N", dao::dbLong));
    td.appendField(td.createField("M", dao::dbMemo));
    td.appendField(td.createField("O", dao::dbLongBinary));
    db->appendTableDef(td);
    auto rs = db->openRecordset("LONGS");
    int n = 0;
    for (size_t size : sizes) {
      memos.push_back(japaneseText(size));
      oles.push_back(binary(size, static_cast<uint8_t>(n)));
      rs->addNew();
      rs->fields()[0].setValue(int32_t{n++});
      // Memo in pieces of 1000 UTF-8 bytes, which split characters; OLE likewise.
      const std::string& m = memos.back();
      for (size_t at = 0; at < m.size(); at += 1000) {
        const size_t len = std::min<size_t>(1000, m.size() - at);
        rs->fields()[1].appendChunk(dao::Bytes(m.begin() + at, m.begin() + at + len));
      }
      const dao::Bytes& o = oles.back();
      for (size_t at = 0; at < o.size(); at += 1000) {
        rs->fields()[2].appendChunk(dao::Bytes(o.begin() + at, o.begin() + std::min(o.size(), at + 1000)));
      }
      rs->update();
    }
    rs->close();
    db->close();
  }
  const auto rows = mdbExport(file, "LONGS", "CP932");
  ASSERT_EQ(rows.size(), std::size(sizes));
  for (size_t i = 1; i < rows.size(); ++i) {
    ASSERT_TRUE(rows[i][1].has_value()) << i;
    EXPECT_EQ(*rows[i][1], memos[i]) << "memo of " << sizes[i] << " bytes";
    ASSERT_TRUE(rows[i][2].has_value()) << i;
    EXPECT_EQ(*rows[i][2], hex(oles[i])) << "OLE of " << sizes[i] << " bytes";
  }
  // Nothing appended: the field stays Null.
  EXPECT_FALSE(rows[0][1].has_value());
  EXPECT_FALSE(rows[0][2].has_value());

  // Our own recordset hands the values back in GetChunk pieces.
  auto db = jetWorkspace()->openDatabase(file, 1);
  auto rs = db->openRecordset("LONGS");
  for (size_t i = 0; i < std::size(sizes); ++i, rs->moveNext()) {
    ASSERT_FALSE(rs->eof());
    dao::Field& m = rs->fields()[1];
    std::string back;
    for (int64_t at = 0; at < m.fieldSize(); at += 1000) {
      dao::Bytes piece = m.getChunk(at, 1000);
      back.append(piece.begin(), piece.end());
    }
    EXPECT_EQ(back, memos[i]);
    EXPECT_EQ(rs->fields()[2].fieldSize(), static_cast<int64_t>(i == 0 ? 0 : oles[i].size()));
  }
  EXPECT_TRUE(rs->eof());
}

TEST(WriterLongValues, ValuesSetWholeAndManyRowsShareLvalPages) {
  ScratchDir dir;
  const std::string file = dir.path("memos.mdb");
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("NOTES");
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("NOTE", dao::dbMemo));
    db->appendTableDef(td);
    auto rs = db->openRecordset("NOTES");
    for (int i = 0; i < 2000; ++i) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{i});
      rs->fields()[1].setValue("備考" + std::string(100 + i % 300, 'z') + std::to_string(i));
      rs->update();
    }
    db->close();
  }
  const auto rows = mdbExport(file, "NOTES", "CP932");
  ASSERT_EQ(rows.size(), 2000u);
  for (int i = 0; i < 2000; i += 37) EXPECT_EQ(*rows[i][1], "備考" + std::string(100 + i % 300, 'z') + std::to_string(i));
  // About eight values share each LVAL page, and the column's map lists them all.
  jet3::JetFileReader reader(file);
  const jet3::TableInfo t = reader.table("NOTES");
  ASSERT_EQ(t.def.longValueMaps.size(), 1u);
  const size_t lvalPages = reader.usageMap(t.def.longValueMaps[0].ownedMap).size();
  EXPECT_GT(lvalPages, 2000u * 250 / 2048);
  EXPECT_LT(lvalPages, 2000u * 270 / 1800);
  EXPECT_EQ(indexFaults(file), "");
}
