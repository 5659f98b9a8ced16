// The read-ahead thread: rows in source order, long values read in pieces into whole byte strings,
// batches bounded in rows and bytes; a read failure travels behind the rows read before it.
#include "engine/read_ahead.h"

namespace vellicor::engine {
namespace {

size_t approximateBytes(const dao::Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return sizeof(dao::Variant) + s->size();
  if (const auto* b = std::get_if<dao::Bytes>(&v)) return sizeof(dao::Variant) + b->size();
  return sizeof(dao::Variant);
}

}  // namespace

ReadAhead::ReadAhead(dao::Recordset& source, int32_t chunkSize) : source_(source), chunkSize_(chunkSize) {
  thread_ = std::thread([this] { run(); });
}

void ReadAhead::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

RowBatch ReadAhead::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !queue_.empty(); });
  RowBatch batch = std::move(queue_.front());
  queue_.pop_front();
  queuedBytes_ -= batch.bytes;
  lock.unlock();
  changed_.notify_all();
  return batch;
}

void ReadAhead::push(RowBatch batch) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] {
    return queue_.empty() || (queue_.size() < kQueueBatches && queuedBytes_ + batch.bytes <= kQueueBytes) || stopping_;
  });
  queuedBytes_ += batch.bytes;
  queue_.push_back(std::move(batch));
  lock.unlock();
  changed_.notify_all();
}

void ReadAhead::recycle(RowBatch batch) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Two at most: the values inside are held until the reading thread takes them.
  if (stopping_) return;
  if (batch.block) {
    if (recycledBlocks_.size() < 2) recycledBlocks_.push_back(std::move(batch.block));
  } else if (recycled_.size() < 2) {
    recycled_.push_back(std::move(batch.rows));
  }
}

std::unique_ptr<dao::RowBlock> ReadAhead::takeRecycledBlock() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (recycledBlocks_.empty()) return nullptr;
  std::unique_ptr<dao::RowBlock> block = std::move(recycledBlocks_.back());
  recycledBlocks_.pop_back();
  return block;
}

bool ReadAhead::stopping() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopping_;
}

void ReadAhead::takeRecycled(std::vector<std::vector<dao::Variant>>& spare) {
  std::vector<std::vector<std::vector<dao::Variant>>> taken;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(recycled_);
  }
  for (auto& rows : taken) {
    for (auto& row : rows) {
      row.clear();
      spare.push_back(std::move(row));
    }
  }
}

void ReadAhead::run() {
  RowBatch batch;
  try {
    auto* blocks = dynamic_cast<dao::BlockSource*>(&source_);
    if (blocks && !source_.eof() && blocks->blocksAvailable()) {
      readBlocks(*blocks, batch);
    } else {
      readRows(batch);
    }
  } catch (...) {
    batch.failure = std::current_exception();
  }
  batch.last = true;
  push(std::move(batch));
}

void ReadAhead::readBlocks(dao::BlockSource& blocks, RowBatch& batch) {
  // One batch a fetched block; the storing thread reads the values out of it.
  while (!source_.eof()) {
    if (stopping()) return;
    batch.block = blocks.takeBlock(takeRecycledBlock());
    batch.bytes = batch.block->byteSize();
    source_.moveNext();  // past the block's last row: the next block is fetched
    if (!source_.eof()) {
      push(std::move(batch));
      batch = RowBatch{};
    }
  }
}

void ReadAhead::readRows(RowBatch& batch) {
  std::vector<std::vector<dao::Variant>> spare;  // row vectors to refill, values still inside
  while (!source_.eof()) {
    if (stopping()) return;
    dao::Fields& fields = source_.fields();
    const int count = fields.count();
    if (spare.empty()) takeRecycled(spare);
    std::vector<dao::Variant> row;
    if (!spare.empty()) {
      row = std::move(spare.back());
      spare.pop_back();
    }
    row.reserve(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
      dao::Field& f = fields[k];
      if (isLongType(f.type())) {
        // Whole long value from pieces; Null when there is nothing to append.
        const int64_t length = f.fieldSize();
        dao::Bytes whole;
        for (int64_t offset = 0; offset < length;) {
          dao::Bytes piece = f.getChunk(offset, chunkSize_);
          if (piece.empty()) break;
          offset += static_cast<int64_t>(piece.size());
          whole.insert(whole.end(), piece.begin(), piece.end());
        }
        // A long value with nothing to append leaves the target field Null, whether the source
        // held Null or a zero-length value.
        row.push_back(whole.empty() ? dao::Variant(dao::Null{}) : dao::Variant(std::move(whole)));
      } else {
        row.push_back(f.value());
      }
      batch.bytes += approximateBytes(row.back());
    }
    batch.rows.push_back(std::move(row));
    source_.moveNext();
    if (batch.rows.size() >= kBatchRows || batch.bytes >= kBatchBytes) {
      push(std::move(batch));
      batch = RowBatch{};
    }
  }
}

}  // namespace vellicor::engine
