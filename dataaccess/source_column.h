// What a source recordset can tell about a column beyond its DAO name, type and size: the ODBC
// description its DAO type was mapped from. Recordsets that read ODBC results implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vellicor::dao {

struct SourceColumn {
  int16_t sqlType = 0;        // the ODBC SQL type code (SQL_VARCHAR, SQL_TYPE_TIMESTAMP, ...)
  uint64_t columnSize = 0;    // characters, bytes or decimal digits, by type
  int16_t decimalDigits = 0;  // scale of exact numerics, fractional digits of times
  bool isUnsigned = false;
  std::string typeName;       // the driver's own name of the type (VARCHAR2, RAW, ...); may be empty
};

class ColumnDescriptions {
 public:
  virtual ~ColumnDescriptions() = default;
  // The description of column `index` (from 0); nullopt when there is no such column.
  virtual std::optional<SourceColumn> sourceColumn(int index) = 0;
};

}  // namespace vellicor::dao
