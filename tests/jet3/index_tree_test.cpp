// Tests of the index B-tree: bulk-built trees of many sizes read back identically with correct
// page layout, and the reader's refusal of every kind of structural fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

constexpr uint32_t kTdef = 77;

// A built tree held as page number -> bytes, readable through readIndexTree.
struct Tree {
  std::map<uint32_t, Page> pages;
  uint32_t root = 0;
  size_t allocations = 0;

  void read(uint32_t n, Page& out) const {
    auto it = pages.find(n);
    if (it == pages.end()) throw dao::Error("no page " + std::to_string(n));
    out = it->second;
  }
  std::vector<IndexEntry> readBack(std::vector<uint32_t>* visited = nullptr) const {
    std::vector<IndexEntry> out;
    readIndexTree([this](uint32_t n, Page& p) { read(n, p); }, root, kTdef, out, visited);
    return out;
  }
  Page& page(uint32_t n) { return pages.at(n); }
};

Tree build(const std::vector<IndexEntry>& entries, uint32_t firstPage = 100) {
  Tree t;
  uint32_t next = firstPage;
  std::vector<BuiltPage> out;
  t.root = buildIndexTree(entries, kTdef, [&] { ++t.allocations; return next++; }, out);
  for (const BuiltPage& p : out) EXPECT_TRUE(t.pages.emplace(p.number, p.bytes).second) << "page built twice";
  return t;
}

std::vector<IndexEntry> randomEntries(size_t n, size_t minKey, size_t maxKey, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<IndexEntry> v(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t len = minKey + rng() % (maxKey - minKey + 1);
    v[i].key.resize(len);
    for (auto& b : v[i].key) b = static_cast<uint8_t>(rng() % 7 + 'a');  // few symbols: long shared prefixes
    v[i].page = 1 + rng() % 0xFFFFFE;
    v[i].row = static_cast<uint8_t>(rng());
  }
  return v;
}

// Entry bytes of a page, as the bitmap delimits them (no prefix compression).
std::vector<std::vector<uint8_t>> rawEntries(const Page& p) {
  std::vector<std::vector<uint8_t>> out;
  size_t start = 0;
  for (size_t bit = 0; bit < fmt::kIdxEntryBitmapSize * 8; ++bit) {
    if (!(p[fmt::kIdxEntryBitmap + bit / 8] >> (bit % 8) & 1)) continue;
    out.emplace_back(p.begin() + fmt::kIdxEntriesStart + start, p.begin() + fmt::kIdxEntriesStart + bit);
    start = bit;
  }
  return out;
}

uint32_t childOf(const std::vector<uint8_t>& nodeEntry) {
  const size_t n = nodeEntry.size();
  return uint32_t{nodeEntry[n - 4]} << 24 | uint32_t{nodeEntry[n - 3]} << 16 | uint32_t{nodeEntry[n - 2]} << 8 |
         nodeEntry[n - 1];
}

