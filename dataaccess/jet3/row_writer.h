// Encoding of one Jet 3 row from its column values: column count, fixed area, variable data,
// end-of-data byte, reversed offset table, jump table, variable count and null mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dataaccess/jet3/tdef.h"

namespace vellicor::jet3 {

// Where each column of a table goes in a row, derived once from the table definition.
struct RowLayout {
  struct Column {
    uint8_t type = 0;
    uint16_t number = 0;  // null-mask bit
    bool fixed = false;
    uint16_t fixedOffset = 0;
    uint16_t length = 0;
    uint16_t varIndex = 0;
  };
  std::vector<Column> columns;  // in definition order
  uint16_t rowColumnCount = 0;  // the row's first byte and the null-mask width
  uint16_t fixedSize = 0;       // bytes of the fixed area
  std::vector<uint16_t> varColumns;  // definition index of variable column v

  static RowLayout fromDefinition(const TableDefinition& def);
};

// One column's value for the encoder. Fixed columns carry their bytes in fixed (length from the
// layout); variable columns point at their bytes; Booleans carry the value in boolValue.
struct CellValue {
  bool isNull = true;
  bool boolValue = false;
  uint8_t fixed[16] = {};
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Encodes the row into out (capacity bytes). Returns the row length, or 0 when the row does not
// fit into capacity or cannot be represented (too many variable columns past a 256-byte boundary).
size_t encodeRow(const RowLayout& layout, const CellValue* cells, uint8_t* out, size_t capacity);

// The encoded length of a row whose variable data take varBytes in total (for size checks).
size_t encodedRowLength(const RowLayout& layout, size_t varBytes);

}  // namespace vellicor::jet3
