// Bounded-memory sort of index entries: a buffer sorted in place, runs in one temporary file, and
// a merge of the runs through a heap, each run read through a buffer of its own.
#include "dataaccess/jet3/entry_sorter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <queue>

#include "dataaccess/error.h"
#include "dataaccess/jet3/file_io.h"
#include "text/utf8_path.h"

namespace vellicor::jet3 {
namespace {

// A record in the buffer and in a run: 2-byte length, the entry, the 4-byte number.
constexpr size_t kLengthBytes = 2;
constexpr size_t kNumberBytes = 4;
constexpr size_t kMaxEntry = 0xFFFF;
constexpr size_t kFirstArena = size_t{64} << 10;
constexpr size_t kRunReadBuffer = size_t{128} << 10;  // more than the longest record

uint16_t loadLength(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t loadNumber(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Plain unsigned byte order, shorter first on a common prefix.
bool entryLess(const uint8_t* a, size_t an, const uint8_t* b, size_t bn) {
  const int c = std::memcmp(a, b, std::min(an, bn));
  return c != 0 ? c < 0 : an < bn;
}

[[noreturn]] void tempFileFailure(const std::filesystem::path& path, const char* what) {
  throw dao::Error("並べ替え用の一時ファイル '" + text::utf8FromPath(path) + "' " + what, dao::errnum::kDiskOrNetworkError);
}

std::atomic<uint64_t> nextTempNumber{0};

// One run being read back during the merge.
struct RunReader {
  std::ifstream in;
  uint64_t left = 0;  // bytes of the run not yet read into buf
  std::vector<uint8_t> buf;
  size_t pos = 0, end = 0;
  // The current record.
  const uint8_t* entry = nullptr;
  size_t size = 0;
  uint32_t number = 0;

  // Makes sure n bytes are buffered from pos on; false when the run has fewer left.
  bool fill(size_t n, const std::filesystem::path& path) {
    if (end - pos >= n) return true;
    std::memmove(buf.data(), buf.data() + pos, end - pos);
    end -= pos;
    pos = 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buf.size() - end));
    if (want > 0) {
      in.read(reinterpret_cast<char*>(buf.data() + end), static_cast<std::streamsize>(want));
      if (static_cast<size_t>(in.gcount()) != want) tempFileFailure(path, "を読み取れません。");
      end += want;
      left -= want;
    }
    return end - pos >= n;
  }

  bool advance(const std::filesystem::path& path) {
    if (!fill(kLengthBytes, path)) return false;
    const size_t n = loadLength(&buf[pos]);
    if (!fill(kLengthBytes + n + kNumberBytes, path)) tempFileFailure(path, "の内容が途中で切れています。");
    entry = &buf[pos + kLengthBytes];
    size = n;
    number = loadNumber(&buf[pos + kLengthBytes + n]);
    pos += kLengthBytes + n + kNumberBytes;
    return true;
  }
};

}  // namespace

struct EntrySorter::Impl {
  size_t arenaCapacity = 0;
  size_t offsetCapacity = 0;
  std::vector<uint8_t> arena;  // grows as entries come, up to arenaCapacity (most indexes are small)
  size_t arenaUsed = 0;
  std::vector<uint32_t> offsets;  // records in the buffer, in the order added (then sorted)
  size_t cursor = 0;              // reading the buffer without runs

  std::filesystem::path directory;
  std::filesystem::path path;  // empty until the first run
  std::ofstream out;
  std::vector<std::pair<uint64_t, uint64_t>> runs;  // offset and length in the file
  uint64_t written = 0;

  std::vector<std::unique_ptr<RunReader>> readers;
  // Heap of readers by their current record; a tie goes to the earlier run.
  struct Later {
    const Impl* impl;
    bool operator()(size_t a, size_t b) const {
      const RunReader& x = *impl->readers[a];
      const RunReader& y = *impl->readers[b];
      if (entryLess(y.entry, y.size, x.entry, x.size)) return true;
      if (entryLess(x.entry, x.size, y.entry, y.size)) return false;
      return a > b;
    }
  };
  std::priority_queue<size_t, std::vector<size_t>, Later> heap{Later{this}};
  size_t current = SIZE_MAX;  // the reader whose record next() returned last
  bool merging = false;

  ~Impl() {
    readers.clear();
    if (out.is_open()) out.close();
    if (!path.empty()) {
      std::error_code ec;
      std::filesystem::remove(path, ec);
    }
  }

  void sortBuffer() {
    const uint8_t* base = arena.data();
    std::stable_sort(offsets.begin(), offsets.end(), [base](uint32_t a, uint32_t b) {
      return entryLess(base + a + kLengthBytes, loadLength(base + a), base + b + kLengthBytes, loadLength(base + b));
    });
  }

