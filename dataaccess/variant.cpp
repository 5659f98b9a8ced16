// Value helpers: OLE date arithmetic, display text of values and the names of DAO type codes.
// OLE dates carry the time of day as a positive fraction even for days before 1899-12-30.
#include "dataaccess/variant.h"

#include <cmath>
#include <cstdio>

namespace vellicor::dao {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

constexpr int64_t kOleEpochDays = -25569;  // 1899-12-30 relative to 1970-01-01
constexpr int64_t kMillisPerDay = 86400000;

}  // namespace

Date toOleDate(const CivilTime& t) {
  const int64_t day = daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kOleEpochDays;
  // Nanoseconds of the day stay below 2^53, so both sides of the division are exact and the
  // fraction is the nearest double to the time of day.
  const int64_t ns = (((static_cast<int64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond) * 1000000 +
                     t.nanosecond;
  const double frac = static_cast<double>(ns) / (static_cast<double>(kMillisPerDay) * 1e6);
  return Date{day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac};
}

CivilTime fromOleDate(Date d) {
  double whole = std::trunc(d.oa);
  double frac = std::fabs(d.oa - whole);
  int64_t ms = std::llround(frac * kMillisPerDay);
  int64_t day = static_cast<int64_t>(whole);
  if (ms >= kMillisPerDay) {  // rounding carried into the next day
    ms -= kMillisPerDay;
    day += 1;
  }
  CivilTime t;
  civilFromDays(day + kOleEpochDays, t.year, t.month, t.day);
  t.millisecond = static_cast<int>(ms % 1000);
  int64_t s = ms / 1000;
  t.second = static_cast<int>(s % 60);
  t.minute = static_cast<int>(s / 60 % 60);
  t.hour = static_cast<int>(s / 3600);
  return t;
}

std::string toDisplayText(const Variant& v) {
  struct Visitor {
    std::string operator()(const Null&) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(uint8_t x) const { return std::to_string(x); }
    std::string operator()(int16_t x) const { return std::to_string(x); }
    std::string operator()(int32_t x) const { return std::to_string(x); }
    std::string operator()(int64_t x) const { return std::to_string(x); }
    std::string operator()(float x) const {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(x));
      return buf;
    }
    std::string operator()(double x) const {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.15g", x);
      return buf;
    }
    std::string operator()(const Currency& c) const {
      const bool neg = c.scaled < 0;
      const uint64_t a = neg ? 0 - static_cast<uint64_t>(c.scaled) : static_cast<uint64_t>(c.scaled);
      char buf[40];
      std::snprintf(buf, sizeof buf, "%s%llu.%04llu", neg ? "-" : "", static_cast<unsigned long long>(a / 10000),
                    static_cast<unsigned long long>(a % 10000));
      return buf;
    }
    std::string operator()(const Date& d) const {
      CivilTime t = fromOleDate(d);
      char buf[40];
      std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                    t.second);
      return buf;
    }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const Bytes& b) const {
      static const char* hex = "0123456789ABCDEF";
      std::string out;
      out.reserve(b.size() * 2);
      for (uint8_t x : b) {
        out.push_back(hex[x >> 4]);
        out.push_back(hex[x & 15]);
      }
      return out;
    }
    std::string operator()(const Guid& g) const {
      // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx} from the Windows memory layout.
      const auto& b = g.bytes;
      char buf[40];
      std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                    b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
      return buf;
    }
  };
  return std::visit(Visitor{}, v);
}

const char* dataTypeName(int16_t type) {
  switch (type) {
    case dbBoolean: return "Boolean";
    case dbByte: return "Byte";
    case dbInteger: return "Integer";
    case dbLong: return "Long";
    case dbCurrency: return "Currency";
    case dbSingle: return "Single";
    case dbDouble: return "Double";
    case dbDate: return "Date/Time";
    case dbBinary: return "Binary";
    case dbText: return "Text";
    case dbLongBinary: return "Long Binary";
    case dbMemo: return "Memo";
    case dbGUID: return "Replication ID";
    case dbBigInt: return "BigInt";
    case dbVarBinary: return "VarBinary";
    case dbChar: return "Char";
    case dbNumeric: return "Numeric";
    case dbDecimal: return "Decimal";
    case dbFloat: return "Float";
    case dbTime: return "Time";
    case dbTimeStamp: return "TimeStamp";
    default: return "Unknown";
  }
}

}  // namespace vellicor::dao
