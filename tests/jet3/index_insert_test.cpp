// Tests of inserting entries into an index B-tree in place: every order of keys, duplicates, keys
// long enough to grow the tree several levels, trees built in bulk and Jet's own prefix-compressed
// pages; after inserts the checking reader must return exactly the entries put in.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/index_insert.h"
#include "dataaccess/jet3/index_page.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/read_le.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

// Pages in memory, written by the builder and the insert alike.
struct Tree {
  uint32_t tdef = 77;
  std::map<uint32_t, Page> pages;
  uint32_t root = 0;
  uint32_t nextPage = 100;
  uint64_t newKeys = 0;

  IndexTreeIo io() {
    return {[this](uint32_t n, Page& p) { p = pages.at(n); }, [this](uint32_t n, const Page& p) { pages[n] = p; },
            [this] { return nextPage++; }};
  }
  void buildFrom(const std::vector<IndexEntry>& entries) {
    std::vector<BuiltPage> out;
    root = buildIndexTree(entries, tdef, [this] { return nextPage++; }, out);
    for (const BuiltPage& b : out) pages[b.number] = b.bytes;
  }
  void insert(const IndexEntry& e) {
    const IndexInsertResult r = insertIndexEntry(io(), root, tdef, e);
    root = r.root;
    newKeys += r.newKey;
  }
  std::vector<IndexEntry> readBack() {
    std::vector<IndexEntry> out;
    readIndexTree([this](uint32_t n, Page& p) { p = pages.at(n); }, root, tdef, out);
    return out;
  }
  // Levels from the root down, each checked for its links left to right; returns the page count per level.
  std::vector<size_t> levels() {
    std::vector<size_t> counts;
    std::vector<uint32_t> level{root};
    while (true) {
      counts.push_back(level.size());
      for (size_t i = 0; i < level.size(); ++i) {
        const Page& p = pages.at(level[i]);
        EXPECT_EQ(loadU32(&p[fmt::kIdxPrevPage]), i > 0 ? level[i - 1] : 0u) << "page " << level[i];
        EXPECT_EQ(loadU32(&p[fmt::kIdxNextPage]), i + 1 < level.size() ? level[i + 1] : 0u) << "page " << level[i];
      }
      if (pages.at(level[0])[0] == fmt::kPageIndexLeaf) return counts;
      std::vector<uint32_t> below;
      for (uint32_t n : level) {
        const Page& p = pages.at(n);
        // Children: the entries' page numbers (last 4 bytes), then the tail.
        for (size_t bit = 0; bit < fmt::kIdxEntryBitmapSize * 8; ++bit) {
          if (!(p[fmt::kIdxEntryBitmap + bit / 8] >> (bit % 8) & 1)) continue;
          const uint8_t* e = p.data() + fmt::kIdxEntriesStart + bit - 4;
          below.push_back(uint32_t{e[0]} << 24 | uint32_t{e[1]} << 16 | uint32_t{e[2]} << 8 | e[3]);
        }
        if (uint32_t tail = loadU32(&p[fmt::kIdxTailPage])) below.push_back(tail);
      }
      level = below;
    }
  }
};

IndexEntry entry(std::mt19937& rng, size_t minKey, size_t maxKey, int symbols = 7) {
  IndexEntry e;
  e.key.resize(minKey + rng() % (maxKey - minKey + 1));
  for (auto& b : e.key) b = static_cast<uint8_t>('a' + rng() % symbols);
  e.key.push_back(0x00);  // as real keys end: none is a prefix of another
  e.page = 1 + rng() % 0xFFFFFE;
  e.row = static_cast<uint8_t>(rng());
  return e;
}

uint64_t distinctKeys(std::vector<IndexEntry> v) {
  std::set<std::vector<uint8_t>> keys;
  for (const auto& e : v) keys.insert(e.key);
  return keys.size();
}

void expectSame(Tree& t, std::vector<IndexEntry> want, const std::string& what) {
  std::sort(want.begin(), want.end());
  std::vector<IndexEntry> got;
  ASSERT_NO_THROW(got = t.readBack()) << what;
  ASSERT_EQ(got.size(), want.size()) << what;
  EXPECT_TRUE(got == want) << what;
}

TEST(IndexInsert, EveryOrderOfKeysGivesTheSameEntriesInAValidTree) {
  for (const char* order : {"ascending", "descending", "random"}) {
    SCOPED_TRACE(order);
    std::mt19937 rng(7);
    std::vector<IndexEntry> entries;
    // Short keys with few symbols: many duplicates; long keys: several levels.
    for (int i = 0; i < 4000; ++i) entries.push_back(entry(rng, i % 3 ? 2 : 30, i % 3 ? 3 : 90, 4));
    if (std::string(order) == "ascending") std::sort(entries.begin(), entries.end());
    if (std::string(order) == "descending") std::sort(entries.rbegin(), entries.rend());
    Tree t;
    t.buildFrom({});
    std::vector<IndexEntry> inserted;
    for (size_t i = 0; i < entries.size(); ++i) {
      t.insert(entries[i]);
      inserted.push_back(entries[i]);
      if (i % 500 == 499) expectSame(t, inserted, "after " + std::to_string(i + 1));
    }
    expectSame(t, inserted, "at the end");
    EXPECT_EQ(t.newKeys, distinctKeys(inserted));
    const std::vector<size_t> levels = t.levels();
    EXPECT_GE(levels.size(), 3u) << "the tree grew levels";
    // Pages written by the insert are well formed for the bulk reader too: free space and bitmap.
    for (auto& [n, p] : t.pages) EXPECT_LE(loadU16(&p[fmt::kIdxFreeSpace]), fmt::kIdxEntryArea) << n;
  }
}

