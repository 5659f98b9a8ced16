// The rollback journal of a commit: the pages a commit overwrites, as they were before it, kept in
// a file beside the database while the commit writes, and put back when a commit was interrupted.
//
// A commit writes several pages that must change together (catalog rows and their indexes, usage
// maps and row counts). Before the first of them is overwritten, their old contents go to
// "<database>.vellicor-journal", which is synced; the commit's pages are written and synced; then
// the journal is removed. A journal that is complete (its checksum holds) and belongs to the
// database is "hot": the commit it guarded may be half in the file, and putting its pages back
// restores the last whole commit (pages the commit added past the old end stay, marked free by the
// global map put back). An incomplete journal means the process died while writing it, before the
// database was touched: it is simply removed. Other programs (Access, mdbtools) know nothing of
// the journal; the commit's own write order keeps the file readable to them (see pager.h).
//
// Whether a journal belongs to the database. Page 0 is the same in every file of ours made with
// the same settings, so it alone cannot tell two files apart, and a journal applied to another
// file would damage it. What can: the pages the journal holds. The journal keeps each page as it
// was before the commit and a hash of every 512-byte sector of the page as the commit writes it.
// A drive writes a sector whole or not at all, but the sectors of one page write in any order, so
// a page that power failure cut off mid-write ("torn") holds some sectors of each image. Hence the
// rule: a journal belongs to the database when
//   1. page 0 hashes as the journal recorded (else: other settings, another file),
//   2. the file has at least the pages it had before the commit (a commit never shrinks a file:
//      a shorter file is another one, or a cut copy), and
//   3. every sector of every page the journal holds is, now, that sector of the page before the
//      commit or that sector as the commit wrote it; a page may mix the two (a torn write).
// Such a journal is rolled back whole: pages still old are written as they are, pages the commit
// reached or tore get their old image back, which the journal keeps whole. A page with a sector
// that is neither (a page of another file, or one changed after the commit by someone else) means
// the journal describes some other file: it is not applied, and as it may yet be someone's only
// way back it is set aside under a new name ("<journal>.foreign-<n>"), with a message saying so,
// never removed. (A journal of an earlier version keeps one hash of the whole new page: there,
// only pages wholly old or wholly new count.)
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/jet3/file_io.h"

namespace vellicor::jet3 {

// The unit a drive writes whole; a torn page is torn at these boundaries.
inline constexpr size_t kJournalSectorSize = 512;

struct Journal {
  uint32_t pageCount = 0;   // pages the database had before the commit
  uint64_t headerHash = 0;  // journalHash of page 0: ties the journal to its database
  struct Image {
    uint32_t page = 0;
    std::vector<uint8_t> bytes;  // one page, as it was before the commit
    // journalHash of each sector of the page as the commit writes it (sectorHashes(); a journal
    // of an earlier version has a single hash of the whole page)
    std::vector<uint64_t> afterHashes;
  };
  std::vector<Image> images;
};

std::string journalPath(const std::string& databasePath);

// FNV-1a 64 over n bytes: the journal's checksum and the hash of page 0.
uint64_t journalHash(const uint8_t* data, size_t n, uint64_t seed = 0xcbf29ce484222325ull);

// The sector hashes a journal keeps of a page as the commit writes it.
std::vector<uint64_t> sectorHashes(const uint8_t* page);

std::vector<uint8_t> encodeJournal(const Journal& j);
// The journal in the bytes, or nothing when they are not one whole journal.
std::optional<Journal> decodeJournal(const uint8_t* data, size_t size);

// Reads one page of the database the journal is checked against.
using PageReader = std::function<void(uint32_t page, uint8_t* out)>;

// How the database of pageCount pages that readPage reads stands against j (see above).
struct JournalMatch {
  bool belongs = false;
  uint32_t tornPages = 0;  // pages holding sectors of both images
  std::string reason;      // why it does not belong, in words for the user
};
JournalMatch matchJournal(const Journal& j, uint64_t pageCount, const PageReader& readPage);

// The hot journal beside the database at path; nothing when there is no journal, or it is
// incomplete or made for another file.
std::optional<Journal> readHotJournal(const std::string& databasePath, uint64_t pageCount, const PageReader& readPage);

// Puts the journal's pages back into the database and syncs.
// Throws dao::Error when the file cannot be written.
void rollBack(FileIo& database, const Journal& j);

// For a database opened for writing (and locked): rolls back the interrupted commit that a hot
// journal records and removes the journal; removes an incomplete journal; sets a journal of
// another file aside, telling why and where in *notice (left alone when there is nothing to tell).
// Returns whether a commit was rolled back. Throws dao::Error when the rollback cannot be written
// or the journal cannot be set aside (the journal then stays for the next open).
bool recoverInterruptedCommit(const std::string& databasePath, FileIo& database, std::string* notice = nullptr);

}  // namespace vellicor::jet3
