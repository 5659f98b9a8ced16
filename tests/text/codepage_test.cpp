// Tests of the code page converters: every CP932 double-byte code, the Japanese variant
// mappings, substitution counting, invalid input and the ASCII fast path; Windows-1252.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "text/ascii.h"
#include "text/codepage.h"
#include "text/utf8.h"

using vellicor::text::CodePage;

namespace {

std::string enc(const CodePage& cp, std::string_view utf8, size_t* substituted = nullptr) {
  std::string out;
  const size_t n = cp.encode(utf8, out);
  if (substituted) *substituted = n;
  return out;
}

std::string dec(const CodePage& cp, std::string_view bytes) {
  std::string out;
  cp.decode(bytes, out);
  return out;
}

std::string bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

// UTF-8 of one code point, written out independently of the converter.
std::string utf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | (cp >> 6));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | (cp >> 12));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (cp >> 18));
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

const CodePage& cp932() { return CodePage::forId(932); }
const CodePage& cp1252() { return CodePage::forId(1252); }

}  // namespace

TEST(CodePage932, KnownCharactersBothWays) {
  struct Case {
    char32_t cp;
    std::string sjis;
  } cases[] = {
      {0x3042, bytes({0x82, 0xA0})},  // あ
      {0x65E5, bytes({0x93, 0xFA})},  // 日
      {0x2460, bytes({0x87, 0x40})},  // ① NEC row 13
      {0x2252, bytes({0x81, 0xE0})},  // ≒ JIS row 2 (also NEC 0x8790)
      {0x2160, bytes({0x87, 0x54})},  // Ⅰ NEC row 13 (also IBM 0xFA4A)
      {0x2170, bytes({0xFA, 0x40})},         // ⅰ IBM extension 0xFA40 (also NEC-selected 0xEEEF)
      {0x7E8A, bytes({0xFA, 0x5C})},  // 纊 IBM extension (also NEC-selected 0xED40)
      {0x9AD9, bytes({0xFB, 0xFC})},  // 髙
      {0xFF5E, bytes({0x81, 0x60})},  // ～
      {0x2225, bytes({0x81, 0x61})},  // ∥
      {0xFF0D, bytes({0x81, 0x7C})},  // －
      {0xFFE2, bytes({0x81, 0xCA})},  // ￢
      {0x2015, bytes({0x81, 0x5C})},  // ―
      {0xFF61, bytes({0xA1})},        // ｡ half-width
      {0xFF9F, bytes({0xDF})},        // ﾟ
      {0xE000, bytes({0xF0, 0x40})},  // user-defined area
      {0x005C, bytes({0x5C})},
      {0x007E, bytes({0x7E})},
  };
  for (const auto& c : cases) {
    size_t sub = 99;
    EXPECT_EQ(enc(cp932(), utf8(c.cp), &sub), c.sjis) << std::hex << static_cast<uint32_t>(c.cp);
    EXPECT_EQ(sub, 0u);
    EXPECT_EQ(dec(cp932(), c.sjis), utf8(c.cp)) << std::hex << static_cast<uint32_t>(c.cp);
  }
  EXPECT_EQ(cp932().id(), 932);
}

// Every lead/trail pair: the assigned ones decode to one character and encode back to the same
// pair, except the codes CP932 holds twice, which encode to the preferred twin that decodes to the
// same character. Unassigned pairs decode to U+FFFD.
TEST(CodePage932, EveryDoubleByteCodeRoundTrips) {
  int assigned = 0, userDefined = 0, twins = 0;
  std::map<std::string, int> twinTargets;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code = bytes({lead, trail});
      const std::string text = dec(cp932(), code);
      if (text.find(utf8(0xFFFD)) != std::string::npos) continue;
      ++assigned;
      if (lead >= 0xF0 && lead <= 0xF9) ++userDefined;
      size_t sub = 99;
      const std::string back = enc(cp932(), text, &sub);
      ASSERT_EQ(sub, 0u) << std::hex << lead << trail;
      ASSERT_EQ(back.size(), 2u) << std::hex << lead << trail;
      if (back != code) {
        ++twins;
        ++twinTargets[back];
        ASSERT_EQ(dec(cp932(), back), text);
        // The twins are the NEC row 13 duplicates of JIS row 2 and the NEC-selected / IBM copies.
        EXPECT_TRUE(lead == 0x87 || lead == 0xED || lead == 0xEE || lead == 0xFA)
            << std::hex << lead << trail;
      }
    }
  }
  // JIS X 0208 (6879) + NEC row 13 (83) + NEC-selected IBM (374) + IBM extensions (388), and the
  // 1880 codes of the user-defined area.
  EXPECT_EQ(assigned, 7724 + 1880);
  EXPECT_EQ(userDefined, 1880);
  EXPECT_EQ(twins, 398);
  // Unassigned rows 9..12 and a trail byte outside the range.
  EXPECT_EQ(dec(cp932(), bytes({0x85, 0x80})), utf8(0xFFFD));
  EXPECT_EQ(dec(cp932(), bytes({0xEA, 0xA5})), utf8(0xFFFD));
}

