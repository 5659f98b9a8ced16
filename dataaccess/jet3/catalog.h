// The system catalog of a database being written: the fresh file's pages 2..19 (the four system
// tables, their maps and index roots, the engine's catalog and ACE rows), and the catalog rows
// and index entries that make an appended user table exist.
//
// Appending a table commits in this order (see pager.h for the general rule):
//   1. the table's TDEF and map holder pages (written by TableWriter before the call);
//   2. the new catalog rows on the catalog's data pages, then their entries, inserted into every
//      MSysObjects and MSysACEs index in place (index_insert.h): leaf pages take them, pages that
//      overflow split onto new pages (a fresh file's indexes are built in bulk instead);
//   3. the global map marks the new pages in use (written by the pager after the new pages and
//      before the pages that refer to them);
//   4. the usage maps of the catalog's data pages, if a page was added;
//   5. the catalog TDEFs (row counts, index roots, distinct-key counts) and the index usage maps.
// Steps 2 to 5 are one commit of the pager: the pages are written only after the pages they
// replace are saved in the journal, so a crash anywhere in them is rolled back by the next open
// (journal.h). Programs that ignore the journal may see such a commit half done: catalog rows that
// the indexes and row counts do not list yet, or an index that lists some of them. A file left so
// and opened again without its journal is mended by the next append: load() compares the indexes
// with the rows, and where they differ the next commit builds them anew from the rows.
//
// Security rows: every object gets the ACE rows Jet 3.5 gives it. The workgroup's own account is
// a 102-byte SID that differs from one workgroup to another; files made here use kLongSid (a
// fixed value of our own: 0x01 followed by 101 bytes of a fixed pattern, see catalog.cpp), and a
// file opened for appending keeps using the long SID its own rows already carry.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/jet3/data_page.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/row_writer.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/jet3/usage_map.h"

namespace vellicor::jet3 {

class Pager;
class JetFileReader;

struct CatalogObject {
  int32_t id = 0;
  int32_t parentId = 0;
  std::string nameBytes;  // in the database code page
  int16_t type = 0;
  int32_t flags = 0;
};

class Catalog {
 public:
  // Writes pages 2..19 of a new database (the pager holds pages 0 and 1). now: OLE date.
  static std::unique_ptr<Catalog> create(Pager& pager, uint16_t codePage, double now);
  // Takes over the catalog of an existing file (one written by Jet or by us).
  static std::unique_ptr<Catalog> load(Pager& pager, JetFileReader& reader);
  ~Catalog();

  const std::vector<CatalogObject>& objects() const { return objects_; }
  // The stored name (code page bytes) of the object of the Tables container whose name has the same
  // General sort key, if there is one. Jet's unique index compares names through those keys, so
  // letter case does not count; nor, for double-byte names, do some differences of the second byte.
  std::optional<std::string> tableWithSameKey(const std::string& nameBytes) const;
  // The object of the Tables container whose name has the same General sort key (how Jet finds a
  // table by name), or nullptr.
  const CatalogObject* tableByKey(const std::string& nameBytes) const;
  // User tables (not Jet's or Access's system tables), by TDEF page, in catalog order.
  std::vector<const CatalogObject*> userTables() const;

  // Adds the catalog rows of a user table whose TDEF is at tdefPage and rebuilds the indexes.
  void addTable(const std::string& nameBytes, uint32_t tdefPage, double now);

  struct Table;  // one catalog table being written (MSysObjects, MSysACEs)

 private:
  Catalog(Pager& pager);
  void commit(std::vector<Table*> changed);
  void remember(const CatalogObject& o);  // into objects_ and, for a table, tableKeys_

  Pager& pager_;
  std::unique_ptr<Table> objectsTable_;
  std::unique_ptr<Table> acesTable_;
  std::vector<CatalogObject> objects_;
  std::map<std::vector<uint8_t>, size_t> tableKeys_;  // General sort key -> index in objects_
  std::vector<uint8_t> longSid_;
};

// The 102-byte SID that files made here use for the workgroup's own account.
const std::vector<uint8_t>& ourLongSid();

// Current local time as an OLE date.
double oleNow();

}  // namespace vellicor::jet3
