// The long values (Memo, OLE) of one column: values short enough go inline into the row, values
// up to one page piece become one row on a shared LVAL page, longer ones a chain of LVAL pages.
// LVAL pages are recorded in the column's own two usage maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet3/data_page.h"
#include "dataaccess/jet3/usage_map.h"

namespace vellicor::jet3 {

class Pager;

// Values up to this many bytes are stored inside the row.
inline constexpr size_t kLongValueInlineMax = 64;

// A value being streamed into a chain while it is still arriving: full pieces go to the file as
// soon as more data follows them, so a value of any size needs one piece of memory.
struct LongValueChain {
  uint32_t firstPage = 0;    // 0: nothing written yet (the value may still go inline or in one row)
  uint32_t currentPage = 0;  // page that the next piece goes to
  uint64_t written = 0;      // bytes already on chain pages
};

class LongValueWriter {
 public:
  LongValueWriter(Pager& pager, UsageMap owned, UsageMap freeSpace);

  // Stores a value outside the row and fills the 12-byte field header that points at it.
  // Either the value is stored completely or nothing is referenced (a refusal at the size limit
  // leaves no half chain behind; its pages were never counted as in use).
  void store(const uint8_t* data, size_t size, uint8_t header[fmt::kLongValueHeaderSize]);
  // Fills the header of a value kept inside the row (the data follow the header there).
  static void inlineHeader(size_t size, uint8_t header[fmt::kLongValueHeaderSize]);

  // Moves all but the last kLvMaxPieceOnPage bytes of buffer onto chain pages (erasing them from
  // buffer). Pages written here belong to the column; if the value is never finished they are
  // simply unreferenced.
  void spill(LongValueChain& chain, std::string& buffer);
  // Completes a spilled value with its last piece (the rest of buffer) and fills the header.
  void finishChain(LongValueChain& chain, const std::string& buffer, uint8_t header[fmt::kLongValueHeaderSize]);

  // Inside the table's commit: writes the shared pages as they stand (rows of earlier values must
  // be in the file before the rows that point at them are committed), then both usage-map rows.
  void commit();
  // After the table's commit has ended: the shared page is now listed in the file.
  void committed() { sharedListed_ = sharedPage_ != 0; }
  // LVAL pages of the column so far.
  uint64_t pages() const { return owned_.pages().size(); }

 private:
  // Done with the shared page (it is full): written now if the file does not list it yet, else
  // kept for the next commit (a listed page is rewritten only inside a commit, see pager.h).
  void retireShared();

  Pager& pager_;
  UsageMap owned_;
  UsageMap free_;
  DataPage shared_;
  uint32_t sharedPage_ = 0;  // 0: none yet
  bool sharedDirty_ = false;
  bool sharedListed_ = false;             // a commit has listed the shared page in the file
  uint32_t retiredPage_ = 0;              // a full listed page waiting for the next commit (0: none)
  std::vector<uint8_t> retiredBytes_;
};

}  // namespace vellicor::jet3
