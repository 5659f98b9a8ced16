// A user table being written: its TDEF pages, the map rows of the table and of its long-value
// columns, and its data pages, filled one row after another and streamed to the file in short runs
// of pages so that memory stays bounded whatever the row count.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dataaccess/jet3/data_page.h"
#include "dataaccess/jet3/long_value_writer.h"
#include "dataaccess/jet3/row_writer.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/jet3/usage_map.h"

namespace vellicor::jet3 {

class Pager;

// Writes a table definition's TDEF stream over the pages of its chain (chain[0] first: a new
// table's one page, or an existing table's chain), taking more pages when the stream needs them and
// releasing those it no longer needs. An existing chain is referred to: rewrite it inside a commit.
void writeTdefPages(Pager& pager, std::vector<uint32_t> chain, const std::vector<uint8_t>& stream);

class TableWriter {
 public:
  // Lays out a new table: allocates its TDEF page(s) and map holders, fills in the map pointers
  // of def and writes those pages (nothing refers to them until the catalog row is committed).
  static std::unique_ptr<TableWriter> create(Pager& pager, TableDefinition def);

  uint32_t tdefPage() const { return tdefPage_; }
  const TableDefinition& definition() const { return def_; }
  const RowLayout& layout() const { return layout_; }
  // Pages written for this table before its catalog row exists (TDEF, holders).
  const std::vector<uint32_t>& ownPages() const { return ownPages_; }
  LongValueWriter& longValues(size_t columnIndex) { return *longValues_[columnIndex]; }

  // Appends an encoded row, starting a new data page when the current one is full. Every
  // kCommitInterval pages of rows and long values the table is committed.
  void addRow(const uint8_t* row, size_t length);
  // Makes every row added so far durable and visible in one commit of the pager (pager.h): the
  // long values and their maps, the data-page maps, the rows on pages the file already lists, and
  // right after them the TDEF row count.
  void commit();
  uint32_t rowCount() const { return rows_; }
  uint32_t dataPages() const { return static_cast<uint32_t>(owned_.pages().size()); }
  bool uncommitted() const { return rows_ != committedRows_; }
  // The table has indexes now, which addRow does not keep: no row may be added from here on.
  void closeToRows() { closedToRows_ = true; }
  bool closedToRows() const { return closedToRows_; }

  // 16 MiB of rows and long values: each commit waits for the disk (journal.h), so a long table
  // commits seldom; what a killed run loses of a table it had not finished is at most this much.
  static constexpr uint32_t kCommitInterval = 8192;
  // Full data pages that follow one another in the file go out in one write of up to this many.
  static constexpr uint32_t kWriteRunPages = 32;

 private:
  TableWriter(Pager& pager, TableDefinition def) : pager_(pager), def_(std::move(def)) {}
  // Done with the current data page (it is full): queued for writing if the file does not list it
  // yet, else kept for the next commit (a listed page is rewritten only inside a commit).
  void retirePage();
  // Queues a full data page for writing (written at once when it does not follow the queued run).
  void queuePage(uint32_t page, const uint8_t* bytes);
  void flushRun();
  uint64_t longValuePages() const;

  Pager& pager_;
  TableDefinition def_;
  RowLayout layout_;
  uint32_t tdefPage_ = 0;
  std::vector<uint32_t> ownPages_;
  UsageMap owned_;
  UsageMap free_;
  std::vector<std::unique_ptr<LongValueWriter>> longValues_;  // by column index (null if none)
  DataPage page_;
  uint32_t pageNumber_ = 0;  // 0: no data page yet
  bool pageDirty_ = false;
  bool pageListed_ = false;           // a commit has listed the current page in the file
  uint32_t retiredPage_ = 0;          // a full listed page waiting for the next commit (0: none)
  std::vector<uint8_t> retiredBytes_;
  uint32_t rows_ = 0;
  bool closedToRows_ = false;
  uint32_t committedRows_ = 0;
  uint32_t pagesSinceCommit_ = 0;     // data pages filled since the last commit
  uint64_t longValuePagesAtCommit_ = 0;
  std::vector<uint8_t> run_;  // queued full pages, runPages_ of them from page runFirst_ on
  uint32_t runFirst_ = 0;
  uint32_t runPages_ = 0;
};

}  // namespace vellicor::jet3
