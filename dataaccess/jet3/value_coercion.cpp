// Value conversions for Jet fields: range-checked integer and floating conversions (halves round
// to even, as DAO's do), text parsing of numbers, dates and GUIDs, and the length limits.
#include "dataaccess/jet3/value_coercion.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "dataaccess/dao.h"
#include "text/codepage.h"
#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/read_le.h"
#include "text/ascii.h"

namespace vellicor::jet3 {
namespace {

constexpr double kMinOleDate = -657434.0;  // 100-01-01
constexpr double kMaxOleDateExclusive = 2958466.0;  // 10000-01-01

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool iequals(std::string_view a, const char* b) { return text::equalsIgnoringAsciiCase(a, b); }

bool parseNumber(std::string_view s, double& out) {
  s = trim(s);
  if (s.empty()) return false;
  if (s.front() == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

// yyyy/mm/dd or yyyy-mm-dd, optionally followed by hh:mm[:ss].
bool parseDate(std::string_view s, double& out) {
  s = trim(s);
  int v[6] = {0, 0, 0, 0, 0, 0};
  size_t field = 0;
  size_t digits = 0;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      v[field] = v[field] * 10 + (c - '0');
      if (++digits > 4) return false;
    } else if ((c == '/' || c == '-') && field < 2 && digits) {
      ++field, digits = 0;
    } else if (c == ' ' && field == 2 && digits) {
      ++field, digits = 0;
    } else if (c == ':' && field >= 3 && field < 5 && digits) {
      ++field, digits = 0;
    } else {
      return false;
    }
  }
  if (field < 2 || !digits) return false;
  if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 59) return false;
  static const int mdays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (v[0] % 4 == 0 && v[0] % 100 != 0) || v[0] % 400 == 0;
  if (v[2] > mdays[v[1] - 1] || (v[1] == 2 && v[2] == 29 && !leap)) return false;
  dao::CivilTime t;
  t.year = v[0], t.month = v[1], t.day = v[2], t.hour = v[3], t.minute = v[4], t.second = v[5];
  out = dao::toOleDate(t).oa;
  return true;
}

bool parseGuid(std::string_view s, uint8_t* out) {
  s = trim(s);
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36) return false;
  uint8_t raw[16];
  size_t n = 0;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '-') {
      if (i != 8 && i != 13 && i != 18 && i != 23) return false;
      ++i;
      continue;
    }
    auto hex = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    const int hi = hex(s[i]), lo = i + 1 < s.size() ? hex(s[i + 1]) : -1;
    if (hi < 0 || lo < 0 || n == 16) return false;
    raw[n++] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  if (n != 16) return false;
  // Text order -> Windows memory layout (first three groups little-endian).
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out[i] = raw[order[i]];
  return true;
}

// The value as a double, for the numeric targets; false if it has no numeric reading.
bool numericOf(const dao::Variant& v, double& d, bool& exactInteger, int64_t& i64) {
  exactInteger = false;
  struct V {
    double& d;
    bool& exact;
    int64_t& i;
    bool operator()(const dao::Null&) const { return false; }
    bool operator()(bool b) const { return set(b ? -1 : 0); }  // Jet's True is -1
    bool operator()(uint8_t x) const { return set(x); }
    bool operator()(int16_t x) const { return set(x); }
    bool operator()(int32_t x) const { return set(x); }
    bool operator()(int64_t x) const { return set(x); }
    // NaN and the infinities too: Single and Double fields hold them as they are; the other
    // numeric targets refuse them as out of range, naming the value.
    bool operator()(float x) const { d = x; return true; }
    bool operator()(double x) const { d = x; return true; }
    bool operator()(const dao::Currency& c) const { d = static_cast<double>(c.scaled) / 10000.0; return true; }
    bool operator()(const dao::Date& x) const { d = x.oa; return true; }
    bool operator()(const std::string& s) const {
      std::string_view t = trim(s);
      if (iequals(t, "true") || iequals(t, "yes") || iequals(t, "on")) return set(-1);
      if (iequals(t, "false") || iequals(t, "no") || iequals(t, "off")) return set(0);
      int64_t n;
      std::string_view u = t;
      if (!u.empty() && u.front() == '+') u.remove_prefix(1);
      const auto r = std::from_chars(u.data(), u.data() + u.size(), n);
      if (!u.empty() && r.ec == std::errc() && r.ptr == u.data() + u.size()) return set(n);
      return parseNumber(s, d);
    }
    bool operator()(const dao::Bytes&) const { return false; }
    bool operator()(const dao::Guid&) const { return false; }
    bool set(int64_t x) const {
      i = x;
      exact = true;
      d = static_cast<double>(x);
      return true;
    }
  };
  return std::visit(V{d, exactInteger, i64}, v);
}

