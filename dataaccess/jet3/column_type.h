// The column types of Jet 3, one row each: code, DAO type, how a value is stored in a row, how a
// fixed value is read, written (coerced from a DAO value) and keyed in an index.
//
// Row reading, the recordset's values, the catalog's and the index walker's keys, coercion and
// table creation take their facts from here. A new type is one row of the table in
// column_type.cpp plus, for a fixed type, its three codec functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/variant.h"

namespace vellicor::jet3 {

struct ColumnDef;
struct FieldBytes;
struct FieldTarget;

enum class ColumnStorage : uint8_t {
  kNullMaskBit,  // Boolean: the value is the column's bit of the null mask, never Null
  kFixed,        // a fixed number of bytes in the row's fixed area
  kVariable,     // up to the column's length, in the variable area (Text, Binary)
  kLongValue,    // a long-value reference in the variable area (Memo, OLE)
};

struct ColumnType {
  uint8_t code;                 // fmt::kType...
  dao::DataType daoType;
  ColumnStorage storage;
  uint16_t width;               // kFixed: bytes in the row; also the descriptor's length (Boolean: 1)
  bool text;                    // kVariable/kLongValue: code page text rather than bytes
  bool keyable;                 // an index can key it (Text only under the General sort order)
  // Keys of it are built for new indexes (appendIndex): their bytes are known to equal Jet's
  // (numbers, dates, Booleans, text). Binary and GUID keys are read and checked, not built.
  bool keyBuilt;
  // kFixed: the value of `width` stored bytes.
  dao::Variant (*decodeFixed)(const uint8_t* p);
  // kFixed: the stored bytes of a DAO value (refusals name the field); kNullMaskBit: sets *flag.
  void (*encodeFixed)(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
  // kFixed: the index key of `width` stored bytes.
  void (*appendFixedKey)(std::vector<uint8_t>& key, const uint8_t* p, bool ascending);

  bool fixed() const { return storage == ColumnStorage::kFixed || storage == ColumnStorage::kNullMaskBit; }
};

// The type of a column code; nullptr for codes Jet 3 does not define.
const ColumnType* columnType(uint8_t code);
// The type a DAO field type is stored as; nullptr for DAO types Jet 3 lacks.
const ColumnType* columnTypeOfDao(int16_t daoType);

// Appends one column's part of an index key (flag byte, then the value's key) from the column's
// stored bytes. Throws dao::Error (damaged file) when a fixed value is shorter than its type.
void appendColumnKey(std::vector<uint8_t>& key, const ColumnDef& col, const FieldBytes& f, bool ascending);

}  // namespace vellicor::jet3
