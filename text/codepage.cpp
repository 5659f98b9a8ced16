// The code page converters of the Jet 3 engine: Windows-1252 from an embedded table, and
// Windows-31J (CP932) from the generated pair table of cp932_table.cpp, inverted at first use.
#include "text/codepage.h"

#include <cstring>
#include <vector>

#include "text/cp932_table.h"
#include "text/nfc.h"
#include "text/utf8.h"

namespace vellicor::text {
namespace {

constexpr char kSubstitute = '?';
constexpr char32_t kReplacement = 0xFFFD;

// ---- UTF-8 ---------------------------------------------------------------------------------

// Length of the run of ASCII bytes at s (up to n), eight bytes at a time where it can.
inline size_t asciiRun(const unsigned char* s, size_t n) {
  size_t i = 0;
  while (i + 8 <= n) {
    uint64_t w;
    std::memcpy(&w, s + i, 8);
    if (w & 0x8080808080808080ull) break;
    i += 8;
  }
  while (i < n && s[i] < 0x80) ++i;
  return i;
}

// Appends cp (a BMP code point) as UTF-8 at p; returns the new end.
inline char* putUtf8(char* p, char32_t cp) {
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

// ---- Windows-1252 --------------------------------------------------------------------------

// Bytes 0x80..0x9F; the rest of the code page equals Latin-1. The five bytes Windows leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the C1 controls of the same value, as
// MultiByteToWideChar does, so that every byte survives a round trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

class Cp1252 final : public CodePage {
 public:
  Cp1252() : CodePage(kCodePage1252) {
    for (int b = 0; b < 256; ++b) {
      const char16_t cp = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
      toUnicode_[b] = cp;
    }
    for (int b = 0x80; b < 0xA0; ++b) fromHigh_.push_back({toUnicode_[b], static_cast<uint8_t>(b)});
  }

  size_t encodeComposed(std::string_view utf8, std::string& out) const override {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    const size_t base = out.size();
    out.resize(base + n);  // one byte per character at most, and every character has >= 1 byte
    char* p = out.data() + base;
    size_t substituted = 0;
    size_t i = 0;
    while (i < n) {
      const size_t run = asciiRun(s + i, n - i);
      std::memcpy(p, s + i, run);
      p += run, i += run;
      if (i >= n) break;
      const char32_t cp = nextUtf8(s, n, i);
      int byte = -1;
      if (cp >= 0xA0 && cp < 0x100) {
        byte = static_cast<int>(cp);
      } else {
        for (const auto& m : fromHigh_)
          if (m.cp == cp) byte = m.byte;
      }
      if (byte < 0) {
        ++substituted;
        *p++ = kSubstitute;
      } else {
        *p++ = static_cast<char>(byte);
      }
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return substituted;
  }

  void decode(std::string_view bytes, std::string& out) const override {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    const size_t base = out.size();
    out.resize(base + 3 * n);
    char* p = out.data() + base;
    size_t i = 0;
    while (i < n) {
      const size_t run = asciiRun(s + i, n - i);
      std::memcpy(p, s + i, run);
      p += run, i += run;
      if (i >= n) break;
      p = putUtf8(p, toUnicode_[s[i++]]);
    }
    out.resize(static_cast<size_t>(p - out.data()));
  }

 private:
  struct HighByte {
    char32_t cp;
    uint8_t byte;
  };
  char16_t toUnicode_[256];
  std::vector<HighByte> fromHigh_;  // the 32 characters of 0x80..0x9F
};

// ---- Windows-31J (CP932) -------------------------------------------------------------------

// Characters that CP932 itself spells with another code point, but which Japanese text from
// other sources (JIS X 0208/0201 mappings as used by EUC-JP, ISO-2022-JP, Oracle's JA16SJIS or
// Unicode's SHIFTJIS.TXT) carries. They are written as the CP932 bytes of the same JIS
// character, which is how Japanese users read them; on reading back they come out in CP932's
// own spelling (U+FF5E for U+301C and so on). U+00A5 and U+203E are the JIS X 0201 Roman
// readings of 0x5C and 0x7E, which Japanese fonts show as the yen sign and the overline.
struct Variant932 {
  char16_t cp;
  uint16_t code;
};
constexpr Variant932 kVariants932[] = {
    {0x301C, 0x8160},  // WAVE DASH -> ～ (CP932: U+FF5E)
    {0x2016, 0x8161},  // DOUBLE VERTICAL LINE -> ∥ (U+2225)
    {0x2212, 0x817C},  // MINUS SIGN -> － (U+FF0D)
    {0x00A2, 0x8191},  // CENT SIGN -> ￠ (U+FFE0)
    {0x00A3, 0x8192},  // POUND SIGN -> ￡ (U+FFE1)
    {0x00AC, 0x81CA},  // NOT SIGN -> ￢ (U+FFE2)
    {0x2014, 0x815C},  // EM DASH -> ― (U+2015)
    {0x00A6, 0xFA55},  // BROKEN BAR -> ￤ (U+FFE4)
    {0x00A5, 0x005C},  // YEN SIGN -> 0x5C
    {0x203E, 0x007E},  // OVERLINE -> 0x7E
};

constexpr unsigned kHalfwidthFirst = 0xA1, kHalfwidthLast = 0xDF;  // U+FF61..U+FF9F
constexpr char32_t kHalfwidthBase = 0xFF61;

// Lead bytes of the NEC-selected copies of the IBM extensions: the last choice for a character
// that CP932 holds twice.
constexpr bool isNecSelectedLead932(unsigned lead) { return lead == 0xED || lead == 0xEE; }

class Cp932 final : public CodePage {
 public:
  // Decoding reads kCp932Pairs directly. Encoding inverts it once: a character that CP932 holds
  // twice (JIS row 2 / NEC row 13 / IBM extensions / their NEC-selected copies) takes its lowest
  // code, except that the NEC-selected copies (leads 0xED, 0xEE) yield to the IBM codes (leads
  // 0xFA..0xFC). Those are the choices of Windows' WideCharToMultiByte and of glibc's CP932, e.g.
  // U+2252 -> 0x81E0, U+2160 -> 0x8754, U+2170 -> 0xFA40, U+FFE2 -> 0x81CA. The single bytes are
  // ASCII and the half-width katakana; kVariants932 is applied on top.
  Cp932() : CodePage(kCodePage932), fromUnicode_(0x10000, 0) {
    for (unsigned lead = kCp932LeadFirst; lead <= kCp932LeadLast; ++lead) {
      if (!isLead932(lead)) continue;
      for (unsigned trail = kCp932TrailFirst; trail <= kCp932TrailLast; ++trail) {
        const char16_t cp = kCp932Pairs[leadRow932(lead)][trail - kCp932TrailFirst];
        uint16_t& code = fromUnicode_[cp];
        if (cp != 0 && (code == 0 || (isNecSelectedLead932(code >> 8) && !isNecSelectedLead932(lead))))
          code = static_cast<uint16_t>((lead << 8) | trail);
      }
    }
    for (unsigned b = kHalfwidthFirst; b <= kHalfwidthLast; ++b)
      fromUnicode_[kHalfwidthBase + (b - kHalfwidthFirst)] = static_cast<uint16_t>(b);
    for (const auto& v : kVariants932) fromUnicode_[v.cp] = v.code;
  }

  size_t encodeComposed(std::string_view utf8, std::string& out) const override {
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    const size_t base = out.size();
    // Output never exceeds input: a 2- or 3-byte sequence gives at most 2 bytes, a 4-byte one '?'.
    out.resize(base + n);
    char* p = out.data() + base;
    size_t substituted = 0;
    size_t i = 0;
    while (i < n) {
      const size_t run = asciiRun(s + i, n - i);
      std::memcpy(p, s + i, run);
      p += run, i += run;
      if (i >= n) break;
      char32_t cp;
      if (i + 2 < n && s[i] >= 0xE1 && s[i] <= 0xEC && (s[i + 1] & 0xC0) == 0x80 && (s[i + 2] & 0xC0) == 0x80) {
        // The common case of Japanese text: a three-byte sequence that cannot be overlong or a
        // surrogate (leads E0 and ED, which can, take the general path).
        cp = (char32_t{s[i] & 0x0Fu} << 12) | (char32_t{s[i + 1] & 0x3Fu} << 6) | (s[i + 2] & 0x3Fu);
        i += 3;
      } else {
        cp = nextUtf8(s, n, i);
      }
      const uint16_t code = cp < 0x10000 ? fromUnicode_[cp] : 0;
      if (code == 0) {
        ++substituted;
        *p++ = kSubstitute;
      } else if (code < 0x100) {
        *p++ = static_cast<char>(code);
      } else {
        *p++ = static_cast<char>(code >> 8);
        *p++ = static_cast<char>(code & 0xFF);
      }
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return substituted;
  }

  void decode(std::string_view bytes, std::string& out) const override {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    const size_t base = out.size();
    out.resize(base + 3 * n);
    char* p = out.data() + base;
    size_t i = 0;
    while (i < n) {
      const size_t run = asciiRun(s + i, n - i);
      std::memcpy(p, s + i, run);
      p += run, i += run;
      if (i >= n) break;
      const unsigned b = s[i];
      if (b >= kHalfwidthFirst && b <= kHalfwidthLast) {
        p = putUtf8(p, kHalfwidthBase + (b - kHalfwidthFirst));
        ++i;
      } else if (!isLead932(b) || i + 1 >= n || !isTrail932(s[i + 1])) {
        // A stray byte, or a lead byte without its trail byte: the next byte (if any) is read
        // afresh, so ASCII after a broken pair is kept.
        p = putUtf8(p, kReplacement);
        ++i;
      } else if (const char16_t cp = kCp932Pairs[leadRow932(b)][s[i + 1] - kCp932TrailFirst]; cp != 0) {
        p = putUtf8(p, cp);
        i += 2;
      } else {
        // An unassigned pair: one U+FFFD. When its second byte is ASCII the text is probably not
        // CP932 at all, so that byte is read again on its own rather than lost.
        p = putUtf8(p, kReplacement);
        i += s[i + 1] < 0x80 ? 1 : 2;
      }
    }
    out.resize(static_cast<size_t>(p - out.data()));
  }

 private:
  std::vector<uint16_t> fromUnicode_;  // BMP code point -> byte or (lead << 8 | trail); 0 = none
};

}  // namespace

size_t CodePage::encode(std::string_view utf8, std::string& out) const {
  std::string composed;
  if (composeCanonically(utf8, composed)) return encodeComposed(composed, out);
  return encodeComposed(utf8, out);
}

const CodePage& CodePage::forId(uint16_t codePage) {
  if (codePage == kCodePage932) {
    static const Cp932 cp932;
    return cp932;
  }
  static const Cp1252 cp1252;
  return cp1252;
}

}  // namespace vellicor::text
