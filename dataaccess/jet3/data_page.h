// A data page being filled: rows placed from the end of the page downwards, the slot table
// growing from the header, the free-space field kept current.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include <algorithm>
#include <string>

#include "dataaccess/error.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/page_source.h"

namespace vellicor::jet3 {

class DataPage {
 public:
  // An empty page owned by owner (a TDEF page number, or fmt::kLvalOwner).
  void reset(uint32_t owner) {
    std::memset(bytes_, 0, sizeof bytes_);
    bytes_[0] = fmt::kPageData;
    bytes_[1] = fmt::kPageMarker;
    storeU32(bytes_ + fmt::kDataOwner, owner);
    rows_ = 0;
    lowest_ = fmt::kPageSize;
    sync();
  }
  // Takes over page `number` as read from the file (to append to its rows). A page that is not a
  // data page, or whose row count or row offsets lie outside the page (a damaged file), throws
  // dao::Error.
  void load(const Page& page, uint32_t number) {
    rows_ = rowSlotCount(page, number);
    if (rows_ > fmt::kMaxRowsPerPage) {
      throw dao::damagedFile("ページ " + std::to_string(number) + " の行数 " + std::to_string(rows_) + " が不正です。ファイルが壊れています。");
    }
    std::memcpy(bytes_, page.data(), sizeof bytes_);
    lowest_ = fmt::kPageSize;
    for (uint16_t r = 0; r < rows_; ++r) lowest_ = std::min(lowest_, rowStart(page, number, r));
  }
  uint16_t rows() const { return rows_; }
  // Bytes a new row of this length may take (its slot included).
  bool fits(size_t length) const {
    return rows_ < fmt::kMaxRowsPerPage && lowest_ >= fmt::kDataHeaderSize + 2u * (rows_ + 1) + length;
  }
  // Space for a row of the given length; the caller fills it. Requires fits(length).
  uint8_t* append(size_t length, uint8_t& rowNumber) {
    lowest_ = static_cast<uint16_t>(lowest_ - length);
    storeU16(bytes_ + fmt::kDataRowTable + 2 * rows_, lowest_);
    rowNumber = static_cast<uint8_t>(rows_++);
    storeU16(bytes_ + fmt::kDataRowCount, rows_);
    sync();
    return bytes_ + lowest_;
  }
  size_t freeSpace() const { return lowest_ - fmt::kDataHeaderSize - 2u * rows_; }
  const uint8_t* bytes() const { return bytes_; }

 private:
  void sync() { storeU16(bytes_ + fmt::kDataFreeSpace, static_cast<uint16_t>(freeSpace())); }

  uint8_t bytes_[fmt::kPageSize];
  uint16_t rows_ = 0;
  uint16_t lowest_ = fmt::kPageSize;
};

}  // namespace vellicor::jet3
