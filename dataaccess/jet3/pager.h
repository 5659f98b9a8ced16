// Page allocation and page I/O of one open database file, the global usage map (page 1) that
// records which pages are free, and commits that reach the file whole (journal.h). The pager is
// also the page source of everything that reads the file (JetFileReader): reads see the pages of
// the commit under way, a hot journal's pages in place of the file's in a read-only open, and go
// through a small cache of the file's pages.
//
// Order of writes (what keeps the file readable, and no page both referred to and free, if the
// process dies between any two writes):
//   1. new pages are written first (data, long values, TDEFs, map holders, bitmap pages, index
//      pages): pages the global map in the file shows free or past its end. Until something refers
//      to them they are junk that a reader never reaches;
//   2. the global map is written next, marking every page taken so far in use, so no engine can
//      hand them out again once they are referred to;
//   3. then the references: usage-map rows and their bitmap pages, TDEF fields (row count, index
//      roots), catalog rows, rows added to pages that were already listed;
//   4. pages that step 3 dropped (old catalog index pages) stay in use in this commit's map and
//      are marked free by the global map of the next commit (or of the close), when the writes
//      that stopped using them are on the disk; they are reused only after that.
// A commit holds the pages it writes in memory until it ends; then their old contents are saved in
// the journal, and they are written in the order above (new pages, the global map, the rest in the
// order first written). Every commit that took or dropped a page writes the global map itself: no
// caller writes it. A process that dies during those writes leaves a hot journal; the next open of
// the file by this engine puts the old pages back (a read-only open reads them from the journal
// instead), so the catalog rows, their indexes, the maps and the row counts always change
// together. Readers that know nothing of the journal still see a file whose every referred page is
// in use: at worst catalog rows their indexes do not list yet, a row count one commit behind its
// rows, and pages in use that nothing refers to. A page that was already referred to is written
// only inside a commit. A failed commit is rolled back at once when the file can still be written
// (else at the next open), and the pager then refuses every further write, naming the first failure.
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
#include "dataaccess/jet3/page_source.h"

namespace vellicor::jet3 {

class UsageMap;
struct Journal;

class Pager : public PageSource {
 public:
  // pageCount: pages the file holds now (2 for a file being created: header and page 1).
  Pager(std::unique_ptr<FileIo> file, uint32_t pageCount);
  ~Pager() override;

  uint32_t pageCount() const override { return pageCount_; }
  // The page as a reader sees it now (see above); throws dao::Error past the end.
  std::shared_ptr<const Page> page(uint32_t number) override;
  // Pages that ordinary growth (rows, long values) may still take before the 1 GB limit; a few
  // pages stay reserved so that a table definition and the catalog can always be committed and
  // the file closed cleanly after the limit refused a row.
  uint32_t pagesLeftForData() const;
  // Throws the Japanese "file would pass 1 GB" error unless n pages fit (reserve: may use the
  // reserved pages).
  void requirePages(uint32_t n, bool reserve = false) const;

  // A page for new content: one that a committed global map shows free, else a new one at the end.
  uint32_t allocate(bool reserve = false);
  // n new pages in a row at the end of the file (long-value chains).
  uint32_t allocateRun(uint32_t n);
  // Frees the page after the current commit has written what stopped referring to it (step 4).
  void release(uint32_t page);
  bool inUse(uint32_t page) const { return page < pageCount_ && !free_.contains(page); }
  // Marks pages that the global map shows free in use (for a file whose tables refer to pages its
  // map lost); written by the next commit (see commitMap).
  void markInUse(const std::vector<uint32_t>& pages);

  // Copies page() into out.
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
  bool hasOverlay() const { return !overlay_.empty(); }

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

  // A commit of the global map alone, when it has changes to write: frees the pages released by
  // the last commits (the close of a database ends with it) and records markInUse.
  void commitMap();
  // Reads page 1 of an existing file: the free pages and the second map row. Pages outside the
  // map's range count as in use.
  void loadGlobalMap();
  void sync();
  void close();
  FileIo& file() { return *file_; }

 private:
  // Whether the file's global map, as last committed, shows the page free or past its end: a page
  // nothing in the file refers to (written before the map, and not saved in the journal).
  bool unreferenced(uint32_t page) const { return page >= mapPageCount_ || takenSinceMap_.contains(page); }
  // Whether the in-memory map differs from the one in the file.
  bool mapChanged() const;
  // Puts the global map (its bitmap pages in the reference form, then page 1) among the pages
  // held by the commit that is ending.
  void stageGlobalMap();
  void writeGlobalRow();
  // Throws the first failure again once a commit has failed.
  void checkUsable() const;
  // The held copy of a page written in the current commit (read from the file on first write).
  std::vector<uint8_t>& held(uint32_t page, bool readFirst);
  // Writes the held pages in the order of steps 1 to 3 above.
  void writeHeld();
  // Extends the file so that every page the global map counts exists (unwritten pages as zeros).
  void extendFile();
  void fail(const std::string& description) noexcept;
  // Bits of the global map for pages [base, base + bits): 1 = free.
  void freeBits(uint32_t base, uint32_t bits, uint8_t* out) const;

  std::unique_ptr<FileIo> file_;
  uint32_t pageCount_;
  PageSet free_;              // pages below pageCount_ that the committed global map shows free
  PageSet pendingRelease_;    // released during the current commit (referred to until it ends)
  PageSet releasable_;        // released by an ended commit: written free by the next map
  std::vector<uint32_t> globalBitmapPages_;  // reference form: bitmap page of window k
  std::vector<uint8_t> pageOneRow1_;         // page 1 row 1, carried as found

  // The global map as the file has it: pages from mapPageCount_ on are past its end, and the
  // pages of takenSinceMap_ were free in it and have been handed out since.
  uint32_t mapPageCount_;
  PageSet takenSinceMap_;
  bool markedInUse_ = false;  // markInUse changed the map

  // Commits.
  int commitDepth_ = 0;
  uint64_t fileBytesAtBegin_ = 0;                              // the file's length when the commit began
  std::unordered_map<uint32_t, std::vector<uint8_t>> held_;    // pages written during it
  std::vector<uint32_t> heldOrder_;                            // in the order first written
  std::string journalDatabase_;                                // empty: no journal
  FileOpener journalOpener_;
  uint64_t headerHash_ = 0;
  std::unordered_map<uint32_t, std::shared_ptr<const Page>> overlay_;  // a hot journal's pages (read-only)
  // Pages read from the file, direct-mapped by page number; a write to the file drops its page.
  struct CacheSlot {
    uint32_t number = UINT32_MAX;
    std::shared_ptr<const Page> page;
  };
  std::vector<CacheSlot> cache_;
  void forget(uint32_t page) {
    CacheSlot& s = cache_[page % cache_.size()];
    if (s.number == page) s = CacheSlot{};
  }
  void forgetAll() { cache_.assign(cache_.size(), CacheSlot{}); }
  std::optional<std::string> failure_;
};

}  // namespace vellicor::jet3
