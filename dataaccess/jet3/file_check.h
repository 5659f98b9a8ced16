// The whole-file check of a Jet 3 file: every page has one owner or is free, no page in use by a
// table is marked free or lies past the end, every map lists pages of its own table and kind,
// rows point at long values their column owns, row counts match the rows, every index verifies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellicor::jet3 {

class JetFileReader;

struct FileProblem {
  enum class Kind {
    kUnreadable,         // a definition, map, row or long value that cannot be read
    kPastEnd,            // a page referred to lies past the end of the file
    kMarkedFree,         // a page referred to is marked free in the global map
    kOutsideGlobalMap,   // a page referred to lies outside the global map's range
    kTwoOwners,          // a page referred to by two tables or as two kinds of page
    kWrongPage,          // a page that is not what its owner takes it for (kind, owner field)
    kFreeSpaceNotOwned,  // a free-space map lists a page its owned-pages map does not
    kLongValueNotOwned,  // a row's long value lies on a page its column's map does not list
    kRowCount,           // the definition's row count differs from the rows
    kIndex,              // an index that does not verify (index_check.h)
  };
  Kind kind = Kind::kUnreadable;
  std::string table;  // UTF-8; empty for the file's own pages
  uint32_t page = 0;  // the page concerned, when there is one
  std::string text;   // Japanese, complete
};

struct FileCheckResult {
  std::vector<FileProblem> problems;  // at most a few of each kind per table, see omitted
  uint64_t omitted = 0;               // further problems of a kind already listed for that table
  // Pages in use that nothing refers to: space lost until the file is compacted, no data lost.
  // Every interrupted commit may leave some (pages taken before the references to them were written).
  std::vector<uint32_t> unreferencedInUse;
  uint32_t pages = 0;         // pages in the file
  uint32_t freePages = 0;     // pages inside the file marked free
  uint32_t claimedPages = 0;  // pages some table or the global map refers to
  uint32_t tables = 0;        // local tables, system tables included
  uint64_t rows = 0;          // rows read from all of them
  uint32_t indexes = 0;       // real indexes verified

  bool clean() const { return problems.empty() && omitted == 0; }
  bool has(FileProblem::Kind kind) const;
};

// Checks the file as the reader reads it (see JetFileReader::JournalView). Throws dao::Error only
// when not even the catalog can be read.
FileCheckResult checkFile(JetFileReader& reader);

// The result as lines of Japanese text: a summary, then each problem, then the unreferenced pages.
std::string formatFileCheck(const FileCheckResult& result);

}  // namespace vellicor::jet3
