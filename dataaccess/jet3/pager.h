// Page allocation and page I/O of one open database file, and the global usage map (page 1)
// that records which pages are free.
//
// Order of writes (what keeps the file readable if the process dies at any moment):
//   1. new pages are written first (data, long values, TDEFs, map holders, index pages); until
//      something refers to them they are junk that a reader never reaches;
//   2. the global map is written next, marking those pages in use, so no engine can hand them
//      out again once they are referred to;
//   3. then the references: usage-map rows, TDEF fields (row count, index roots), catalog rows;
//   4. pages that the step dropped (old catalog index pages) are marked free in the global map
//      last, after nothing refers to them any more, and are reused only by a later commit.
// A crash between steps leaves at worst pages marked in use that nothing refers to. Rows are
// durable once the commit that records their page has written step 3; the rows of pages not yet
// committed are lost with the process, never half-visible.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/page_set.h"

namespace vellicor::jet3 {

class UsageMap;

class Pager {
 public:
  // pageCount: pages the file holds now (2 for a file being created: header and page 1).
  Pager(std::unique_ptr<FileIo> file, uint32_t pageCount);
  ~Pager();

  uint32_t pageCount() const { return pageCount_; }
  // Pages that ordinary growth (rows, long values) may still take before the 1 GB limit; a few
  // pages stay reserved so that a table definition and the catalog can always be committed and
  // the file closed cleanly after the limit refused a row.
  uint32_t pagesLeftForData() const;
  // Throws the Japanese "file would pass 1 GB" error unless n pages fit (reserve: may use the
  // reserved pages).
  void requirePages(uint32_t n, bool reserve = false) const;

  // A page for new content: one released by an earlier commit, else a new one at the end.
  uint32_t allocate(bool reserve = false);
  // n new pages in a row at the end of the file (long-value chains).
  uint32_t allocateRun(uint32_t n);
  // Frees the page once the current commit has written its references (step 4 above).
  void release(uint32_t page);
  bool inUse(uint32_t page) const { return page < pageCount_ && !free_.contains(page); }

  void read(uint32_t page, uint8_t* out);
  void write(uint32_t page, const uint8_t* bytes);
  void writeBytes(uint32_t page, size_t offset, const void* bytes, size_t n);

  // Writes the global map (page 1, its bitmap pages in the reference form) from the in-memory
  // state; pages released before the call become free and reusable after it.
  void commitGlobalMap();
  // Reads page 1 of an existing file: the free pages and the second map row. Pages outside the
  // map's range count as in use.
  void loadGlobalMap();
  void sync();
  void close();
  FileIo& file() { return *file_; }

 private:
  void writeGlobalRow();
  // Bits of the global map for pages [base, base + bits): 1 = free.
  void freeBits(uint32_t base, uint32_t bits, uint8_t* out) const;

  std::unique_ptr<FileIo> file_;
  uint32_t pageCount_;
  PageSet free_;              // free pages below pageCount_ (released and committed)
  PageSet pendingRelease_;    // released during the current commit
  std::vector<uint32_t> globalBitmapPages_;  // reference form: bitmap page of window k
  std::vector<uint8_t> pageOneRow1_;         // page 1 row 1, carried as found
};

}  // namespace vellicor::jet3
