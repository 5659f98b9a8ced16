// Tests of the page-0 codec: the reference files decode to the values their makers wrote, encoding
// gives back the same page, and files that are not Jet 3 are refused with a clear message.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/header.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

using testing::readWholeFile;
using testing::referenceFiles;

TEST(HeaderCodec, ReferenceFilesDecodeAndReencodeExactly) {
  const std::map<std::string, uint16_t> builds = {
      {"nwind.mdb", 3410}, {"testIndexCodesV1997.mdb", 3428}};
  const auto files = referenceFiles();
  ASSERT_GE(files.size(), 8u);
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const auto bytes = readWholeFile(path);
    const DatabaseHeader h = decodeHeader(bytes.data(), bytes.size());
    EXPECT_EQ(h.sortOrder, fmt::kSortGeneral);
    EXPECT_EQ(h.codePage, fmt::kCodePage1252);
    EXPECT_EQ(h.databaseKey, 0u);
    EXPECT_FALSE(h.hasPassword());
    EXPECT_EQ(h.globalMap, 0x100u);
    EXPECT_EQ(h.secondMap, 0x101u);
    EXPECT_EQ(h.systemTdefs, (std::array<uint32_t, 4>{2, 3, 4, 5}));
    const std::string name = std::filesystem::path(path).filename().string();
    const uint16_t build = builds.count(name) ? builds.at(name) : 9502;
    EXPECT_EQ(h.engineBuild, build);
    EXPECT_EQ(h.flag38, build == 9502 ? 1 : 0);
    const HeaderPage again = encodeHeader(h);
    for (size_t i = 0; i < again.size(); ++i) {
      ASSERT_EQ(again[i], bytes[i]) << "byte 0x" << std::hex << i;
    }
  }
}

TEST(HeaderCodec, MaskMatchesKnownKeystreamAndIsItsOwnInverse) {
  // The first bytes of the RC4 keystream for C7 DA 39 6B, as other readers carry them.
  HeaderPage page{};
  applyHeaderMask(page.data());
  const uint8_t expected[8] = {0xB5, 0x6F, 0x03, 0x62, 0x61, 0x08, 0xC2, 0x55};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(page[fmt::kHdrMaskStart + i], expected[i]);
  EXPECT_EQ(page[fmt::kHdrMaskStart + fmt::kHdrMaskLength], 0);  // 126 bytes only
  EXPECT_NE(page[fmt::kHdrMaskStart + fmt::kHdrMaskLength - 1], 0);
  applyHeaderMask(page.data());
  EXPECT_EQ(page, HeaderPage{});
}

TEST(HeaderCodec, OwnValuesRoundTrip) {
  DatabaseHeader h;
  h.sortOrder = fmt::kSortJapanese;
  h.codePage = fmt::kCodePage932;
  h.engineBuild = 3428;
  h.password[0] = 'a';
  const HeaderPage page = encodeHeader(h);
  const DatabaseHeader back = decodeHeader(page.data(), page.size());
  EXPECT_EQ(back.sortOrder, fmt::kSortJapanese);
  EXPECT_EQ(back.codePage, fmt::kCodePage932);
  EXPECT_EQ(back.engineBuild, 3428);
  EXPECT_TRUE(back.hasPassword());
  EXPECT_EQ(back.counterBlock, DatabaseHeader::defaultCounterBlock());
  EXPECT_EQ(back.counterBlock[0], 0x01);
  EXPECT_EQ(back.counterBlock[1], 0x01);
  EXPECT_EQ(back.counterBlock[2], 0x00);
  EXPECT_EQ(back.counterBlock[511], 0x01);
}

TEST(HeaderCodec, RefusesWhatIsNotJet3) {
  auto expectRefused = [](const HeaderPage& page, size_t size, const std::string& part) {
    try {
      decodeHeader(page.data(), size);
      ADD_FAILURE() << "accepted";
    } catch (const dao::Error& e) {
      EXPECT_NE(e.description().find("Jet 3 (Access 97) 形式のファイルではありません"), std::string::npos);
      EXPECT_NE(e.description().find(part), std::string::npos) << e.description();
    }
  };
  HeaderPage good = encodeHeader(DatabaseHeader{});
  expectRefused(good, 100, "見出し");  // truncated
  HeaderPage jet4 = good;
  jet4[fmt::kHdrVersion] = 0x01;
  expectRefused(jet4, jet4.size(), "Access 2000");
  HeaderPage text{};
  std::fill(text.begin(), text.end(), 'x');
  expectRefused(text, text.size(), "見出し");
  HeaderPage magic = good;
  magic[fmt::kHdrMagic + 9] = 'X';  // "Standard XJet"
  expectRefused(magic, magic.size(), "見出し");
}

}  // namespace
}  // namespace vellicor::jet3
