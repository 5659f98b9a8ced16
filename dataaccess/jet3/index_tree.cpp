// The index B-tree of Jet 3: bulk building of leaf and intermediate pages from sorted entries,
// and a checking reader that walks a tree in key order.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/index_page.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

constexpr size_t kRowPointerBytes = kIndexRowPointerBytes;
constexpr size_t kChildPointerBytes = kIndexChildPointerBytes;
// Deeper than any real tree: with at least two children a node, 2^19 pages (1 GB) give ~19 levels.
// The reader stops there instead of recursing through a crafted chain of pages.
constexpr int kMaxDepth = 32;

constexpr size_t kMaxKeyBytes = kIndexMaxKeyBytes;

using Bytes = IndexBytes;

void appendBigEndian32(Bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t loadBigEndian(const uint8_t* p, size_t n) {
  uint32_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// One page being laid out: its entries (stored whole: prefix length 0) and its header fields.
struct PagePlan {
  uint32_t number = 0;
  std::vector<Bytes> entries;
  uint32_t tail = 0;
  Bytes last;  // the last leaf entry below this page (key + row pointer)
};

void writePage(const PagePlan& plan, bool leaf, uint32_t tdefPage, uint32_t prev, uint32_t next, Page& page) {
  IndexPage p;
  p.leaf = leaf;
  p.prev = prev;
  p.next = next;
  p.tail = plan.tail;
  p.entries = plan.entries;
  encodeIndexPage(p, tdefPage, page);
}

// Allocates numbers for a level's pages and writes them, linked left to right.
void emitLevel(std::vector<PagePlan>& level, bool leaf, uint32_t tdefPage, const std::function<uint32_t()>& allocatePage,
               const IndexTreeWriter::PageSink& sink) {
  for (PagePlan& p : level) p.number = allocatePage();
  Page bytes;
  for (size_t i = 0; i < level.size(); ++i) {
    writePage(level[i], leaf, tdefPage, i > 0 ? level[i - 1].number : 0, i + 1 < level.size() ? level[i + 1].number : 0,
              bytes);
    sink(level[i].number, bytes);
  }
}

// Walks a tree depth-first, children in order, checking each page as it goes.
class TreeReader {
 public:
  TreeReader(const std::function<void(uint32_t, Page&)>& readPage, uint32_t tdefPage,
             std::vector<IndexEntry>& out, std::vector<uint32_t>* visited)
      : readPage_(readPage), tdefPage_(tdefPage), out_(out), visited_(visited) {}

  void run(uint32_t root) {
    visit(root, 0, nullptr);
    if (!leaves_.empty() && leaves_.back().next != 0)
      indexPageFault(leaves_.back().number, "最後のリーフの次ページ " + std::to_string(leaves_.back().next) +
                                       " が 0 ではありません。");
  }

 private:
  struct LeafLink {
    uint32_t number, prev, next;
  };

  // Reads page `number` whose entries must not exceed `bound` (the parent's entry for it).
  void visit(uint32_t number, int depth, const Bytes* bound) {
    if (!seen_.insert(number).second) indexPageFault(number, "同じページが二度参照されています (循環)。");
    if (depth > kMaxDepth) indexPageFault(number, "木の階層が深すぎます (" + std::to_string(depth) + " 段)。");
    if (visited_) visited_->push_back(number);
    Page page;
    readPage_(number, page);
    const uint8_t type = page[0];
    if (type != fmt::kPageIndexNode && type != fmt::kPageIndexLeaf)
      indexPageFault(number, "ページの種類が " + hex2(type) + " です (インデックスのページではありません)。");
    const uint32_t owner = loadU32(&page[fmt::kIdxOwner]);
    if (owner != tdefPage_)
      indexPageFault(number, "所有テーブルが " + std::to_string(owner) + " です (" + std::to_string(tdefPage_) +
                        " のはず)。");
    const bool leaf = type == fmt::kPageIndexLeaf;
    if (leaf && page[fmt::kIdxLevelFlag] != kIndexLeafLevel)
      indexPageFault(number, "リーフのレベル値が " + std::to_string(page[fmt::kIdxLevelFlag]) + " です。");
    const IndexPage decoded = decodeIndexPage(number, page);

    const std::vector<Bytes>& entries = decoded.entries;
    if (leaf) {
      readLeaf(number, page, depth, entries, bound);
      return;
    }
    const uint32_t tail = decoded.tail;
    if (entries.empty() && tail == 0) indexPageFault(number, "中間ページに子ページがありません。");
    for (const Bytes& e : entries) {
      const uint32_t child = loadIndexChild(e);
      const Bytes childBound(e.begin(), e.end() - kChildPointerBytes);
      if (bound && indexBytesLess(*bound, childBound))
        indexPageFault(number, "エントリが親ページの範囲を超えています。");
      visit(child, depth + 1, &childBound);
    }
    if (tail != 0) visit(tail, depth + 1, bound);
  }

  void readLeaf(uint32_t number, const Page& page, int depth, const std::vector<Bytes>& entries,
                const Bytes* bound) {
    if (leafDepth_ < 0) leafDepth_ = depth;
    if (depth != leafDepth_) indexPageFault(number, "リーフの深さが他のリーフと異なります。");
    if (loadU32(&page[fmt::kIdxTailPage]) != 0) indexPageFault(number, "リーフに末尾ページが設定されています。");
    const LeafLink link{number, loadU32(&page[fmt::kIdxPrevPage]), loadU32(&page[fmt::kIdxNextPage])};
    const uint32_t expectedPrev = leaves_.empty() ? 0 : leaves_.back().number;
    if (link.prev != expectedPrev)
      indexPageFault(number, "前ページのリンク " + std::to_string(link.prev) + " が " + std::to_string(expectedPrev) +
                        " ではありません。");
    if (!leaves_.empty() && leaves_.back().next != number)
      indexPageFault(leaves_.back().number, "次ページのリンク " + std::to_string(leaves_.back().next) + " が " +
                                       std::to_string(number) + " ではありません。");
    leaves_.push_back(link);

    for (const Bytes& e : entries) {
      if (bound && indexBytesLess(*bound, e)) indexPageFault(number, "エントリが親ページの範囲を超えています。");
      if (!previous_.empty() && indexBytesLess(e, previous_))
        indexPageFault(number, "エントリが前のページの最後のエントリより小さくなっています。");
      previous_ = e;
      IndexEntry out;
      const size_t keyLength = e.size() - kRowPointerBytes;
      out.key.assign(e.begin(), e.begin() + static_cast<long>(keyLength));
      out.page = loadBigEndian(&e[keyLength], 3);
      out.row = e[keyLength + 3];
      out_.push_back(std::move(out));
    }
  }

  const std::function<void(uint32_t, Page&)>& readPage_;
  uint32_t tdefPage_;
  std::vector<IndexEntry>& out_;
  std::vector<uint32_t>* visited_;
  std::unordered_set<uint32_t> seen_;
  std::vector<LeafLink> leaves_;
  Bytes previous_;
  int leafDepth_ = -1;
};

}  // namespace

// Compares the entries' bytes as a page stores them (key, then the big-endian row pointer),
// which is the order Jet keeps. For real keys, which never are a prefix of one another, this is
// key order, then page, then row.
bool IndexEntry::operator<(const IndexEntry& o) const {
  const size_t common = std::min(key.size(), o.key.size());
  if (common > 0) {
    const int c = std::memcmp(key.data(), o.key.data(), common);
    if (c != 0) return c < 0;
  }
  if (key.size() == o.key.size()) return page != o.page ? page < o.page : row < o.row;
  const uint8_t mine[kRowPointerBytes] = {static_cast<uint8_t>(page >> 16), static_cast<uint8_t>(page >> 8),
                                          static_cast<uint8_t>(page), row};
  const uint8_t theirs[kRowPointerBytes] = {static_cast<uint8_t>(o.page >> 16), static_cast<uint8_t>(o.page >> 8),
                                            static_cast<uint8_t>(o.page), o.row};
  const size_t n = key.size() + kRowPointerBytes, m = o.key.size() + kRowPointerBytes;
  for (size_t i = common; i < n && i < m; ++i) {
    const uint8_t a = i < key.size() ? key[i] : mine[i - key.size()];
    const uint8_t b = i < o.key.size() ? o.key[i] : theirs[i - o.key.size()];
    if (a != b) return a < b;
  }
  return n < m;
}

uint32_t buildIndexTree(std::vector<IndexEntry> entries, uint32_t tdefPage,
                        const std::function<uint32_t()>& allocatePage, std::vector<BuiltPage>& out) {
  std::sort(entries.begin(), entries.end());
  IndexTreeWriter writer(tdefPage, allocatePage, [&out](uint32_t number, const Page& bytes) {
    out.push_back(BuiltPage{number, bytes});
  });
  for (const IndexEntry& e : entries) {
    if (e.page > kIndexMaxRowPage) throw dao::formatLimit("インデックスの行ポインタのページ番号が範囲外です。");
    const Bytes bytes = leafEntryBytes(e);
    writer.add(bytes.data(), bytes.size());
  }
  return writer.finish();
}

// The leaves: the one being filled, and the number and last entry of each one written.
struct IndexTreeWriter::Level {
  PagePlan current;
  size_t used = 0;
  uint32_t previous = 0;  // the leaf written last (0: none)
  std::vector<PagePlan> written;
};

IndexTreeWriter::IndexTreeWriter(uint32_t tdefPage, std::function<uint32_t()> allocatePage, PageSink sink)
    : tdefPage_(tdefPage), allocate_(std::move(allocatePage)), sink_(std::move(sink)), leaves_(std::make_unique<Level>()) {
  leaves_->current.number = allocate_();
}

IndexTreeWriter::~IndexTreeWriter() = default;

void IndexTreeWriter::add(const uint8_t* entry, size_t size) {
  if (size - kRowPointerBytes > kMaxKeyBytes)
    throw dao::formatLimit("インデックスのキーが長すぎます (" + std::to_string(size - kRowPointerBytes) + " バイト、上限 " +
                           std::to_string(kMaxKeyBytes) + " バイト)。");
  Level& l = *leaves_;
  if (l.used + size > fmt::kIdxEntryArea) {
    const uint32_t next = allocate_();
    closeLeaf(next);
    l.current = PagePlan{};
    l.current.number = next;
    l.used = 0;
  }
  l.used += size;
  l.current.entries.emplace_back(entry, entry + size);
}

void IndexTreeWriter::closeLeaf(uint32_t next) {
  Level& l = *leaves_;
  Page bytes;
  writePage(l.current, true, tdefPage_, l.previous, next, bytes);
  sink_(l.current.number, bytes);
  PagePlan done;
  done.number = l.current.number;
  if (!l.current.entries.empty()) done.last = l.current.entries.back();
  l.written.push_back(std::move(done));
  l.previous = l.current.number;
}

uint32_t IndexTreeWriter::finish() {
  closeLeaf(0);
  std::vector<PagePlan> level = std::move(leaves_->written);

  // Intermediate levels until one page is left. Each page holds entries for its children (the
  // child's last leaf entry + the child's page number) except the last child of a page with
  // several, which goes into the tail field and takes no entry space.
  while (level.size() > 1) {
    std::vector<PagePlan> parents;
    size_t i = 0;
    while (i < level.size()) {
      PagePlan parent;
      size_t bytesUsed = 0;
      while (i < level.size()) {
        const size_t size = level[i].last.size() + kChildPointerBytes;
        if (bytesUsed + size > fmt::kIdxEntryArea) break;
        Bytes e = level[i].last;
        appendBigEndian32(e, level[i].number);
        parent.entries.push_back(std::move(e));
        parent.last = level[i].last;
        bytesUsed += size;
        ++i;
      }
      if (i < level.size()) {  // the next child fits as the tail
        parent.tail = level[i].number;
        parent.last = level[i].last;
        ++i;
      } else if (parent.entries.size() > 1) {  // the level's end: its last child becomes the tail
        parent.tail = level[i - 1].number;
        parent.entries.pop_back();
      }
      parents.push_back(std::move(parent));
    }
    level = std::move(parents);
    emitLevel(level, false, tdefPage_, allocate_, sink_);
  }
  return level.front().number;
}

void readIndexTree(const std::function<void(uint32_t page, Page& bytes)>& readPage, uint32_t root,
                   uint32_t tdefPage, std::vector<IndexEntry>& out, std::vector<uint32_t>* pagesVisited) {
  TreeReader(readPage, tdefPage, out, pagesVisited).run(root);
}

}  // namespace vellicor::jet3
