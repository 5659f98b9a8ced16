// Read-ahead of a source recordset: a second thread takes the rows (long values whole) into
// bounded batches while the run writes the rows before them, so reading and writing overlap.
// A source that hands out whole fetched blocks is only fetched on that thread; its values are
// made by the thread that stores them, which has the lighter load.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/row_block.h"

namespace vellicor::engine {

// Rows as values, or (from a block source) one fetched block whose values are read by the taker.
struct RowBatch {
  std::vector<std::vector<dao::Variant>> rows;
  std::unique_ptr<dao::RowBlock> block;
  size_t bytes = 0;  // what the batch holds, about
  std::exception_ptr failure;  // set on the last batch when reading failed after its rows
  bool last = false;
};

class ReadAhead {
 public:
  // Rows per batch, bytes per batch (long values counted); batches waiting at most, and the bytes
  // they may hold together (one batch may always wait). The queue is deep enough to cover the
  // storing thread's pauses at the file's commits while the reading thread goes on.
  static constexpr size_t kBatchRows = 512;
  static constexpr size_t kBatchBytes = 4u << 20;
  static constexpr size_t kQueueBatches = 32;
  static constexpr size_t kQueueBytes = 8u << 20;

  // Starts reading `source` from its current row. The recordset belongs to the reader until
  // stop() or the last batch; chunkSize is the piece length asked of GetChunk.
  ReadAhead(dao::Recordset& source, int32_t chunkSize);
  ~ReadAhead() { stop(); }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The next batch; after one with last set, there are no more.
  RowBatch next();
  // Hands a batch whose rows are stored back to the reading thread, which refills its vectors or
  // its block (and frees the values it allocated) instead of the storing thread freeing them.
  void recycle(RowBatch batch);
  // Asks the reading thread to end and waits for it.
  void stop();

 private:
  void run();
  void readRows(RowBatch& batch);
  void readBlocks(dao::BlockSource& blocks, RowBatch& batch);
  bool stopping();
  void push(RowBatch batch);
  // Rows and blocks handed back, taken into the spares by the reading thread.
  void takeRecycled(std::vector<std::vector<dao::Variant>>& spare);
  std::unique_ptr<dao::RowBlock> takeRecycledBlock();

  dao::Recordset& source_;
  int32_t chunkSize_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<RowBatch> queue_;
  size_t queuedBytes_ = 0;
  std::vector<std::vector<std::vector<dao::Variant>>> recycled_;  // at most two batches
  std::vector<std::unique_ptr<dao::RowBlock>> recycledBlocks_;   // at most two
  bool stopping_ = false;
  std::thread thread_;
};

// Whether a source field of this type is moved in pieces.
inline bool isLongType(int16_t type) { return type == dao::dbMemo || type == dao::dbLongBinary; }

}  // namespace vellicor::engine
