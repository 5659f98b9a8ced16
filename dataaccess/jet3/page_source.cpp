// Row slot lookup on Jet 3 data pages, with every offset checked against the page.
// Row k ends where row k-1 starts (row 0 ends at the page end); flags sit in the top bits.
#include "dataaccess/jet3/page_source.h"

#include "dataaccess/error.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {

std::string rowPlace(uint32_t page, uint32_t row) {
  return "ページ " + std::to_string(page) + " の行 " + std::to_string(row);
}

uint16_t rowSlotCount(const Page& page, uint32_t pageNumber) {
  if (page[0] != fmt::kPageData) {
    throw dao::damagedFile("ページ " + std::to_string(pageNumber) + " はデータ ページではありません (種類 " +
                     std::to_string(page[0]) + ")。ファイルが壊れています。");
  }
  const uint16_t count = loadU16(&page[fmt::kDataRowCount]);
  if (fmt::kDataRowTable + 2 * size_t{count} > fmt::kPageSize) {
    throw dao::damagedFile("ページ " + std::to_string(pageNumber) + " の行数 " + std::to_string(count) +
                     " が不正です。ファイルが壊れています。");
  }
  return count;
}

uint16_t rowStart(const Page& page, uint32_t pageNumber, uint32_t row) {
  const uint16_t count = rowSlotCount(page, pageNumber);
  if (row >= count) {
    throw dao::damagedFile(rowPlace(pageNumber, row) + " は存在しません (行数 " + std::to_string(count) + ")。ファイルが壊れています。");
  }
  const uint16_t start = loadU16(&page[fmt::kDataRowTable + 2 * row]) & fmt::kRowOffsetMask;
  if (start < fmt::kDataRowTable + 2 * size_t{count} || start > fmt::kPageSize) {
    throw dao::damagedFile(rowPlace(pageNumber, row) + " の位置 (" + std::to_string(start) + ") が不正です。ファイルが壊れています。");
  }
  return start;
}

RowSlot rowSlot(const Page& page, uint32_t pageNumber, uint32_t row, bool checkDeleted) {
  const uint16_t count = rowSlotCount(page, pageNumber);
  if (row >= count) {
    throw dao::damagedFile(rowPlace(pageNumber, row) + " は存在しません (行数 " + std::to_string(count) +
                     ")。ファイルが壊れています。");
  }
  const uint16_t raw = loadU16(&page[fmt::kDataRowTable + 2 * row]);
  RowSlot slot;
  slot.flags = raw & static_cast<uint16_t>(~fmt::kRowOffsetMask);
  slot.start = raw & fmt::kRowOffsetMask;
  slot.end = row == 0 ? static_cast<uint16_t>(fmt::kPageSize)
                      : static_cast<uint16_t>(loadU16(&page[fmt::kDataRowTable + 2 * (row - 1)]) & fmt::kRowOffsetMask);
  if (slot.deleted() && !checkDeleted) return slot;
  if (slot.start < fmt::kDataRowTable + 2 * size_t{count} || slot.end > fmt::kPageSize || slot.start >= slot.end) {
    throw dao::damagedFile(rowPlace(pageNumber, row) + " の位置 (" + std::to_string(slot.start) + "～" +
                     std::to_string(slot.end) + ") が不正です。ファイルが壊れています。");
  }
  return slot;
}

}  // namespace vellicor::jet3