TEST(CodePage932, VariantSpellingsMapToTheJisCharacter) {
  struct Case {
    char32_t from;
    std::string sjis;
    char32_t readBack;
  } cases[] = {
      {0x301C, bytes({0x81, 0x60}), 0xFF5E},  // WAVE DASH
      {0x2016, bytes({0x81, 0x61}), 0x2225},  // DOUBLE VERTICAL LINE
      {0x2212, bytes({0x81, 0x7C}), 0xFF0D},  // MINUS SIGN
      {0x00A2, bytes({0x81, 0x91}), 0xFFE0},  // CENT SIGN
      {0x00A3, bytes({0x81, 0x92}), 0xFFE1},  // POUND SIGN
      {0x00AC, bytes({0x81, 0xCA}), 0xFFE2},  // NOT SIGN
      {0x2014, bytes({0x81, 0x5C}), 0x2015},  // EM DASH
      {0x00A6, bytes({0xFA, 0x55}), 0xFFE4},  // BROKEN BAR
      {0x00A5, bytes({0x5C}), 0x005C},        // YEN SIGN
      {0x203E, bytes({0x7E}), 0x007E},        // OVERLINE
  };
  for (const auto& c : cases) {
    size_t sub = 99;
    EXPECT_EQ(enc(cp932(), utf8(c.from), &sub), c.sjis) << std::hex << static_cast<uint32_t>(c.from);
    EXPECT_EQ(sub, 0u);
    EXPECT_EQ(dec(cp932(), c.sjis), utf8(c.readBack));
  }
  // In running text: "10〜20円" keeps its digits and kanji around the converted dash.
  EXPECT_EQ(enc(cp932(), "10\u301C20\u5186"), "10" + bytes({0x81, 0x60}) + "20" + bytes({0x89, 0x7E}));
}

TEST(CodePage932, UnrepresentableCharactersBecomeCountedQuestionMarks) {
  size_t sub = 0;
  EXPECT_EQ(enc(cp932(), "caf\u00E9", &sub), "caf?");  // é is not in CP932
  EXPECT_EQ(sub, 1u);
  EXPECT_EQ(enc(cp932(), "a\U0001F600b\U0001F601", &sub), "a?b?");  // emoji: one '?' each
  EXPECT_EQ(sub, 2u);
  EXPECT_EQ(enc(cp932(), "\u00E0\u00E1\u00E2", &sub), "???");
  EXPECT_EQ(sub, 3u);
  EXPECT_EQ(enc(cp932(), "\u3042\u20AC\u3044", &sub), bytes({0x82, 0xA0, '?', 0x82, 0xA2}));  // €
  EXPECT_EQ(sub, 1u);
  EXPECT_EQ(enc(cp932(), "\u0080", &sub), "?");  // C1 control
  EXPECT_EQ(sub, 1u);
  // A literal '?' in the input is not counted.
  EXPECT_EQ(enc(cp932(), "what?", &sub), "what?");
  EXPECT_EQ(sub, 0u);
}

