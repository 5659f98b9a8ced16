// A new file against testIndexCodesV1997.mdb, written by Jet 3.5 itself: the header fields the
// format fixes, the page layout of a new file, the system table definitions byte for byte, and the
// engine's catalog rows (dates aside).
#include <gtest/gtest.h>

#include <cstring>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/header.h"
#include "dataaccess/jet3/read_le.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;
namespace fmt = vellicor::jet3::fmt;

namespace {

struct Pages {
  std::vector<unsigned char> bytes;
  const uint8_t* page(uint32_t n) const { return bytes.data() + n * fmt::kPageSize; }
};

Pages reference() { return Pages{readWholeFile(std::string(VELLICOR_REFERENCE_DIR) + "/testIndexCodesV1997.mdb")}; }

Pages ours(ScratchDir& dir, const char* locale) {
  const std::string file = dir.path("ours.mdb");
  jetWorkspace()->createDatabase(file, locale)->close();
  return Pages{readWholeFile(file)};
}

// The row bytes of slot r on a data page.
std::vector<uint8_t> row(const uint8_t* page, int r) {
  const uint16_t start = jet3::loadU16(page + fmt::kDataRowTable + 2 * r) & fmt::kRowOffsetMask;
  const uint16_t end = r == 0 ? fmt::kPageSize : jet3::loadU16(page + fmt::kDataRowTable + 2 * (r - 1)) & fmt::kRowOffsetMask;
  return std::vector<uint8_t>(page + start, page + end);
}

}  // namespace

TEST(WriterReference, HeaderFieldsMatchJet35) {
  ScratchDir dir;
  const Pages mine = ours(dir, dao::dbLangGeneral);
  const Pages ref = reference();
  const jet3::DatabaseHeader a = jet3::decodeHeader(mine.page(0), fmt::kPageSize);
  const jet3::DatabaseHeader b = jet3::decodeHeader(ref.page(0), fmt::kPageSize);
  EXPECT_EQ(a.globalMap, b.globalMap);
  EXPECT_EQ(a.secondMap, b.secondMap);
  EXPECT_EQ(a.systemTdefs, b.systemTdefs);
  EXPECT_EQ(a.flag38, b.flag38);
  EXPECT_EQ(a.sortOrder, b.sortOrder);
  EXPECT_EQ(a.codePage, b.codePage);
  EXPECT_EQ(a.databaseKey, 0u);
  EXPECT_FALSE(a.hasPassword());
  EXPECT_EQ(a.engineBuild, b.engineBuild);
  EXPECT_EQ(a.counterBlock, b.counterBlock);
  // The Japanese locale keeps the General sort order and takes code page 932.
  ScratchDir dir2;
  const Pages jp = ours(dir2, dao::dbLangJapanese);
  const jet3::DatabaseHeader j = jet3::decodeHeader(jp.page(0), fmt::kPageSize);
  EXPECT_EQ(j.sortOrder, fmt::kSortGeneral);
  EXPECT_EQ(j.codePage, fmt::kCodePage932);
}

TEST(WriterReference, PageLayoutOfANewFile) {
  ScratchDir dir;
  const Pages mine = ours(dir, dao::dbLangGeneral);
  const Pages ref = reference();
  ASSERT_EQ(mine.bytes.size(), 20 * fmt::kPageSize);
  // Pages 0..18 are laid out alike in every new file; Access put another TDEF at 19 in the
  // reference, where a file made only by the engine has MSysACEs' first data page.
  EXPECT_EQ(mine.page(19)[0], fmt::kPageData);
  for (uint32_t p = 0; p < 19; ++p) {
    EXPECT_EQ(mine.page(p)[0], ref.page(p)[0]) << "page " << p;
    if (mine.page(p)[0] == fmt::kPageData && p != 18 && p != 19) {
      // Map holder pages: same owner, same number of rows, same row lengths.
      EXPECT_EQ(jet3::loadU32(mine.page(p) + fmt::kDataOwner), jet3::loadU32(ref.page(p) + fmt::kDataOwner)) << p;
      EXPECT_EQ(jet3::loadU16(mine.page(p) + fmt::kDataRowCount), jet3::loadU16(ref.page(p) + fmt::kDataRowCount)) << p;
      EXPECT_EQ(jet3::loadU16(mine.page(p) + fmt::kDataFreeSpace), jet3::loadU16(ref.page(p) + fmt::kDataFreeSpace)) << p;
    }
  }
  // Global map: pages 0..19 in use, everything after free.
  const std::vector<uint8_t> global = row(mine.page(1), 0);
  ASSERT_EQ(global.size(), fmt::kMapRowSize);
  EXPECT_EQ(global[0], fmt::kMapInline);
  EXPECT_EQ(jet3::loadU32(&global[1]), 0u);
  EXPECT_EQ(global[5], 0x00);
  EXPECT_EQ(global[6], 0x00);
  EXPECT_EQ(global[7], 0xF0);  // pages 20..23 free
  EXPECT_EQ(global[8], 0xFF);
}

