// Reads every index of the reference Access 97 files with readIndexTree and recomputes each
// entry from the table's rows with the key functions: the ground truth of Jet's own keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/tdef.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

using Bytes = std::vector<uint8_t>;

// One reference file held in memory, with just enough row decoding to key its indexes. The table
// list comes from mdb-export's reading of MSysObjects; rows are decoded here from the pages.
class RefFile {
 public:
  explicit RefFile(const std::string& path) : path_(path), file_(testing::readWholeFile(path)) {}

  uint32_t pages() const { return static_cast<uint32_t>(file_.size() / fmt::kPageSize); }
  const uint8_t* page(uint32_t n) const { return file_.data() + size_t{n} * fmt::kPageSize; }
  const std::string& path() const { return path_; }

  void readPage(uint32_t n, Page& out) const {
    if (n == 0 || n >= pages()) throw dao::Error("page out of range: " + std::to_string(n));
    std::memcpy(out.data(), page(n), fmt::kPageSize);
  }

  // TDEF pages and names of the local tables (MSysObjects Type 1).
  std::map<uint32_t, std::string> tables() const {
    std::map<uint32_t, std::string> out;
    for (const auto& row : testing::mdbExport(path_, "MSysObjects")) {
      if (row.size() < 4 || !row[3] || *row[3] != "1") continue;
      out[static_cast<uint32_t>(std::stoul(row[0].value())) & 0xFFFFFF] = row[2].value_or("");
    }
    return out;
  }

  TableDefinition tdef(uint32_t n) const {
    std::vector<uint8_t> s(page(n), page(n) + fmt::kPageSize);
    std::set<uint32_t> seen{n};
    for (uint32_t next = loadU32(page(n) + fmt::kTdefNextPage); next != 0;
         next = loadU32(page(next) + fmt::kTdefNextPage)) {
      if (next >= pages() || !seen.insert(next).second) throw std::runtime_error("bad TDEF chain");
      s.insert(s.end(), page(next) + fmt::kTdefPageHeader, page(next) + fmt::kPageSize);
    }
    return decodeTdef(s);
  }

  // Pages marked in the usage map row at rowPointer (inline bitmap or references to bitmap pages).
  std::vector<uint32_t> usageMap(uint32_t rowPointer) const {
    const uint8_t* p = page(fmt::pointerPage(rowPointer));
    const uint8_t row = fmt::pointerRow(rowPointer);
    const size_t start = loadU16(p + fmt::kDataRowTable + 2 * row) & fmt::kRowOffsetMask;
    const size_t end = row == 0 ? fmt::kPageSize : loadU16(p + fmt::kDataRowTable + 2 * (row - 1)) & fmt::kRowOffsetMask;
    const uint8_t* m = p + start;
    std::vector<uint32_t> out;
    if (m[0] == fmt::kMapInline) {
      const uint32_t first = loadU32(m + 1);
      for (size_t bit = 0; bit < (end - start - fmt::kMapInlineHeader) * 8; ++bit)
        if (m[fmt::kMapInlineHeader + bit / 8] >> (bit % 8) & 1) out.push_back(first + static_cast<uint32_t>(bit));
    } else {
      for (size_t k = 0; 1 + 4 * k + 4 <= end - start; ++k) {
        const uint32_t mapPage = loadU32(m + 1 + 4 * k);
        if (mapPage == 0) continue;
        const uint8_t* bits = page(mapPage) + fmt::kBitmapPageHeader;
        for (size_t bit = 0; bit < fmt::kBitmapPageBits; ++bit)
          if (bits[bit / 8] >> (bit % 8) & 1) out.push_back(static_cast<uint32_t>(k * fmt::kBitmapPageBits + bit));
      }
    }
    return out;
  }

  struct Row {
    uint32_t page;
    uint8_t slot;
    const uint8_t* bytes;
    size_t size;
  };
  // Live rows of a table: its data pages in page order, deleted slots skipped, overflow rows
  // followed (the index points at the slot the scan finds, not at the row's new home).
  std::vector<Row> rows(uint32_t tdefPage, uint32_t ownedMap) const {
    std::vector<Row> out;
    for (uint32_t n : usageMap(ownedMap)) {
      const uint8_t* p = page(n);
      if (p[0] != fmt::kPageData || loadU32(p + fmt::kDataOwner) != tdefPage) continue;
      const uint16_t count = loadU16(p + fmt::kDataRowCount);
      for (uint16_t r = 0; r < count; ++r) {
        const uint16_t slot = loadU16(p + fmt::kDataRowTable + 2 * r);
        if (slot & fmt::kRowDeleted) continue;
        const uint8_t* page = p;
        uint16_t start = slot & fmt::kRowOffsetMask;
        uint16_t end = r == 0 ? fmt::kPageSize : loadU16(p + fmt::kDataRowTable + 2 * (r - 1)) & fmt::kRowOffsetMask;
        if (slot & fmt::kRowOverflow) {
          const uint32_t ptr = loadU32(p + start);
          page = this->page(fmt::pointerPage(ptr));
          const uint8_t row = fmt::pointerRow(ptr);
          start = loadU16(page + fmt::kDataRowTable + 2 * row) & fmt::kRowOffsetMask;
          end = row == 0 ? fmt::kPageSize : loadU16(page + fmt::kDataRowTable + 2 * (row - 1)) & fmt::kRowOffsetMask;
        }
        out.push_back({n, static_cast<uint8_t>(r), page + start, static_cast<size_t>(end - start)});
      }
    }
    return out;
  }

