// Index entries of Jet 3: key encoding (General sort order and the numeric types) and the B-tree
// of leaf and intermediate pages, built in bulk from sorted entries and read back for checking.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {

using Page = std::array<uint8_t, fmt::kPageSize>;

struct IndexEntry {
  std::vector<uint8_t> key;  // the key bytes of all index columns
  uint32_t page = 0;         // row pointer of the data row: 3-byte page, 1-byte row
  uint8_t row = 0;
  // Entries sort by plain unsigned byte comparison of key, then page, then row (precisely: of the
  // entry bytes key + 3-byte big-endian page + row, as Jet orders them; the same for real keys,
  // none of which is a prefix of another).
  bool operator<(const IndexEntry& o) const;
  bool operator==(const IndexEntry& o) const = default;
};

// ---- Keys: each appends one column's part (flag byte, then value bytes) ----
void appendNullKey(std::vector<uint8_t>& key, bool ascending);
void appendByteKey(std::vector<uint8_t>& key, uint8_t v, bool ascending);
void appendIntegerKey(std::vector<uint8_t>& key, int16_t v, bool ascending);
void appendLongKey(std::vector<uint8_t>& key, int32_t v, bool ascending);
void appendCurrencyKey(std::vector<uint8_t>& key, int64_t scaled, bool ascending);
void appendSingleKey(std::vector<uint8_t>& key, float v, bool ascending);
void appendDoubleKey(std::vector<uint8_t>& key, double v, bool ascending);  // also Date/Time
void appendBooleanKey(std::vector<uint8_t>& key, bool v, bool ascending);
// guid: the 16 bytes as a row stores them (Windows layout, first three fields little-endian).
void appendGuidKey(std::vector<uint8_t>& key, const uint8_t (&guid)[16], bool ascending);
// Binary (and the keyed prefix of other byte strings): chunks of eight bytes with markers.
void appendBinaryKey(std::vector<uint8_t>& key, std::string_view bytes, bool ascending);
// Text in the database code page's bytes, keyed with the General sort order (0x0409).
void appendTextKeyGeneral(std::vector<uint8_t>& key, std::string_view bytes, bool ascending);

// ---- Tree ----
struct BuiltPage {
  uint32_t number = 0;
  Page bytes{};
};

// Builds the leaf and intermediate pages over the entries (sorted here, duplicates kept) for an
// index of the table whose TDEF is at tdefPage. allocatePage() hands out page numbers. An empty
// index gets one empty leaf. Returns the root page number; the pages are appended to out.
uint32_t buildIndexTree(std::vector<IndexEntry> entries, uint32_t tdefPage,
                        const std::function<uint32_t()>& allocatePage, std::vector<BuiltPage>& out);

// The same layout for entries that arrive in order, one at a time: each leaf goes to `sink` as soon
// as it is full, so memory holds one leaf and the (some hundred times smaller) upper levels only.
// Pages are numbered in the order buildIndexTree numbers them: the leaves left to right, then each
// level above.
class IndexTreeWriter {
 public:
  using PageSink = std::function<void(uint32_t number, const Page& bytes)>;
  IndexTreeWriter(uint32_t tdefPage, std::function<uint32_t()> allocatePage, PageSink sink);
  ~IndexTreeWriter();
  // A leaf entry (key + 3-byte page + row), not below the previous one. Throws dao::Error (format
  // limit) for a key too long for an index page.
  void add(const uint8_t* entry, size_t size);
  // Writes the last leaf and the levels above; returns the root's page number.
  uint32_t finish();

 private:
  struct Level;
  void closeLeaf(uint32_t next);

  uint32_t tdefPage_;
  std::function<uint32_t()> allocate_;
  PageSink sink_;
  std::unique_ptr<Level> leaves_;
};

// Reads the tree below root in key order into out, checking what a reader can check: page types
// and owner, entry bitmaps, prefix compression, sorted order across pages, leaf links, the tail
// rule, and no page visited twice. Throws dao::Error naming the page and the fault.
void readIndexTree(const std::function<void(uint32_t page, Page& bytes)>& readPage, uint32_t root,
                   uint32_t tdefPage, std::vector<IndexEntry>& out, std::vector<uint32_t>* pagesVisited = nullptr);

}  // namespace vellicor::jet3
