// Canonical composition of combining stretches: decompose, put marks in canonical order, compose
// (the algorithm of Unicode's normalization annex), with Hangul syllables computed, not tabled.
#include "text/nfc.h"

#include <algorithm>
#include <array>
#include <vector>

#include "text/nfc_table.h"

namespace vellicor::text {
namespace {

constexpr char32_t kHangulFirst = 0xAC00, kJamoLFirst = 0x1100, kJamoVFirst = 0x1161, kJamoTFirst = 0x11A7;
constexpr int kJamoLCount = 19, kJamoVCount = 21, kJamoTCount = 28;
constexpr int kHangulCount = kJamoLCount * kJamoVCount * kJamoTCount;

uint8_t combiningClass(char32_t c) {
  const auto* end = nfc::kCombiningClasses + nfc::kCombiningClassCount;
  const auto* it = std::lower_bound(nfc::kCombiningClasses, end, c,
                                    [](const nfc::CombiningClass& e, char32_t v) { return e.codePoint < v; });
  return it != end && it->codePoint == c ? it->value : 0;
}

// Characters of the Basic Multilingual Plane that can join the character before them: a nonzero
// combining class, or the second half of a composite (Hangul vowels and trailing consonants too).
const std::vector<bool>& joinsPrevious() {
  static const std::vector<bool> bits = [] {
    std::vector<bool> b(0x10000, false);
    for (size_t i = 0; i < nfc::kCombiningClassCount; ++i)
      if (nfc::kCombiningClasses[i].codePoint < 0x10000) b[nfc::kCombiningClasses[i].codePoint] = true;
    for (size_t i = 0; i < nfc::kCompositionCount; ++i)
      if (nfc::kCompositions[i].second < 0x10000) b[nfc::kCompositions[i].second] = true;
    for (char32_t c = kJamoVFirst; c < kJamoVFirst + kJamoVCount; ++c) b[c] = true;
    for (char32_t c = kJamoTFirst + 1; c < kJamoTFirst + kJamoTCount; ++c) b[c] = true;
    return b;
  }();
  return bits;
}

// The same above the Basic Multilingual Plane: the few second halves of composites there.
const std::vector<char32_t>& supplementarySeconds() {
  static const std::vector<char32_t> seconds = [] {
    std::vector<char32_t> v;
    for (size_t i = 0; i < nfc::kCompositionCount; ++i)
      if (nfc::kCompositions[i].second >= 0x10000) v.push_back(nfc::kCompositions[i].second);
    std::sort(v.begin(), v.end());
    return v;
  }();
  return seconds;
}

bool joins(char32_t c) {
  if (c < 0x300) return false;
  if (c < 0x10000) return joinsPrevious()[c];
  const auto& seconds = supplementarySeconds();
  return combiningClass(c) != 0 || std::binary_search(seconds.begin(), seconds.end(), c);
}

void decompose(char32_t c, std::vector<char32_t>& out) {
  if (c >= kHangulFirst && c < kHangulFirst + kHangulCount) {
    const int s = static_cast<int>(c - kHangulFirst);
    out.push_back(kJamoLFirst + s / (kJamoVCount * kJamoTCount));
    out.push_back(kJamoVFirst + s % (kJamoVCount * kJamoTCount) / kJamoTCount);
    if (s % kJamoTCount != 0) out.push_back(kJamoTFirst + s % kJamoTCount);
    return;
  }
  const auto* end = nfc::kDecompositions + nfc::kDecompositionCount;
  const auto* it = std::lower_bound(nfc::kDecompositions, end, c,
                                    [](const nfc::Decomposition& e, char32_t v) { return e.codePoint < v; });
  if (it == end || it->codePoint != c) {
    out.push_back(c);
    return;
  }
  out.insert(out.end(), nfc::kDecompositionPool + it->offset, nfc::kDecompositionPool + it->offset + it->length);
}

// The primary composite of a and b, or 0.
char32_t composite(char32_t a, char32_t b) {
  if (a >= kJamoLFirst && a < kJamoLFirst + kJamoLCount && b >= kJamoVFirst && b < kJamoVFirst + kJamoVCount) {
    return kHangulFirst + ((a - kJamoLFirst) * kJamoVCount + (b - kJamoVFirst)) * kJamoTCount;
  }
  if (a >= kHangulFirst && a < kHangulFirst + kHangulCount && (a - kHangulFirst) % kJamoTCount == 0 &&
      b > kJamoTFirst && b < kJamoTFirst + kJamoTCount) {
    return a + (b - kJamoTFirst);
  }
  const auto* end = nfc::kCompositions + nfc::kCompositionCount;
  const auto* it = std::lower_bound(nfc::kCompositions, end, std::make_pair(a, b), [](const nfc::Composition& e, auto v) {
    return e.first != v.first ? e.first < v.first : e.second < v.second;
  });
  return it != end && it->first == a && it->second == b ? it->composite : 0;
}

// The code point at s[i] (advancing i past it), or -1 (advancing one byte) where s[i] does not
// begin a valid UTF-8 sequence.
long nextCodePoint(std::string_view s, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  const int n = c >= 0xF0 && c < 0xF5 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
  if (n < 0 || i + n >= s.size()) {
    ++i;
    return -1;
  }
  char32_t cp = c & (0x3F >> n);
  for (int k = 1; k <= n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = cp << 6 | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
    ++i;
    return -1;
  }
  i += static_cast<size_t>(n) + 1;
  return static_cast<long>(cp);
}

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// NFC of one stretch: a starter (or nothing) and the characters joining it.
void composeStretch(const std::vector<char32_t>& chars, std::string& out) {
  std::vector<char32_t> d;
  for (char32_t c : chars) decompose(c, d);
  // Canonical order: marks between two starters sorted by class, keeping equal classes in order.
  for (size_t i = 0; i < d.size();) {
    if (combiningClass(d[i]) == 0) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < d.size() && combiningClass(d[j]) != 0) ++j;
    std::stable_sort(d.begin() + static_cast<long>(i), d.begin() + static_cast<long>(j),
                     [](char32_t a, char32_t b) { return combiningClass(a) < combiningClass(b); });
    i = j;
  }
  if (d.empty()) return;
  std::vector<char32_t> r{d[0]};
  size_t starter = 0;
  int lastClass = combiningClass(d[0]) == 0 ? 0 : 256;  // 256: no starter to compose with yet
  for (size_t k = 1; k < d.size(); ++k) {
    const char32_t c = d[k];
    const int cls = combiningClass(c);
    // Not blocked: nothing between the starter and c, or only marks of a lower class.
    if (lastClass < cls || lastClass == 0) {
      if (const char32_t joined = composite(r[starter], c)) {
        r[starter] = joined;
        continue;
      }
    }
    if (cls == 0) starter = r.size();
    lastClass = cls;
    r.push_back(c);
  }
  for (char32_t c : r) appendUtf8(c, out);
}

}  // namespace

