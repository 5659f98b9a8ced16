// Encoding and decoding of the Jet 3 database definition page, and the RC4 keystream that masks
// 126 of its bytes.
#include "dataaccess/jet3/header.h"

#include <algorithm>
#include <cstring>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

// RC4 keystream of the fixed header key, XORed over [start, start + length).
void rc4Xor(const uint8_t* key, size_t keyLength, uint8_t* data, size_t length) {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<uint8_t>(i);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<uint8_t>(j + s[i] + key[i % keyLength]);
    std::swap(s[i], s[j]);
  }
  uint8_t a = 0, b = 0;
  for (size_t n = 0; n < length; ++n) {
    a = static_cast<uint8_t>(a + 1);
    b = static_cast<uint8_t>(b + s[a]);
    std::swap(s[a], s[b]);
    data[n] ^= s[static_cast<uint8_t>(s[a] + s[b])];
  }
}

}  // namespace

bool DatabaseHeader::hasPassword() const {
  return std::any_of(password.begin(), password.end(), [](uint8_t b) { return b != 0; });
}

std::array<uint8_t, fmt::kPageSize - fmt::kHdrCounterBlock> DatabaseHeader::defaultCounterBlock() {
  std::array<uint8_t, fmt::kPageSize - fmt::kHdrCounterBlock> block{};
  for (size_t i = 0; i < block.size(); i += 2) {
    block[i] = 0x00;
    block[i + 1] = 0x01;
  }
  block[0] = 0x01;
  return block;
}

void applyHeaderMask(uint8_t* page) {
  rc4Xor(fmt::kHeaderKey, sizeof fmt::kHeaderKey, page + fmt::kHdrMaskStart, fmt::kHdrMaskLength);
}

HeaderPage encodeHeader(const DatabaseHeader& h) {
  HeaderPage p{};
  p[0] = fmt::kPageHeader;
  p[1] = fmt::kPageMarker;
  std::memcpy(p.data() + fmt::kHdrMagic, fmt::kMagic, sizeof fmt::kMagic);
  p[fmt::kHdrVersion] = fmt::kVersionJet3;
  storeU32(&p[fmt::kHdrGlobalMapPtr], h.globalMap);
  storeU32(&p[fmt::kHdrSecondMapPtr], h.secondMap);
  for (size_t i = 0; i < h.systemTdefs.size(); ++i) storeU32(&p[fmt::kHdrSystemTdefs + 4 * i], h.systemTdefs[i]);
  storeU16(&p[fmt::kHdrFlag38], h.flag38);
  storeU16(&p[fmt::kHdrSortOrder], h.sortOrder);
  storeU16(&p[fmt::kHdrCodePage], h.codePage);
  storeU32(&p[fmt::kHdrDatabaseKey], h.databaseKey);
  std::copy(h.password.begin(), h.password.end(), p.begin() + fmt::kHdrPassword);
  storeU16(&p[fmt::kHdrEngineBuild], h.engineBuild);
  std::copy(h.counterBlock.begin(), h.counterBlock.end(), p.begin() + fmt::kHdrCounterBlock);
  applyHeaderMask(p.data());
  return p;
}

DatabaseHeader decodeHeader(const uint8_t* page, size_t size) {
  if (size < fmt::kPageSize || page[0] != fmt::kPageHeader || page[1] != fmt::kPageMarker ||
      std::memcmp(page + fmt::kHdrMagic, fmt::kMagic, sizeof fmt::kMagic) != 0) {
    throw dao::Error("Jet 3 (Access 97) 形式のファイルではありません (データベースの見出しページが認識できません)。", dao::errnum::kUnrecognizedFormat);
  }
  if (page[fmt::kHdrVersion] != fmt::kVersionJet3) {
    throw dao::Error("Jet 3 (Access 97) 形式のファイルではありません (Access 2000 以降の形式です)。", dao::errnum::kUnrecognizedFormat);
  }
  HeaderPage p;
  std::copy(page, page + fmt::kPageSize, p.begin());
  applyHeaderMask(p.data());

  DatabaseHeader h;
  h.globalMap = loadU32(&p[fmt::kHdrGlobalMapPtr]);
  h.secondMap = loadU32(&p[fmt::kHdrSecondMapPtr]);
  for (size_t i = 0; i < h.systemTdefs.size(); ++i) h.systemTdefs[i] = loadU32(&p[fmt::kHdrSystemTdefs + 4 * i]);
  h.flag38 = loadU16(&p[fmt::kHdrFlag38]);
  h.sortOrder = loadU16(&p[fmt::kHdrSortOrder]);
  h.codePage = loadU16(&p[fmt::kHdrCodePage]);
  h.databaseKey = loadU32(&p[fmt::kHdrDatabaseKey]);
  std::copy(p.begin() + fmt::kHdrPassword, p.begin() + fmt::kHdrPassword + fmt::kHdrPasswordLength, h.password.begin());
  h.engineBuild = loadU16(&p[fmt::kHdrEngineBuild]);
  std::copy(p.begin() + fmt::kHdrCounterBlock, p.end(), h.counterBlock.begin());
  return h;
}

}  // namespace vellicor::jet3