  void writeRun() {
    sortBuffer();
    if (path.empty()) {
      std::error_code ec;
      std::filesystem::path dir = directory.empty() ? std::filesystem::temp_directory_path(ec) : directory;
      if (ec) dir = std::filesystem::current_path(ec);
      path = dir / ("vellicor-sort-" + std::to_string(processNumber()) + "-" + std::to_string(nextTempNumber++) + ".tmp");
      out.open(path, std::ios::binary | std::ios::trunc);
      if (!out) tempFileFailure(path, "を作成できません。");
    }
    const uint64_t start = written;
    for (uint32_t o : offsets) {
      const size_t n = kLengthBytes + loadLength(&arena[o]) + kNumberBytes;
      out.write(reinterpret_cast<const char*>(&arena[o]), static_cast<std::streamsize>(n));
      written += n;
    }
    if (!out) tempFileFailure(path, "に書き込めません。");
    runs.emplace_back(start, written - start);
    offsets.clear();
    arenaUsed = 0;
  }

  void startMerge() {
    out.close();
    if (!out) tempFileFailure(path, "に書き込めません。");
    arena = {};
    offsets = {};
    for (const auto& [offset, length] : runs) {
      auto r = std::make_unique<RunReader>();
      r->in.open(path, std::ios::binary);
      if (!r->in) tempFileFailure(path, "を開けません。");
      r->in.seekg(static_cast<std::streamoff>(offset));
      r->left = length;
      r->buf.resize(kRunReadBuffer);
      readers.push_back(std::move(r));
    }
    for (size_t i = 0; i < readers.size(); ++i)
      if (readers[i]->advance(path)) heap.push(i);
    merging = true;
  }
};

EntrySorter::EntrySorter(size_t memoryBudget, std::string tempDirectory) : impl_(std::make_unique<Impl>()) {
  // Three quarters for the records, the rest for their offsets (and the sort's scratch copy of them).
  impl_->arenaCapacity = std::max<size_t>(memoryBudget / 4 * 3, kLengthBytes + kMaxEntry + kNumberBytes);
  impl_->offsetCapacity = std::max<size_t>(memoryBudget / 4 / (2 * sizeof(uint32_t)), 1);
  impl_->offsets.reserve(std::min<size_t>(impl_->offsetCapacity, 4096));
  if (!tempDirectory.empty()) impl_->directory = text::pathFromUtf8(tempDirectory);
}

EntrySorter::~EntrySorter() = default;

void EntrySorter::add(const uint8_t* entry, size_t size, uint32_t number) {
  Impl& m = *impl_;
  if (size > kMaxEntry) throw dao::formatLimit("インデックスのエントリが長すぎます。");
  const size_t need = kLengthBytes + size + kNumberBytes;
  if (m.arenaUsed + need > m.arenaCapacity || m.offsets.size() == m.offsetCapacity) m.writeRun();
  if (m.arenaUsed + need > m.arena.size())
    m.arena.resize(std::min(m.arenaCapacity, std::max({m.arena.size() * 2, m.arenaUsed + need, kFirstArena})));
  uint8_t* p = &m.arena[m.arenaUsed];
  p[0] = static_cast<uint8_t>(size);
  p[1] = static_cast<uint8_t>(size >> 8);
  std::memcpy(p + kLengthBytes, entry, size);
  for (size_t i = 0; i < kNumberBytes; ++i) p[kLengthBytes + size + i] = static_cast<uint8_t>(number >> (8 * i));
  m.offsets.push_back(static_cast<uint32_t>(m.arenaUsed));
  m.arenaUsed += need;
}

void EntrySorter::finish() {
  Impl& m = *impl_;
  if (m.runs.empty()) {
    m.sortBuffer();
    m.cursor = 0;
    return;
  }
  if (!m.offsets.empty()) m.writeRun();
  m.startMerge();
}

bool EntrySorter::next(const uint8_t*& entry, size_t& size, uint32_t& number) {
  Impl& m = *impl_;
  if (!m.merging) {
    if (m.cursor == m.offsets.size()) return false;
    const uint8_t* p = &m.arena[m.offsets[m.cursor++]];
    size = loadLength(p);
    entry = p + kLengthBytes;
    number = loadNumber(p + kLengthBytes + size);
    return true;
  }
  // The record returned last stays valid until now: only then is its reader moved on.
  if (m.current != SIZE_MAX) {
    if (m.readers[m.current]->advance(m.path)) m.heap.push(m.current);
    m.current = SIZE_MAX;
  }
  if (m.heap.empty()) return false;
  m.current = m.heap.top();
  m.heap.pop();
  const RunReader& r = *m.readers[m.current];
  entry = r.entry;
  size = r.size;
  number = r.number;
  return true;
}

size_t EntrySorter::runsWritten() const { return impl_->runs.size(); }

}  // namespace vellicor::jet3
