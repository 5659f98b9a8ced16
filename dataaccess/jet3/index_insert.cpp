// In-place insertion into a Jet 3 index B-tree: descent by the intermediate entries (each the last
// leaf entry below its child; the last child is the tail and has none), leaf insert, splits upward.
#include "dataaccess/jet3/index_insert.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_page.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

// Deeper than any real tree (see the reader's bound); a crafted loop of pages ends here.
constexpr int kMaxDepth = 32;

IndexBytes nodeEntry(const IndexBytes& bound, uint32_t child) {
  IndexBytes e(bound);
  for (int i = 3; i >= 0; --i) e.push_back(static_cast<uint8_t>(child >> (8 * i)));
  return e;
}

IndexBytes boundOf(const IndexBytes& nodeEntryBytes) {
  return IndexBytes(nodeEntryBytes.begin(), nodeEntryBytes.end() - kIndexChildPointerBytes);
}

IndexBytes keyOf(const IndexBytes& leafEntry) {
  return IndexBytes(leafEntry.begin(), leafEntry.end() - kIndexRowPointerBytes);
}

// One child of an intermediate page: its bound (the last leaf entry below it) and its page. The
// tail's bound is not stored on the page; it is the page's own bound, known to its parent.
struct Child {
  IndexBytes bound;
  uint32_t page = 0;
};

// What an insert did to a page: when it split, the pages that now stand in its place, left to
// right (the first keeps the page's number), with the bound of each but the last, whose bound is
// the old page's bound (or the new entry, when that is larger).
struct Pieces {
  std::vector<Child> split;  // empty: the page still fits; else every piece but the last
  uint32_t last = 0;
};

class Inserter {
 public:
  Inserter(const IndexTreeIo& io, uint32_t tdefPage, const IndexBytes& entry)
      : io_(io), tdefPage_(tdefPage), entry_(entry) {}

  IndexInsertResult run(uint32_t root) {
    const Pieces pieces = insertBelow(root, 0, true);
    IndexInsertResult result{root, newKey_};
    if (pieces.split.empty()) return result;
    // The root split: a new root over its pieces, one level more for every leaf.
    IndexPage top;
    top.leaf = false;
    top.number = io_.allocate();
    for (const Child& c : pieces.split) top.entries.push_back(nodeEntry(c.bound, c.page));
    top.tail = pieces.last;
    write(top);
    result.root = top.number;
    return result;
  }

 private:
  IndexPage load(uint32_t number) {
    Page bytes;
    io_.read(number, bytes);
    if (loadU32(&bytes[fmt::kIdxOwner]) != tdefPage_)
      indexPageFault(number, "所有テーブルが " + std::to_string(loadU32(&bytes[fmt::kIdxOwner])) + " です (" +
                                 std::to_string(tdefPage_) + " のはず)。");
    return decodeIndexPage(number, bytes);
  }

  void write(const IndexPage& page) {
    Page bytes;
    encodeIndexPage(page, tdefPage_, bytes);
    io_.write(page.number, bytes);
  }

  // Inserts below page `number`; rightmost: the page is the last of its level.
  Pieces insertBelow(uint32_t number, int depth, bool rightmost) {
    if (depth > kMaxDepth) indexPageFault(number, "木の階層が深すぎます (" + std::to_string(depth) + " 段)。");
    IndexPage page = load(number);
    if (page.leaf) return insertIntoLeaf(page, rightmost);

    // The children in order: entries, then the tail (bound unknown here).
    std::vector<Child> children;
    for (const IndexBytes& e : page.entries) children.push_back({boundOf(e), loadIndexChild(e)});
    const bool hasTail = page.tail != 0;
    if (hasTail) children.push_back({{}, page.tail});
    if (children.empty()) indexPageFault(number, "中間ページに子ページがありません。");
    // The first child whose bound is not below the entry; past every stored bound: the tail, or
    // the last child of a page without one (its bound then grows to the entry).
    const size_t stored = page.entries.size();
    size_t at = 0;
    while (at < stored && indexBytesLess(children[at].bound, entry_)) ++at;
    if (at == children.size()) at = children.size() - 1;
    const bool intoTail = hasTail && at == children.size() - 1;
    const IndexBytes oldBound = children[at].bound;
    const Pieces below = insertBelow(children[at].page, depth + 1, rightmost && at == children.size() - 1);

    // The child's place now holds its pieces.
    std::vector<Child> replaced = below.split;
    Child lastPiece{intoTail ? IndexBytes{} : std::max(oldBound, entry_, indexBytesLess), below.last};
    // Neither split nor grown: this page stays as it is.
    if (replaced.empty() && (intoTail || lastPiece.bound == oldBound)) return {{}, number};
    replaced.push_back(std::move(lastPiece));
    children.erase(children.begin() + static_cast<long>(at));
    children.insert(children.begin() + static_cast<long>(at), replaced.begin(), replaced.end());
    return store(page, children, rightmost && at + replaced.size() == children.size());
  }