TEST(WriterReference, SystemTableDefinitionsMatchByteForByte) {
  ScratchDir dir;
  const Pages mine = ours(dir, dao::dbLangGeneral);
  const Pages ref = reference();
  for (uint32_t p = fmt::kMSysObjectsTdef; p <= fmt::kMSysRelationshipsTdef; ++p) {
    const uint32_t length = jet3::loadU32(ref.page(p) + fmt::kTdefLength);
    ASSERT_EQ(jet3::loadU32(mine.page(p) + fmt::kTdefLength), length) << "TDEF " << p;
    const uint32_t realIndexes = jet3::loadU32(ref.page(p) + fmt::kTdefRealIndexes);
    for (uint32_t i = 0; i < length; ++i) {
      // Row count and the distinct-key counts depend on the rows the file holds.
      if (i >= fmt::kTdefRowCount && i < fmt::kTdefRowCount + 4) continue;
      if (i >= fmt::kTdefHeaderSize && i < fmt::kTdefHeaderSize + realIndexes * fmt::kTdefRealIndexCountSize) continue;
      ASSERT_EQ(mine.page(p)[i], ref.page(p)[i]) << "TDEF " << p << " byte " << i;
    }
  }
  // Our counts are those of our own rows: 8 objects, 23 ACEs (ObjectId over 8 objects).
  EXPECT_EQ(jet3::loadU32(mine.page(2) + fmt::kTdefRowCount), 8u);
  EXPECT_EQ(jet3::loadU32(mine.page(2) + fmt::kTdefHeaderSize + 4), 8u);
  EXPECT_EQ(jet3::loadU32(mine.page(3) + fmt::kTdefRowCount), 23u);
  EXPECT_EQ(jet3::loadU32(mine.page(3) + fmt::kTdefHeaderSize + 4), 8u);
}

TEST(WriterReference, EngineCatalogRowsMatchExceptDates) {
  ScratchDir dir;
  const Pages mine = ours(dir, dao::dbLangGeneral);
  const Pages ref = reference();
  // Rows 0..7 of MSysObjects' first page: the containers, MSysDb and the four system tables.
  // MSysDb differs by its LvProp (Access's database properties), so compare up to its variable part.
  for (int r = 0; r < 8; ++r) {
    std::vector<uint8_t> a = row(mine.page(18), r);
    std::vector<uint8_t> b = row(ref.page(18), r);
    // Dates: fixed offsets 10..25 (after the column-count byte).
    for (int i = 11; i < 27; ++i) a[i] = b[i] = 0;
    if (r == 3) {
      EXPECT_TRUE(std::equal(a.begin(), a.begin() + 31, b.begin())) << "MSysDb";
      continue;
    }
    EXPECT_EQ(a, b) << "catalog row " << r;
  }
}

TEST(WriterReference, UserTableColumnsAreDescribedAsJet35DescribesThem) {
  // Jet 3.5 made Table12 of the reference file with Text(255) name, Text(255) data1, Long data2.
  ScratchDir dir;
  const std::string file = dir.path("user.mdb");
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangGeneral);
    dao::TableDef td("Table12");
    td.appendField(td.createField("name", dao::dbText));
    td.appendField(td.createField("data1", dao::dbText, 255));
    td.appendField(td.createField("data2", dao::dbLong));
    db->appendTableDef(td);
    db->close();
  }
  const Pages mine{readWholeFile(file)};
  const Pages ref = reference();
  const uint32_t ourTdef = 20;  // the first page after the engine's pages
  const uint32_t refTdef = 83;
  ASSERT_EQ(mine.page(ourTdef)[0], fmt::kPageTdef);
  const uint8_t* a = mine.page(ourTdef);
  const uint8_t* b = ref.page(refTdef);
  EXPECT_EQ(a[fmt::kTdefTableType], b[fmt::kTdefTableType]);
  for (size_t f : {fmt::kTdefMaxColumns, fmt::kTdefVarColumns, fmt::kTdefColumns}) {
    EXPECT_EQ(jet3::loadU16(a + f), jet3::loadU16(b + f)) << f;
  }
  // Our table has no index; the reference one has two, whose counts precede the descriptors.
  const uint8_t* ac = a + fmt::kTdefHeaderSize;
  const uint8_t* bc = b + fmt::kTdefHeaderSize + 2 * fmt::kTdefRealIndexCountSize;
  EXPECT_EQ(std::vector<uint8_t>(ac, ac + 3 * fmt::kColumnDescriptorSize + 17),
            std::vector<uint8_t>(bc, bc + 3 * fmt::kColumnDescriptorSize + 17));  // descriptors and names
}
