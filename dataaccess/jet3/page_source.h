// Where the read side of the engine gets its pages, and the bounds-checked lookup of one row on a
// data page (slot table, flags, row extent).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {

using Page = std::array<uint8_t, fmt::kPageSize>;

// Pages of one file, read on demand. page() throws dao::Error for numbers past the end.
class PageSource {
 public:
  virtual ~PageSource() = default;
  virtual uint32_t pageCount() const = 0;
  virtual std::shared_ptr<const Page> page(uint32_t number) = 0;
};

// One row slot of a data page: the raw slot value's flags and the row's byte range on the page.
struct RowSlot {
  uint16_t flags = 0;  // fmt::kRowDeleted / fmt::kRowOverflow bits
  uint16_t start = 0;
  uint16_t end = 0;    // one past the last byte
  bool deleted() const { return (flags & fmt::kRowDeleted) != 0; }
  bool overflow() const { return (flags & fmt::kRowOverflow) != 0; }
  uint16_t size() const { return static_cast<uint16_t>(end - start); }
};

// Number of row slots of a data page; throws dao::Error when the slot table cannot fit.
uint16_t rowSlotCount(const Page& page, uint32_t pageNumber);
// Where row `row` starts, whether deleted or not; throws dao::Error (naming the page) when it lies
// inside the slot table or past the page.
uint16_t rowStart(const Page& page, uint32_t pageNumber, uint32_t row);
// The slot of row `row`; throws dao::Error (naming the page) when the row does not exist or its
// extent lies outside the page. Deleted slots are returned without checking their extent unless
// checkDeleted is set (the target of an overflow pointer is marked deleted but still read).
RowSlot rowSlot(const Page& page, uint32_t pageNumber, uint32_t row, bool checkDeleted = false);

// Text for messages: "ページ 12 の行 3".
std::string rowPlace(uint32_t page, uint32_t row);

}  // namespace vellicor::jet3
