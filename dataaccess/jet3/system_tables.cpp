// The four system table definitions, column by column as Jet 3.5 writes them into a new file,
// including the bytes of unused index slots and of the fixed-offset field of variable columns,
// which carry whatever Jet left there.
#include "dataaccess/jet3/system_tables.h"

#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {
namespace {

constexpr uint8_t kSysFixed = fmt::kColFixed | fmt::kColUpdatable | fmt::kColSystem;  // 0x13
constexpr uint8_t kSysVar = fmt::kColUpdatable | fmt::kColSystem;                      // 0x12
constexpr uint8_t kSysBinary = kSysVar | fmt::kColFlag20;                              // 0x32

struct Col {
  const char* name;
  uint8_t type;
  uint16_t varIndex;
  uint8_t flags;
  uint16_t fixedOffset;
  uint16_t length;
};

TableDefinition build(std::initializer_list<Col> cols, uint16_t codePage, uint32_t ownedMap, uint32_t freeMap) {
  TableDefinition d;
  d.tableType = fmt::kTableTypeSystem;
  d.ownedMap = ownedMap;
  d.freeMap = freeMap;
  uint16_t n = 0;
  for (const Col& c : cols) {
    ColumnDef cd;
    cd.type = c.type;
    cd.number = n++;
    cd.varIndex = c.varIndex;
    cd.sortOrder = fmt::kSortGeneral;
    cd.codePage = codePage;
    cd.flags = c.flags;
    cd.fixedOffset = c.fixedOffset;
    cd.length = c.length;
    cd.name = c.name;
    d.columns.push_back(cd);
  }
  d.maxColumns = n;
  return d;
}

// Ten index slots: the used columns, then unused slots with the order bytes found in Jet's files.
RealIndexDef realIndex(std::initializer_list<uint16_t> columns, std::initializer_list<uint8_t> staleOrders,
                       uint32_t map, uint32_t root, uint8_t flags) {
  RealIndexDef r;
  size_t i = 0;
  for (uint16_t c : columns) r.columns[i++] = IndexColumn{c, 0x01};
  for (uint8_t o : staleOrders) r.columns[i++] = IndexColumn{fmt::kNoIndexColumn, o};
  r.usageMap = map;
  r.rootPage = root;
  r.flags = flags;
  return r;
}

LogicalIndexDef logicalIndex(uint32_t number, uint32_t real, uint8_t type, const char* name) {
  LogicalIndexDef l;
  l.number = number;
  l.realIndex = real;
  l.type = type;
  l.name = name;
  return l;
}

using fmt::rowPointer;
using namespace layout;

}  // namespace

TableDefinition msysObjectsDefinition(uint16_t cp) {
  TableDefinition d = build(
      {
          {"Id", fmt::kTypeLong, 0, kSysFixed, 0, 4},
          {"ParentId", fmt::kTypeLong, 0, kSysFixed, 4, 4},
          {"Name", fmt::kTypeText, 0, kSysVar, 0, 255},
          {"Type", fmt::kTypeInteger, 1, kSysFixed, 8, 2},
          {"DateCreate", fmt::kTypeDate, 1, kSysFixed, 10, 8},
          {"DateUpdate", fmt::kTypeDate, 1, kSysFixed, 18, 8},
          {"Owner", fmt::kTypeBinary, 1, kSysBinary, 0, 255},
          {"Flags", fmt::kTypeLong, 2, kSysFixed, 26, 4},
          {"Database", fmt::kTypeMemo, 2, kSysVar, 0, 0},
          {"Connect", fmt::kTypeMemo, 3, kSysVar, 0, 0},
          {"ForeignName", fmt::kTypeText, 4, kSysVar, 0, 255},
          {"RmtInfoShort", fmt::kTypeBinary, 5, kSysVar, 0, 255},
          {"RmtInfoLong", fmt::kTypeOle, 6, kSysVar, 8563, 0},
          {"Lv", fmt::kTypeOle, 7, kSysVar, 1, 0},
          {"LvProp", fmt::kTypeOle, 8, kSysVar, 9160, 0},
          {"LvModule", fmt::kTypeOle, 9, kSysVar, 37889, 0},
          {"LvExtra", fmt::kTypeOle, 10, kSysVar, 8552, 0},
      },
      cp, rowPointer(kObjectsMaps, 0), rowPointer(kObjectsMaps, 1));
  d.realIndexes.push_back(realIndex({1, 2}, {0x21, 0x68, 0x94, 0x01, 0x21, 0x68, 0x94, 0x01}, rowPointer(kNameIndexMap, 0), kNameIndexRoot,
                                    fmt::kIndexUnique));
  d.realIndexes.push_back(realIndex({0}, {0x21, 0x68, 0x94, 0x01, 0x21, 0x68, 0x94, 0x01, 0x21}, rowPointer(kIdIndexMap, 0),
                                    kIdIndexRoot, fmt::kIndexUnique));
  d.logicalIndexes.push_back(logicalIndex(1, 1, fmt::kIndexPrimaryKey, "Id"));
  d.logicalIndexes.push_back(logicalIndex(0, 0, fmt::kIndexOther, "ParentIdName"));
  d.longValueMaps = {
      {9, rowPointer(kObjectsMaps, 4), rowPointer(kObjectsMaps, 5)},    {8, rowPointer(kObjectsMaps, 2), rowPointer(kObjectsMaps, 3)},
      {13, rowPointer(kObjectsMaps, 8), rowPointer(kObjectsMaps, 9)},   {16, rowPointer(kObjectsMaps, 14), rowPointer(kLvExtraFreeMap, 0)},
      {15, rowPointer(kObjectsMaps, 12), rowPointer(kObjectsMaps, 13)}, {14, rowPointer(kObjectsMaps, 10), rowPointer(kObjectsMaps, 11)},
      {12, rowPointer(kObjectsMaps, 6), rowPointer(kObjectsMaps, 7)},
  };
  return d;
}

