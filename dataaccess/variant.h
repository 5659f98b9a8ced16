// Values as the data access layer passes them: a variant with Null, as DAO's Variant.
// Owns the value kinds, the DAO data type codes and the conversions between civil dates and OLE dates.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vellicor::dao {

// DAO data type codes (the published DataTypeEnum values).
enum DataType : int16_t {
  dbBoolean = 1,
  dbByte = 2,
  dbInteger = 3,
  dbLong = 4,
  dbCurrency = 5,
  dbSingle = 6,
  dbDouble = 7,
  dbDate = 8,
  dbBinary = 9,
  dbText = 10,
  dbLongBinary = 11,
  dbMemo = 12,
  dbGUID = 15,
  dbBigInt = 16,
  dbVarBinary = 17,
  dbChar = 18,
  dbNumeric = 19,
  dbDecimal = 20,
  dbFloat = 21,
  dbTime = 22,
  dbTimeStamp = 23,
};

using Bytes = std::vector<uint8_t>;

struct Null {
  bool operator==(const Null&) const = default;
};

// Currency: the amount times 10,000, as Jet and OLE store it.
struct Currency {
  int64_t scaled = 0;
  bool operator==(const Currency&) const = default;
};

// Date/Time: an OLE automation date, days since 1899-12-30 00:00 local time; the
// fraction is the time of day (for negative days too, see toOleDate/fromOleDate).
struct Date {
  double oa = 0.0;
  bool operator==(const Date&) const = default;
};

// Replication ID: 16 bytes in the Windows GUID memory layout.
struct Guid {
  std::array<uint8_t, 16> bytes{};
  bool operator==(const Guid&) const = default;
};

// Text is always UTF-8 inside the program; each engine converts at its own border.
using Variant = std::variant<Null, bool, uint8_t, int16_t, int32_t, int64_t, float, double, Currency,
                             Date, std::string, Bytes, Guid>;

inline bool isNull(const Variant& v) { return std::holds_alternative<Null>(v); }

struct CivilTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  int millisecond = 0;
  int nanosecond = 0;  // below the millisecond (0..999,999), for sources that give more
};

// Civil date and time -> OLE date (the nearest double to the time given, to the nanosecond), and
// back (whole milliseconds, rounded).
Date toOleDate(const CivilTime& t);
CivilTime fromOleDate(Date d);

// Readable text of a value, for inspection and logs: numbers in plain decimal, dates as
// "yyyy/mm/dd hh:mm:ss", binary as hex, Null as the empty text.
std::string toDisplayText(const Variant& v);

const char* dataTypeName(int16_t type);

}  // namespace vellicor::dao
