// The catalog writer: fresh system tables built in bulk, and the catalog rows of appended tables,
// whose entries go into the MSysObjects and MSysACEs indexes in place.
#include "dataaccess/jet3/catalog.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <utility>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/index_insert.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/names.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/row_reader.h"
#include "dataaccess/jet3/system_tables.h"
#include "dataaccess/jet3/table_writer.h"
#include "dataaccess/variant.h"

namespace vellicor::jet3 {

struct Catalog::Table {
  TableDefinition def;
  uint32_t tdefPage = 0;
  RowLayout layout;
  UsageMap owned, free;
  DataPage last;
  uint32_t lastPage = 0;  // 0: no data page yet
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> pendingPages;  // data pages to write
  bool mapsChanged = false;
  std::vector<UsageMap> indexMaps;                // per real index
  std::vector<std::vector<IndexEntry>> pending;   // per real index: entries of rows placed since the last commit
  std::vector<uint32_t> presetRoots;              // page for each index's first build (new file)
  // The indexes did not list the rows as they stand (a commit cut short and its journal lost):
  // pending holds every row's entries and the next commit builds the indexes anew.
  bool rebuild = false;
};

namespace {

constexpr uint8_t kOwnerEngine[2] = {0x02, 0x03};
constexpr uint8_t kOwnerAdmin[2] = {0x03, 0x01};
constexpr uint8_t kSidUsers[2] = {0x02, 0x01};
constexpr uint8_t kSidCreator[2] = {0x02, 0x04};
constexpr int32_t kAcmFull = 0x000FFFFF;
// Jet's own objects carry 0x80000000, Access's hidden tables 2.
constexpr uint32_t kSystemObjectFlags = 0x80000002u;

[[noreturn]] void corrupt(const std::string& what) {
  throw dao::damagedFile("データベースのシステムカタログが壊れています: " + what);
}

// One column's value as the key builder and the row encoder see it.
struct Cell {
  bool present = false;
  uint8_t fixed[8] = {};
  std::vector<uint8_t> bytes;
};

void setLong(Cell& c, int32_t v) {
  c.present = true;
  storeU32(c.fixed, static_cast<uint32_t>(v));
}
void setInteger(Cell& c, int16_t v) {
  c.present = true;
  storeU16(c.fixed, static_cast<uint16_t>(v));
}
void setDouble(Cell& c, double v) {
  c.present = true;
  std::memcpy(c.fixed, &v, sizeof v);
}
void setBytes(Cell& c, const uint8_t* p, size_t n) {
  c.present = true;
  c.bytes.assign(p, p + n);
}

// The key of one row for one real index, from the raw bytes of its columns.
std::vector<uint8_t> keyOf(const TableDefinition& def, const RealIndexDef& ri, const std::vector<FieldBytes>& f) {
  std::vector<uint8_t> key;
  for (const IndexColumn& ic : ri.columns) {
    if (ic.column == fmt::kNoIndexColumn) continue;
    const bool asc = ic.order != 0;
    size_t ci = 0;
    while (ci < def.columns.size() && def.columns[ci].number != ic.column) ++ci;
    if (ci == def.columns.size()) corrupt("索引の列が見つかりません。");
    appendColumnKey(key, def.columns[ci], f[ci], asc);
  }
  return key;
}

std::vector<FieldBytes> fieldsOf(const TableDefinition& def, const std::vector<Cell>& cells) {
  std::vector<FieldBytes> f(def.columns.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    f[i].present = cells[i].present;
    if (def.columns[i].isFixed()) {
      f[i].data = cells[i].fixed;
      f[i].size = def.columns[i].length;
    } else {
      f[i].data = cells[i].bytes.data();
      f[i].size = cells[i].bytes.size();
    }
  }
  return f;
}

std::vector<Cell> objectCells(const CatalogObject& o, double created, double updated, const uint8_t* owner) {
  std::vector<Cell> c(msysobjects::kColumns);
  setLong(c[msysobjects::kId], o.id);
  setLong(c[msysobjects::kParentId], o.parentId);
  setBytes(c[msysobjects::kName], reinterpret_cast<const uint8_t*>(o.nameBytes.data()), o.nameBytes.size());
  setInteger(c[msysobjects::kType], o.type);
  setDouble(c[msysobjects::kDateCreate], created);
  setDouble(c[msysobjects::kDateUpdate], updated);
  setBytes(c[msysobjects::kOwner], owner, 2);
  setLong(c[msysobjects::kFlags], o.flags);
  return c;
}

std::vector<Cell> aceCells(int32_t objectId, const uint8_t* sid, size_t sidSize, int32_t acm, bool inheritable) {
  std::vector<Cell> c(msysaces::kColumns);
  setLong(c[msysaces::kObjectId], objectId);
  setBytes(c[msysaces::kSid], sid, sidSize);
  setLong(c[msysaces::kAcm], acm);
  c[msysaces::kInheritable].present = inheritable;  // a Boolean is its null-mask bit
  return c;
}

}  // namespace

const std::vector<uint8_t>& ourLongSid() {
  static const std::vector<uint8_t> sid = [] {
    // 0x01, then "Vellicor" spread over 101 bytes with a running counter mixed in.
    std::vector<uint8_t> s{0x01};
    const char* tag = "Vellicor";
    for (int i = 0; i < 101; ++i) s.push_back(static_cast<uint8_t>(tag[i % 8] ^ (i * 29)));
    return s;
  }();
  return sid;
}

double oleNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  dao::CivilTime c;
  c.year = tm.tm_year + 1900;
  c.month = tm.tm_mon + 1;
  c.day = tm.tm_mday;
  c.hour = tm.tm_hour;
  c.minute = tm.tm_min;
  c.second = tm.tm_sec;
  return dao::toOleDate(c).oa;
}

