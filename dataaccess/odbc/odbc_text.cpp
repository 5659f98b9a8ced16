// UTF-8 <-> UTF-16 conversion for the wide ODBC calls.
// Unpaired surrogates and malformed UTF-8 sequences become U+FFFD rather than failing.
#include "dataaccess/odbc/odbc_text.h"

#include <cstdint>

namespace vellicor::odbc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void putWide(WideString& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<SQLWCHAR>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<SQLWCHAR>(0xD800 | (c >> 10)));
    out.push_back(static_cast<SQLWCHAR>(0xDC00 | (c & 0x3FF)));
  }
}

}  // namespace

size_t writeUtf8(char* const base, const SQLWCHAR* units, size_t count) {
  char* o = base;
  size_t i = 0;
  for (;;) {
    while (i < count && units[i] < 0x80) *o++ = static_cast<char>(units[i++]);  // the common case
    if (i == count) break;
    char32_t c = units[i];
    if (c < 0x800) {
      *o++ = static_cast<char>(0xC0 | (c >> 6));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
      ++i;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
        ++i;
      } else {
        c = kReplacement;
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    ++i;
    if (c < 0x10000) {
      *o++ = static_cast<char>(0xE0 | (c >> 12));
      *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *o++ = static_cast<char>(0xF0 | (c >> 18));
      *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return static_cast<size_t>(o - base);
}

void appendUtf8(std::string& out, const SQLWCHAR* units, size_t count) {
  // Sized once for the longest result, then trimmed, instead of growing a byte at a time.
  const size_t start = out.size();
  out.resize(start + count * 3);
  out.resize(start + writeUtf8(out.data() + start, units, count));
}

std::string toUtf8(const SQLWCHAR* units, size_t count) {
  std::string out;
  appendUtf8(out, units, count);
  return out;
}

WideString toWide(std::string_view s) {
  WideString out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<uint8_t>(s[i]);
    int extra = 0;
    char32_t c = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      c = b & 0x07;
    } else {
      out.push_back(static_cast<SQLWCHAR>(kReplacement));
      ++i;
      continue;
    }
    bool ok = i + static_cast<size_t>(extra) < s.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto t = static_cast<uint8_t>(s[i + k]);
      if ((t & 0xC0) != 0x80) ok = false;
      else c = (c << 6) | (t & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(static_cast<SQLWCHAR>(kReplacement));
      ++i;  // resynchronise on the next byte
      continue;
    }
    putWide(out, c);
    i += 1 + extra;
  }
  return out;
}

}  // namespace vellicor::odbc
