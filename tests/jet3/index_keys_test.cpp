// Tests of the index key functions: byte order equals value order for every numeric type in both
// directions, and General text keys for names, accents, expansions and CP932 bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "text/codepage.h"
#include "dataaccess/jet3/index.h"

namespace vellicor::jet3 {
namespace {

using Key = std::vector<uint8_t>;

template <typename T, typename F>
void expectOrderPreserved(const std::vector<T>& ascendingValues, F append) {
  for (size_t i = 1; i < ascendingValues.size(); ++i) {
    Key a, b, ad, bd;
    append(a, ascendingValues[i - 1], true);
    append(b, ascendingValues[i], true);
    append(ad, ascendingValues[i - 1], false);
    append(bd, ascendingValues[i], false);
    EXPECT_LT(a, b) << "ascending at " << i;
    EXPECT_GT(ad, bd) << "descending at " << i;
    EXPECT_EQ(a.size(), b.size());
    EXPECT_EQ(a[0], 0x7F);
    EXPECT_EQ(ad[0], 0x80);
  }
}

TEST(IndexKeys, IntegersKeepTheirOrder) {
  expectOrderPreserved<int32_t>({INT32_MIN, -70000, -2, -1, 0, 1, 2, 255, 256, 70000, INT32_MAX},
                                [](Key& k, int32_t v, bool asc) { appendLongKey(k, v, asc); });
  expectOrderPreserved<int16_t>({INT16_MIN, -300, -1, 0, 1, 300, INT16_MAX},
                                [](Key& k, int16_t v, bool asc) { appendIntegerKey(k, v, asc); });
  expectOrderPreserved<int64_t>({INT64_MIN, -12345678900000, -1, 0, 1, 10000, INT64_MAX},
                                [](Key& k, int64_t v, bool asc) { appendCurrencyKey(k, v, asc); });
  expectOrderPreserved<uint8_t>({0, 1, 127, 128, 255}, [](Key& k, uint8_t v, bool asc) { appendByteKey(k, v, asc); });

  Key k;
  appendLongKey(k, INT32_MIN, true);
  EXPECT_EQ(k, (Key{0x7F, 0x00, 0x00, 0x00, 0x00}));
  k.clear();
  appendLongKey(k, 2, true);
  EXPECT_EQ(k, (Key{0x7F, 0x80, 0x00, 0x00, 0x02}));
  k.clear();
  appendLongKey(k, 2, false);
  EXPECT_EQ(k, (Key{0x80, 0x7F, 0xFF, 0xFF, 0xFD}));
}

TEST(IndexKeys, FloatingPointKeepsItsOrder) {
  const double inf = std::numeric_limits<double>::infinity();
  expectOrderPreserved<double>({-inf, -1e300, -2.5, -1.0, -1e-300, -0.0, 0.0, 1e-300, 1.0, 2.5, 45000.75, 1e300, inf},
                               [](Key& k, double v, bool asc) { appendDoubleKey(k, v, asc); });
  const float finf = std::numeric_limits<float>::infinity();
  expectOrderPreserved<float>({-finf, -3.5f, -1e-30f, 0.0f, 1e-30f, 3.5f, finf},
                              [](Key& k, float v, bool asc) { appendSingleKey(k, v, asc); });
  Key k;
  appendDoubleKey(k, 1.0, true);  // 3FF0... with the sign bit set
  EXPECT_EQ(k, (Key{0x7F, 0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
  k.clear();
  appendDoubleKey(k, -1.0, true);  // BFF0... inverted
  EXPECT_EQ(k, (Key{0x7F, 0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(IndexKeys, BooleanNullGuidAndBinary) {
  Key k;
  appendBooleanKey(k, true, true);
  appendBooleanKey(k, false, true);
  appendBooleanKey(k, true, false);
  appendNullKey(k, true);
  appendNullKey(k, false);
  EXPECT_EQ(k, (Key{0x7F, 0x00, 0x7F, 0xFF, 0x80, 0xFF, 0x00, 0xFF}));

  // {33221100-5544-7766-8899-AABBCCDDEEFF} as stored: first three fields little-endian.
  const uint8_t guid[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  k.clear();
  appendGuidKey(k, guid, true);
  EXPECT_EQ(k, (Key{0x7F, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x09, 0x88, 0x99, 0xAA, 0xBB, 0xCC,
                    0xDD, 0xEE, 0xFF, 0x08}));
  k.clear();
  appendBinaryKey(k, std::string("\x01\x02\x03", 3), true);
  EXPECT_EQ(k, (Key{0x7F, 1, 2, 3, 0, 0, 0, 0, 0, 0x03}));
  k.clear();
  appendBinaryKey(k, std::string("\x01\x02\x03", 3), false);
  EXPECT_EQ(k, (Key{0x80, 0xFE, 0xFD, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC}));
}

Key text(std::string_view bytes, bool ascending = true) {
  Key k;
  appendTextKeyGeneral(k, bytes, ascending);
  return k;
}

TEST(IndexKeys, TextKeysOfOracleNames) {
  EXPECT_EQ(text("EMP_NO"), (Key{0x7F, 0x66, 0x6F, 0x73, 0x2C, 0x70, 0x72, 0x00}));
  EXPECT_EQ(text("A$1#"), (Key{0x7F, 0x60, 0x15, 0x57, 0x14, 0x00}));
  EXPECT_EQ(text("emp_no"), text("EMP_NO"));  // case-insensitive
  EXPECT_EQ(text("DEPT   "), text("DEPT"));   // trailing blanks do not count
  EXPECT_NE(text(" DEPT"), text("DEPT"));
  EXPECT_EQ(text(""), (Key{0x7F, 0x00}));
  EXPECT_EQ(text("EMP", false), (Key{0x80, 0x99, 0x90, 0x8C, 0xFF}));

  // General order: punctuation (_ $ #), then digits, then letters regardless of case.
  std::vector<std::string> names{"b", "A", "_X", "1", "$Z", "AB", "a1", "Z9", "#"};
  std::sort(names.begin(), names.end(), [](const std::string& x, const std::string& y) { return text(x) < text(y); });
  EXPECT_EQ(names, (std::vector<std::string>{"#", "$Z", "_X", "1", "A", "a1", "AB", "b", "Z9"}));
}

TEST(IndexKeys, TextKeysWithAccentsExpansionsAndControls) {
  // é keys as E plus an accent stream: bound, accent 4, bound.
  EXPECT_EQ(text("\xE9"), (Key{0x7F, 0x66, 0x04, 0x00}));
  // One placeholder per significant letter before the accented one.
  EXPECT_EQ(text("A\xE9"), (Key{0x7F, 0x60, 0x66, 0x02, 0x40}));
  EXPECT_EQ(text("B\xE9"), (Key{0x7F, 0x61, 0x66, 0x04, 0x00}));  // B is not significant
  // ß expands to "ss" and counts as two significant letters (as Jet 3.5 keys it).
  EXPECT_EQ(text("\xDF\xE9"), (Key{0x7F, 0x76, 0x76, 0x66, 0x02, 0x24, 0x00}));
  EXPECT_EQ(text("\xC6\xE9"), (Key{0x7F, 0x60, 0x66, 0x66, 0x02, 0x24, 0x00}));  // Æ
  // NUL keys like the other control characters.
  EXPECT_EQ(text(std::string("A\0B", 3)), (Key{0x7F, 0x60, 0x10, 0x61, 0x00}));
  // Accented and plain letters differ, accents sort after the plain letter.
  EXPECT_LT(text("E"), text("\xE9"));
  EXPECT_LT(text("\xE9"), text("F"));
  // Descending inverts the whole text part.
  EXPECT_EQ(text("\xE9", false), (Key{0x80, 0x99, 0xFB, 0xFF}));
}

TEST(IndexKeys, TextKeysAreCappedAt255Bytes) {
  const std::string longName(300, 'Q');
  const Key k = text(longName);
  EXPECT_EQ(k.size(), 1u + 255u + 1u);
  EXPECT_EQ(k, text(longName.substr(0, 255)));
}

TEST(IndexKeys, Cp932TextIsKeyedByItsBytes) {
  const text::CodePage& cp = text::CodePage::forId(932);
  auto sjis = [&](const char* utf8) {
    std::string out;
    cp.encode(utf8, out);
    return out;
  };
  // Every byte goes through the table: lead 0x8E keys as 0x10, trail 0xD0 as 0x65.
  EXPECT_EQ(text(sjis("\u793E")), (Key{0x7F, 0x10, 0x65, 0x00}));  // 社 = 8E D0
  // Distinct names keep distinct keys in the common case...
  EXPECT_NE(text(sjis("\u793E\u54E1")), text(sjis("\u793E\u5BB6")));
  // ...but trail bytes fold case like ASCII letters: ア (83 41) and ヂ (83 61) share a key.
  EXPECT_EQ(text(sjis("\u30A2")), text(sjis("\u30C2")));
}

}  // namespace
}  // namespace vellicor::jet3