 private:
  std::string path_;
  std::vector<unsigned char> file_;
};

// A column's value bytes in a Jet 3 row; nullopt when null. Booleans give one byte 0/1.
std::optional<Bytes> columnBytes(const TableDefinition& def, const ColumnDef& col, const RefFile::Row& row) {
  const uint8_t* r = row.bytes;
  const size_t colCount = r[0];
  const size_t maskSize = (colCount + 7) / 8;
  const uint8_t* mask = r + row.size - maskSize;
  const bool bit = col.number < colCount && (mask[col.number / 8] >> (col.number % 8)) & 1;
  if (col.type == fmt::kTypeBoolean) return Bytes{static_cast<uint8_t>(bit)};
  if (!bit) return std::nullopt;
  if (col.isFixed()) return Bytes(r + 1 + col.fixedOffset, r + 1 + col.fixedOffset + col.length);

  // Variable columns: offsets stored backwards before the jump table and the count byte.
  const size_t end = row.size - 1;  // index of the last byte
  const size_t varCount = r[end - maskSize];
  size_t jumps = (row.size - 1) / 256;
  const size_t colPtr = end - maskSize - jumps - 1;
  if ((colPtr - varCount) / 256 < jumps) --jumps;  // a dummy jump byte
  std::vector<size_t> offsets;
  size_t used = 0;
  for (size_t i = 0; i <= varCount; ++i) {
    while (used < jumps && i == r[end - maskSize - used - 1]) ++used;
    offsets.push_back(r[colPtr - i] + 256 * used);
  }
  if (col.varIndex >= varCount) return std::nullopt;
  (void)def;
  return Bytes(r + offsets[col.varIndex], r + offsets[col.varIndex + 1]);
}

template <typename T>
T loadLE(const Bytes& b) {
  T v;
  std::memcpy(&v, b.data(), sizeof v);
  return v;
}

// Whether every column of the index has a key function (long values cannot be indexed).
bool keyable(const TableDefinition& def, const RealIndexDef& index) {
  for (const IndexColumn& ic : index.columns) {
    if (ic.column == 0xFFFF) continue;
    for (const ColumnDef& c : def.columns)
      if (c.number == ic.column && (c.type == fmt::kTypeMemo || c.type == fmt::kTypeOle))
        return false;
  }
  return true;
}

// The key of one row for one real index, built with the functions under test.
Bytes keyOf(const TableDefinition& def, const RealIndexDef& index, const RefFile::Row& row, bool* allNull) {
  Bytes key;
  *allNull = true;
  for (const IndexColumn& ic : index.columns) {
    if (ic.column == 0xFFFF) continue;
    const auto col = std::find_if(def.columns.begin(), def.columns.end(),
                                  [&](const ColumnDef& c) { return c.number == ic.column; });
    if (col == def.columns.end()) throw std::runtime_error("index column missing");
    const bool asc = ic.order == 0x01;
    const auto v = columnBytes(def, *col, row);
    if (!v) {
      appendNullKey(key, asc);
      continue;
    }
    *allNull = false;
    switch (col->type) {
      case fmt::kTypeBoolean: appendBooleanKey(key, (*v)[0] != 0, asc); break;
      case fmt::kTypeByte: appendByteKey(key, (*v)[0], asc); break;
      case fmt::kTypeInteger: appendIntegerKey(key, loadLE<int16_t>(*v), asc); break;
      case fmt::kTypeLong: appendLongKey(key, loadLE<int32_t>(*v), asc); break;
      case fmt::kTypeCurrency: appendCurrencyKey(key, loadLE<int64_t>(*v), asc); break;
      case fmt::kTypeSingle: appendSingleKey(key, loadLE<float>(*v), asc); break;
      case fmt::kTypeDouble:
      case fmt::kTypeDate: appendDoubleKey(key, loadLE<double>(*v), asc); break;
      case fmt::kTypeGuid: {
        uint8_t g[16];
        std::memcpy(g, v->data(), 16);
        appendGuidKey(key, g, asc);
        break;
      }
      case fmt::kTypeBinary:
        appendBinaryKey(key, std::string_view(reinterpret_cast<const char*>(v->data()), v->size()), asc);
        break;
      case fmt::kTypeText:
        appendTextKeyGeneral(key, std::string_view(reinterpret_cast<const char*>(v->data()), v->size()), asc);
        break;
      default: throw std::runtime_error("unexpected index column type " + std::to_string(col->type));
    }
  }
  return key;
}

