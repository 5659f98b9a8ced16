// Reading usage maps (page-ownership bitmaps): inline rows (start page + bits) and reference rows
// (pointers to 0x05 bitmap pages), into the sorted list of pages they mark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataaccess/jet3/read_page_source.h"

namespace vellicor::jet3 {

// The pages marked in the map row at mapRow (a row pointer), ascending. Pages at or past the end
// of the file are included (the global free map marks them); callers that need existing pages
// check them. Throws dao::Error when the row or a bitmap page is malformed.
std::vector<uint32_t> readUsageMap(PageSource& source, uint32_t mapRow);

// The same for a map row already in hand.
std::vector<uint32_t> decodeUsageMapRow(PageSource& source, const uint8_t* row, size_t size);

}  // namespace vellicor::jet3