// Walks the built pages level by level and checks what the reader does not: leaves filled as
// full as possible, the tail rule, link order on every level, uniform page headers.
struct Shape {
  int levels = 0;
  size_t leaves = 0, nodes = 0;
};
Shape checkShape(Tree& t, const std::vector<IndexEntry>& sorted) {
  Shape s;
  std::vector<uint32_t> level{t.root};
  while (true) {
    ++s.levels;
    // The level's pages are linked left to right.
    for (size_t i = 0; i < level.size(); ++i) {
      const Page& p = t.page(level[i]);
      EXPECT_EQ(loadU32(&p[fmt::kIdxPrevPage]), i > 0 ? level[i - 1] : 0u);
      EXPECT_EQ(loadU32(&p[fmt::kIdxNextPage]), i + 1 < level.size() ? level[i + 1] : 0u);
      EXPECT_EQ(loadU32(&p[fmt::kIdxOwner]), kTdef);
      EXPECT_EQ(p[1], fmt::kPageMarker);
      EXPECT_EQ(p[fmt::kIdxPrefixLength], 0);
    }
    if (t.page(level[0])[0] == fmt::kPageIndexLeaf) break;
    std::vector<uint32_t> below;
    for (uint32_t n : level) {
      const Page& p = t.page(n);
      EXPECT_EQ(p[0], fmt::kPageIndexNode);
      EXPECT_EQ(p[fmt::kIdxLevelFlag], 1);
      const auto entries = rawEntries(p);
      const uint32_t tail = loadU32(&p[fmt::kIdxTailPage]);
      // Tail rule: several children -> the last is the tail; one child -> an entry, no tail.
      EXPECT_TRUE(tail != 0 || entries.size() == 1) << "node " << n;
      for (const auto& e : entries) below.push_back(childOf(e));
      if (tail) below.push_back(tail);
      ++s.nodes;
    }
    level = below;
  }
  size_t consumed = 0;
  for (size_t i = 0; i < level.size(); ++i) {
    const Page& p = t.page(level[i]);
    EXPECT_EQ(p[fmt::kIdxLevelFlag], 0);
    EXPECT_EQ(loadU32(&p[fmt::kIdxTailPage]), 0u);
    const auto entries = rawEntries(p);
    consumed += entries.size();
    const size_t free = loadU16(&p[fmt::kIdxFreeSpace]);
    // Bulk load: the next entry would not have fitted.
    if (i + 1 < level.size()) {
      EXPECT_LT(free, sorted[consumed].key.size() + 4) << "leaf " << i << " not full";
    }
  }
  s.leaves = level.size();
  EXPECT_EQ(consumed, sorted.size());
  return s;
}

TEST(IndexTree, BuiltTreesOfManySizesReadBackIdentically) {
  struct Case {
    size_t n, minKey, maxKey;
    int minLevels;
  } cases[] = {
      {0, 1, 1, 1}, {1, 5, 5, 1}, {7, 3, 40, 1}, {3000, 60, 250, 3}, {40000, 100, 300, 4}, {100000, 5, 5, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("entries " + std::to_string(c.n));
    const auto entries = randomEntries(c.n, c.minKey, c.maxKey, static_cast<uint32_t>(c.n));
    Tree t = build(entries);
    EXPECT_EQ(t.allocations, t.pages.size());
    auto sorted = entries;
    std::sort(sorted.begin(), sorted.end());
    std::vector<uint32_t> visited;
    const auto back = t.readBack(&visited);
    ASSERT_EQ(back.size(), sorted.size());
    EXPECT_TRUE(back == sorted);
    EXPECT_EQ(visited.size(), t.pages.size()) << "every built page is part of the tree";
    const Shape s = checkShape(t, sorted);
    EXPECT_GE(s.levels, c.minLevels);
    EXPECT_EQ(s.leaves + s.nodes, t.pages.size());
    if (c.n == 0) {
      const Page& p = t.page(t.root);
      EXPECT_EQ(p[0], fmt::kPageIndexLeaf);
      EXPECT_EQ(loadU16(&p[fmt::kIdxFreeSpace]), fmt::kIdxEntryArea);
    }
  }
}

TEST(IndexTree, DuplicateKeysAreKeptAndOrderedByRowPointer) {
  std::vector<IndexEntry> entries;
  for (uint32_t i = 0; i < 600; ++i) entries.push_back({{0x7F, 0x60, 0x00}, 600 - i, static_cast<uint8_t>(i % 3)});
  Tree t = build(entries);
  const auto back = t.readBack();
  ASSERT_EQ(back.size(), 600u);
  for (size_t i = 1; i < back.size(); ++i) {
    EXPECT_TRUE(back[i - 1] < back[i] || back[i - 1] == back[i]);
    EXPECT_EQ(back[i].key, back[0].key);
  }
  EXPECT_EQ(back.front().page, 1u);
}

// Keys that are prefixes of others (not produced by the key functions, but possible in callers'
// data) still give a tree the reader accepts: entries sort by their stored bytes.
TEST(IndexTree, PrefixKeysSortByEntryBytes) {
  std::vector<IndexEntry> entries;
  for (uint32_t i = 0; i < 300; ++i) {
    entries.push_back({{0x41}, 0x10000 * (1 + i % 200) + i, 1});
    entries.push_back({{0x41, 0x05}, 0x20 + i, 2});
    entries.push_back({{0x41, 0x99, 0x01}, 0x30 + i, 3});
  }
  Tree t = build(entries);
  const auto back = t.readBack();
  ASSERT_EQ(back.size(), entries.size());
  auto sorted = entries;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_TRUE(back == sorted);
  IndexEntry shortKey{{0x41}, 0x010000, 0}, longKey{{0x41, 0x00}, 1, 0};
  EXPECT_TRUE(longKey < shortKey);  // 41 00 00 00 01 00 < 41 01 00 00 00
  EXPECT_FALSE(shortKey < longKey);
}

TEST(IndexTree, OverlongKeysAndRowPagesAreRefused) {
  std::vector<BuiltPage> out;
  uint32_t next = 10;
  std::vector<IndexEntry> tooLong{{std::vector<uint8_t>(1500, 0x41), 5, 0}};
  EXPECT_THROW(buildIndexTree(tooLong, kTdef, [&] { return next++; }, out), dao::Error);
  std::vector<IndexEntry> badPage{{{0x7F, 0x01}, 0x1000000, 0}};
  EXPECT_THROW(buildIndexTree(badPage, kTdef, [&] { return next++; }, out), dao::Error);
}

// Lays out entries on a page with prefix compression P (0 = none), as Jet 3.5 does: every entry
// after the first drops its first P bytes.
void setEntries(Page& p, const std::vector<std::vector<uint8_t>>& entries, size_t prefix) {
  std::fill(p.begin() + fmt::kIdxEntryBitmap, p.end(), 0);
  size_t used = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t skip = i == 0 ? 0 : prefix;
    std::copy(entries[i].begin() + static_cast<long>(skip), entries[i].end(), p.begin() + fmt::kIdxEntriesStart + used);
    used += entries[i].size() - skip;
    p[fmt::kIdxEntryBitmap + used / 8] |= static_cast<uint8_t>(1u << (used % 8));
  }
  p[fmt::kIdxPrefixLength] = static_cast<uint8_t>(prefix);
  storeU16(&p[fmt::kIdxFreeSpace], static_cast<uint16_t>(fmt::kIdxEntryArea - used));
}