Catalog::Catalog(Pager& pager) : pager_(pager) {}
Catalog::~Catalog() = default;

namespace {

// Encodes cells as a row of t and places it on t's last data page (a new page when it is full).
// Returns the row's page and row number and records the index entries.
void placeRow(Pager& pager, Catalog::Table& t, const std::vector<Cell>& cells) {
  std::vector<CellValue> values(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    values[i].isNull = !cells[i].present;
    values[i].boolValue = cells[i].present;
    std::memcpy(values[i].fixed, cells[i].fixed, sizeof cells[i].fixed);
    values[i].data = cells[i].bytes.data();
    values[i].size = cells[i].bytes.size();
  }
  uint8_t row[fmt::kPageSize];
  const size_t length = encodeRow(t.layout, values.data(), row, fmt::kMaxRowSize);
  if (length == 0) throw dao::formatLimit("システムカタログの行が大きすぎます。");
  if (t.lastPage == 0 || !t.last.fits(length)) {
    if (t.lastPage != 0) {
      t.pendingPages.emplace_back(t.lastPage, std::vector<uint8_t>(t.last.bytes(), t.last.bytes() + fmt::kPageSize));
      t.free.pages().erase(t.lastPage);
    }
    t.lastPage = pager.allocate(true);
    t.last.reset(t.tdefPage);
    t.owned.pages().insert(t.lastPage);
    t.free.pages().insert(t.lastPage);
    t.mapsChanged = true;
  }
  uint8_t rowNumber;
  std::memcpy(t.last.append(length, rowNumber), row, length);
  const std::vector<FieldBytes> f = fieldsOf(t.def, cells);
  for (size_t i = 0; i < t.def.realIndexes.size(); ++i) {
    IndexEntry e;
    e.key = keyOf(t.def, t.def.realIndexes[i], f);
    e.page = t.lastPage;
    e.row = rowNumber;
    t.pending[i].push_back(std::move(e));
  }
  ++t.def.rowCount;
}

// Builds the indexes of t in bulk from the entries of all its rows (in pending): a fresh table's
// on their preset pages, an existing one's (whose indexes did not match its rows) on new pages,
// the old ones released.
void buildIndexes(Pager& pager, Catalog::Table& t) {
  for (size_t i = 0; i < t.def.realIndexes.size(); ++i) {
    uint32_t preset = i < t.presetRoots.size() ? t.presetRoots[i] : 0;
    for (uint32_t p : t.indexMaps[i].pages().members()) pager.release(p);
    t.indexMaps[i].pages().clear();
    std::vector<BuiltPage> built;
    const uint32_t root = buildIndexTree(
        t.pending[i], t.tdefPage,
        [&]() -> uint32_t {
          if (preset) return std::exchange(preset, 0);
          return pager.allocate(true);
        },
        built);
    for (const BuiltPage& b : built) {
      pager.write(b.number, b.bytes.data());
      t.indexMaps[i].pages().insert(b.number);
    }
    RealIndexDef& ri = t.def.realIndexes[i];
    ri.rootPage = root;
    std::vector<IndexEntry> sorted = std::move(t.pending[i]);
    std::sort(sorted.begin(), sorted.end());
    uint32_t distinct = 0;
    for (size_t k = 0; k < sorted.size(); ++k)
      if (k == 0 || sorted[k].key != sorted[k - 1].key) ++distinct;
    ri.distinctKeys = distinct;
    t.pending[i].clear();
  }
  t.presetRoots.clear();
  t.rebuild = false;
}

// Inserts the entries of the rows placed since the last commit into t's existing indexes, in
// place: the cost of a table append does not grow with the catalog. New index pages go into the
// index's usage map; no page is dropped.
void insertPending(Pager& pager, Catalog::Table& t) {
  for (size_t i = 0; i < t.def.realIndexes.size(); ++i) {
    RealIndexDef& ri = t.def.realIndexes[i];
    UsageMap& map = t.indexMaps[i];
    const IndexTreeIo io{[&](uint32_t n, Page& p) { pager.read(n, p.data()); },
                         [&](uint32_t n, const Page& p) { pager.write(n, p.data()); },
                         [&]() {
                           const uint32_t n = pager.allocate(true);
                           map.pages().insert(n);
                           return n;
                         }};
    for (const IndexEntry& e : t.pending[i]) {
      const IndexInsertResult r = insertIndexEntry(io, ri.rootPage, t.tdefPage, e);
      ri.rootPage = r.root;
      if (r.newKey) ++ri.distinctKeys;
    }
    t.pending[i].clear();
  }
}

void writeCatalogTdef(Pager& pager, const Catalog::Table& t) {
  const std::vector<uint8_t> stream = encodeTdef(t.def);
  if (stream.size() > fmt::kPageSize) corrupt("システムテーブルの定義が 1 ページを超えています。");
  writeTdefPages(pager, {t.tdefPage}, stream);
}

}  // namespace

