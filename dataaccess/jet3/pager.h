// Page allocation and page I/O of one open database file, the global usage map (page 1) that
// records which pages are free, and commits that reach the file whole (journal.h).
//
// Order of writes (what keeps the file readable if the process dies at any moment):
//   1. new pages are written first (data, long values, TDEFs, map holders, index pages); until
//      something refers to them they are junk that a reader never reaches;
//   2. the global map is written next, marking those pages in use, so no engine can hand them
//      out again once they are referred to;
//   3. then the references: usage-map rows, TDEF fields (row count, index roots), catalog rows;
//   4. pages that the step dropped (old catalog index pages) are marked free in the global map
//      last, after nothing refers to them any more, and are reused only by a later commit.
// Steps 2 to 4 of a table's rows and of a new table's catalog entry run as one commit: the pages
// they overwrite are held in memory until the commit ends, their old contents are saved in the
// journal, and then they are written in the order above. A process that dies during those writes
// leaves a hot journal; the next open of the file by this engine puts the old pages back (a
// read-only open reads them from the journal instead), so the catalog rows, their indexes, the
// maps and the row counts always change together. Readers that know nothing of the journal still
// see a readable file thanks to the order: at worst catalog rows their indexes do not list yet.
// A failed commit is rolled back at once when the file can still be written (else at the next
// open), and the pager then refuses every further write, naming the first failure.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/page_set.h"

namespace vellicor::jet3 {

class UsageMap;
struct Journal;

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
  // count pages from first on, in one write.
  void writeRun(uint32_t first, const uint8_t* bytes, uint32_t count);

  // From now on every commit saves the pages it overwrites in the journal of databasePath (made
  // through opener) before writing them. A file being created goes without: it gets its name only
  // when complete.
  void enableJournal(const std::string& databasePath, FileOpener opener);
  // Reads the pages of a hot journal in place of the file's (a read-only open of a file whose last
  // commit was interrupted).
  void overlay(const Journal& journal);

  // A commit: every page written from beginCommit to endCommit reaches the file together (see
  // above). Commits nest; the outermost one writes. abandonCommit is for an exception thrown before
  // endCommit: nothing of the commit is written, and as the caller's state is then ahead of the
  // file, the pager refuses further writes.
  void beginCommit();
  void endCommit();
  void abandonCommit() noexcept;
  // Runs a commit around a scope: ended by done(), abandoned when the scope is left otherwise.
  class CommitScope {
   public:
    explicit CommitScope(Pager& pager) : pager_(pager) { pager_.beginCommit(); }
    ~CommitScope() {
      if (!done_) pager_.abandonCommit();
    }
    void done() {
      done_ = true;
      pager_.endCommit();
    }
    CommitScope(const CommitScope&) = delete;
    CommitScope& operator=(const CommitScope&) = delete;

   private:
    Pager& pager_;
    bool done_ = false;
  };

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
  // Throws the first failure again once a commit has failed.
  void checkUsable() const;
  // The held copy of a page written in the current commit (read from the file on first write).
  std::vector<uint8_t>& held(uint32_t page, bool readFirst);
  void writeHeld();
  // Extends the file so that every page the global map counts exists (unwritten pages as zeros).
  void extendFile();
  void fail(const std::string& description) noexcept;
  // Bits of the global map for pages [base, base + bits): 1 = free.
  void freeBits(uint32_t base, uint32_t bits, uint8_t* out) const;

  std::unique_ptr<FileIo> file_;
  uint32_t pageCount_;
  PageSet free_;              // free pages below pageCount_ (released and committed)
  PageSet pendingRelease_;    // released during the current commit
  std::vector<uint32_t> globalBitmapPages_;  // reference form: bitmap page of window k
  std::vector<uint8_t> pageOneRow1_;         // page 1 row 1, carried as found

  // Commits.
  int commitDepth_ = 0;
  uint64_t fileBytesAtBegin_ = 0;                              // the file's length when the commit began
  PageSet allocatedInCommit_;                                  // free pages handed out during it
  std::unordered_map<uint32_t, std::vector<uint8_t>> held_;    // pages written during it
  std::vector<uint32_t> heldOrder_;                            // in the order first written
  std::string journalDatabase_;                                // empty: no journal
  FileOpener journalOpener_;
  uint64_t headerHash_ = 0;
  std::unordered_map<uint32_t, std::vector<uint8_t>> overlay_;  // a hot journal's pages (read-only)
  std::optional<std::string> failure_;
};

}  // namespace vellicor::jet3
