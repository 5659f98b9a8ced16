// Encoding of usage-map rows (inline and reference form) and the 0x05 bitmap pages, and the
// holder pages that carry map rows of new tables.
#include "dataaccess/jet3/usage_map.h"

#include <algorithm>
#include <cstring>

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

std::vector<uint32_t> decodeMapRow(const uint8_t* row, size_t length, Pager& pager, uint32_t rangeEnd,
                                   PageSet& members) {
  std::vector<uint32_t> bitmapPages;
  if (length < fmt::kMapInlineHeader) throw dao::damagedFile("使用状況マップの行が短すぎます。");
  if (row[0] == fmt::kMapInline) {
    const uint32_t start = loadU32(row + 1);
    for (size_t i = 0; i < (length - fmt::kMapInlineHeader) * 8; ++i) {
      if (row[fmt::kMapInlineHeader + i / 8] >> (i % 8) & 1) {
        const uint64_t p = start + i;
        if (p < rangeEnd) members.insert(static_cast<uint32_t>(p));
      }
    }
  } else if (row[0] == fmt::kMapReference) {
    uint8_t page[fmt::kPageSize];
    for (size_t w = 0; w < (length - 1) / 4; ++w) {
      const uint32_t bp = loadU32(row + 1 + 4 * w);
      bitmapPages.push_back(bp);
      if (bp == 0) continue;
      if (bp >= rangeEnd) throw dao::damagedFile("使用状況マップが存在しないページを指しています。");
      pager.read(bp, page);
      if (page[0] != fmt::kPageUsageBitmap) throw dao::damagedFile("使用状況マップのページが壊れています。");
      for (size_t i = 0; i < fmt::kBitmapPageBits; ++i) {
        if (page[fmt::kBitmapPageHeader + i / 8] >> (i % 8) & 1) {
          const uint64_t p = w * fmt::kBitmapPageBits + i;
          if (p < rangeEnd) members.insert(static_cast<uint32_t>(p));
        }
      }
    }
  } else {
    throw dao::damagedFile("使用状況マップの種類が不明です。");
  }
  return bitmapPages;
}

void UsageMap::load(Pager& pager) {
  uint8_t page[fmt::kPageSize];
  pager.read(fmt::pointerPage(rowPointer_), page);
  const uint16_t rows = loadU16(page + fmt::kDataRowCount);
  const uint8_t r = fmt::pointerRow(rowPointer_);
  if (page[0] != fmt::kPageData || r >= rows) throw dao::damagedFile("使用状況マップの行が見つかりません。");
  const uint16_t start = loadU16(page + fmt::kDataRowTable + 2 * r) & fmt::kRowOffsetMask;
  const uint16_t end =
      r == 0 ? fmt::kPageSize : loadU16(page + fmt::kDataRowTable + 2 * (r - 1)) & fmt::kRowOffsetMask;
  if (start >= end || end > fmt::kPageSize) throw dao::damagedFile("使用状況マップの行が壊れています。");
  rowOffset_ = start;
  rowLength_ = static_cast<uint16_t>(end - start);
  pages_.clear();
  bitmapPages_ = decodeMapRow(page + start, rowLength_, pager, pager.pageCount(), pages_);
  reference_ = page[start] == fmt::kMapReference;
}

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
