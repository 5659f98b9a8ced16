// Usage-map decoding for the reader: inline bitmaps and reference maps over bitmap pages.
// Every page number is checked against the format's page limit; bitmap pages must exist.
#include "dataaccess/jet3/read_usage_map.h"

#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

[[noreturn]] void badMap(const std::string& what) {
  throw dao::damagedFile("使用ページ表が壊れています: " + what);
}

void appendBits(const uint8_t* bits, size_t bytes, uint64_t firstPage, PastLimit pastLimit, std::vector<uint32_t>& out) {
  for (size_t i = 0; i < bytes; ++i) {
    if (bits[i] == 0) continue;
    for (int b = 0; b < 8; ++b) {
      if (!(bits[i] >> b & 1)) continue;
      const uint64_t page = firstPage + i * 8 + b;
      if (page >= fmt::kMaxPages) {
        if (pastLimit == PastLimit::kIgnored) return;
        badMap("ページ番号 " + std::to_string(page) + " が形式の上限を超えています。");
      }
      out.push_back(static_cast<uint32_t>(page));
    }
  }
}

}  // namespace

std::vector<uint32_t> decodeUsageMapRow(PageSource& source, const uint8_t* row, size_t size, PastLimit pastLimit) {
  std::vector<uint32_t> pages;
  if (size < 1) badMap("行が空です。");
  if (row[0] == fmt::kMapInline) {
    if (size < fmt::kMapInlineHeader) badMap("行が短すぎます。");
    appendBits(row + fmt::kMapInlineHeader, size - fmt::kMapInlineHeader, loadU32(row + 1), pastLimit, pages);
    return pages;
  }
  if (row[0] != fmt::kMapReference) badMap("種類 " + std::to_string(row[0]) + " は不明です。");
  const size_t pointers = (size - 1) / 4;
  for (size_t k = 0; k < pointers; ++k) {
    const uint32_t bitmapPage = loadU32(row + 1 + 4 * k);
    if (bitmapPage == 0) continue;
    if (bitmapPage >= source.pageCount()) {
      badMap("ビットマップ ページ " + std::to_string(bitmapPage) + " がファイルの範囲外です。");
    }
    const auto page = source.page(bitmapPage);
    if ((*page)[0] != fmt::kPageUsageBitmap) {
      badMap("ページ " + std::to_string(bitmapPage) + " はビットマップ ページではありません。");
    }
    appendBits(page->data() + fmt::kBitmapPageHeader, fmt::kPageSize - fmt::kBitmapPageHeader,
               uint64_t{k} * fmt::kBitmapPageBits, pastLimit, pages);
  }
  return pages;
}

std::vector<uint32_t> readUsageMap(PageSource& source, uint32_t mapRow, PastLimit pastLimit) {
  const uint32_t pageNumber = fmt::pointerPage(mapRow);
  if (pageNumber == 0 || pageNumber >= source.pageCount()) {
    badMap("行 " + std::to_string(mapRow) + " のページがファイルの範囲外です。");
  }
  const auto page = source.page(pageNumber);
  const RowSlot slot = rowSlot(*page, pageNumber, fmt::pointerRow(mapRow));
  if (slot.deleted()) badMap(rowPlace(pageNumber, fmt::pointerRow(mapRow)) + " は削除されています。");
  return decodeUsageMapRow(source, page->data() + slot.start, slot.size(), pastLimit);
}

}  // namespace vellicor::jet3
