// The committed code page tables against the C library's converters (glibc iconv): every CP932
// byte, pair and BMP code point, the high half of Windows-1252. Skipped on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "text/codepage.h"
#include "text/nfc.h"

#ifndef _WIN32
#include <iconv.h>

using vellicor::text::CodePage;

namespace {

// One iconv direction; nullopt where iconv refuses the input.
struct Iconv {
  iconv_t cd;
  Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
  ~Iconv() { if (ok()) iconv_close(cd); }
  bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
  std::optional<std::string> operator()(std::string in) const {
    char out[16], *ip = in.data(), *op = out;
    size_t il = in.size(), ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return std::nullopt;
    return std::string(out, sizeof out - ol);
  }
};

std::string utf32(char32_t c) { return std::string(reinterpret_cast<const char*>(&c), 4); }

}  // namespace

// Every single high byte and every lead byte (0x81..0x9F, 0xE0..0xFC) with every trail byte
// decodes as iconv decodes it; what iconv refuses begins with U+FFFD. Every BMP code point
// encodes as iconv encodes it, or to one counted '?' where iconv cannot, except the variant
// spellings that we map on purpose.
TEST(CodePageTablesAgainstIconv, Cp932BothWaysAsIconv) {
  const Iconv toUtf8("UTF-8", "CP932"), encode("CP932", "UTF-32LE"), utf8("UTF-8", "UTF-32LE");
  ASSERT_TRUE(toUtf8.ok() && encode.ok()) << "iconv has no CP932 converter";
  const CodePage& cp = CodePage::forId(932);
  int bad = 0, characters = 0;
  auto decodes = [&](std::string in) {
    const auto want = toUtf8(in);
    std::string got;
    cp.decode(in, got);
    characters += want.has_value();
    if ((want ? got != *want : got.rfind("\uFFFD", 0) != 0) && ++bad <= 10)
      ADD_FAILURE() << "decode " << testing::PrintToString(in) << " gives " << testing::PrintToString(got);
  };
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    decodes(std::string(1, static_cast<char>(lead)));
    if ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC))
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) decodes({static_cast<char>(lead), static_cast<char>(trail)});
  }
  const char32_t deliberate[] = {
      0x301C /* WAVE DASH */,  0x2016 /* DOUBLE VERTICAL LINE */, 0x2212 /* MINUS SIGN */, 0x00A2 /* CENT SIGN */,
      0x00A3 /* POUND SIGN */, 0x00AC /* NOT SIGN */,             0x2014 /* EM DASH */,    0x00A6 /* BROKEN BAR */,
      0x00A5 /* YEN SIGN */,   0x203E /* OVERLINE */};
  for (char32_t c = 0; c < 0x10000; ++c) {
    if ((c >= 0xD800 && c < 0xE000) || std::ranges::find(deliberate, c) != std::end(deliberate)) continue;
    std::string recomposed;  // a lone mark that composition turns into two (U+0344) is not the table's
    if (vellicor::text::composeCanonically(*utf8(utf32(c)), recomposed)) continue;
    const auto want = encode(utf32(c));
    std::string got;
    const size_t substituted = cp.encode(*utf8(utf32(c)), got);
    characters += want.has_value();
    if ((want ? got != *want || substituted != 0 : got != "?" || substituted != 1) && ++bad <= 10)
      ADD_FAILURE() << "encode U+" << std::hex << static_cast<uint32_t>(c);
  }
  EXPECT_EQ(bad, 0);
  EXPECT_GT(characters, 2 * 7000);  // a CP932 converter, not an empty one
}

// Bytes 0x80..0x9F, where Windows-1252 leaves Latin-1, both ways; the five bytes Windows leaves
// undefined (read as the C1 controls) are ours alone.
TEST(CodePageTablesAgainstIconv, Cp1252HighBytesAsIconv) {
  const Iconv toUtf8("UTF-8", "WINDOWS-1252");
  ASSERT_TRUE(toUtf8.ok()) << "iconv has no WINDOWS-1252 converter";
  const CodePage& cp = CodePage::forId(1252);
  for (unsigned b = 0x80; b <= 0x9F; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    const std::string byte(1, static_cast<char>(b));
    const auto want = toUtf8(byte);
    ASSERT_TRUE(want) << std::hex << b;
    std::string got, back;
    cp.decode(byte, got);
    EXPECT_EQ(got, *want) << std::hex << b;
    EXPECT_EQ(cp.encode(*want, back), 0u) << std::hex << b;
    EXPECT_EQ(back, byte) << std::hex << b;
  }
}

#else
TEST(CodePageTablesAgainstIconv, NeedsTheCLibraryConverters) { GTEST_SKIP() << "no iconv on Windows"; }
#endif
