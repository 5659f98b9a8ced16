// The read-ahead thread: rows in source order, long values read in pieces into whole byte strings,
// batches bounded in rows and bytes; a read failure travels behind the rows read before it.
#include "engine/row_reader.h"

namespace vellicor::engine {
namespace {

size_t approximateBytes(const dao::Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return sizeof(dao::Variant) + s->size();
  if (const auto* b = std::get_if<dao::Bytes>(&v)) return sizeof(dao::Variant) + b->size();
  return sizeof(dao::Variant);
}

}  // namespace

RowReader::RowReader(dao::Recordset& source, int32_t chunkSize) : source_(source), chunkSize_(chunkSize) {
  thread_ = std::thread([this] { run(); });
}

void RowReader::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

RowBatch RowReader::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !queue_.empty(); });
  RowBatch batch = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  changed_.notify_all();
  return batch;
}

void RowReader::push(RowBatch batch) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kQueueBatches || stopping_; });
  queue_.push_back(std::move(batch));
  lock.unlock();
  changed_.notify_all();
}

void RowReader::recycle(RowBatch batch) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Two at most: the values inside are held until the reading thread takes them.
  if (recycled_.size() < 2 && !stopping_) recycled_.push_back(std::move(batch.rows));
}

void RowReader::takeRecycled(std::vector<std::vector<dao::Variant>>& spare) {
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

void RowReader::run() {
  RowBatch batch;
  size_t bytes = 0;
  std::vector<std::vector<dao::Variant>> spare;  // row vectors to refill, values still inside
  try {
    while (!source_.eof()) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
      }
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
        bytes += approximateBytes(row.back());
      }
      batch.rows.push_back(std::move(row));
      source_.moveNext();
      if (batch.rows.size() >= kBatchRows || bytes >= kBatchBytes) {
        push(std::move(batch));
        batch = RowBatch{};
        bytes = 0;
      }
    }
  } catch (...) {
    batch.failure = std::current_exception();
  }
  batch.last = true;
  push(std::move(batch));
}

}  // namespace vellicor::engine
