// The definitions of the four tables that the Jet engine itself keeps in every database
// (MSysObjects, MSysACEs, MSysQueries, MSysRelationships), as a new Jet 3.5 file holds them.
#pragma once

#include <cstdint>

#include "dataaccess/jet3/tdef.h"

namespace vellicor::jet3 {

// The fixed layout of a new file after the four TDEF pages: map holder pages, empty index roots
// and the first data pages of MSysObjects and MSysACEs.
namespace layout {
inline constexpr uint32_t kObjectsMaps = 6;          // MSysObjects owned/free and long-value maps
inline constexpr uint16_t kObjectsMapRows = 15;
inline constexpr uint32_t kLvExtraFreeMap = 7;       // the one map row that did not fit page 6
inline constexpr uint32_t kNameIndexMap = 8;
inline constexpr uint32_t kNameIndexRoot = 9;
inline constexpr uint32_t kIdIndexMap = 10;
inline constexpr uint32_t kIdIndexRoot = 11;
inline constexpr uint32_t kOtherMaps = 12;           // maps of MSysACEs, MSysQueries, MSysRelationships
inline constexpr uint16_t kOtherMapRows = 13;
inline constexpr uint32_t kAcesIndexRoot = 13;
inline constexpr uint32_t kQueriesIndexRoot = 14;
inline constexpr uint32_t kRelationshipsIndexRoots[3] = {15, 16, 17};
inline constexpr uint32_t kObjectsData = 18;
inline constexpr uint32_t kAcesData = 19;
inline constexpr uint32_t kLastEnginePage = 19;
// Rows of page kOtherMaps.
inline constexpr uint8_t kAcesOwned = 0, kAcesFree = 1, kAcesIndex = 2, kQueriesOwned = 3, kQueriesFree = 4,
                         kQueriesLvOwned = 5, kQueriesLvFree = 6, kQueriesIndex = 7, kRelationshipsOwned = 8,
                         kRelationshipsFree = 9, kRelationshipsIndex = 10;
}  // namespace layout

// Definitions with their page numbers and map rows in that layout.
TableDefinition msysObjectsDefinition(uint16_t codePage);
TableDefinition msysAcesDefinition(uint16_t codePage);
TableDefinition msysQueriesDefinition(uint16_t codePage);
TableDefinition msysRelationshipsDefinition(uint16_t codePage);

// Column numbers used by the catalog.
namespace msysobjects {
inline constexpr int kId = 0, kParentId = 1, kName = 2, kType = 3, kDateCreate = 4, kDateUpdate = 5, kOwner = 6,
                     kFlags = 7, kColumns = 17;
}
namespace msysaces {
inline constexpr int kObjectId = 0, kSid = 1, kAcm = 2, kInheritable = 3, kColumns = 4;
}

}  // namespace vellicor::jet3
