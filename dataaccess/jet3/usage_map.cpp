// Encoding of usage-map rows (inline and reference form) and the 0x05 bitmap pages, and the
// holder pages that carry map rows of new tables.
#include "dataaccess/jet3/usage_map.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {

void UsageMap::store(Pager& pager) {
  uint8_t row[fmt::kPageSize] = {};
  const uint32_t windowBits = static_cast<uint32_t>((rowLength_ - fmt::kMapInlineHeader) * 8);
  if (!reference_) {
    const uint32_t start = pages_.empty() ? 0 : pages_.first() / 8 * 8;
    if (pages_.empty() || pages_.last() - start < windowBits) {
      row[0] = fmt::kMapInline;
      storeU32(row + 1, start);
      pages_.exportBits(start, windowBits, row + fmt::kMapInlineHeader);
      pager.writeBytes(fmt::pointerPage(rowPointer_), rowOffset_, row, rowLength_);
      return;
    }
    reference_ = true;
  }
  // Reference form: one bitmap page per window of kBitmapPageBits pages that holds a member.
  const size_t maxWindows = (rowLength_ - 1) / 4;
  const uint32_t lastWindow = pages_.last() / fmt::kBitmapPageBits;
  if (lastWindow >= maxWindows) throw dao::formatLimit("使用状況マップがファイルの範囲を超えました。");
  if (bitmapPages_.size() <= lastWindow) bitmapPages_.resize(lastWindow + 1, 0);
  uint8_t bitmap[fmt::kPageSize];
  for (uint32_t w = 0; w <= lastWindow; ++w) {
    const uint32_t base = w * static_cast<uint32_t>(fmt::kBitmapPageBits);
    std::memset(bitmap, 0, sizeof bitmap);
    pages_.exportBits(base, fmt::kBitmapPageBits, bitmap + fmt::kBitmapPageHeader);
    bool any = false;
    for (size_t i = fmt::kBitmapPageHeader; i < fmt::kPageSize && !any; ++i) any = bitmap[i] != 0;
    if (!any && bitmapPages_[w] == 0) continue;
    if (bitmapPages_[w] == 0) bitmapPages_[w] = pager.allocate(true);
    bitmap[0] = fmt::kPageUsageBitmap;
    bitmap[1] = fmt::kPageMarker;
    pager.write(bitmapPages_[w], bitmap);
  }
  row[0] = fmt::kMapReference;
  for (size_t w = 0; w < bitmapPages_.size(); ++w) storeU32(row + 1 + 4 * w, bitmapPages_[w]);
  pager.writeBytes(fmt::pointerPage(rowPointer_), rowOffset_, row, rowLength_);
}

void UsageMap::load(Pager& pager) {
  const MapRowBytes m = locateMapRow(pager, rowPointer_);
  rowOffset_ = static_cast<uint16_t>(m.row - m.page->data());
  rowLength_ = static_cast<uint16_t>(m.size);
  pages_.clear();
  for (uint32_t p : decodeUsageMapRow(pager, m.row, m.size)) {
    if (p < pager.pageCount()) pages_.insert(p);
  }
  reference_ = m.row[0] == fmt::kMapReference;
  bitmapPages_ = mapBitmapPages(m.row, m.size);
}

// ---- Reading --------------------------------------------------------------------------------

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

MapRowBytes locateMapRow(PageSource& source, uint32_t mapRow) {
  const uint32_t pageNumber = fmt::pointerPage(mapRow);
  if (pageNumber == 0 || pageNumber >= source.pageCount()) {
    badMap("行 " + std::to_string(mapRow) + " のページ " + std::to_string(pageNumber) + " がファイルの範囲外です。");
  }
  MapRowBytes m;
  m.page = source.page(pageNumber);
  const RowSlot slot = rowSlot(*m.page, pageNumber, fmt::pointerRow(mapRow));
  if (slot.deleted()) badMap(rowPlace(pageNumber, fmt::pointerRow(mapRow)) + " は削除されています。");
  m.row = m.page->data() + slot.start;
  m.size = slot.size();
  return m;
}

std::vector<uint32_t> mapBitmapPages(const uint8_t* row, size_t size) {
  std::vector<uint32_t> pages;
  if (size < 1 || row[0] != fmt::kMapReference) return pages;
  for (size_t k = 0; k < (size - 1) / 4; ++k) pages.push_back(loadU32(row + 1 + 4 * k));
  return pages;
}

std::vector<uint32_t> decodeUsageMapRow(PageSource& source, const uint8_t* row, size_t size, PastLimit pastLimit) {
  std::vector<uint32_t> pages;
  if (size < 1) badMap("行が空です。");
  if (row[0] == fmt::kMapInline) {
    if (size < fmt::kMapInlineHeader) badMap("行が短すぎます。");
    appendBits(row + fmt::kMapInlineHeader, size - fmt::kMapInlineHeader, loadU32(row + 1), pastLimit, pages);
    return pages;
  }
  if (row[0] != fmt::kMapReference) badMap("種類 " + std::to_string(row[0]) + " は不明です。");
  const std::vector<uint32_t> bitmaps = mapBitmapPages(row, size);
  for (size_t k = 0; k < bitmaps.size(); ++k) {
    const uint32_t bitmapPage = bitmaps[k];
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
  const MapRowBytes m = locateMapRow(source, mapRow);
  return decodeUsageMapRow(source, m.row, m.size, pastLimit);
}

// ---- Holder pages ---------------------------------------------------------------------------

void writeEmptyHolderPage(Pager& pager, uint32_t pageNumber, uint16_t rows) {
  uint8_t page[fmt::kPageSize] = {};
  page[0] = fmt::kPageData;
  page[1] = fmt::kPageMarker;
  storeU16(page + fmt::kDataRowCount, rows);
  for (uint16_t r = 0; r < rows; ++r) {
    storeU16(page + fmt::kDataRowTable + 2 * r, static_cast<uint16_t>(fmt::kPageSize - (r + 1) * fmt::kMapRowSize));
  }
  storeU16(page + fmt::kDataFreeSpace,
           static_cast<uint16_t>(fmt::kPageSize - rows * fmt::kMapRowSize - fmt::kDataHeaderSize - 2 * rows));
  pager.write(pageNumber, page);
}

UsageMap holderRow(uint32_t page, uint16_t row) {
  return UsageMap(fmt::rowPointer(page, static_cast<uint8_t>(row)),
                  static_cast<uint16_t>(fmt::kPageSize - (row + 1) * fmt::kMapRowSize), fmt::kMapRowSize);
}

UsageMap MapHolderWriter::addMap(bool reserve) {
  const size_t perPage = (fmt::kPageSize - fmt::kDataHeaderSize) / (fmt::kMapRowSize + 2);
  if (pages_.empty() || rowsOnPage_.back() == perPage) {
    pages_.push_back(pager_.allocate(reserve));
    rowsOnPage_.push_back(0);
  }
  return holderRow(pages_.back(), rowsOnPage_.back()++);
}

void MapHolderWriter::finish() {
  for (size_t i = 0; i < pages_.size(); ++i) writeEmptyHolderPage(pager_, pages_[i], rowsOnPage_[i]);
}

}  // namespace vellicor::jet3
