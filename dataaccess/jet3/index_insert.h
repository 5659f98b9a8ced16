// Adding one entry to an existing Jet 3 index B-tree in place: the leaf it belongs on takes it,
// pages that overflow split, and the split reaches up to a new root when the old one splits.
#pragma once

#include <cstdint>
#include <functional>

#include "dataaccess/jet3/index.h"

namespace vellicor::jet3 {

// How the insert reaches the file: the caller's pages (a pager inside a commit), and new pages.
struct IndexTreeIo {
  std::function<void(uint32_t page, Page& bytes)> read;
  std::function<void(uint32_t page, const Page& bytes)> write;
  std::function<uint32_t()> allocate;
};

struct IndexInsertResult {
  uint32_t root = 0;    // the tree's root after the insert (a new page when the old root split)
  bool newKey = false;  // no other entry had the same key: the distinct-key count rises
};

// Inserts entry into the tree at root of the table whose TDEF is at tdefPage. A page is split
// into two halves, or, when the entry lands at the end of the rightmost page of its level (keys
// that only grow), into a full page and a new one, so that ascending inserts fill their pages.
// Pages of Jet's own files may share a prefix; every page written here stores its entries whole.
// Throws dao::Error for a key too long for any index page and for a damaged tree.
IndexInsertResult insertIndexEntry(const IndexTreeIo& io, uint32_t root, uint32_t tdefPage, const IndexEntry& entry);

}  // namespace vellicor::jet3
