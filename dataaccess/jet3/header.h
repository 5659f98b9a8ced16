// The database definition page (page 0) of a Jet 3 file: its fields and their encoding, including
// the RC4 mask over the middle of the page.
#pragma once

#include <array>
#include <cstdint>

#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {

struct DatabaseHeader {
  // Row pointers and TDEF pages that every file carries at 0x18..0x2F (page 1 rows 0/1, TDEFs 2..5).
  uint32_t globalMap = fmt::rowPointer(fmt::kGlobalMapPage, 0);
  uint32_t secondMap = fmt::rowPointer(fmt::kGlobalMapPage, 1);
  std::array<uint32_t, 4> systemTdefs{fmt::kMSysObjectsTdef, fmt::kMSysACEsTdef, fmt::kMSysQueriesTdef,
                                      fmt::kMSysRelationshipsTdef};
  uint16_t flag38 = 0;  // 0 in Jet 3.5 files, 1 in files Jet 4 saved as Access 97
  uint16_t sortOrder = fmt::kSortGeneral;
  uint16_t codePage = fmt::kCodePage1252;
  uint32_t databaseKey = 0;  // non-zero: data pages are encrypted (not supported by our reader)
  std::array<uint8_t, fmt::kHdrPasswordLength> password{};
  uint16_t engineBuild = fmt::kEngineBuildJet35;
  // The 256 two-byte pairs at 0x600, carried as they are.
  std::array<uint8_t, fmt::kPageSize - fmt::kHdrCounterBlock> counterBlock = defaultCounterBlock();

  bool hasPassword() const;
  // The pattern Jet 3.5 itself writes: (01,01) (00,01) and then (00,01) throughout.
  static std::array<uint8_t, fmt::kPageSize - fmt::kHdrCounterBlock> defaultCounterBlock();
};

using HeaderPage = std::array<uint8_t, fmt::kPageSize>;

// The whole page 0, masked as Jet stores it.
HeaderPage encodeHeader(const DatabaseHeader& h);
// Reads page 0; throws dao::Error (in Japanese) when the page is not a Jet 3 database header
// (wrong signature, or Jet 4 and later formats).
DatabaseHeader decodeHeader(const uint8_t* page, size_t size);

// XORs the masked range of a header page with the RC4 keystream of the header key (masking and
// unmasking are the same operation).
void applyHeaderMask(uint8_t* page);

}  // namespace vellicor::jet3
