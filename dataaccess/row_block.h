// Rows handed over a fetched block at a time: a source that can give away its current block lets a
// read-ahead thread do nothing but fetch, while the thread that stores the rows turns them into values.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "dataaccess/variant.h"

namespace vellicor::dao {

// A copy of fetched rows, independent of the source: it may be read on another thread while the
// source goes on fetching.
class RowBlock {
 public:
  virtual ~RowBlock() = default;
  virtual size_t rowCount() const = 0;
  virtual int columnCount() const = 0;
  // About how many bytes the block holds.
  virtual size_t byteSize() const = 0;
  // The value of `column` in `row`, written into `into` so that text and bytes reuse the storage it
  // already holds. Throws dao::Error as the source's fields do for the same row and value (a row the
  // source could not read, a value longer than the column was described).
  virtual void read(size_t row, int column, Variant& into) const = 0;
  // Every value of `row`, into `into` (one value a column, storage reused as read does), so that a
  // refusal comes before any value of the row is used.
  virtual void readRow(size_t row, std::vector<Variant>& into) const {
    into.resize(static_cast<size_t>(columnCount()));
    for (size_t k = 0; k < into.size(); ++k) read(row, static_cast<int>(k), into[k]);
  }
};

// Implemented by recordsets that can hand out their rows in blocks.
class BlockSource {
 public:
  virtual ~BlockSource() = default;
  // Whether takeBlock can be used and is worth it: every column of a row arrives with the block,
  // and a block holds more than one row.
  virtual bool blocksAvailable() const = 0;
  // Copies the rows from the current one to the end of the fetched block into `reuse` (a block this
  // source handed out before, or null for a new one) and stands on the last of them, so that
  // moveNext goes on with the next block. Not for a recordset at its end.
  virtual std::unique_ptr<RowBlock> takeBlock(std::unique_ptr<RowBlock> reuse) = 0;
};

}  // namespace vellicor::dao
