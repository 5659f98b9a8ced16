// Canonical composition before text is stored: marks join their letters (in canonical order, not
// across a blocking mark), Hangul jamo join, and nothing else of the text changes.
#include <gtest/gtest.h>

#include "text/codepage.h"
#include "text/nfc.h"
#include "text/nfc_table.h"

using vellicor::text::composeCanonically;

namespace {

std::string composed(const std::string& s) {
  std::string out;
  return composeCanonically(s, out) ? out : s;
}

std::string utf8(char32_t c) {
  std::string o;
  if (c < 0x80) {
    o += static_cast<char>(c);
  } else if (c < 0x800) {
    o += static_cast<char>(0xC0 | c >> 6), o += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    o += static_cast<char>(0xE0 | c >> 12), o += static_cast<char>(0x80 | (c >> 6 & 0x3F)), o += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    o += static_cast<char>(0xF0 | c >> 18), o += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    o += static_cast<char>(0x80 | (c >> 6 & 0x3F)), o += static_cast<char>(0x80 | (c & 0x3F));
  }
  return o;
}

}  // namespace

TEST(Nfc, MarksJoinTheirLettersAndOnlyThose) {
  EXPECT_EQ(composed("か\u3099き\u3099"), "がぎ");
  EXPECT_EQ(composed("ハ\u309Aン"), "パン");
  // Two marks in either order give the same letter (canonical order first).
  EXPECT_EQ(composed("e\u0323\u0302"), "\u1EC7");
  EXPECT_EQ(composed("e\u0302\u0323"), "\u1EC7");
  // A mark of the same class in between blocks the second one.
  EXPECT_EQ(composed("a\u0301\u0301"), "\u00E1\u0301");
  // Hangul: leading consonant, vowel, trailing consonant.
  EXPECT_EQ(composed("\u1100\u1161\u11A8"), "각");
  // Marks with nothing to join stay; a mark at the very start stays.
  EXPECT_EQ(composed("\u0301x"), "\u0301x");
  EXPECT_EQ(composed("q\u0307"), "q\u0307");
  // Around the stretch, text and bytes that are not UTF-8 are untouched; so are compatibility
  // ideographs (code page 932 holds some of them as characters of their own).
  EXPECT_EQ(composed("\xFF" "か\u3099\xC3" "朗\uF929"), "\xFF" "が\xC3" "朗\uF929");
  std::string untouched;
  EXPECT_FALSE(composeCanonically("社員番号 ①㈱髙﨑 \uF929 ｶﾞ plain", untouched));
  EXPECT_TRUE(untouched.empty());
}

TEST(Nfc, EveryPrimaryCompositeComesBackFromItsDecomposition) {
  using namespace vellicor::text::nfc;
  for (size_t i = 0; i < kCompositionCount; ++i) {
    const Composition& c = kCompositions[i];
    // The composite's full decomposition, as a source in decomposed form would send it.
    std::string decomposed;
    const Decomposition* d = nullptr;
    for (size_t k = 0; k < kDecompositionCount; ++k)
      if (kDecompositions[k].codePoint == c.composite) d = &kDecompositions[k];
    ASSERT_NE(d, nullptr);
    for (int k = 0; k < d->length; ++k) decomposed += utf8(kDecompositionPool[d->offset + k]);
    EXPECT_EQ(composed("<" + decomposed + ">"), "<" + utf8(c.composite) + ">") << std::hex << static_cast<uint32_t>(c.composite);
  }
}

TEST(Nfc, StoredTextIsComposedBeforeItsCodePage) {
  const auto& cp932 = vellicor::text::CodePage::forId(932);
  std::string bytes;
  EXPECT_EQ(cp932.encode("か\u3099", bytes), 0u);
  EXPECT_EQ(bytes, "\x82\xAA");  // が, not か followed by '?'
  const auto& cp1252 = vellicor::text::CodePage::forId(1252);
  bytes.clear();
  EXPECT_EQ(cp1252.encode("Cafe\u0301", bytes), 0u);
  EXPECT_EQ(bytes, "Caf\xE9");
}
