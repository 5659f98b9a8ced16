// Column types: how an ODBC result column (SQL type, size, digits) is reported as a DAO field type
// and size, and how its values are fetched. The whole mapping is the one rule table in type_map.cpp.
#pragma once

#include "dataaccess/odbc/odbc_api.h"

#include <cstdint>

namespace vellicor::odbc {

// What SQLDescribeCol and SQLColAttribute say about a result column.
struct ColumnDescription {
  SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
  SQLULEN columnSize = 0;      // characters, bytes or decimal digits, by type
  SQLSMALLINT decimalDigits = 0;
  bool isUnsigned = false;
};

// How values of a column are fetched and handed out.
enum class FetchKind : uint8_t {
  Text,         // SQL_C_WCHAR, bound; delivered as UTF-8 std::string
  DecimalText,  // SQL_C_CHAR, bound; the exact decimal digits as std::string
  Int16,        // SQL_C_SSHORT -> int16_t
  Int32,        // SQL_C_SLONG -> int32_t
  UInt8,        // SQL_C_UTINYINT -> uint8_t
  Bit,          // SQL_C_BIT -> bool
  Float,        // SQL_C_FLOAT -> float
  Double,       // SQL_C_DOUBLE -> double
  Timestamp,    // SQL_C_TYPE_TIMESTAMP -> Date
  Time,         // SQL_C_TYPE_TIME -> Date (the day 1899-12-30)
  Guid,         // SQL_C_GUID -> Guid
  Binary,       // SQL_C_BINARY, bound -> Bytes
  LongText,     // SQL_C_WCHAR by SQLGetData in pieces -> std::string
  LongBinary,   // SQL_C_BINARY by SQLGetData in pieces -> Bytes
};

struct ColumnMapping {
  int16_t daoType = 0;  // a DAO DataType code, or the ODBC code for types DAO has no name for
  int32_t size = 0;     // DAO Size: bytes for text and binary, the precision for decimals, 0 for long
  FetchKind fetch = FetchKind::Text;
  // Bytes of one bound value (0 for the kinds read with SQLGetData).
  SQLLEN bufferBytes = 0;
};

inline bool isLongFetch(FetchKind k) { return k == FetchKind::LongText || k == FetchKind::LongBinary; }

ColumnMapping mapColumn(const ColumnDescription& column);

}  // namespace vellicor::odbc
