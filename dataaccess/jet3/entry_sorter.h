// Sorting of index entries in bounded memory: entries are gathered in a buffer, each full buffer
// is sorted and written to a temporary file as a run, and the runs are merged on the way out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vellicor::jet3 {

// Entries are byte strings (an index's leaf entries: key + row pointer) ordered by plain unsigned
// byte comparison, shorter first on a tie, each carrying a number of the caller's (the row's place
// in the table). Equal entries come out in the order they went in.
class EntrySorter {
 public:
  // memoryBudget: bytes the buffer may take (entries and their bookkeeping) before it is written
  // out as a run. tempDirectory: where runs go (empty: the system's temporary folder).
  explicit EntrySorter(size_t memoryBudget = kDefaultBudget, std::string tempDirectory = {});
  ~EntrySorter();
  EntrySorter(const EntrySorter&) = delete;
  EntrySorter& operator=(const EntrySorter&) = delete;

  // size below 64 KiB. Throws dao::Error (I/O) when a run cannot be written.
  void add(const uint8_t* entry, size_t size, uint32_t number);
  // Ends the input; the entries can then be read in order with next().
  void finish();
  // The next entry in order; false at the end. The bytes stay valid until the next call.
  bool next(const uint8_t*& entry, size_t& size, uint32_t& number);

  size_t runsWritten() const;  // 0 while everything fitted the buffer

  static constexpr size_t kDefaultBudget = size_t{24} << 20;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vellicor::jet3