std::string typeLabel(const dao::Variant& v) {
  static const char* names[] = {"Null", "Boolean", "Byte", "Integer", "Long", "BigInt", "Single", "Double",
                                "Currency", "Date", "Text", "Binary", "GUID"};
  return names[v.index()];
}

[[noreturn]] void mismatch(const FieldTarget& f, const dao::Variant& v) {
  refuseValue(f, std::string("型が一致しません (") + typeLabel(v) + " の値は " + dao::dataTypeName(f.type) +
                     " 型のフィールドに変換できません)",
              dao::errnum::kTypeMismatch);
}

[[noreturn]] void outOfRange(const FieldTarget& f, const dao::Variant& v) {
  refuseValue(f, "値 " + dao::toDisplayText(v) + " は " + dao::dataTypeName(f.type) + " 型の範囲外です", dao::errnum::kNumericOverflow);
}

int64_t toInteger(const dao::Variant& v, const FieldTarget& f, int64_t lo, int64_t hi) {
  double d;
  bool exact;
  int64_t i;
  if (!numericOf(v, d, exact, i)) mismatch(f, v);
  if (!exact) {
    const double r = std::nearbyint(d);  // default rounding mode: halves to even
    if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi))) outOfRange(f, v);
    i = static_cast<int64_t>(r);
  }
  if (i < lo || i > hi) outOfRange(f, v);
  return i;
}

}  // namespace

bool dateInRange(double oa) { return oa >= kMinOleDate && oa < kMaxOleDateExclusive; }

void refuseValue(const FieldTarget& f, const std::string& cause, int number) {
  throw dao::Error("テーブル '" + (f.tableName ? *f.tableName : std::string()) + "' のフィールド '" +
                       (f.fieldName ? *f.fieldName : std::string()) + "' に値を格納できません: " + cause + "。",
                   number);
}

void coerceBoolean(const dao::Variant& v, const FieldTarget& f, uint8_t*, bool* flag) {
  double d;
  bool exact;
  int64_t i;
  if (!numericOf(v, d, exact, i)) mismatch(f, v);
  if (std::isnan(d)) outOfRange(f, v);
  *flag = exact ? i != 0 : d != 0.0;
}

void coerceByte(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  out[0] = static_cast<uint8_t>(toInteger(v, f, 0, 255));
}

void coerceInteger(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  storeU16(out, static_cast<uint16_t>(toInteger(v, f, INT16_MIN, INT16_MAX)));
}

void coerceLong(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  storeU32(out, static_cast<uint32_t>(toInteger(v, f, INT32_MIN, INT32_MAX)));
}

void coerceCurrency(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  int64_t scaled;
  if (const auto* c = std::get_if<dao::Currency>(&v)) {
    scaled = c->scaled;
  } else {
    double d;
    bool exact;
    int64_t i;
    if (!numericOf(v, d, exact, i)) mismatch(f, v);
    if (exact && i > INT64_MIN / 10000 && i < INT64_MAX / 10000) {
      scaled = i * 10000;
    } else {
      const double s = std::nearbyint(d * 10000.0);
      if (!(s > -9.2233720368547758e18 && s < 9.2233720368547758e18)) outOfRange(f, v);
      scaled = static_cast<int64_t>(s);
    }
  }
  storeU32(out, static_cast<uint32_t>(scaled));
  storeU32(out + 4, static_cast<uint32_t>(static_cast<uint64_t>(scaled) >> 32));
}

