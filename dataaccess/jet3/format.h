// Jet 3 (Access 97) file format constants, named in one place: page kinds, header and page layouts,
// column type codes, flags and limits. Offsets are bytes from the start of a page unless noted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/codepage.h"

namespace vellicor::jet3::fmt {

// ---- Pages -------------------------------------------------------------------------------
inline constexpr size_t kPageSize = 2048;
inline constexpr uint64_t kMaxFileBytes = uint64_t{1} << 30;  // 1 GB limit of the format
inline constexpr uint32_t kMaxPages = static_cast<uint32_t>(kMaxFileBytes / kPageSize);

enum PageType : uint8_t {
  kPageHeader = 0x00,
  kPageData = 0x01,  // rows; also long-value pages and usage-map holder pages
  kPageTdef = 0x02,
  kPageIndexNode = 0x03,  // intermediate index page
  kPageIndexLeaf = 0x04,
  kPageUsageBitmap = 0x05,
  kPageDeletedTdef = 0x08,
};
inline constexpr uint8_t kPageMarker = 0x01;  // byte 1 of every page

// Fixed page numbers of a new database.
inline constexpr uint32_t kHeaderPage = 0;
inline constexpr uint32_t kGlobalMapPage = 1;
inline constexpr uint32_t kMSysObjectsTdef = 2;
inline constexpr uint32_t kMSysACEsTdef = 3;
inline constexpr uint32_t kMSysQueriesTdef = 4;
inline constexpr uint32_t kMSysRelationshipsTdef = 5;

// Row pointer ("data pointer"): page * 256 + row.
inline constexpr uint32_t rowPointer(uint32_t page, uint8_t row) { return (page << 8) | row; }
inline constexpr uint32_t pointerPage(uint32_t ptr) { return ptr >> 8; }
inline constexpr uint8_t pointerRow(uint32_t ptr) { return static_cast<uint8_t>(ptr & 0xFF); }

// ---- Page 0: database definition page ----------------------------------------------------
inline constexpr char kMagic[] = "Standard Jet DB";  // at 0x04, with its NUL
inline constexpr size_t kHdrMagic = 0x04;
inline constexpr size_t kHdrVersion = 0x14;  // 0x00 = Jet 3
inline constexpr uint8_t kVersionJet3 = 0x00;
inline constexpr size_t kHdrMaskStart = 0x18;  // masked with the RC4 keystream of kHeaderKey
inline constexpr size_t kHdrMaskLength = 126;  // Jet 3 masks 126 bytes (Jet 4: 128)
inline constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr size_t kHdrGlobalMapPtr = 0x18;  // 0x00000100: page 1 row 0
inline constexpr size_t kHdrSecondMapPtr = 0x1C;  // 0x00000101: page 1 row 1
inline constexpr size_t kHdrSystemTdefs = 0x20;   // 4 x 4 bytes: 2, 3, 4, 5
inline constexpr size_t kHdrFlag38 = 0x38;        // 0 in files written by Jet 3.5
inline constexpr size_t kHdrSortOrder = 0x3A;
inline constexpr size_t kHdrCodePage = 0x3C;
inline constexpr size_t kHdrDatabaseKey = 0x3E;  // 0 = not encrypted
inline constexpr size_t kHdrPassword = 0x42;     // 20 bytes
inline constexpr size_t kHdrPasswordLength = 20;
inline constexpr size_t kHdrEngineBuild = 0x56;
inline constexpr uint16_t kEngineBuildJet35 = 3428;  // Jet 3.5 as shipped with Office 97
inline constexpr size_t kHdrCounterBlock = 0x600;     // 256 two-byte pairs, (00,01) after the first two

inline constexpr uint16_t kSortGeneral = 0x0409;
inline constexpr uint16_t kSortJapanese = 0x0411;
inline constexpr uint16_t kCodePage932 = text::kCodePage932;
inline constexpr uint16_t kCodePage1252 = text::kCodePage1252;

// ---- Data pages --------------------------------------------------------------------------
inline constexpr size_t kDataFreeSpace = 2;     // 2 bytes
inline constexpr size_t kDataOwner = 4;         // 4 bytes: TDEF page, 0 for map holders, 'LVAL', 1 on page 1
inline constexpr size_t kDataRowCount = 8;      // 2 bytes
inline constexpr size_t kDataRowTable = 10;     // 2 bytes a slot
inline constexpr size_t kDataHeaderSize = 10;
inline constexpr uint16_t kRowDeleted = 0x8000;
inline constexpr uint16_t kRowOverflow = 0x4000;  // the row holds a 4-byte pointer to the real row
inline constexpr uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr uint32_t kLvalOwner = 0x4C41564C;  // "LVAL" read as a little-endian uint32
inline constexpr size_t kMaxRowsPerPage = 255;
inline constexpr size_t kMaxRowSize = 2012;  // bytes of one row on an empty page (2048 - 10 - 2 - slack)

// ---- Usage maps --------------------------------------------------------------------------
inline constexpr uint8_t kMapInline = 0x00;     // start page + bitmap
inline constexpr uint8_t kMapReference = 0x01;  // pointers to 0x05 bitmap pages
inline constexpr size_t kMapRowSize = 133;      // the usual row: 1 + 4 + 128 bitmap bytes
inline constexpr size_t kMapInlineHeader = 5;
inline constexpr size_t kMapInlineBits = (kMapRowSize - kMapInlineHeader) * 8;  // 1024 pages
inline constexpr size_t kMapReferencePointers = (kMapRowSize - 1) / 4;        // 33
inline constexpr size_t kBitmapPageHeader = 4;                                 // 05 01 00 00
inline constexpr size_t kBitmapPageBits = (kPageSize - kBitmapPageHeader) * 8;  // 16352 pages

// ---- TDEF pages --------------------------------------------------------------------------
inline constexpr size_t kTdefNextPage = 4;  // 4 bytes, 0 = last
inline constexpr size_t kTdefPageHeader = 8;
inline constexpr size_t kTdefLength = 8;
inline constexpr size_t kTdefRowCount = 12;
inline constexpr size_t kTdefAutonumber = 16;
inline constexpr size_t kTdefTableType = 20;
inline constexpr size_t kTdefMaxColumns = 21;
inline constexpr size_t kTdefVarColumns = 23;
inline constexpr size_t kTdefColumns = 25;
inline constexpr size_t kTdefLogicalIndexes = 27;
inline constexpr size_t kTdefRealIndexes = 31;
inline constexpr size_t kTdefOwnedMap = 35;
inline constexpr size_t kTdefFreeMap = 39;
inline constexpr size_t kTdefHeaderSize = 43;  // then 8 bytes per real index
inline constexpr size_t kTdefRealIndexCountSize = 8;
inline constexpr size_t kColumnDescriptorSize = 18;
inline constexpr size_t kRealIndexBlockSize = 39;
inline constexpr size_t kLogicalIndexBlockSize = 20;
inline constexpr size_t kLongValueMapEntrySize = 10;
inline constexpr uint16_t kTdefTerminator = 0xFFFF;
inline constexpr uint8_t kTableTypeUser = 0x4E;    // 'N'
inline constexpr uint8_t kTableTypeSystem = 0x53;  // 'S'

// Column descriptor fields (offsets inside the 18 bytes).
inline constexpr size_t kColType = 0;
inline constexpr size_t kColNumber = 1;
inline constexpr size_t kColVarIndex = 3;
inline constexpr size_t kColNumberAgain = 5;
inline constexpr size_t kColUnknown7 = 7;
inline constexpr size_t kColSortOrder = 9;
inline constexpr size_t kColCodePage = 11;
inline constexpr size_t kColFlags = 13;
inline constexpr size_t kColFixedOffset = 14;
inline constexpr size_t kColLength = 16;

enum ColumnFlag : uint8_t {
  kColFixed = 0x01,
  kColUpdatable = 0x02,
  kColAutoNumber = 0x04,
  kColSystem = 0x10,
  kColFlag20 = 0x20,
  kColFlag40 = 0x40,
  kColHyperlink = 0x80,
};

// Jet 3 column type codes (equal to the DAO type codes of the same types).
enum ColumnType : uint8_t {
  kTypeBoolean = 0x01,
  kTypeByte = 0x02,
  kTypeInteger = 0x03,
  kTypeLong = 0x04,
  kTypeCurrency = 0x05,
  kTypeSingle = 0x06,
  kTypeDouble = 0x07,
  kTypeDate = 0x08,
  kTypeBinary = 0x09,
  kTypeText = 0x0A,
  kTypeOle = 0x0B,
  kTypeMemo = 0x0C,
  kTypeGuid = 0x0F,
};

// Index flags of a real index block.
enum IndexFlag : uint8_t { kIndexUnique = 0x01, kIndexIgnoreNulls = 0x02, kIndexRequired = 0x08 };
// Order byte of a column slot of a real index block.
inline constexpr uint8_t kIndexOrderAscending = 0x01;
inline constexpr uint8_t kIndexOrderDescending = 0x00;
inline constexpr uint16_t kNoIndexColumn = 0xFFFF;  // an unused column slot
enum LogicalIndexType : uint8_t { kIndexOther = 0x00, kIndexPrimaryKey = 0x01, kIndexForeignKey = 0x02 };

// ---- Long values -------------------------------------------------------------------------
inline constexpr size_t kLongValueHeaderSize = 12;
inline constexpr uint32_t kLvInline = 0x80000000;
inline constexpr uint32_t kLvSingleRow = 0x40000000;
inline constexpr uint32_t kLvKindMask = 0xC0000000;
inline constexpr uint32_t kLvLengthMask = 0x3FFFFFFF;
inline constexpr size_t kLvChainPointerSize = 4;
inline constexpr size_t kLvMaxPieceOnPage = kPageSize - kDataHeaderSize - 2 - kLvChainPointerSize;  // 2032

// ---- Index pages -------------------------------------------------------------------------
inline constexpr size_t kIdxFreeSpace = 2;
inline constexpr size_t kIdxOwner = 4;
inline constexpr size_t kIdxPrevPage = 8;
inline constexpr size_t kIdxNextPage = 12;
inline constexpr size_t kIdxTailPage = 16;
inline constexpr size_t kIdxPrefixLength = 20;
inline constexpr size_t kIdxLevelFlag = 21;  // 0 on leaves, 1 on intermediate pages
inline constexpr size_t kIdxEntryBitmap = 22;
inline constexpr size_t kIdxEntryBitmapSize = 226;
inline constexpr size_t kIdxEntriesStart = 0xF8;
inline constexpr size_t kIdxEntryArea = kPageSize - kIdxEntriesStart;  // 1800
inline constexpr uint8_t kKeyAscending = 0x7F;
inline constexpr uint8_t kKeyDescending = 0x80;
inline constexpr uint8_t kKeyNullAscending = 0x00;
inline constexpr uint8_t kKeyNullDescending = 0xFF;

// ---- Catalog -----------------------------------------------------------------------------
inline constexpr int32_t kIdTablesContainer = 0x0F000001;
inline constexpr int32_t kIdDatabasesContainer = 0x0F000002;
inline constexpr int32_t kIdRelationshipsContainer = 0x0F000003;
inline constexpr int32_t kIdContainersParent = 0x0F000000;
inline constexpr int32_t kIdMSysDb = 0x10000000;
inline constexpr int16_t kObjTypeTable = 1;
inline constexpr int16_t kObjTypeDatabase = 2;
inline constexpr int16_t kObjTypeContainer = 3;
inline constexpr int32_t kObjFlagsSystem = static_cast<int32_t>(0x80000000u);

// ---- Limits ------------------------------------------------------------------------------
inline constexpr size_t kMaxNameBytes = 64;
inline constexpr size_t kMaxColumns = 255;
inline constexpr size_t kMaxTextLength = 255;
inline constexpr size_t kMaxIndexes = 32;        // logical indexes of one table
inline constexpr size_t kMaxIndexColumns = 10;   // the slots of a real index block
inline constexpr int kMinYear = 100;   // dates Jet stores: 100-01-01 ..
inline constexpr int kMaxYear = 9999;  // .. 9999-12-31

}  // namespace vellicor::jet3::fmt
