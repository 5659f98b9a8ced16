// Which pages of a Jet 3 file its tables and its global map refer to, and as what: the one walk
// over definitions and usage maps that both the whole-file check and the check before appending use.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet3/jet_file_reader.h"

namespace vellicor::jet3 {


enum class PageRole : uint8_t {
  kHeader,       // page 0
  kGlobalMap,    // page 1 and the bitmap pages of its two map rows
  kDefinition,   // a TDEF page of a table (first page and continuations)
  kMapHolder,    // a data page holding usage-map rows (may hold rows of several tables)
  kMapBitmap,    // a 0x05 page of a table's, index's or long-value column's map in reference form
  kData,         // a data page listed in a table's owned-pages map
  kLongValue,    // an LVAL page listed in a Memo/OLE column's owned-pages map
  kIndex,        // a page listed in an index's map
};

// What the role is called in messages ("使用ページ表のビットマップ").
const char* pageRoleName(PageRole role);

struct PageClaim {
  uint32_t page = 0;
  PageRole role = PageRole::kData;
  uint32_t tdefPage = 0;  // the table that refers to the page; 0 for the file's own pages
};

// A table met by the walk: its definition and the members of its maps (ascending; pages past the
// end of the file included).
struct ClaimedTable {
  std::string name;  // UTF-8
  uint32_t tdefPage = 0;
  bool readable = false;  // its definition was read (the maps may still have faults)
  TableInfo info;
  std::vector<uint32_t> dataPages, freeSpacePages;
  struct LongValueColumn {
    uint16_t column = 0;  // column number
    std::vector<uint32_t> pages, freeSpacePages;
  };
  std::vector<LongValueColumn> longValues;
  std::vector<std::vector<uint32_t>> indexPages;  // per real index
};

struct PageClaims {
  std::vector<PageClaim> claims;      // in the order met; a page may be claimed more than once
  std::vector<ClaimedTable> tables;   // every local table, system tables included, catalog order
  // Structures that could not be read (a definition, a map row, a bitmap page of the wrong kind):
  // the pages they would list are not known. table is empty for the global map.
  struct Fault {
    std::string table;
    std::string description;  // Japanese
  };
  std::vector<Fault> faults;

  // The name of the table whose definition is at tdefPage ("" for 0 or an unknown page).
  const std::string& tableName(uint32_t tdefPage) const;
};

// Walks the header's and the catalog's tables and the global map. Never throws for what it finds
// (faults are listed); throws dao::Error only when the catalog itself cannot be read.
PageClaims collectPageClaims(JetFileReader& reader);

}  // namespace vellicor::jet3
