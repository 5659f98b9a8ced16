// Usage maps (which pages a table, an index or a long-value column owns, and the global map of free
// pages): the row codec, inline (start page + bitmap) or references to 0x05 bitmap pages, for
// readers and writers alike, and the writer's map with its 133-byte row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataaccess/jet3/page_set.h"
#include "dataaccess/jet3/page_source.h"

namespace vellicor::jet3 {

class Pager;

// ---- Reading a map row ----------------------------------------------------------------------

// Pages marked past the format's limit are a fault, unless pastLimit says so: the global map's
// last window marks the pages past the limit free with the rest of the pages past the end of a
// file of the largest size.
enum class PastLimit { kFault, kIgnored };

// The bytes of the map row at mapRow (a row pointer); the page is held while they are used.
// Throws dao::Error when the holder page lies outside the file or the row does not exist.
struct MapRowBytes {
  std::shared_ptr<const Page> page;
  const uint8_t* row = nullptr;
  size_t size = 0;
};
MapRowBytes locateMapRow(PageSource& source, uint32_t mapRow);

// The bitmap pages a reference row points at, one per window (0: none); empty for an inline row.
std::vector<uint32_t> mapBitmapPages(const uint8_t* row, size_t size);

// The pages marked in a map row, ascending (for the global map: the free pages). Pages at or past
// the end of the file are included; callers that need existing pages check them. Throws
// dao::Error when the row or a bitmap page is malformed.
std::vector<uint32_t> decodeUsageMapRow(PageSource& source, const uint8_t* row, size_t size,
                                        PastLimit pastLimit = PastLimit::kFault);
// The same for the row at mapRow.
std::vector<uint32_t> readUsageMap(PageSource& source, uint32_t mapRow, PastLimit pastLimit = PastLimit::kFault);

// ---- A map being written --------------------------------------------------------------------

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
  // Reads the map from an existing file (both forms); pages past the file's end are left out.
  void load(Pager& pager);

 private:
  PageSet pages_;
  uint32_t rowPointer_ = 0;
  uint16_t rowOffset_ = 0;
  uint16_t rowLength_ = 0;
  bool reference_ = false;
  std::vector<uint32_t> bitmapPages_;  // reference form: bitmap page of window k (0 = none)
};

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