struct FileTally {
  size_t indexes = 0, notKeyed = 0, entries = 0, nodePages = 0, leafPages = 0, prefixed = 0, mismatches = 0;
};

FileTally checkFile(const std::string& path) {
  FileTally t;
  const RefFile f(path);
  std::set<uint32_t> visitedAll;
  const auto tables = f.tables();
  // MSysObjects (TDEF page 2) is among them: its ParentIdName index (ParentId Long + Name Text)
  // is the one every file of ours must carry correctly.
  EXPECT_EQ(tables.count(fmt::kMSysObjectsTdef), 1u) << path;
  for (const auto& [tdefPage, name] : tables) {
    SCOPED_TRACE(path + " table " + name);
    const TableDefinition def = f.tdef(tdefPage);
    const auto rows = f.rows(tdefPage, def.ownedMap);
    for (size_t ix = 0; ix < def.realIndexes.size(); ++ix) {
      SCOPED_TRACE("real index " + std::to_string(ix));
      const RealIndexDef& index = def.realIndexes[ix];
      std::vector<IndexEntry> read;
      std::vector<uint32_t> visited;
      EXPECT_NO_THROW(readIndexTree([&](uint32_t n, Page& p) { f.readPage(n, p); }, index.rootPage, tdefPage, read,
                                    &visited));
      for (uint32_t n : visited) {
        EXPECT_TRUE(visitedAll.insert(n).second) << "page " << n << " in two trees";
        (f.page(n)[0] == fmt::kPageIndexNode ? t.nodePages : t.leafPages) += 1;
        if (f.page(n)[fmt::kIdxPrefixLength] != 0) ++t.prefixed;
      }
      ++t.indexes;
      if (!keyable(def, index)) {
        ++t.notKeyed;
        EXPECT_EQ(read.size(), def.rowCount);
        continue;
      }
      // Recompute every entry from the rows.
      std::vector<IndexEntry> expected;
      for (const auto& row : rows) {
        bool allNull = false;
        IndexEntry e;
        e.key = keyOf(def, index, row, &allNull);
        if (allNull && (index.flags & fmt::kIndexIgnoreNulls)) continue;
        e.page = row.page;
        e.row = row.slot;
        expected.push_back(std::move(e));
      }
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(read.size(), expected.size());
      if (!(index.flags & fmt::kIndexIgnoreNulls)) {
        EXPECT_EQ(read.size(), def.rowCount);
      }
      std::vector<IndexEntry> sortedRead = read;
      std::sort(sortedRead.begin(), sortedRead.end());
      EXPECT_EQ(sortedRead, read) << "tree order differs from entry order";
      for (size_t i = 0; i < std::min(read.size(), expected.size()); ++i) {
        if (read[i] == expected[i]) continue;
        if (++t.mismatches <= 5) {
          ADD_FAILURE() << "entry " << i << ": read " << ::testing::PrintToString(read[i].key) << " @" << read[i].page
                        << ":" << int(read[i].row) << " computed " << ::testing::PrintToString(expected[i].key) << " @"
                        << expected[i].page << ":" << int(expected[i].row);
        }
      }
      t.entries += read.size();
    }
  }
  return t;
}

TEST(IndexReference, EveryIndexOfEveryReferenceFileIsReadAndReproduced) {
  size_t total = 0;
  for (const std::string& path : testing::referenceFiles()) {
    const FileTally t = checkFile(path);
    EXPECT_EQ(t.mismatches, 0u) << path;
    EXPECT_GT(t.indexes, 0u) << path;
    total += t.entries;
    std::printf("  %-28s %3zu indexes (%zu not keyed) %6zu entries %4zu leaves %3zu nodes %3zu prefixed\n",
                path.substr(path.rfind('/') + 1).c_str(), t.indexes, t.notKeyed, t.entries, t.leafPages, t.nodePages,
                t.prefixed);
    if (path.ends_with("nwind.mdb")) {
      EXPECT_EQ(t.nodePages, 21u);  // every intermediate page of the file belongs to a tree
      EXPECT_GT(t.prefixed, 0u);
    }
  }
  EXPECT_GT(total, 25000u);
}

}  // namespace
}  // namespace vellicor::jet3