TEST(IndexInsert, AscendingKeysFillTheirPagesAsTheBulkBuilderDoes) {
  std::vector<IndexEntry> entries;
  for (uint32_t i = 0; i < 20000; ++i) {
    IndexEntry e;
    e.key = {0x7F, static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
    e.page = 1000 + i;
    entries.push_back(e);
  }
  Tree inserted;
  inserted.buildFrom({});
  for (const auto& e : entries) inserted.insert(e);
  Tree bulk;
  bulk.buildFrom(entries);
  expectSame(inserted, entries, "ascending");
  const auto a = inserted.levels(), b = bulk.levels();
  EXPECT_EQ(a.size(), b.size());
  EXPECT_LE(a.back(), b.back() + 1) << "leaves";
  EXPECT_EQ(inserted.newKeys, entries.size());
}

TEST(IndexInsert, InsertsIntoBulkBuiltTreesAtEveryPlace) {
  std::mt19937 rng(11);
  std::vector<IndexEntry> base;
  for (int i = 0; i < 3000; ++i) base.push_back(entry(rng, 20, 40));
  Tree t;
  t.buildFrom(base);
  std::vector<IndexEntry> all = base;
  std::sort(base.begin(), base.end());
  // Before the first key, after the last, between neighbours, and equal to existing keys.
  std::vector<IndexEntry> extra = {{{0x00}, 5, 1}, {{0xFF, 0xFF}, 6, 2}};
  for (size_t i = 0; i < base.size(); i += 97) {
    IndexEntry same = base[i];
    same.row ^= 0x55;
    extra.push_back(same);
    IndexEntry between = base[i];
    between.key.push_back('a');
    extra.push_back(between);
  }
  const uint64_t before = distinctKeys(all);
  for (const auto& e : extra) {
    t.insert(e);
    all.push_back(e);
  }
  expectSame(t, all, "bulk tree plus inserts");
  EXPECT_EQ(before + t.newKeys, distinctKeys(all));
  t.levels();
}

TEST(IndexInsert, JetsOwnPrefixCompressedPagesTakeNewEntries) {
  // The largest index of the reference files, its pages copied into memory.
  size_t tried = 0;
  for (const std::string& path : testing::referenceFiles()) {
    JetFileReader reader(path);
    for (const CatalogEntry& c : reader.catalog()) {
      if (c.type != fmt::kObjTypeTable) continue;
      const TableInfo info = reader.readTable(static_cast<uint32_t>(c.id) & 0x00FFFFFFu);
      for (const RealIndexDef& ri : info.def.realIndexes) {
        std::vector<IndexEntry> existing;
        Tree t;
        t.tdef = info.tdefPage;
        auto readPage = [&](uint32_t n, Page& p) {
          if (!t.pages.count(n)) std::copy_n(reader.page(n)->data(), fmt::kPageSize, t.pages[n].begin());
          p = t.pages.at(n);
        };
        readIndexTree(readPage, ri.rootPage, info.tdefPage, existing);
        if (existing.size() < 500) continue;
        ++tried;
        t.root = ri.rootPage;
        t.nextPage = reader.pageCount();
        std::mt19937 rng(static_cast<uint32_t>(existing.size()));
        std::vector<IndexEntry> all = existing;
        for (int i = 0; i < 300; ++i) {
          IndexEntry e = existing[rng() % existing.size()];
          e.key.back() ^= 1;  // near an existing key
          e.row = static_cast<uint8_t>(rng());
          t.insert(e);
          all.push_back(e);
        }
        expectSame(t, all, path + " " + c.name);
      }
    }
  }
  EXPECT_GT(tried, 3u);
}

TEST(IndexInsert, AKeyTooLongForAnyPageIsRefusedBeforeAnythingIsWritten) {
  Tree t;
  t.buildFrom({});
  const auto before = t.pages;
  IndexEntry e;
  e.key.assign(kIndexMaxKeyBytes + 1, 'x');
  try {
    t.insert(e);
    ADD_FAILURE() << "accepted";
  } catch (const dao::Error& error) {
    EXPECT_EQ(error.kind(), dao::ErrorKind::kFormatLimit);
  }
  EXPECT_TRUE(t.pages == before);
}

}  // namespace
}  // namespace vellicor::jet3
