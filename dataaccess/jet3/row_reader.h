// Decoding one Jet 3 row: splitting it into the bytes of each column (fixed area, variable area
// with its offset and jump tables, null mask) and turning those bytes into values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet3/page_source.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/variant.h"

namespace vellicor::text {
class CodePage;
}

namespace vellicor::jet3 {


// One column's part of a row. For Boolean columns `present` is the value itself.
struct FieldBytes {
  bool present = false;  // not null
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Splits a row (bytes as stored, after following any overflow pointer) into one entry per
// def.columns element. Rows written before columns were added have fewer columns; the missing
// ones read as null. Throws dao::Error naming `place` when an offset or length leaves the row.
std::vector<FieldBytes> splitRow(const TableDefinition& def, const uint8_t* row, size_t size,
                                 const std::string& place);

// The value of one column: Text and Memo decoded from the code page to UTF-8, Binary and OLE as
// bytes, numbers, Currency, Date and GUID as their variant kinds. Long values are read through
// source. Throws dao::Error when the bytes do not fit the column's type.
dao::Variant decodeField(const ColumnDef& column, const FieldBytes& field, PageSource& source,
                         const text::CodePage& codePage, const std::string& place);

}  // namespace vellicor::jet3
