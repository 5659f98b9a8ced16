// The rule table from ODBC column descriptions to DAO field types, after what Jet 3.5 does with
// ODBC columns, tightened so that no common column loses digits or characters on the way.
#include "dataaccess/odbc/type_map.h"

#include <algorithm>
#include <iterator>

#include "dataaccess/variant.h"

namespace vellicor::odbc {
namespace {

using namespace vellicor::dao;

// When a rule applies, besides its SQL type.
enum class When : uint8_t {
  Always,
  TextUpTo255Bytes,    // 1..255 bytes in code page 932 (wide types count 2 bytes a character)
  BytesUpTo255,        // 1..255 bytes
  IntegerUpTo4Digits,  // exact numeric, scale 0, precision 1..4
  IntegerUpTo9Digits,  // exact numeric, scale 0, precision 1..9
  UpTo15Digits,        // exact numeric, precision 1..15 (any scale); a double holds every value
  Unsigned,            // the column is unsigned
};

// How the DAO Size is derived.
enum class SizeRule : uint8_t {
  Zero,          // long values
  Bytes2, Bytes4, Bytes8, Byte1, Bytes16,
  TextBytes,     // the column size in bytes (wide types: 2 a character)
  BinaryBytes,   // the column size
  Precision,     // the decimal digits of the column
  DecimalText,   // room for every digit, the sign and the point
};

struct Rule {
  SQLSMALLINT sqlType;
  When when;
  int16_t daoType;
  SizeRule size;
  FetchKind fetch;
};

// Rules are tried in order; the first whose SQL type and condition match wins. A type that no rule
// names is reported with its own ODBC code, which no DAO type uses, so the run's type check names it.
constexpr Rule kRules[] = {
    // Character data: short text up to 255 bytes, anything longer (or of unknown size) is Memo.
    {SQL_CHAR, When::TextUpTo255Bytes, dbText, SizeRule::TextBytes, FetchKind::Text},
    {SQL_CHAR, When::Always, dbMemo, SizeRule::Zero, FetchKind::LongText},
    {SQL_VARCHAR, When::TextUpTo255Bytes, dbText, SizeRule::TextBytes, FetchKind::Text},
    {SQL_VARCHAR, When::Always, dbMemo, SizeRule::Zero, FetchKind::LongText},
    {SQL_WCHAR, When::TextUpTo255Bytes, dbText, SizeRule::TextBytes, FetchKind::Text},
    {SQL_WCHAR, When::Always, dbMemo, SizeRule::Zero, FetchKind::LongText},
    {SQL_WVARCHAR, When::TextUpTo255Bytes, dbText, SizeRule::TextBytes, FetchKind::Text},
    {SQL_WVARCHAR, When::Always, dbMemo, SizeRule::Zero, FetchKind::LongText},
    {SQL_LONGVARCHAR, When::Always, dbMemo, SizeRule::Zero, FetchKind::LongText},
    {SQL_WLONGVARCHAR, When::Always, dbMemo, SizeRule::Zero, FetchKind::LongText},

    // Binary data: RAW-like VARBINARY keeps its own DAO code; longer binaries are Long Binary.
    {SQL_BINARY, When::BytesUpTo255, dbBinary, SizeRule::BinaryBytes, FetchKind::Binary},
    {SQL_BINARY, When::Always, dbLongBinary, SizeRule::Zero, FetchKind::LongBinary},
    {SQL_VARBINARY, When::BytesUpTo255, dbVarBinary, SizeRule::BinaryBytes, FetchKind::Binary},
    {SQL_VARBINARY, When::Always, dbLongBinary, SizeRule::Zero, FetchKind::LongBinary},
    {SQL_LONGVARBINARY, When::Always, dbLongBinary, SizeRule::Zero, FetchKind::LongBinary},

    // Exact numerics: small integers as Integer/Long, up to 15 digits as Decimal (a double holds
    // them exactly), wider ones as their exact decimal text.
    {SQL_NUMERIC, When::IntegerUpTo4Digits, dbInteger, SizeRule::Bytes2, FetchKind::Int16},
    {SQL_NUMERIC, When::IntegerUpTo9Digits, dbLong, SizeRule::Bytes4, FetchKind::Int32},
    {SQL_NUMERIC, When::UpTo15Digits, dbDecimal, SizeRule::Precision, FetchKind::Double},
    {SQL_NUMERIC, When::Always, dbText, SizeRule::DecimalText, FetchKind::DecimalText},
    {SQL_DECIMAL, When::IntegerUpTo4Digits, dbInteger, SizeRule::Bytes2, FetchKind::Int16},
    {SQL_DECIMAL, When::IntegerUpTo9Digits, dbLong, SizeRule::Bytes4, FetchKind::Int32},
    {SQL_DECIMAL, When::UpTo15Digits, dbDecimal, SizeRule::Precision, FetchKind::Double},
    {SQL_DECIMAL, When::Always, dbText, SizeRule::DecimalText, FetchKind::DecimalText},
    {SQL_BIGINT, When::Always, dbText, SizeRule::DecimalText, FetchKind::DecimalText},

    // Binary integers. Unsigned ones move up a size (a signed TINYINT would not fit a Byte).
    {SQL_TINYINT, When::Unsigned, dbByte, SizeRule::Byte1, FetchKind::UInt8},
    {SQL_TINYINT, When::Always, dbInteger, SizeRule::Bytes2, FetchKind::Int16},
    {SQL_SMALLINT, When::Unsigned, dbLong, SizeRule::Bytes4, FetchKind::Int32},
    {SQL_SMALLINT, When::Always, dbInteger, SizeRule::Bytes2, FetchKind::Int16},
    {SQL_INTEGER, When::Unsigned, dbDecimal, SizeRule::Precision, FetchKind::Double},
    {SQL_INTEGER, When::Always, dbLong, SizeRule::Bytes4, FetchKind::Int32},
    {SQL_BIT, When::Always, dbBoolean, SizeRule::Byte1, FetchKind::Bit},

    // Approximate numerics. Never dbFloat: Jet 3 has no such field type.
    {SQL_REAL, When::Always, dbSingle, SizeRule::Bytes4, FetchKind::Float},
    {SQL_FLOAT, When::Always, dbDouble, SizeRule::Bytes8, FetchKind::Double},
    {SQL_DOUBLE, When::Always, dbDouble, SizeRule::Bytes8, FetchKind::Double},

    // Dates and times.
    {SQL_TYPE_DATE, When::Always, dbDate, SizeRule::Bytes8, FetchKind::Timestamp},
    {SQL_DATE, When::Always, dbDate, SizeRule::Bytes8, FetchKind::Timestamp},
    {SQL_TYPE_TIMESTAMP, When::Always, dbTimeStamp, SizeRule::Bytes8, FetchKind::Timestamp},
    {SQL_TIMESTAMP, When::Always, dbTimeStamp, SizeRule::Bytes8, FetchKind::Timestamp},
    {SQL_TYPE_TIME, When::Always, dbTime, SizeRule::Bytes8, FetchKind::Time},
    {SQL_TIME, When::Always, dbTime, SizeRule::Bytes8, FetchKind::Time},

    {SQL_GUID, When::Always, dbGUID, SizeRule::Bytes16, FetchKind::Guid},
};

bool isWide(SQLSMALLINT t) { return t == SQL_WCHAR || t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR; }

uint64_t textBytes(const ColumnDescription& c) {
  return isWide(c.sqlType) ? static_cast<uint64_t>(c.columnSize) * 2 : c.columnSize;
}

// Decimal digits that a value of an exact numeric column may hold left of the point, plus the scale.
uint64_t digits(const ColumnDescription& c) {
  uint64_t p = c.columnSize;
  if (c.decimalDigits < 0) p += static_cast<uint64_t>(-c.decimalDigits);  // NUMBER(p,-s): trailing zeros
  return p;
}

bool applies(const Rule& r, const ColumnDescription& c) {
  switch (r.when) {
    case When::Always: return true;
    case When::TextUpTo255Bytes: return c.columnSize > 0 && textBytes(c) <= 255;
    case When::BytesUpTo255: return c.columnSize > 0 && c.columnSize <= 255;
    case When::IntegerUpTo4Digits: return c.decimalDigits <= 0 && c.columnSize > 0 && digits(c) <= 4;
    case When::IntegerUpTo9Digits: return c.decimalDigits <= 0 && c.columnSize > 0 && digits(c) <= 9;
    case When::UpTo15Digits: return c.columnSize > 0 && digits(c) <= 15;
    case When::Unsigned: return c.isUnsigned;
  }
  return false;
}

int32_t sizeOf(SizeRule rule, const ColumnDescription& c) {
  switch (rule) {
    case SizeRule::Zero: return 0;
    case SizeRule::Byte1: return 1;
    case SizeRule::Bytes2: return 2;
    case SizeRule::Bytes4: return 4;
    case SizeRule::Bytes8: return 8;
    case SizeRule::Bytes16: return 16;
    case SizeRule::TextBytes: return static_cast<int32_t>(textBytes(c));
    case SizeRule::BinaryBytes: return static_cast<int32_t>(c.columnSize);
    case SizeRule::Precision:
      return c.sqlType == SQL_INTEGER ? 10 : static_cast<int32_t>(digits(c));
    case SizeRule::DecimalText: {
      if (c.sqlType == SQL_BIGINT) return 20;  // 19 digits and the sign
      // Unknown precision (Oracle's bare NUMBER, 1E-130 written out): the longest text field.
      if (c.columnSize == 0) return 255;
      // Sign, the integer digits (at least the 0 of "0.5"), then point and scale digits.
      const int64_t scale = c.decimalDigits;
      const int64_t integerDigits = std::max<int64_t>(static_cast<int64_t>(digits(c)) - std::max<int64_t>(scale, 0), 1);
      const int64_t length = 1 + integerDigits + (scale > 0 ? 1 + scale : 0);
      return static_cast<int32_t>(std::min<int64_t>(length, 255));
    }
  }
  return 0;
}

SQLLEN bufferBytesOf(FetchKind kind, const ColumnDescription& c) {
  switch (kind) {
    case FetchKind::Text:
      // Up to two UTF-16 units a character (surrogate pairs), and the terminator.
      return static_cast<SQLLEN>((c.columnSize * 2 + 1) * sizeof(SQLWCHAR));
    case FetchKind::DecimalText:
      // Digits, sign, point, a leading zero and an exponent if the driver writes one; Oracle's
      // NUMBER reaches 1E+125 written out.
      return static_cast<SQLLEN>(std::max<uint64_t>(digits(c) + 8, 136));
    case FetchKind::Int16: return sizeof(SQLSMALLINT);
    case FetchKind::Int32: return sizeof(SQLINTEGER);
    case FetchKind::UInt8: return sizeof(SQLCHAR);
    case FetchKind::Bit: return sizeof(SQLCHAR);
    case FetchKind::Float: return sizeof(SQLREAL);
    case FetchKind::Double: return sizeof(SQLDOUBLE);
    case FetchKind::Timestamp: return sizeof(SQL_TIMESTAMP_STRUCT);
    case FetchKind::Time: return sizeof(SQL_TIME_STRUCT);
    case FetchKind::Guid: return sizeof(SQLGUID);
    case FetchKind::Binary: return static_cast<SQLLEN>(std::max<SQLULEN>(c.columnSize, 1));
    case FetchKind::LongText:
    case FetchKind::LongBinary: return 0;
  }
  return 0;
}

}  // namespace

ColumnMapping mapColumn(const ColumnDescription& column) {
  ColumnMapping m;
  const auto rule = std::find_if(std::begin(kRules), std::end(kRules), [&](const Rule& r) {
    return r.sqlType == column.sqlType && applies(r, column);
  });
  if (rule == std::end(kRules)) {
    // Intervals and driver-specific types: keep the ODBC code (never one of DAO's 1..23) and read
    // the value as text, so nothing is lost when a caller wants to show it.
    m.daoType = column.sqlType;
    if (m.daoType >= dbBoolean && m.daoType <= dbTimeStamp) m.daoType = static_cast<int16_t>(-m.daoType);
    m.size = 0;
    m.fetch = FetchKind::LongText;
    return m;
  }
  m.daoType = rule->daoType;
  m.size = sizeOf(rule->size, column);
  m.fetch = rule->fetch;
  m.bufferBytes = bufferBytesOf(m.fetch, column);
  return m;
}

}  // namespace vellicor::odbc
