// The definitions of the four tables that the Jet engine itself keeps in every database
// (MSysObjects, MSysACEs, MSysQueries, MSysRelationships), as a new Jet 3.5 file holds them.
#pragma once

#include <cstdint>

#include "dataaccess/jet3/tdef.h"

namespace vellicor::jet3 {

// Page numbers and map rows follow the fixed layout of a new file (pages 2..19).
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