TEST(CodePage, InvalidUtf8IsSubstitutedAndCountedNotDropped) {
  struct Case {
    std::string in;
    std::string out;
    size_t substituted;
  } cases[] = {
      {bytes({'a', 0x80, 'b'}), "a?b", 1},                    // stray continuation byte
      {bytes({'a', 0xE3, 0x81}), "a?", 1},                     // truncated at the end
      {bytes({0xE3, 0x81, 'x'}), "?x", 1},                     // truncated, ASCII kept
      {bytes({0xC0, 0x80}), "??", 2},                          // overlong NUL
      {bytes({0xE0, 0x80, 0x80}), "???", 3},                   // overlong three-byte
      {bytes({0xED, 0xA0, 0x80}), "???", 3},                   // surrogate D800
      {bytes({0xF4, 0x90, 0x80, 0x80}), "????", 4},            // above U+10FFFF
      {bytes({0xFF, 0xFE}), "??", 2},                          // never valid
      {bytes({0xF0, 0x9F, 0x98}), "?", 1},                     // truncated emoji
      {bytes({0xE3, 'A', 'B'}), "?AB", 1},                     // lead without continuation
      {bytes({0xE3, 0x81, 0xC0, 'x'}), "??x", 2},              // bad third byte
  };
  for (const CodePage* cp : {&cp932(), &cp1252()}) {
    for (const auto& c : cases) {
      size_t sub = 99;
      EXPECT_EQ(enc(*cp, c.in, &sub), c.out) << cp->id() << " " << testing::PrintToString(c.in);
      EXPECT_EQ(sub, c.substituted) << cp->id() << " " << testing::PrintToString(c.in);
    }
  }
  size_t sub = 99;
  EXPECT_EQ(enc(cp932(), bytes({0xE3, 0x81, 0x82, 0xE3}), &sub), bytes({0x82, 0xA0, '?'}));
  EXPECT_EQ(sub, 1u);
}

TEST(CodePage932, InvalidBytesDecodeToReplacementCharacter) {
  const std::string fffd = utf8(0xFFFD);
  EXPECT_EQ(dec(cp932(), bytes({'a', 0x82})), "a" + fffd);           // lone lead byte at the end
  EXPECT_EQ(dec(cp932(), bytes({0x82, '0', '1'})), fffd + "01");     // lead + non-trail keeps it
  EXPECT_EQ(dec(cp932(), bytes({0x82, 'A', 'B'})), fffd + "AB");     // unassigned pair, ASCII kept
  EXPECT_EQ(dec(cp932(), bytes({0x83, 0x5C, 'B'})), "\u30BD" "B");      // ソ: trail byte 0x5C
  EXPECT_EQ(dec(cp932(), bytes({0x82, 0x0A})), fffd + "\n");
  EXPECT_EQ(dec(cp932(), bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF})), fffd + fffd + fffd + fffd + fffd);
  EXPECT_EQ(dec(cp932(), bytes({0x85, 0x9F, 'z'})), fffd + "z");     // unassigned pair: one U+FFFD
  EXPECT_EQ(dec(cp932(), bytes({0x85, 0x40, 'z'})), fffd + "@z");    // .. but an ASCII byte stays
  EXPECT_EQ(dec(cp932(), std::string("\0x", 2)), std::string("\0x", 2));  // NUL is kept
}

// The ASCII fast path works eight bytes at a time: put one Japanese character at every position of
// ASCII text of every length around the word boundaries, both directions.
TEST(CodePage, AsciiFastPathBoundaries) {
  const std::string kana = "\u30AB";  // カ = 0x834A
  const std::string kanaSjis = bytes({0x83, 0x4A});
  for (size_t len = 0; len <= 26; ++len) {
    std::string ascii;
    for (size_t i = 0; i < len; ++i) ascii += static_cast<char>('A' + i);
    EXPECT_EQ(enc(cp932(), ascii), ascii);
    EXPECT_EQ(dec(cp932(), ascii), ascii);
    for (size_t pos = 0; pos <= len; ++pos) {
      const std::string text = ascii.substr(0, pos) + kana + ascii.substr(pos);
      const std::string sjis = ascii.substr(0, pos) + kanaSjis + ascii.substr(pos);
      ASSERT_EQ(enc(cp932(), text), sjis) << len << " " << pos;
      ASSERT_EQ(dec(cp932(), sjis), text) << len << " " << pos;
      const std::string latin = ascii.substr(0, pos) + "\u00E9" + ascii.substr(pos);
      const std::string latinBytes = ascii.substr(0, pos) + bytes({0xE9}) + ascii.substr(pos);
      ASSERT_EQ(enc(cp1252(), latin), latinBytes) << len << " " << pos;
      ASSERT_EQ(dec(cp1252(), latinBytes), latin) << len << " " << pos;
    }
  }
  // Output is appended, never replacing what the caller has.
  std::string out = "prefix:";
  cp932().encode("\u65E5", out);
  cp932().decode(bytes({0x96, 0x7B}), out);
  EXPECT_EQ(out, "prefix:" + bytes({0x93, 0xFA}) + "\u672C");
}

