// The rollback journal of a commit: the pages a commit overwrites, as they were before it, kept in
// a file beside the database while the commit writes, and put back when a commit was interrupted.
//
// A commit writes several pages that must change together (catalog rows and their indexes, usage
// maps and row counts). Before the first of them is overwritten, their old contents go to
// "<database>.vellicor-journal", which is synced; the commit's pages are written and synced; then
// the journal is removed. A journal that is complete (its checksum holds) and belongs to the
// database is "hot": the commit it guarded may be half in the file, and putting its pages back
// restores the last whole commit (pages the commit added past the old end stay, marked free by the
// global map put back). A journal belongs to the database when page 0 is the same, the file has at
// least the pages it had before the commit, and every page the journal holds is now either as
// before the commit or as the commit wrote it: page 0 alone cannot tell two files of ours apart,
// and a journal applied to another file would damage it. (A page torn by a power failure matches
// neither; the journal is then not applied, and the file stays as the write order left it.) An
// incomplete journal means the process died while writing it, before the database was touched:
// it is simply removed. Other programs (Access, mdbtools) know nothing of
// the journal; the commit's own write order keeps the file readable to them (see pager.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/jet3/file_io.h"

namespace vellicor::jet3 {

struct Journal {
  uint32_t pageCount = 0;   // pages the database had before the commit
  uint64_t headerHash = 0;  // journalHash of page 0: ties the journal to its database
  struct Image {
    uint32_t page = 0;
    std::vector<uint8_t> bytes;  // one page, as it was before the commit
    uint64_t afterHash = 0;      // journalHash of the page as the commit writes it
  };
  std::vector<Image> images;
};

std::string journalPath(const std::string& databasePath);

// FNV-1a 64 over n bytes: the journal's checksum and the hash of page 0.
uint64_t journalHash(const uint8_t* data, size_t n, uint64_t seed = 0xcbf29ce484222325ull);

std::vector<uint8_t> encodeJournal(const Journal& j);
// The journal in the bytes, or nothing when they are not one whole journal.
std::optional<Journal> decodeJournal(const uint8_t* data, size_t size);

// Reads one page of the database the journal is checked against.
using PageReader = std::function<void(uint32_t page, uint8_t* out)>;

// Whether j guards the database of pageCount pages that readPage reads (see above).
bool journalGuards(const Journal& j, uint64_t pageCount, const PageReader& readPage);

// The hot journal beside the database at path; nothing when there is no journal, or it is
// incomplete or made for another file.
std::optional<Journal> readHotJournal(const std::string& databasePath, uint64_t pageCount, const PageReader& readPage);

// Puts the journal's pages back into the database and syncs.
// Throws dao::Error when the file cannot be written.
void rollBack(FileIo& database, const Journal& j);

// For a database opened for writing (and locked): rolls back the interrupted commit that a hot
// journal records and removes the journal; removes an incomplete or foreign journal. Returns
// whether a commit was rolled back. Throws dao::Error when the rollback cannot be written (the
// journal then stays for the next open).
bool recoverInterruptedCommit(const std::string& databasePath, FileIo& database);

}  // namespace vellicor::jet3
