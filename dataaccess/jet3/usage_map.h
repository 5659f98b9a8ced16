// A usage map of a table, an index or a long-value column: its set of pages and the 133-byte row
// that records it, inline (start page + bitmap) or as references to 0x05 bitmap pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataaccess/jet3/page_set.h"

namespace vellicor::jet3 {

class Pager;

class UsageMap {
 public:
  UsageMap() = default;
  // rowPointer: where the map's row lives (holder page, row); rowOffset/rowLength: its bytes on
  // the holder page.
  UsageMap(uint32_t rowPointer, uint16_t rowOffset, uint16_t rowLength)
      : rowPointer_(rowPointer), rowOffset_(rowOffset), rowLength_(rowLength) {}

  PageSet& pages() { return pages_; }
  const PageSet& pages() const { return pages_; }
  uint32_t rowPointer() const { return rowPointer_; }
  bool isReference() const { return reference_; }

  // Writes the row (and, in the reference form, the bitmap pages it needs) through the pager.
  // The row stays inline while its pages fit one window of the row's bitmap; otherwise it turns
  // into a reference row of the same length, so the holder page never needs a new layout.
  void store(Pager& pager);
  // Reads the map from an existing file (both forms).
  void load(Pager& pager);

 private:
  PageSet pages_;
  uint32_t rowPointer_ = 0;
  uint16_t rowOffset_ = 0;
  uint16_t rowLength_ = 0;
  bool reference_ = false;
  std::vector<uint32_t> bitmapPages_;  // reference form: bitmap page of window k (0 = none)
};

// Decodes a map row into pages (bits set = member; for the global map the caller inverts).
// Bitmap pages of a reference row are read through the pager. rangeEnd: pages at or above are
// ignored. Returns the bitmap pages referenced, if any.
std::vector<uint32_t> decodeMapRow(const uint8_t* row, size_t length, Pager& pager, uint32_t rangeEnd,
                                   PageSet& members);

// Writes a map holder page of `rows` empty inline 133-byte rows (row r at the end minus r+1 rows).
void writeEmptyHolderPage(Pager& pager, uint32_t page, uint16_t rows);
// The map whose row is row r of such a page.
UsageMap holderRow(uint32_t page, uint16_t row);

// Where map rows of a new table go: 133-byte rows on holder pages (owner 0), a new holder page
// whenever the current one is full. Holder pages are written by finish().
class MapHolderWriter {
 public:
  explicit MapHolderWriter(Pager& pager) : pager_(pager) {}
  // Reserves the next row; the map's row pointer and offset are known at once.
  UsageMap addMap(bool reserve = false);
  // Writes every holder page begun here (with all-empty inline rows).
  void finish();
  const std::vector<uint32_t>& pages() const { return pages_; }

 private:
  Pager& pager_;
  std::vector<uint32_t> pages_;
  std::vector<uint16_t> rowsOnPage_;
};

}  // namespace vellicor::jet3
