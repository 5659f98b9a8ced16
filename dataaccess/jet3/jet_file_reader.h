// Read-only access to a Jet 3 file: header, catalog (MSysObjects), table definitions, usage maps
// and a forward row cursor. Pages come from a pager: its own, or that of a database open here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/header.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/page_source.h"
#include "dataaccess/jet3/row_reader.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/variant.h"

namespace vellicor::text {
class CodePage;
}

namespace vellicor::jet3 {


// One MSysObjects row.
struct CatalogEntry {
  int32_t id = 0;
  int32_t parentId = 0;
  std::string name;       // UTF-8
  std::string nameBytes;  // as stored, in the database code page
  int16_t type = 0;
  int32_t flags = 0;
  dao::Variant dateCreate;
  dao::Variant dateUpdate;
  uint32_t rowPointer = 0;  // where the row was found (page * 256 + row)

  bool isLocalTable() const { return type == fmt::kObjTypeTable && parentId == fmt::kIdTablesContainer; }
  // A local table that is neither Jet's (flag 0x80000000) nor Access's hidden system table (flag 2).
  bool isUserTable() const;
};

struct TableInfo {
  std::string name;                 // UTF-8; empty when read by page number only
  uint32_t tdefPage = 0;
  std::vector<uint32_t> tdefPages;  // the first page and its continuations
  TableDefinition def;
};

class JetFileReader : public PageSource {
 public:
  // What a hot journal beside the file (an interrupted commit, journal.h) makes the reader read:
  // the pages as they were before that commit (what this engine's next open for writing puts
  // back), or the file as it lies (what programs that know nothing of the journal read).
  enum class JournalView { kBeforeInterruptedCommit, kFileAsItLies };

  // Opens the file to read it without a lock (a writer may have it open) and makes the checks of
  // open_checks.h; throws dao::Error (Japanese) when the file cannot be opened or is refused.
  explicit JetFileReader(const std::string& path, JournalView view = JournalView::kBeforeInterruptedCommit,
                         const FileOpener& opener = openSystemFile);
  // Reads through the pager of a database open in this process: what it has written, the commit
  // under way included.
  JetFileReader(Pager& pager, const std::string& path);
  ~JetFileReader() override;
  JetFileReader(const JetFileReader&) = delete;
  JetFileReader& operator=(const JetFileReader&) = delete;

  uint32_t pageCount() const override { return pager_->pageCount(); }
  std::shared_ptr<const Page> page(uint32_t number) override { return pager_->page(number); }

  const std::string& path() const { return path_; }
  // True when the file's last commit was interrupted and its journal's pages are read instead.
  bool readsInterruptedCommit() const { return readsJournal_; }
  // True when a hot journal lies beside the file, whether its pages are read or not.
  bool hasInterruptedCommit() const { return hotJournal_; }
  const DatabaseHeader& header() const { return header_; }
  const text::CodePage& codePage() const { return *codePage_; }

  // The table whose TDEF starts at tdefPage (definition spread over continuation pages).
  TableInfo readTable(uint32_t tdefPage);
  // Every MSysObjects row, in storage order (read once, then kept).
  const std::vector<CatalogEntry>& catalog();
  // User tables in catalog order.
  std::vector<CatalogEntry> userTables();
  // A local table (user or system) by name; Jet compares names without regard to letter case.
  // Throws dao::Error when there is none.
  TableInfo table(const std::string& utf8Name);

  // Pages marked in the usage map row at mapRow.
  std::vector<uint32_t> usageMap(uint32_t mapRow) { return readUsageMapChecked(mapRow); }
  // Pages the global map (page 1 row 0) marks free, including those past the end of the file.
  std::vector<uint32_t> globalFreePages();

 private:
  std::vector<uint32_t> readUsageMapChecked(uint32_t mapRow);

  std::string path_;
  std::unique_ptr<Pager> ownPager_;  // when the reader opened the file itself
  Pager* pager_ = nullptr;
  DatabaseHeader header_;
  const text::CodePage* codePage_ = nullptr;
  bool readsJournal_ = false;
  bool hotJournal_ = false;
  bool catalogRead_ = false;
  std::vector<CatalogEntry> catalog_;
};

// Forward scan over a table's rows: data pages from the table's owned usage map in page order,
// deleted rows skipped, overflow rows followed to where the row lives.
class RowCursor {
 public:
  RowCursor(JetFileReader& reader, TableInfo table);
  // Moves to the next row; false at the end.
  bool next();
  const TableInfo& table() const { return table_; }
  uint32_t rowPointer() const { return rowPointer_; }    // the slot the scan found
  uint32_t dataPointer() const { return dataPointer_; }  // where the bytes are (overflow target)
  const std::vector<FieldBytes>& fields() const { return fields_; }
  // The current row's bytes (fields() points into them), as stored at dataPointer().
  const std::vector<uint8_t>& rowBytes() const { return rowBytes_; }
  dao::Variant value(size_t column);
  std::vector<dao::Variant> values();
  // "テーブル "X" の ページ p の行 r", for messages.
  std::string place() const;

 private:
  JetFileReader& reader_;
  TableInfo table_;
  std::vector<uint32_t> pages_;
  size_t pageIndex_ = 0;
  uint32_t slot_ = 0;
  uint32_t slotCount_ = 0;
  bool onPage_ = false;
  uint32_t rowPointer_ = 0;
  uint32_t dataPointer_ = 0;
  std::vector<uint8_t> rowBytes_;
  std::vector<FieldBytes> fields_;
};

}  // namespace vellicor::jet3
