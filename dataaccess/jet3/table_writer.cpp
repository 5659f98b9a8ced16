// Creation of a user table's pages and the append-only row stream of its data pages.
#include "dataaccess/jet3/table_writer.h"

#include <cstring>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {

void writeTdefPages(Pager& pager, std::vector<uint32_t> pages, const std::vector<uint8_t>& stream) {
  const size_t contentPerPage = fmt::kPageSize - fmt::kTdefPageHeader;
  size_t needed = 1;
  for (size_t covered = fmt::kPageSize; covered < stream.size(); covered += contentPerPage) ++needed;
  while (pages.size() < needed) pages.push_back(pager.allocate(true));
  for (size_t i = needed; i < pages.size(); ++i) pager.release(pages[i]);
  pages.resize(needed);
  uint8_t page[fmt::kPageSize];
  size_t pos = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    std::memset(page, 0, sizeof page);
    size_t at = 0;
    if (i == 0) {
      const size_t n = std::min(fmt::kPageSize, stream.size());
      std::memcpy(page, stream.data(), n);
      pos = n;
    } else {
      page[0] = fmt::kPageTdef;
      page[1] = fmt::kPageMarker;
      page[2] = 'V';
      page[3] = 'C';
      at = fmt::kTdefPageHeader;
      const size_t n = std::min(contentPerPage, stream.size() - pos);
      std::memcpy(page + at, stream.data() + pos, n);
      pos += n;
    }
    storeU32(page + fmt::kTdefNextPage, i + 1 < pages.size() ? pages[i + 1] : 0);
    pager.write(pages[i], page);
  }
}

std::unique_ptr<TableWriter> TableWriter::create(Pager& pager, TableDefinition def) {
  std::unique_ptr<TableWriter> t(new TableWriter(pager, std::move(def)));
  t->tdefPage_ = pager.allocate(true);
  t->ownPages_.push_back(t->tdefPage_);
  MapHolderWriter holders(pager);
  t->owned_ = holders.addMap(true);
  t->free_ = holders.addMap(true);
  t->def_.ownedMap = t->owned_.rowPointer();
  t->def_.freeMap = t->free_.rowPointer();
  t->def_.longValueMaps.clear();
  t->longValues_.resize(t->def_.columns.size());
  for (size_t i = 0; i < t->def_.columns.size(); ++i) {
    const ColumnDef& c = t->def_.columns[i];
    if (c.type != fmt::kTypeMemo && c.type != fmt::kTypeOle) continue;
    UsageMap owned = holders.addMap(true);
    UsageMap freeSpace = holders.addMap(true);
    t->def_.longValueMaps.push_back(LongValueMaps{c.number, owned.rowPointer(), freeSpace.rowPointer()});
    t->longValues_[i] = std::make_unique<LongValueWriter>(pager, std::move(owned), std::move(freeSpace));
  }
  t->layout_ = RowLayout::fromDefinition(t->def_);
  const std::vector<uint8_t> stream = encodeTdef(t->def_);
  const size_t before = pager.pageCount();
  writeTdefPages(pager, {t->tdefPage_}, stream);
  holders.finish();
  for (uint32_t p : holders.pages()) t->ownPages_.push_back(p);
  for (uint32_t p = static_cast<uint32_t>(before); p < pager.pageCount(); ++p) t->ownPages_.push_back(p);
  return t;
}

void TableWriter::addRow(const uint8_t* row, size_t length) {
  if (pageNumber_ == 0 || !page_.fits(length)) {
    if (pageNumber_ != 0) {
      retirePage();
      free_.pages().erase(pageNumber_);
      ++pagesSinceCommit_;
    }
    pageNumber_ = pager_.allocate();
    pageListed_ = false;
    page_.reset(tdefPage_);
    owned_.pages().insert(pageNumber_);
    free_.pages().insert(pageNumber_);
  }
  uint8_t rowNumber;
  std::memcpy(page_.append(length, rowNumber), row, length);
  pageDirty_ = true;
  ++rows_;
  if (pagesSinceCommit_ + (longValuePages() - longValuePagesAtCommit_) >= kCommitInterval) commit();
}

void TableWriter::retirePage() {
  if (pageListed_) {
    retiredPage_ = pageNumber_;
    retiredBytes_.assign(page_.bytes(), page_.bytes() + fmt::kPageSize);
  } else {
    queuePage(pageNumber_, page_.bytes());
  }
  pageDirty_ = false;
}

uint64_t TableWriter::longValuePages() const {
  uint64_t n = 0;
  for (const auto& lv : longValues_)
    if (lv) n += lv->pages();
  return n;
}

void TableWriter::queuePage(uint32_t page, const uint8_t* bytes) {
  if (runPages_ != 0 && page != runFirst_ + runPages_) flushRun();
  if (runPages_ == 0) runFirst_ = page;
  run_.insert(run_.end(), bytes, bytes + fmt::kPageSize);
  if (++runPages_ == kWriteRunPages) flushRun();
}

void TableWriter::flushRun() {
  if (runPages_ == 0) return;
  pager_.writeRun(runFirst_, run_.data(), runPages_);
  run_.clear();
  runPages_ = 0;
}

void TableWriter::commit() {
  flushRun();  // full pages first: nothing refers to them yet
  Pager::CommitScope scope(pager_);
  // Long values before the rows that point at them; then the maps that list the new data pages,
  // the rows added to pages the file already lists, and right after them the row count. (The
  // pager writes the pages new to the file, then the global map, then these in this order.)
  for (auto& lv : longValues_)
    if (lv) lv->commit();
  owned_.store(pager_);
  free_.store(pager_);
  if (retiredPage_ != 0) {
    pager_.write(retiredPage_, retiredBytes_.data());
    retiredPage_ = 0;
    retiredBytes_.clear();
  }
  if (pageNumber_ != 0 && pageDirty_) {
    pager_.write(pageNumber_, page_.bytes());
    pageDirty_ = false;
  }
  uint8_t count[4];
  storeU32(count, rows_);
  pager_.writeBytes(tdefPage_, fmt::kTdefRowCount, count, sizeof count);
  scope.done();
  pageListed_ = pageNumber_ != 0;
  for (auto& lv : longValues_)
    if (lv) lv->committed();
  committedRows_ = rows_;
  pagesSinceCommit_ = 0;
  longValuePagesAtCommit_ = longValuePages();
}

}  // namespace vellicor::jet3