void Catalog::commit(std::vector<Table*> changed) {
  Pager::CommitScope scope(pager_);
  // 2. the catalog rows on their data pages, then their index entries (changed and new index
  //    pages): an entry is written only after its row
  for (Table* t : changed) {
    for (auto& [page, bytes] : t->pendingPages) pager_.write(page, bytes.data());
    t->pendingPages.clear();
    if (t->lastPage) pager_.write(t->lastPage, t->last.bytes());
  }
  for (Table* t : changed) {
    if (t->presetRoots.empty() && !t->rebuild) {
      insertPending(pager_, *t);
    } else {
      buildIndexes(pager_, *t);
    }
  }
  // 3. the global map is written by the pager when the commit ends, after the new pages and
  //    before the pages above that refer to them
  // 4. the data pages' usage maps
  for (Table* t : changed) {
    if (t->mapsChanged) {
      t->owned.store(pager_);
      t->free.store(pager_);
      t->mapsChanged = false;
    }
  }
  // 5. definitions and index maps
  for (Table* t : changed) {
    writeCatalogTdef(pager_, *t);
    for (UsageMap& m : t->indexMaps) m.store(pager_);
  }
  scope.done();
}

std::unique_ptr<Catalog> Catalog::create(Pager& pager, uint16_t codePage, double now) {
  std::unique_ptr<Catalog> c(new Catalog(pager));
  c->longSid_ = ourLongSid();
  // Pages 2..19 in the order every new Jet 3 file has them.
  using namespace layout;
  for (uint32_t expected = fmt::kMSysObjectsTdef; expected <= kLastEnginePage; ++expected) {
    if (pager.allocate(true) != expected) throw dao::Error("新しいデータベースのページ配置に失敗しました。");
  }
  writeEmptyHolderPage(pager, kObjectsMaps, kObjectsMapRows);
  writeEmptyHolderPage(pager, kLvExtraFreeMap, 1);
  writeEmptyHolderPage(pager, kNameIndexMap, 1);
  writeEmptyHolderPage(pager, kIdIndexMap, 1);
  writeEmptyHolderPage(pager, kOtherMaps, kOtherMapRows);

  auto makeTable = [&](TableDefinition def, uint32_t tdefPage, std::vector<UsageMap> indexMaps,
                       std::vector<uint32_t> roots) {
    auto t = std::make_unique<Table>();
    t->def = std::move(def);
    t->tdefPage = tdefPage;
    t->layout = RowLayout::fromDefinition(t->def);
    t->owned = holderRow(fmt::pointerPage(t->def.ownedMap), fmt::pointerRow(t->def.ownedMap));
    t->free = holderRow(fmt::pointerPage(t->def.freeMap), fmt::pointerRow(t->def.freeMap));
    t->indexMaps = std::move(indexMaps);
    t->pending.resize(t->def.realIndexes.size());
    t->presetRoots = std::move(roots);
    return t;
  };
  c->objectsTable_ = makeTable(msysObjectsDefinition(codePage), fmt::kMSysObjectsTdef,
                               {holderRow(kNameIndexMap, 0), holderRow(kIdIndexMap, 0)}, {kNameIndexRoot, kIdIndexRoot});
  c->acesTable_ = makeTable(msysAcesDefinition(codePage), fmt::kMSysACEsTdef, {holderRow(kOtherMaps, kAcesIndex)}, {kAcesIndexRoot});
  auto queries = makeTable(msysQueriesDefinition(codePage), fmt::kMSysQueriesTdef, {holderRow(kOtherMaps, kQueriesIndex)}, {kQueriesIndexRoot});
  auto relationships = makeTable(msysRelationshipsDefinition(codePage), fmt::kMSysRelationshipsTdef,
                                 {holderRow(kOtherMaps, kRelationshipsIndex), holderRow(kOtherMaps, kRelationshipsIndex + 1),
                                  holderRow(kOtherMaps, kRelationshipsIndex + 2)},
                                 {kRelationshipsIndexRoots[0], kRelationshipsIndexRoots[1], kRelationshipsIndexRoots[2]});
  // The first data pages of MSysObjects and MSysACEs.
  c->objectsTable_->lastPage = kObjectsData;
  c->objectsTable_->last.reset(fmt::kMSysObjectsTdef);
  c->objectsTable_->owned.pages().insert(kObjectsData);
  c->objectsTable_->free.pages().insert(kObjectsData);
  c->objectsTable_->mapsChanged = true;
  c->acesTable_->lastPage = kAcesData;
  c->acesTable_->last.reset(fmt::kMSysACEsTdef);
  c->acesTable_->owned.pages().insert(kAcesData);
  c->acesTable_->free.pages().insert(kAcesData);
  c->acesTable_->mapsChanged = true;

  const CatalogObject engineObjects[] = {
      {fmt::kIdTablesContainer, fmt::kIdContainersParent, "Tables", fmt::kObjTypeContainer, fmt::kObjFlagsSystem},
      {fmt::kIdDatabasesContainer, fmt::kIdContainersParent, "Databases", fmt::kObjTypeContainer,
       fmt::kObjFlagsSystem},
      {fmt::kIdRelationshipsContainer, fmt::kIdContainersParent, "Relationships", fmt::kObjTypeContainer,
       fmt::kObjFlagsSystem},
      {fmt::kIdMSysDb, fmt::kIdDatabasesContainer, "MSysDb", fmt::kObjTypeDatabase, fmt::kObjFlagsSystem},
      {fmt::kMSysObjectsTdef, fmt::kIdTablesContainer, "MSysObjects", fmt::kObjTypeTable, fmt::kObjFlagsSystem},
      {fmt::kMSysACEsTdef, fmt::kIdTablesContainer, "MSysACEs", fmt::kObjTypeTable, fmt::kObjFlagsSystem},
      {fmt::kMSysQueriesTdef, fmt::kIdTablesContainer, "MSysQueries", fmt::kObjTypeTable, fmt::kObjFlagsSystem},
      {fmt::kMSysRelationshipsTdef, fmt::kIdTablesContainer, "MSysRelationships", fmt::kObjTypeTable,
       fmt::kObjFlagsSystem},
  };
  for (const CatalogObject& o : engineObjects) {
    placeRow(pager, *c->objectsTable_, objectCells(o, now, now, o.id == fmt::kIdMSysDb ? kOwnerAdmin : kOwnerEngine));
    c->remember(o);
  }
  // Security rows as Jet 3.5 writes them for the engine's objects.
  struct Ace {
    int32_t object;
    int sid;  // 0 admin, 1 users, 2 creator, 3 long
    int32_t acm;
    bool inheritable;
  };
  const Ace aces[] = {
      {fmt::kIdTablesContainer, 2, 0xF00FE, true},       {fmt::kIdTablesContainer, 0, 0xFFEFF, true},
      {fmt::kIdTablesContainer, 3, 0xFFFFF, true},       {fmt::kIdTablesContainer, 1, 0xFFFFF, true},
      {fmt::kIdDatabasesContainer, 0, 0x60000, false},   {fmt::kIdRelationshipsContainer, 2, 0xF00FE, true},
      {fmt::kIdRelationshipsContainer, 0, 0x60001, false}, {fmt::kIdRelationshipsContainer, 3, 0xFFFFF, true},
      {fmt::kIdRelationshipsContainer, 1, 0xFFFFF, true}, {fmt::kIdMSysDb, 0, 0x6000E, false},
      {fmt::kIdMSysDb, 1, 0xE, false},                   {fmt::kIdMSysDb, 3, 0x6000E, false},
      {fmt::kMSysObjectsTdef, 0, 0x60000, false},        {fmt::kMSysObjectsTdef, 3, 0x60054, false},
      {fmt::kMSysObjectsTdef, 1, 0x14, false},           {fmt::kMSysACEsTdef, 0, 0x60000, false},
      {fmt::kMSysACEsTdef, 3, 0x60054, false},           {fmt::kMSysQueriesTdef, 0, 0x60000, false},
      {fmt::kMSysQueriesTdef, 3, 0x60014, false},        {fmt::kMSysQueriesTdef, 1, 0x14, false},
      {fmt::kMSysRelationshipsTdef, 0, 0xE0000, false},  {fmt::kMSysRelationshipsTdef, 3, 0x60014, false},
      {fmt::kMSysRelationshipsTdef, 1, 0x14, false},
  };
  for (const Ace& a : aces) {
    const uint8_t* sid = a.sid == 0 ? kOwnerAdmin : a.sid == 1 ? kSidUsers : a.sid == 2 ? kSidCreator : c->longSid_.data();
    const size_t sidSize = a.sid == 3 ? c->longSid_.size() : 2;
    placeRow(pager, *c->acesTable_, aceCells(a.object, sid, sidSize, a.acm, a.inheritable));
  }
  // The two tables that stay empty: definition, empty index leaves, maps.
  for (Table* t : {queries.get(), relationships.get()}) {
    buildIndexes(pager, *t);
    writeCatalogTdef(pager, *t);
    for (UsageMap& m : t->indexMaps) m.store(pager);
    t->owned.store(pager);
    t->free.store(pager);
  }
  // Long-value maps of MSysObjects and MSysQueries stay empty: their holder rows already are.
  c->commit({c->objectsTable_.get(), c->acesTable_.get()});
  return c;
}