  Pieces insertIntoLeaf(IndexPage& page, bool rightmost) {
    auto pos = std::lower_bound(page.entries.begin(), page.entries.end(), entry_, indexBytesLess);
    const size_t at = static_cast<size_t>(pos - page.entries.begin());
    page.entries.insert(pos, entry_);
    newKey_ = !sameKeyAsNeighbour(page, at);
    const bool atEnd = rightmost && at + 1 == page.entries.size();
    if (indexEntriesFit(page.entries)) {
      write(page);
      return {{}, page.number};
    }
    return splitLeaf(page, atEnd);
  }

  bool sameKeyAsNeighbour(const IndexPage& page, size_t at) {
    const IndexBytes key = keyOf(entry_);
    auto same = [&](const IndexBytes& other) { return keyOf(other) == key; };
    if (at > 0 && same(page.entries[at - 1])) return true;
    if (at + 1 < page.entries.size() && same(page.entries[at + 1])) return true;
    if (at == 0 && page.prev != 0) {
      const IndexPage prev = load(page.prev);
      if (!prev.entries.empty() && same(prev.entries.back())) return true;
    }
    if (at + 1 == page.entries.size() && page.next != 0) {
      const IndexPage next = load(page.next);
      if (!next.entries.empty() && same(next.entries.front())) return true;
    }
    return false;
  }

