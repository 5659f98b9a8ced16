// Reading Memo and OLE values: the 12-byte field in the row and the value it stands for (inline,
// one LVAL row, or a chain of LVAL rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataaccess/jet3/page_source.h"

namespace vellicor::jet3 {

// The whole value of the long-value field `field` (size bytes as the row holds it). Throws
// dao::Error on a malformed field, a pointer outside the file, a chain that loops or ends early.
std::vector<uint8_t> readLongValue(PageSource& source, const uint8_t* field, size_t size);

// The LVAL pages that the field's value lives on, in chain order (none for a value kept in the
// row). A page outside the file ends the list (it is listed, not read); a malformed field or chain
// throws dao::Error as readLongValue does.
std::vector<uint32_t> longValuePages(PageSource& source, const uint8_t* field, size_t size);

// The length the field announces (without reading the value).
uint32_t longValueLength(const uint8_t* field, size_t size);

}  // namespace vellicor::jet3