namespace {

// Whether every index of t lists exactly the entries of its rows (fromRows, sorted here) with a
// distinct-key count not below theirs. Jet leaves the count above the real one after deletions;
// anything else (an entry missing or extra, a tree that cannot be read) is what a commit cut
// short leaves when its journal is lost.
bool indexesListRows(Pager& pager, const Catalog::Table& t, std::vector<std::vector<IndexEntry>>& fromRows) {
  for (size_t i = 0; i < t.def.realIndexes.size(); ++i) {
    std::vector<IndexEntry>& want = fromRows[i];
    std::sort(want.begin(), want.end());
    std::vector<IndexEntry> have;
    try {
      readIndexTree([&](uint32_t n, Page& p) { pager.read(n, p.data()); }, t.def.realIndexes[i].rootPage, t.tdefPage,
                    have);
    } catch (const dao::Error&) {
      return false;
    }
    if (have != want) return false;
    uint32_t distinct = 0;
    for (size_t k = 0; k < want.size(); ++k)
      if (k == 0 || want[k].key != want[k - 1].key) ++distinct;
    if (t.def.realIndexes[i].distinctKeys < distinct) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<Catalog> Catalog::load(Pager& pager, JetFileReader& reader) {
  std::unique_ptr<Catalog> c(new Catalog(pager));
  auto loadTable = [&](uint32_t tdefPage) {
    auto t = std::make_unique<Table>();
    TableInfo info = reader.readTable(tdefPage);
    t->def = info.def;
    t->tdefPage = tdefPage;
    t->layout = RowLayout::fromDefinition(t->def);
    t->owned = UsageMap(t->def.ownedMap, 0, 0);
    t->owned.load(pager);
    t->free = UsageMap(t->def.freeMap, 0, 0);
    t->free.load(pager);
    for (const RealIndexDef& ri : t->def.realIndexes) {
      UsageMap m(ri.usageMap, 0, 0);
      m.load(pager);
      t->indexMaps.push_back(std::move(m));
    }
    t->pending.resize(t->def.realIndexes.size());
    if (!t->owned.pages().empty()) {
      t->lastPage = t->owned.pages().last();
      t->last.load(*pager.page(t->lastPage), t->lastPage);
    }
    RowCursor cursor(reader, info);
    uint32_t rows = 0;
    std::vector<std::vector<IndexEntry>> fromRows(t->def.realIndexes.size());
    while (cursor.next()) {
      ++rows;
      for (size_t i = 0; i < t->def.realIndexes.size(); ++i) {
        IndexEntry e;
        e.key = keyOf(t->def, t->def.realIndexes[i], cursor.fields());
        e.page = fmt::pointerPage(cursor.rowPointer());
        e.row = fmt::pointerRow(cursor.rowPointer());
        fromRows[i].push_back(std::move(e));
      }
      if (tdefPage == fmt::kMSysACEsTdef && c->longSid_.empty()) {
        const FieldBytes& sid = cursor.fields()[msysaces::kSid];
        if (sid.present && sid.size == ourLongSid().size()) c->longSid_.assign(sid.data, sid.data + sid.size);
      }
    }
    t->def.rowCount = rows;
    if (!indexesListRows(pager, *t, fromRows)) {
      t->rebuild = true;
      t->pending = std::move(fromRows);
    }
    return t;
  };
  c->objectsTable_ = loadTable(fmt::kMSysObjectsTdef);
  c->acesTable_ = loadTable(fmt::kMSysACEsTdef);
  if (c->longSid_.empty()) c->longSid_ = ourLongSid();
  for (const CatalogEntry& e : reader.catalog()) {
    c->remember(CatalogObject{e.id, e.parentId, e.nameBytes, e.type, e.flags});
  }
  return c;
}

void Catalog::remember(const CatalogObject& o) {
  objects_.push_back(o);
  if (o.parentId != fmt::kIdTablesContainer) return;
  tableKeys_.emplace(nameKey(o.nameBytes), objects_.size() - 1);
}

const CatalogObject* Catalog::tableByKey(const std::string& nameBytes) const {
  auto it = tableKeys_.find(nameKey(nameBytes));
  return it == tableKeys_.end() ? nullptr : &objects_[it->second];
}

std::optional<std::string> Catalog::tableWithSameKey(const std::string& nameBytes) const {
  if (const CatalogObject* o = tableByKey(nameBytes)) return o->nameBytes;
  return std::nullopt;
}

std::vector<const CatalogObject*> Catalog::userTables() const {
  std::vector<const CatalogObject*> out;
  for (const CatalogObject& o : objects_) {
    if (o.parentId == fmt::kIdTablesContainer && o.type == fmt::kObjTypeTable &&
        (static_cast<uint32_t>(o.flags) & kSystemObjectFlags) == 0) {
      out.push_back(&o);
    }
  }
  return out;
}

void Catalog::addTable(const std::string& nameBytes, uint32_t tdefPage, double now) {
  // Work on copies so that a refusal before anything is written leaves the catalog unchanged.
  Table objects = *objectsTable_;
  Table aces = *acesTable_;
  CatalogObject o{static_cast<int32_t>(tdefPage), fmt::kIdTablesContainer, nameBytes, fmt::kObjTypeTable, 0};
  placeRow(pager_, objects, objectCells(o, now, now, kOwnerAdmin));
  placeRow(pager_, aces, aceCells(o.id, kOwnerAdmin, 2, kAcmFull, false));
  placeRow(pager_, aces, aceCells(o.id, longSid_.data(), longSid_.size(), kAcmFull, false));
  placeRow(pager_, aces, aceCells(o.id, kSidUsers, 2, kAcmFull, false));
  *objectsTable_ = std::move(objects);
  *acesTable_ = std::move(aces);
  remember(o);
  commit({objectsTable_.get(), acesTable_.get()});
}

}  // namespace vellicor::jet3