bool composeCanonically(std::string_view s, std::string& out) {
  // One pass to find the first character that joins the one before it.
  size_t i = 0, first = std::string_view::npos;
  while (i < s.size()) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t at = i;
    const long c = nextCodePoint(s, i);
    if (c >= 0 && joins(static_cast<char32_t>(c))) {
      first = at;
      break;
    }
  }
  if (first == std::string_view::npos) return false;

  std::string result;
  result.reserve(s.size());
  std::vector<char32_t> stretch;  // a starter and the characters joining it, not yet written
  size_t copiedTo = 0;            // the bytes before this are in result or in stretch
  i = 0;
  while (i < s.size()) {
    const size_t at = i;
    const long c = nextCodePoint(s, i);
    if (c >= 0 && joins(static_cast<char32_t>(c))) {
      if (stretch.empty()) {
        // The stretch begins with the character before this one when that is valid UTF-8; the
        // bytes before it go out as they are.
        size_t begin = at;
        if (copiedTo < at) {
          size_t k = at - 1;
          while (k > copiedTo && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80) --k;
          size_t probe = k;
          const long previous = nextCodePoint(s, probe);
          if (previous >= 0 && probe == at) {
            begin = k;
            stretch.push_back(static_cast<char32_t>(previous));
          }
        }
        result.append(s.substr(copiedTo, begin - copiedTo));
      }
      stretch.push_back(static_cast<char32_t>(c));
      copiedTo = i;
    } else if (!stretch.empty()) {
      composeStretch(stretch, result);
      stretch.clear();
      copiedTo = at;
    }
  }
  if (!stretch.empty()) composeStretch(stretch, result);
  else result.append(s.substr(copiedTo));
  if (result == s) return false;
  out = std::move(result);
  return true;
}

}  // namespace vellicor::text
