// Tests of the TDEF codec: every table definition of every reference file decodes and encodes back
// to the same bytes, and malformed definitions are refused with dao::Error.
#include <gtest/gtest.h>

#include <set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/tdef.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

using Stream = std::vector<uint8_t>;

// Logical TDEF streams of every local table of a file. The table Ids (= TDEF pages) come from
// mdb-export's reading of MSysObjects, so the walk does not depend on our own catalog reader.
std::vector<std::pair<uint32_t, Stream>> tdefStreams(const std::string& path) {
  const auto file = testing::readWholeFile(path);
  const size_t pages = file.size() / fmt::kPageSize;
  auto page = [&](uint32_t n) { return file.data() + size_t{n} * fmt::kPageSize; };
  std::vector<std::pair<uint32_t, Stream>> out;
  for (const testing::CsvRow& row : testing::mdbExport(path, "MSysObjects")) {
    if (row.size() < 4 || !row[3] || *row[3] != "1") continue;  // Type 1: local table
    const uint32_t n = static_cast<uint32_t>(std::stoul(row[0].value()));
    EXPECT_LT(n, pages);
    if (n >= pages) continue;
    Stream s(page(n), page(n) + fmt::kPageSize);
    std::set<uint32_t> seen{n};
    for (uint32_t next = loadU32(page(n) + fmt::kTdefNextPage); next; next = loadU32(page(next) + fmt::kTdefNextPage)) {
      EXPECT_LT(next, pages);
      EXPECT_TRUE(seen.insert(next).second);
      if (next >= pages || seen.size() > pages) break;
      s.insert(s.end(), page(next) + fmt::kTdefPageHeader, page(next) + fmt::kPageSize);
    }
    out.emplace_back(n, std::move(s));
  }
  return out;
}

TEST(TdefCodec, EveryReferenceTableRoundTripsExactly) {
  size_t tables = 0, multiPage = 0, withIndexes = 0, withLongValues = 0;
  for (const std::string& path : testing::referenceFiles()) {
    for (auto& [page, stream] : tdefStreams(path)) {
      SCOPED_TRACE(path + " TDEF page " + std::to_string(page));
      const TableDefinition def = decodeTdef(stream);
      const Stream again = encodeTdef(def);
      const uint32_t length = loadU32(&stream[fmt::kTdefLength]);
      ASSERT_EQ(again.size(), length);
      Stream original(stream.begin(), stream.begin() + length);
      storeU32(&original[fmt::kTdefNextPage], 0);  // the pager's field, not the codec's
      for (size_t i = 0; i < length; ++i) ASSERT_EQ(again[i], original[i]) << "offset " << i;
      ++tables;
      if (stream.size() > fmt::kPageSize) ++multiPage;
      if (!def.realIndexes.empty()) ++withIndexes;
      if (!def.longValueMaps.empty()) ++withLongValues;
    }
  }
  // The files hold system tables, multi-page definitions, indexes and memo/OLE columns.
  EXPECT_GT(tables, 60u);
  EXPECT_GE(multiPage, 1u);
  EXPECT_GT(withIndexes, 20u);
  EXPECT_GT(withLongValues, 8u);
}

TEST(TdefCodec, MSysObjectsDecodesToTheKnownLayout) {
  const auto file = testing::readWholeFile(std::string(VELLICOR_REFERENCE_DIR) + "/size97.mdb");
  Stream s(file.begin() + 2 * fmt::kPageSize, file.begin() + 3 * fmt::kPageSize);
  const TableDefinition def = decodeTdef(s);
  EXPECT_EQ(def.tableType, fmt::kTableTypeSystem);
  EXPECT_EQ(def.rowCount, 19u);
  ASSERT_EQ(def.columns.size(), 17u);
  EXPECT_EQ(def.variableColumnCount(), 11);
  EXPECT_EQ(def.columns[2].name, "Name");
  EXPECT_EQ(def.columns[2].type, fmt::kTypeText);
  EXPECT_EQ(def.columns[2].varIndex, 0);
  EXPECT_EQ(def.columns[7].name, "Flags");
  EXPECT_EQ(def.columns[7].fixedOffset, 26);
  EXPECT_EQ(def.ownedMap, fmt::rowPointer(6, 0));
  ASSERT_EQ(def.realIndexes.size(), 2u);
  EXPECT_EQ(def.realIndexes[0].columns[0].column, 1);
  EXPECT_EQ(def.realIndexes[0].columns[1].column, 2);
  EXPECT_EQ(def.realIndexes[0].columns[2].column, 0xFFFF);
  EXPECT_EQ(def.realIndexes[0].rootPage, 9u);
  EXPECT_EQ(def.realIndexes[1].distinctKeys, 19u);
  ASSERT_EQ(def.logicalIndexes.size(), 2u);
  EXPECT_EQ(def.logicalIndexes[0].name, "Id");
  EXPECT_EQ(def.logicalIndexes[0].type, fmt::kIndexPrimaryKey);
  EXPECT_EQ(def.longValueMaps.size(), 7u);
}