TEST(IndexTree, PrefixCompressedLeavesAreExpanded) {
  std::vector<IndexEntry> entries;
  for (uint32_t i = 0; i < 50; ++i) entries.push_back({{0x7F, 0x66, 0x6F, 0x73, static_cast<uint8_t>(0x56 + i % 10), 0x00}, 900 + i, 0});
  Tree t = build(entries);
  ASSERT_EQ(t.pages.size(), 1u);
  const auto plain = t.readBack();
  setEntries(t.page(t.root), rawEntries(t.page(t.root)), 4);
  EXPECT_LT(loadU16(&t.page(t.root)[fmt::kIdxFreeSpace]), fmt::kIdxEntryArea);
  EXPECT_TRUE(t.readBack() == plain);
}

// ---- Faults: each must be refused with an error that names the page ----

struct Faulty {
  Tree t;
  uint32_t leaf0 = 0, leaf1 = 0;  // the first two leaves
};

Faulty faultyBase() {
  Faulty f;
  f.t = build(randomEntries(400, 40, 60, 9));
  std::vector<uint32_t> visited;
  f.t.readBack(&visited);
  std::vector<uint32_t> leaves;
  for (uint32_t n : visited)
    if (f.t.page(n)[0] == fmt::kPageIndexLeaf) leaves.push_back(n);
  EXPECT_GE(leaves.size(), 3u);
  f.leaf0 = leaves[0];
  f.leaf1 = leaves[1];
  return f;
}

void expectFault(const Tree& t, uint32_t page, const char* what) {
  SCOPED_TRACE(what);
  try {
    t.readBack();
    ADD_FAILURE() << "no error for: " << what;
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("ページ " + std::to_string(page)), std::string::npos) << e.description();
  }
}