void coerceSingle(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  double d;
  bool exact;
  int64_t i;
  if (!numericOf(v, d, exact, i)) mismatch(f, v);
  if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) outOfRange(f, v);
  const float x = static_cast<float>(d);
  std::memcpy(out, &x, 4);
}

void coerceDouble(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  double d;
  bool exact;
  int64_t i;
  if (!numericOf(v, d, exact, i)) mismatch(f, v);
  std::memcpy(out, &d, 8);
}

void coerceDate(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  double d;
  if (const auto* x = std::get_if<dao::Date>(&v)) {
    d = x->oa;
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    if (!parseDate(*s, d)) {
      bool exact;
      int64_t i;
      if (!numericOf(v, d, exact, i)) mismatch(f, v);
    }
  } else {
    bool exact;
    int64_t i;
    if (!numericOf(v, d, exact, i)) mismatch(f, v);
  }
  if (!std::isfinite(d) || !dateInRange(d)) {
    refuseValue(f, "日付 " + dao::toDisplayText(v) + " は範囲外です (100/01/01 ～ 9999/12/31)", dao::errnum::kNumericOverflow);
  }
  std::memcpy(out, &d, 8);
}

void coerceGuid(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool*) {
  if (const auto* g = std::get_if<dao::Guid>(&v)) {
    std::memcpy(out, g->bytes.data(), 16);
  } else if (const auto* b = std::get_if<dao::Bytes>(&v); b && b->size() == 16) {
    std::memcpy(out, b->data(), 16);
  } else if (const auto* s = std::get_if<std::string>(&v); !(s && parseGuid(*s, out))) {
    mismatch(f, v);
  }
}

void coerceFixed(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* boolValue) {
  const ColumnType* t = columnType(f.type);
  if (t == nullptr || t->encodeFixed == nullptr) mismatch(f, v);
  t->encodeFixed(v, f, out, boolValue);
}

void textOf(const dao::Variant& v, std::string& out) {
  if (const auto* b = std::get_if<bool>(&v)) {
    out += *b ? "True" : "False";
  } else {
    out += dao::toDisplayText(v);
  }
}

size_t coerceText(const dao::Variant& v, const FieldTarget& f, const text::CodePage& cp, std::string& out) {
  const size_t start = out.size();
  size_t substituted;
  if (const auto* s = std::get_if<std::string>(&v)) {
    substituted = cp.encode(*s, out);
  } else if (std::holds_alternative<dao::Bytes>(v)) {
    mismatch(f, v);
  } else {
    std::string text;
    textOf(v, text);
    substituted = cp.encode(text, out);
  }
  if (f.type == fmt::kTypeText && out.size() - start > f.maxLength) {
    const size_t n = out.size() - start;
    out.resize(start);
    refuseValue(f, "値が長すぎます (" + std::to_string(n) + " バイト、最大 " + std::to_string(f.maxLength) + " バイト)",
                dao::errnum::kFieldTooSmall);
  }
  return substituted;
}

void coerceBytes(const dao::Variant& v, const FieldTarget& f, std::string& out) {
  const size_t start = out.size();
  if (const auto* b = std::get_if<dao::Bytes>(&v)) {
    out.append(reinterpret_cast<const char*>(b->data()), b->size());
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    out.append(*s);
  } else if (const auto* g = std::get_if<dao::Guid>(&v)) {
    out.append(reinterpret_cast<const char*>(g->bytes.data()), 16);
  } else {
    mismatch(f, v);
  }
  if (f.type == fmt::kTypeBinary && out.size() - start > f.maxLength) {
    const size_t n = out.size() - start;
    out.resize(start);
    refuseValue(f, "値が長すぎます (" + std::to_string(n) + " バイト、最大 " + std::to_string(f.maxLength) + " バイト)",
                dao::errnum::kFieldTooSmall);
  }
}

}  // namespace vellicor::jet3