TEST(TdefCodec, NewDefinitionEncodesWithComputedCountsAndLength) {
  TableDefinition def;
  ColumnDef id;
  id.type = fmt::kTypeLong;
  id.flags = fmt::kColFixed | fmt::kColUpdatable;
  id.length = 4;
  id.name = "ID";
  ColumnDef text;
  text.type = fmt::kTypeText;
  text.number = 1;
  text.flags = fmt::kColUpdatable;
  text.length = 50;
  text.name = "\x83\x65\x83\x58\x83\x67";  // テスト in CP932
  def.columns = {id, text};
  def.maxColumns = 2;
  def.longValueMaps.push_back({1, 0x1234, 0x1235});
  const Stream s = encodeTdef(def);
  EXPECT_EQ(s.size(), fmt::kTdefHeaderSize + 2 * fmt::kColumnDescriptorSize + 3 + 7 + 10 + 2);
  EXPECT_EQ(loadU32(&s[fmt::kTdefLength]), s.size());
  EXPECT_EQ(loadU16(&s[fmt::kTdefVarColumns]), 1);
  EXPECT_EQ(loadU16(&s[fmt::kTdefColumns]), 2);
  EXPECT_EQ(loadU16(&s[s.size() - 2]), fmt::kTdefTerminator);
  const TableDefinition back = decodeTdef(s);
  EXPECT_EQ(back.columns[1].name, text.name);
  ASSERT_EQ(back.longValueMaps.size(), 1u);
  EXPECT_EQ(back.longValueMaps[0].freeMap, 0x1235u);
}

TEST(TdefCodec, MalformedStreamsAreRefused) {
  TableDefinition def;
  ColumnDef c;
  c.type = fmt::kTypeText;
  c.flags = fmt::kColUpdatable;
  c.name = "A";
  def.columns = {c};
  const Stream good = encodeTdef(def);
  ASSERT_NO_THROW(decodeTdef(good));

  auto refused = [](Stream s) { EXPECT_THROW(decodeTdef(s), dao::Error); };
  refused(Stream(good.begin(), good.begin() + 20));          // shorter than the header
  Stream longer = good;
  storeU32(&longer[fmt::kTdefLength], 5000);                 // length beyond the stream
  refused(longer);
  Stream many = good;
  storeU16(&many[fmt::kTdefColumns], 2000);                  // more columns than fit
  refused(many);
  Stream hugeIndex = good;
  storeU32(&hugeIndex[fmt::kTdefRealIndexes], 0xFFFFFFFF);   // absurd index count
  refused(hugeIndex);
  Stream longName = good;
  longName[fmt::kTdefHeaderSize + fmt::kColumnDescriptorSize] = 200;  // name runs past the end
  refused(longName);
  Stream noTerminator = good;
  noTerminator[noTerminator.size() - 1] = 0;
  refused(noTerminator);
  Stream wrongType = good;
  wrongType[0] = fmt::kPageData;
  refused(wrongType);
  Stream varCount = good;
  storeU16(&varCount[fmt::kTdefVarColumns], 3);              // disagrees with the descriptors
  refused(varCount);
}

TEST(TdefCodec, OversizedNamesAreRefusedWhenEncoding) {
  TableDefinition def;
  ColumnDef c;
  c.name = std::string(300, 'x');
  def.columns = {c};
  EXPECT_THROW(encodeTdef(def), dao::Error);
}

}  // namespace
}  // namespace vellicor::jet3
