// One index page of Jet 3 as entries in memory: decoding (with the checks a reader can make) and
// encoding, shared by the bulk builder, the in-place insert and the checking tree reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"

namespace vellicor::jet3 {

// Leaf entry: key + 3-byte page + 1-byte row (big-endian). Intermediate entry: the child's last
// leaf entry + the child's 4-byte page number (big-endian).
inline constexpr size_t kIndexRowPointerBytes = 4;
inline constexpr size_t kIndexChildPointerBytes = 4;
inline constexpr uint8_t kIndexLeafLevel = 0;
inline constexpr uint8_t kIndexNodeLevel = 1;

// Longest key an index takes: an intermediate page must hold at least two entries (plus its
// tail), or a level would never narrow to one root.
inline constexpr size_t kIndexMaxKeyBytes = fmt::kIdxEntryArea / 2 - kIndexRowPointerBytes - kIndexChildPointerBytes;

using IndexBytes = std::vector<uint8_t>;

struct IndexPage {
  uint32_t number = 0;
  bool leaf = true;
  uint32_t prev = 0, next = 0;  // neighbours on the same level
  uint32_t tail = 0;            // intermediate pages: the last child, which has no entry
  std::vector<IndexBytes> entries;  // whole (any shared prefix expanded)
};

// Decodes and checks one page (type, entry bitmap, prefix, order, free space); throws dao::Error
// naming the page and the fault. Owner and level are the caller's to check.
IndexPage decodeIndexPage(uint32_t number, const Page& bytes);
// Lays the page out with no shared prefix (always legal). The entries must fit (indexEntriesFit).
void encodeIndexPage(const IndexPage& page, uint32_t tdefPage, Page& out);
// Whether the entries fit one page's entry area when stored whole.
bool indexEntriesFit(const std::vector<IndexBytes>& entries);

// Plain unsigned byte order of entries, the order Jet keeps them in.
bool indexBytesLess(const IndexBytes& a, const IndexBytes& b);
uint32_t loadIndexChild(const IndexBytes& nodeEntry);  // the child page of an intermediate entry
IndexBytes leafEntryBytes(const IndexEntry& e);
// Appends a leaf entry's row pointer: the page's 3 bytes big-endian, then the row.
void appendRowPointer(IndexBytes& entry, uint32_t page, uint8_t row);
inline constexpr uint32_t kIndexMaxRowPage = 0xFFFFFF;  // what the pointer's 3 page bytes hold

std::string hex2(unsigned v);  // "0x4F"
[[noreturn]] void indexPageFault(uint32_t page, const std::string& what);

}  // namespace vellicor::jet3