  // Where the entries of an overflowing page are cut: into halves by bytes, or, at the end of a
  // level, after as many as one page takes.
  static std::vector<size_t> cutPoints(const std::vector<size_t>& sizes, bool atEnd) {
    size_t total = 0;
    for (size_t s : sizes) total += s;
    const size_t pages = std::max<size_t>(2, (total + fmt::kIdxEntryArea - 1) / fmt::kIdxEntryArea);
    const size_t target = atEnd ? fmt::kIdxEntryArea : (total + pages - 1) / pages;
    std::vector<size_t> cuts;
    size_t used = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
      if (used > 0 && (used + sizes[i] > fmt::kIdxEntryArea || (used >= target && !atEnd))) {
        cuts.push_back(i);
        used = 0;
      }
      used += sizes[i];
    }
    return cuts;
  }

  Pieces splitLeaf(IndexPage& page, bool atEnd) {
    std::vector<size_t> sizes;
    for (const IndexBytes& e : page.entries) sizes.push_back(e.size());
    const std::vector<size_t> cuts = cutPoints(sizes, atEnd);
    std::vector<IndexPage> parts = partition(page, cuts, page.entries);
    Pieces out;
    for (size_t i = 0; i + 1 < parts.size(); ++i) out.split.push_back({parts[i].entries.back(), parts[i].number});
    out.last = parts.back().number;
    return out;
  }

  // Lays children out on page (entries for all but a last one that becomes the tail), splitting
  // the page when they do not fit.
  Pieces store(IndexPage& page, const std::vector<Child>& children, bool atEnd) {
    setChildren(page, children);
    if (indexEntriesFit(page.entries)) {
      write(page);
      return {{}, page.number};
    }
    // Cut between children: a piece ends with a child whose bound is known (all but the very
    // last), which becomes that piece's tail.
    std::vector<size_t> sizes;
    for (size_t i = 0; i + 1 < children.size(); ++i) sizes.push_back(children[i].bound.size() + kIndexChildPointerBytes);
    sizes.push_back(0);
    const std::vector<size_t> cuts = cutPoints(sizes, atEnd);
    std::vector<std::vector<Child>> groups;
    size_t begin = 0;
    for (size_t cut : cuts) {
      groups.emplace_back(children.begin() + static_cast<long>(begin), children.begin() + static_cast<long>(cut));
      begin = cut;
    }
    groups.emplace_back(children.begin() + static_cast<long>(begin), children.end());
    std::vector<IndexPage> parts = partitionNodes(page, groups);
    Pieces out;
    for (size_t i = 0; i + 1 < groups.size(); ++i) out.split.push_back({groups[i].back().bound, parts[i].number});
    out.last = parts.back().number;
    return out;
  }

  static void setChildren(IndexPage& page, const std::vector<Child>& children) {
    page.entries.clear();
    page.tail = 0;
    if (children.size() == 1) {
      page.entries.push_back(nodeEntry(children[0].bound, children[0].page));
      return;
    }
    for (size_t i = 0; i + 1 < children.size(); ++i) page.entries.push_back(nodeEntry(children[i].bound, children[i].page));
    page.tail = children.back().page;
  }

  // The pieces of a split page, linked into its level: the first keeps its number and its left
  // neighbour, the others are new, the right neighbour's back link moves to the last piece.
  std::vector<IndexPage> link(IndexPage& page, size_t count) {
    std::vector<IndexPage> parts(count);
    const uint32_t oldNext = page.next;
    for (size_t i = 0; i < count; ++i) {
      parts[i].leaf = page.leaf;
      parts[i].number = i == 0 ? page.number : io_.allocate();
    }
    for (size_t i = 0; i < count; ++i) {
      parts[i].prev = i == 0 ? page.prev : parts[i - 1].number;
      parts[i].next = i + 1 < count ? parts[i + 1].number : oldNext;
    }
    if (oldNext != 0) {  // only its back link changes: patched, not laid out again
      Page right;
      io_.read(oldNext, right);
      storeU32(&right[fmt::kIdxPrevPage], parts.back().number);
      io_.write(oldNext, right);
    }
    return parts;
  }

  std::vector<IndexPage> partition(IndexPage& page, const std::vector<size_t>& cuts, const std::vector<IndexBytes>& entries) {
    std::vector<IndexPage> parts = link(page, cuts.size() + 1);
    size_t begin = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
      const size_t end = i < cuts.size() ? cuts[i] : entries.size();
      parts[i].entries.assign(entries.begin() + static_cast<long>(begin), entries.begin() + static_cast<long>(end));
      begin = end;
    }
    for (const IndexPage& p : parts) write(p);
    return parts;
  }

  std::vector<IndexPage> partitionNodes(IndexPage& page, const std::vector<std::vector<Child>>& groups) {
    std::vector<IndexPage> parts = link(page, groups.size());
    for (size_t i = 0; i < parts.size(); ++i) {
      setChildren(parts[i], groups[i]);
      write(parts[i]);
    }
    return parts;
  }

  const IndexTreeIo& io_;
  uint32_t tdefPage_;
  const IndexBytes& entry_;
  bool newKey_ = false;
};

}  // namespace

IndexInsertResult insertIndexEntry(const IndexTreeIo& io, uint32_t root, uint32_t tdefPage, const IndexEntry& entry) {
  if (entry.key.size() > kIndexMaxKeyBytes)
    throw dao::formatLimit("インデックスのキーが長すぎます (" + std::to_string(entry.key.size()) + " バイト、上限 " +
                     std::to_string(kIndexMaxKeyBytes) + " バイト)。");
  const IndexBytes bytes = leafEntryBytes(entry);
  return Inserter(io, tdefPage, bytes).run(root);
}

}  // namespace vellicor::jet3
