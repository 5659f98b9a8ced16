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
// check them. Throws dao::Error when the row or a bitmap page is malformed, or marks a page past
// the format's limit: unless pastLimit says so, as the global map's last window marks the pages
// past the limit free with the rest of the pages past the end of a file of the largest size.
enum class PastLimit { kFault, kIgnored };
std::vector<uint32_t> readUsageMap(PageSource& source, uint32_t mapRow, PastLimit pastLimit = PastLimit::kFault);

// The same for a map row already in hand.
std::vector<uint32_t> decodeUsageMapRow(PageSource& source, const uint8_t* row, size_t size,
                                        PastLimit pastLimit = PastLimit::kFault);

}  // namespace vellicor::jet3