TEST(IndexTree, StructuralFaultsAreRefusedNamingThePage) {
  {
    Faulty f = faultyBase();
    f.t.page(f.leaf1)[0] = fmt::kPageData;
    expectFault(f.t, f.leaf1, "wrong page type");
  }
  {
    Faulty f = faultyBase();
    storeU32(&f.t.page(f.leaf1)[fmt::kIdxOwner], kTdef + 1);
    expectFault(f.t, f.leaf1, "wrong owner");
  }
  {
    Faulty f = faultyBase();
    f.t.page(f.leaf1)[fmt::kIdxEntryBitmap + 1808 / 8 - 1] |= 0x80;  // bit 1807: past the 1800-byte area
    expectFault(f.t, f.leaf1, "bitmap beyond the entry area");
  }
  {
    Faulty f = faultyBase();
    Page& p = f.t.page(f.leaf1);
    auto e = rawEntries(p);
    ASSERT_LT(e[0], e[1]);
    std::swap(e[0], e[1]);
    setEntries(p, e, 0);
    expectFault(f.t, f.leaf1, "unsorted entries in a page");
  }
  {
    Faulty f = faultyBase();
    storeU32(&f.t.page(f.leaf0)[fmt::kIdxNextPage], f.leaf0 + 1000);
    expectFault(f.t, f.leaf0, "broken next link");
  }
  {
    Faulty f = faultyBase();
    storeU32(&f.t.page(f.leaf1)[fmt::kIdxPrevPage], 0);
    expectFault(f.t, f.leaf1, "broken prev link");
  }
  {
    Faulty f = faultyBase();
    storeU32(&f.t.page(f.t.root)[fmt::kIdxTailPage], f.t.root);
    expectFault(f.t, f.t.root, "cycle through the tail");
  }
  {
    Faulty f = faultyBase();
    storeU16(&f.t.page(f.leaf1)[fmt::kIdxFreeSpace], 10);
    expectFault(f.t, f.leaf1, "free space disagrees with the entries");
  }
  {
    Faulty f = faultyBase();
    f.t.page(f.leaf1)[fmt::kIdxPrefixLength] = 200;
    expectFault(f.t, f.leaf1, "prefix longer than the first entry");
  }
  {
    Faulty f = faultyBase();
    Page& p = f.t.page(f.leaf1);
    std::fill(p.begin() + fmt::kIdxEntryBitmap, p.begin() + fmt::kIdxEntriesStart, 0);
    p[fmt::kIdxEntryBitmap] = 0x08;  // one entry of 3 bytes: shorter than a row pointer
    storeU16(&p[fmt::kIdxFreeSpace], fmt::kIdxEntryArea - 3);
    expectFault(f.t, f.leaf1, "entry shorter than its row pointer");
  }
  {
    // A chain of 40 nodes with one child each above a single leaf: refused for its depth
    // (a crafted file must not drive the reader into unbounded recursion).
    Tree t = build({{{0x7F, 0x60, 0x00}, 5, 1}}, 500);
    const uint32_t leaf = t.root;
    const auto leafEntry = rawEntries(t.page(leaf))[0];
    uint32_t child = leaf;
    for (uint32_t n = 600; n < 640; ++n) {
      Page p{};
      p[0] = fmt::kPageIndexNode;
      p[1] = fmt::kPageMarker;
      p[fmt::kIdxLevelFlag] = 1;
      storeU32(&p[fmt::kIdxOwner], kTdef);
      auto e = leafEntry;
      for (int k = 3; k >= 0; --k) e.push_back(static_cast<uint8_t>(child >> (8 * k)));
      setEntries(p, {e}, 0);
      t.pages[n] = p;
      child = n;
    }
    t.root = child;
    expectFault(t, 606, "tree deeper than any real one");  // depth 33 from root 639
  }
  {
    // Leaves swapped in the parent: order across pages breaks.
    Faulty f = faultyBase();
    Page& root = f.t.page(f.t.root);
    ASSERT_EQ(root[0], fmt::kPageIndexNode);
    const auto e = rawEntries(root);
    ASSERT_GE(e.size(), 2u);
    const size_t pos0 = fmt::kIdxEntriesStart + e[0].size() - 4;
    const size_t pos1 = fmt::kIdxEntriesStart + e[0].size() + e[1].size() - 4;
    for (int k = 0; k < 4; ++k) std::swap(root[pos0 + k], root[pos1 + k]);
    EXPECT_THROW(f.t.readBack(), dao::Error);
  }
}

}  // namespace
}  // namespace vellicor::jet3
