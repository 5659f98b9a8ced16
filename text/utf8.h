// Strict UTF-8: decoding of one sequence and the validity of a whole text, shared by the code page
// converters, the name rules and the text files. Overlong forms, surrogates and values above
// U+10FFFF are faults.
#pragma once

#include <cstddef>
#include <string_view>

namespace vellicor::text {

inline constexpr char32_t kInvalidUtf8 = 0xFFFFFFFF;

// Decodes the sequence at s[i] (s[i] >= 0x80) and advances i. Overlong forms, surrogates, values
// above U+10FFFF and truncated sequences give kInvalidUtf8; i then moves past the longest prefix
// that could have started a valid sequence (at least one byte), so each fault costs one '?'.
inline char32_t nextUtf8(const unsigned char* s, size_t n, size_t& i) {
  const unsigned char b0 = s[i];
  size_t len;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    ++i;
    return kInvalidUtf8;
  }
  size_t k = 1;
  for (; k < len; ++k) {
    if (i + k >= n) break;
    const unsigned char b = s[i + k];
    if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) break;
    cp = (cp << 6) | (b & 0x3F);
  }
  i += k;
  return k == len ? cp : kInvalidUtf8;
}

// Whether all of s is strict UTF-8.
inline bool isValidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (size_t i = 0; i < s.size();) {
    if (p[i] < 0x80) {
      ++i;
    } else if (nextUtf8(p, s.size(), i) == kInvalidUtf8) {
      return false;
    }
  }
  return true;
}

}  // namespace vellicor::text
