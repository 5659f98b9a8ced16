// A DAO table definition as Jet 3 lays it out, with the checks Jet 3.5 makes of its fields when the
// table is appended, and the longest row its fields allow. The database's append and the run's
// pre-flight plan share these, so that the plan meets the refusals the append would meet.
#pragma once

#include <cstddef>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/tdef.h"

namespace vellicor::text {
class CodePage;
}

namespace vellicor::jet3 {

// The columns of `def` (names in the code page's bytes, types, lengths, fixed offsets). Throws the
// dao::Error that appending the table would: no fields, more than 255, a field name Jet refuses, a
// type Jet 3 lacks, a Text or Binary size outside 1..255, two fields of the same name by Jet's
// comparison, or fixed fields that leave no room for a row. The table's own name is not checked.
TableDefinition checkedDefinition(const dao::TableDef& def, const text::CodePage& codePage);

// The encoded length of the longest row the columns allow: every Text and Binary value at its full
// length, every Memo and Long Binary value on pages of its own (its 12-byte reference in the row).
// A table whose longest row exceeds fmt::kMaxRowSize may refuse rows for their size.
size_t widestRowLength(const TableDefinition& def);

}  // namespace vellicor::jet3
