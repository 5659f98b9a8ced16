// Index pages of Jet 3 in and out of memory: the entry bitmap, the shared prefix, free space and
// the header fields (leaf and intermediate pages alike).
#include "dataaccess/jet3/index_page.h"

#include <algorithm>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {

std::string hex2(unsigned v) {
  static const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[(v >> 4) & 0xF] + digits[v & 0xF];
}

void indexPageFault(uint32_t page, const std::string& what) {
  throw dao::damagedFile("インデックスのページ " + std::to_string(page) + " が壊れています: " + what);
}

bool indexBytesLess(const IndexBytes& a, const IndexBytes& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

uint32_t loadIndexChild(const IndexBytes& e) {
  uint32_t v = 0;
  for (size_t i = e.size() - kIndexChildPointerBytes; i < e.size(); ++i) v = (v << 8) | e[i];
  return v;
}

void appendRowPointer(IndexBytes& entry, uint32_t page, uint8_t row) {
  entry.push_back(static_cast<uint8_t>(page >> 16));
  entry.push_back(static_cast<uint8_t>(page >> 8));
  entry.push_back(static_cast<uint8_t>(page));
  entry.push_back(row);
}

IndexBytes leafEntryBytes(const IndexEntry& e) {
  IndexBytes b(e.key);
  appendRowPointer(b, e.page, e.row);
  return b;
}

bool indexEntriesFit(const std::vector<IndexBytes>& entries) {
  size_t used = 0;
  for (const IndexBytes& e : entries) used += e.size();
  return used <= fmt::kIdxEntryArea;
}

IndexPage decodeIndexPage(uint32_t number, const Page& page) {
  IndexPage out;
  out.number = number;
  const uint8_t type = page[0];
  if (type != fmt::kPageIndexNode && type != fmt::kPageIndexLeaf)
    indexPageFault(number, "ページの種類が " + hex2(type) + " です (インデックスのページではありません)。");
  out.leaf = type == fmt::kPageIndexLeaf;
  out.prev = loadU32(&page[fmt::kIdxPrevPage]);
  out.next = loadU32(&page[fmt::kIdxNextPage]);
  out.tail = loadU32(&page[fmt::kIdxTailPage]);

  const size_t prefix = page[fmt::kIdxPrefixLength];
  const size_t minEntry = 1 + kIndexRowPointerBytes + (out.leaf ? 0 : kIndexChildPointerBytes);
  std::vector<IndexBytes>& entries = out.entries;
  size_t start = 0;
  for (size_t bit = 0; bit < fmt::kIdxEntryBitmapSize * 8; ++bit) {
    if (!(page[fmt::kIdxEntryBitmap + bit / 8] & (1u << (bit % 8)))) continue;
    if (bit > fmt::kIdxEntryArea)
      indexPageFault(number, "エントリ終端ビット " + std::to_string(bit) + " がエントリ領域 (" +
                                 std::to_string(fmt::kIdxEntryArea) + " バイト) を超えています。");
    const uint8_t* p = page.data() + fmt::kIdxEntriesStart + start;
    IndexBytes e;
    if (entries.empty()) {
      e.assign(p, p + (bit - start));
      if (prefix > e.size())
        indexPageFault(number, "共通接頭辞の長さ " + std::to_string(prefix) + " が最初のエントリより長いです。");
    } else {
      e.assign(entries.front().begin(), entries.front().begin() + static_cast<long>(prefix));
      e.insert(e.end(), p, p + (bit - start));
    }
    if (e.size() < minEntry)
      indexPageFault(number, "エントリ " + std::to_string(entries.size()) + " が短すぎます (" +
                                 std::to_string(e.size()) + " バイト)。");
    if (!entries.empty() && indexBytesLess(e, entries.back()))
      indexPageFault(number, "エントリ " + std::to_string(entries.size()) + " の順序が正しくありません。");
    entries.push_back(std::move(e));
    start = bit;
  }
  const size_t free = loadU16(&page[fmt::kIdxFreeSpace]);
  if (free != fmt::kIdxEntryArea - start)
    indexPageFault(number, "空き領域の値 " + std::to_string(free) + " がエントリの量 (" + std::to_string(start) +
                               " バイト) と合いません。");
  return out;
}

void encodeIndexPage(const IndexPage& plan, uint32_t tdefPage, Page& page) {
  if (!indexEntriesFit(plan.entries)) indexPageFault(plan.number, "エントリが 1 ページに収まりません。");
  page.fill(0);
  page[0] = plan.leaf ? fmt::kPageIndexLeaf : fmt::kPageIndexNode;
  page[1] = fmt::kPageMarker;
  storeU32(&page[fmt::kIdxOwner], tdefPage);
  storeU32(&page[fmt::kIdxPrevPage], plan.prev);
  storeU32(&page[fmt::kIdxNextPage], plan.next);
  storeU32(&page[fmt::kIdxTailPage], plan.leaf ? 0 : plan.tail);
  page[fmt::kIdxPrefixLength] = 0;
  page[fmt::kIdxLevelFlag] = plan.leaf ? kIndexLeafLevel : kIndexNodeLevel;
  size_t used = 0;
  for (const IndexBytes& e : plan.entries) {
    std::copy(e.begin(), e.end(), page.begin() + static_cast<long>(fmt::kIdxEntriesStart + used));
    used += e.size();
    page[fmt::kIdxEntryBitmap + used / 8] |= static_cast<uint8_t>(1u << (used % 8));
  }
  storeU16(&page[fmt::kIdxFreeSpace], static_cast<uint16_t>(fmt::kIdxEntryArea - used));
}

}  // namespace vellicor::jet3