TableDefinition msysAcesDefinition(uint16_t cp) {
  TableDefinition d = build(
      {
          {"ObjectId", fmt::kTypeLong, 0, kSysFixed, 0, 4},
          {"SID", fmt::kTypeBinary, 0, kSysBinary, 37888, 255},
          {"ACM", fmt::kTypeLong, 1, kSysFixed, 4, 4},
          {"FInheritable", fmt::kTypeBoolean, 1, kSysFixed, 0, 1},
      },
      cp, rowPointer(kOtherMaps, kAcesOwned), rowPointer(kOtherMaps, kAcesFree));
  d.realIndexes.push_back(realIndex({0}, {0x00, 0x7D, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, rowPointer(kOtherMaps, kAcesIndex),
                                    kAcesIndexRoot, fmt::kIndexRequired));
  d.logicalIndexes.push_back(logicalIndex(0, 0, fmt::kIndexOther, "ObjectId"));
  return d;
}

TableDefinition msysQueriesDefinition(uint16_t cp) {
  TableDefinition d = build(
      {
          {"ObjectId", fmt::kTypeLong, 0, kSysFixed, 0, 4},
          {"Attribute", fmt::kTypeByte, 0, kSysFixed, 4, 1},
          {"Order", fmt::kTypeBinary, 0, kSysVar, 65535, 255},
          {"Name1", fmt::kTypeText, 1, kSysVar, 65535, 255},
          {"Name2", fmt::kTypeText, 2, kSysVar, 65535, 255},
          {"Expression", fmt::kTypeMemo, 3, kSysVar, 65535, 0},
          {"Flag", fmt::kTypeInteger, 4, kSysFixed, 5, 2},
      },
      cp, rowPointer(kOtherMaps, kQueriesOwned), rowPointer(kOtherMaps, kQueriesFree));
  d.realIndexes.push_back(realIndex({0, 1, 2}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, rowPointer(kOtherMaps, kQueriesIndex), kQueriesIndexRoot,
                                    fmt::kIndexUnique));
  d.logicalIndexes.push_back(logicalIndex(0, 0, fmt::kIndexPrimaryKey, "ObjectIdAttribute"));
  d.longValueMaps = {{5, rowPointer(kOtherMaps, kQueriesLvOwned), rowPointer(kOtherMaps, kQueriesLvFree)}};
  return d;
}

TableDefinition msysRelationshipsDefinition(uint16_t cp) {
  TableDefinition d = build(
      {
          {"szRelationship", fmt::kTypeText, 0, kSysVar, 65535, 255},
          {"grbit", fmt::kTypeLong, 1, kSysFixed, 0, 4},
          {"ccolumn", fmt::kTypeLong, 1, kSysFixed, 4, 4},
          {"icolumn", fmt::kTypeLong, 1, kSysFixed, 8, 4},
          {"szObject", fmt::kTypeText, 1, kSysVar, 8528, 255},
          {"szColumn", fmt::kTypeText, 2, kSysVar, 0, 255},
          {"szReferencedObject", fmt::kTypeText, 3, kSysVar, 0, 255},
          {"szReferencedColumn", fmt::kTypeText, 4, kSysVar, 0, 255},
      },
      cp, rowPointer(kOtherMaps, kRelationshipsOwned), rowPointer(kOtherMaps, kRelationshipsFree));
  d.realIndexes.push_back(realIndex({0}, {0x00, 0xFF, 0x00, 0x20, 0x5E, 0xD8, 0x01, 0x20, 0x57}, rowPointer(kOtherMaps, kRelationshipsIndex),
                                    kRelationshipsIndexRoots[0], fmt::kIndexIgnoreNulls));
  d.realIndexes.push_back(realIndex({4}, {0x94, 0x01, 0x21, 0x50, 0x94, 0x01, 0x21, 0x50, 0x94}, rowPointer(kOtherMaps, kRelationshipsIndex + 1),
                                    kRelationshipsIndexRoots[1], fmt::kIndexIgnoreNulls));
  d.realIndexes.push_back(realIndex({6}, {0x01, 0x21, 0x50, 0x94, 0x01, 0x21, 0x50, 0x94, 0x01}, rowPointer(kOtherMaps, kRelationshipsIndex + 2),
                                    kRelationshipsIndexRoots[2], fmt::kIndexIgnoreNulls));
  d.logicalIndexes.push_back(logicalIndex(1, 1, fmt::kIndexOther, "szObject"));
  d.logicalIndexes.push_back(logicalIndex(2, 2, fmt::kIndexOther, "szReferencedObject"));
  d.logicalIndexes.push_back(logicalIndex(0, 0, fmt::kIndexOther, "szRelationship"));
  return d;
}

}  // namespace vellicor::jet3