TEST(CodePage932, JapaneseTextRoundTrips) {
  const std::string text =
      "\u793E\u54E1\u30DE\u30B9\u30BF EMP_NO=0123 \uFF76\uFF80\uFF76\uFF85 \u2460\u2461 "
      "\u9AD9\u6A4B\u3055\u3093 \u3231 \u2252 \uFF5E \u25CB";
  size_t sub = 99;
  const std::string sjis = enc(cp932(), text, &sub);
  EXPECT_EQ(sub, 0u);
  EXPECT_EQ(dec(cp932(), sjis), text);
}

TEST(CodePage1252, EveryByteRoundTrips) {
  for (int b = 0; b < 256; ++b) {
    const std::string one = bytes({b});
    const std::string text = dec(cp1252(), one);
    size_t sub = 99;
    EXPECT_EQ(enc(cp1252(), text, &sub), one) << b;
    EXPECT_EQ(sub, 0u);
  }
  EXPECT_EQ(dec(cp1252(), bytes({0x80})), "\u20AC");
  EXPECT_EQ(dec(cp1252(), bytes({0x9F})), "\u0178");
  EXPECT_EQ(dec(cp1252(), bytes({0x81, 0x8D, 0x8F, 0x90, 0x9D})), "\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(dec(cp1252(), bytes({0xE9, 0xFF})), "\u00E9\u00FF");
}

TEST(CodePage1252, OutsideCharactersAndOtherIds) {
  size_t sub = 0;
  EXPECT_EQ(enc(cp1252(), "\u0080\u0100\u65E5\U0001F600", &sub), "????");
  EXPECT_EQ(sub, 4u);
  EXPECT_EQ(enc(cp1252(), "\u20AC\u2122\u0153", &sub), bytes({0x80, 0x99, 0x9C}));
  EXPECT_EQ(sub, 0u);
  EXPECT_EQ(CodePage::forId(1252).id(), 1252);
  EXPECT_EQ(&CodePage::forId(0), &cp1252());
  EXPECT_EQ(&CodePage::forId(936), &cp1252());
  EXPECT_EQ(&CodePage::forId(932), &cp932());
}

// ---- ASCII letter case and UTF-8 validity, shared by the names, the files and the fields ----

TEST(AsciiCase, OnlyAsciiLettersFoldAndDoubleByteTextStaysAsItIs) {
  using vellicor::text::equalsIgnoringAsciiCase;
  EXPECT_TRUE(equalsIgnoringAsciiCase("Emp_Id", "EMP_ID"));
  EXPECT_FALSE(equalsIgnoringAsciiCase("EMP", "EMPS"));
  // Full-width letters are not ASCII: Ａ and ａ stay different.
  EXPECT_FALSE(equalsIgnoringAsciiCase("\xEF\xBC\xA1", "\xEF\xBD\x81"));
  EXPECT_EQ(vellicor::text::asciiUppercase("tns_名前"), "TNS_名前");
}

TEST(Utf8, WholeTextValidity) {
  using vellicor::text::isValidUtf8;
  EXPECT_TRUE(isValidUtf8("社員 ABC"));
  EXPECT_TRUE(isValidUtf8(""));
  EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(isValidUtf8("\xE7\xA4"));          // cut short
  EXPECT_FALSE(isValidUtf8("\x8E\xD0\x88\xF5"));  // Shift_JIS bytes
}
