// A table definition as the TDEF pages hold it, and its encoding to and decoding from the
// logical TDEF stream (first page whole, continuation pages without their 8-byte header).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {

struct ColumnDef {
  uint8_t type = 0;             // fmt::ColumnType
  uint16_t number = 0;          // column number (null-mask bit)
  uint16_t varIndex = 0;        // slot among variable columns (fixed: variable columns before it)
  uint16_t numberAgain = 0;     // descriptor bytes 5..6
  uint16_t unknown7 = 0;        // descriptor bytes 7..8 (0 when written by Jet 3.5)
  uint16_t sortOrder = 0;
  uint16_t codePage = 0;
  uint8_t flags = 0;            // fmt::ColumnFlag
  uint16_t fixedOffset = 0;     // inside the fixed area (after the column-count byte)
  uint16_t length = 0;          // bytes (fixed types), max bytes (Text/Binary), 0 for Memo/OLE
  std::string name;             // in the database code page, as stored

  bool isFixed() const { return (flags & 0x01) != 0; }
};

struct IndexColumn {
  uint16_t column = fmt::kNoIndexColumn;
  uint8_t order = 0x01;         // 0x01 ascending, 0x00 descending
};

struct RealIndexDef {
  uint32_t unknownBefore = 0;   // the 4 zero bytes before the distinct-key count in the header
  uint32_t distinctKeys = 0;    // count in the table header
  IndexColumn columns[fmt::kMaxIndexColumns];
  uint32_t usageMap = 0;        // row pointer of the index's usage map
  uint32_t rootPage = 0;
  uint8_t flags = 0;            // fmt::IndexFlag
};

struct LogicalIndexDef {
  uint32_t number = 0;
  uint32_t realIndex = 0;
  uint8_t otherTableType = 0;
  uint32_t otherIndex = 0xFFFFFFFF;
  uint32_t otherTablePage = 0;
  uint8_t cascadeUpdates = 0x04;  // 04 04 on every non-foreign-key index seen
  uint8_t cascadeDeletes = 0x04;
  uint8_t type = 0;               // fmt::LogicalIndexType
  std::string name;               // in the database code page
};

struct LongValueMaps {
  uint16_t column = 0;
  uint32_t ownedMap = 0;  // row pointers of the column's usage maps
  uint32_t freeMap = 0;
};

struct TableDefinition {
  uint32_t rowCount = 0;
  uint32_t autonumber = 0;
  uint8_t tableType = 0x4E;     // fmt::kTableTypeUser or kTableTypeSystem
  uint16_t maxColumns = 0;      // including deleted columns
  uint32_t ownedMap = 0;        // row pointer of the "owned data pages" map
  uint32_t freeMap = 0;         // row pointer of the "pages with free space" map
  std::vector<ColumnDef> columns;
  std::vector<RealIndexDef> realIndexes;
  std::vector<LogicalIndexDef> logicalIndexes;
  std::vector<LongValueMaps> longValueMaps;

  uint16_t variableColumnCount() const;
};

// The logical TDEF stream of a definition (including the 8-byte page header of the first page,
// whose next-page field the pager fills in, and the final terminator).
std::vector<uint8_t> encodeTdef(const TableDefinition& def);
// Parses a logical TDEF stream; throws dao::Error when it is malformed.
TableDefinition decodeTdef(const std::vector<uint8_t>& stream);

}  // namespace vellicor::jet3
