// Page allocation, page I/O, commits through the journal, and the global usage map on page 1
// (bit 1 = free, covering every page: inline while the file fits one window, else bitmap pages).
#include "dataaccess/jet3/pager.h"

#include <algorithm>
#include <cstring>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/usage_map.h"

namespace vellicor::jet3 {
namespace {

// Pages kept back from row data so that the catalog can still be committed at the size limit.
constexpr uint32_t kReservePages = 256;
constexpr uint32_t kGlobalWindowBits = static_cast<uint32_t>(fmt::kMapInlineBits);
// Pages the read cache holds: enough for a row scan (data page, its overflow targets, long-value
// pages) and an index walk's path, small enough not to matter beside the commit's held pages.
constexpr size_t kCacheSlots = 64;

[[noreturn]] void tooLarge() {
  throw dao::formatLimit("データベースのサイズが上限の 1 GB を超えるため、これ以上書き込めません。", dao::errnum::kObjectNotFound);
}

}  // namespace

Pager::Pager(std::unique_ptr<FileIo> file, uint32_t pageCount)
    : file_(std::move(file)),
      pageCount_(pageCount),
      pageOneRow1_(fmt::kMapRowSize, 0),
      mapPageCount_(pageCount),
      cache_(kCacheSlots) {}

Pager::~Pager() = default;

uint32_t Pager::pagesLeftForData() const {
  const uint32_t limit = fmt::kMaxPages - kReservePages;
  return static_cast<uint32_t>((pageCount_ < limit ? limit - pageCount_ : 0) + free_.size());
}

void Pager::requirePages(uint32_t n, bool reserve) const {
  const uint32_t limit = fmt::kMaxPages - (reserve ? 0 : kReservePages);
  const uint64_t left = (pageCount_ < limit ? limit - pageCount_ : 0) + free_.size();
  if (n > left) tooLarge();
}

uint32_t Pager::allocate(bool reserve) {
  if (!free_.empty()) {
    const uint32_t p = free_.first();
    free_.erase(p);
    takenSinceMap_.insert(p);  // its old content matters to nobody
    return p;
  }
  const uint32_t limit = fmt::kMaxPages - (reserve ? 0 : kReservePages);
  if (pageCount_ >= limit) tooLarge();
  return pageCount_++;
}

uint32_t Pager::allocateRun(uint32_t n) {
  if (static_cast<uint64_t>(pageCount_) + n > fmt::kMaxPages - kReservePages) tooLarge();
  const uint32_t first = pageCount_;
  pageCount_ += n;
  return first;
}

void Pager::release(uint32_t page) { pendingRelease_.insert(page); }

void Pager::markInUse(const std::vector<uint32_t>& pages) {
  for (uint32_t p : pages) {
    if (!free_.contains(p)) continue;
    free_.erase(p);
    markedInUse_ = true;
  }
}

bool Pager::mapChanged() const {
  return pageCount_ != mapPageCount_ || !takenSinceMap_.empty() || !releasable_.empty() || markedInUse_;
}

void Pager::commitMap() {
  if (!mapChanged()) return;
  CommitScope scope(*this);
  scope.done();
}

void Pager::loadGlobalMap() {
  try {
    const MapRowBytes global = locateMapRow(*this, fmt::rowPointer(fmt::kGlobalMapPage, 0));
    for (uint32_t p : decodeUsageMapRow(*this, global.row, global.size, PastLimit::kIgnored)) {
      if (p > fmt::kGlobalMapPage && p < pageCount_) free_.insert(p);
    }
    for (uint32_t b : mapBitmapPages(global.row, global.size)) {
      if (b == 0) break;
      globalBitmapPages_.push_back(b);
    }
    if (rowSlotCount(*global.page, fmt::kGlobalMapPage) >= 2) {
      const MapRowBytes second = locateMapRow(*this, fmt::rowPointer(fmt::kGlobalMapPage, 1));
      pageOneRow1_.assign(second.row, second.row + second.size);
    }
  } catch (const dao::Error& e) {
    throw dao::damagedFile("全体の使用ページ表 (ページ 1) を読み取れません: " + e.description());
  }
}

std::shared_ptr<const Page> Pager::page(uint32_t number) {
  if (number >= pageCount_) {
    throw dao::damagedFile("ページ " + std::to_string(number) + " はファイルの範囲外です (全 " + std::to_string(pageCount_) +
                           " ページ)。ファイルが壊れています。");
  }
  if (!overlay_.empty()) {
    if (auto it = overlay_.find(number); it != overlay_.end()) return it->second;
  }
  if (commitDepth_ > 0) {
    if (auto it = held_.find(number); it != held_.end()) {
      auto copy = std::make_shared<Page>();
      std::memcpy(copy->data(), it->second.data(), fmt::kPageSize);
      return copy;
    }
  }
  CacheSlot& slot = cache_[number % cache_.size()];
  if (slot.number == number) return slot.page;
  auto p = std::make_shared<Page>();
  file_->readAt(static_cast<uint64_t>(number) * fmt::kPageSize, p->data(), fmt::kPageSize);
  slot.number = number;
  slot.page = p;
  return p;
}

void Pager::read(uint32_t page, uint8_t* out) { std::memcpy(out, this->page(page)->data(), fmt::kPageSize); }

void Pager::write(uint32_t page, const uint8_t* bytes) {
  checkUsable();
  if (commitDepth_ > 0) {
    std::memcpy(held(page, false).data(), bytes, fmt::kPageSize);
    return;
  }
  forget(page);
  file_->writeAt(static_cast<uint64_t>(page) * fmt::kPageSize, bytes, fmt::kPageSize);
}

void Pager::writeRun(uint32_t first, const uint8_t* bytes, uint32_t count) {
  checkUsable();
  if (commitDepth_ > 0) {
    for (uint32_t i = 0; i < count; ++i) write(first + i, bytes + size_t{i} * fmt::kPageSize);
    return;
  }
  for (uint32_t i = 0; i < count; ++i) forget(first + i);
  file_->writeAt(static_cast<uint64_t>(first) * fmt::kPageSize, bytes, size_t{count} * fmt::kPageSize);
}

void Pager::writeBytes(uint32_t page, size_t offset, const void* bytes, size_t n) {
  checkUsable();
  if (commitDepth_ > 0) {
    std::memcpy(held(page, true).data() + offset, bytes, n);
    return;
  }
  forget(page);
  file_->writeAt(static_cast<uint64_t>(page) * fmt::kPageSize + offset, bytes, n);
}

std::vector<uint8_t>& Pager::held(uint32_t page, bool readFirst) {
  auto [it, added] = held_.try_emplace(page);
  if (added) {
    it->second.resize(fmt::kPageSize);
    if (readFirst) file_->readAt(static_cast<uint64_t>(page) * fmt::kPageSize, it->second.data(), fmt::kPageSize);
    heldOrder_.push_back(page);
  }
  return it->second;
}

void Pager::checkUsable() const {
  if (failure_) {
    throw dao::Error("先の書き込みが失敗したため、データベースにはこれ以上書き込めません (" + *failure_ + ")", dao::errnum::kDiskOrNetworkError);
  }
}

void Pager::fail(const std::string& description) noexcept {
  if (!failure_) failure_ = description;
  forgetAll();  // what the file holds after a failed write is not known
  held_.clear();
  heldOrder_.clear();
  commitDepth_ = 0;
}

void Pager::enableJournal(const std::string& databasePath, FileOpener opener) {
  uint8_t page0[fmt::kPageSize];
  file_->readAt(0, page0, sizeof page0);
  headerHash_ = journalHash(page0, sizeof page0);
  journalDatabase_ = databasePath;
  journalOpener_ = std::move(opener);
}

void Pager::overlay(const Journal& journal) {
  for (const Journal::Image& im : journal.images) {
    auto p = std::make_shared<Page>();
    std::memcpy(p->data(), im.bytes.data(), fmt::kPageSize);
    overlay_[im.page] = std::move(p);
  }
}

void Pager::beginCommit() {
  checkUsable();
  if (commitDepth_++ == 0) fileBytesAtBegin_ = file_->size();
}

void Pager::abandonCommit() noexcept { fail("書き込みの途中で処理が中断されました"); }

void Pager::writeHeld() {
  const auto isMap = [this](uint32_t p) {
    return p == fmt::kGlobalMapPage || std::find(globalBitmapPages_.begin(), globalBitmapPages_.end(), p) != globalBitmapPages_.end();
  };
  const auto put = [this](uint32_t p) {
    forget(p);
    file_->writeAt(static_cast<uint64_t>(p) * fmt::kPageSize, held_[p].data(), fmt::kPageSize);
  };
  // 1. Pages the file's map shows free: nothing refers to them yet.
  for (uint32_t p : heldOrder_)
    if (!isMap(p) && unreferenced(p)) put(p);
  extendFile();
  // 2. The global map: bitmap pages before the page that points at them.
  for (uint32_t p : globalBitmapPages_)
    if (held_.contains(p)) put(p);
  if (held_.contains(fmt::kGlobalMapPage)) put(fmt::kGlobalMapPage);
  // 3. The references, in the order the commit first wrote them.
  for (uint32_t p : heldOrder_)
    if (!isMap(p) && !unreferenced(p)) put(p);
}

void Pager::endCommit() {
  checkUsable();  // an inner commit that failed fails the outer one too
  if (commitDepth_ == 0) return;
  if (commitDepth_ > 1) {
    --commitDepth_;
    return;
  }
  const bool mapWritten = mapChanged();
  try {
    if (mapWritten) stageGlobalMap();
    commitDepth_ = 0;
    // The pages this commit overwrites, as the file has them now. Pages past the file's end and
    // pages the file's map shows free held nothing anyone refers to.
    Journal journal;
    journal.pageCount = static_cast<uint32_t>(fileBytesAtBegin_ / fmt::kPageSize);
    journal.headerHash = headerHash_;
    if (!journalDatabase_.empty()) {
      for (uint32_t p : heldOrder_) {
        if (p >= journal.pageCount || unreferenced(p)) continue;
        Journal::Image im{p, std::vector<uint8_t>(fmt::kPageSize), sectorHashes(held_[p].data())};
        file_->readAt(static_cast<uint64_t>(p) * fmt::kPageSize, im.bytes.data(), fmt::kPageSize);
        journal.images.push_back(std::move(im));
      }
    }
    if (journal.images.empty()) {
      writeHeld();
    } else {
      // The pages written before the commit (rows, long values, new definitions) are on the disk
      // before anything refers to them; then the journal, then the commit's own pages.
      file_->sync();
      const std::string path = journalPath(journalDatabase_);
      {
        std::unique_ptr<FileIo> jf = journalOpener_(path, OpenMode::kCreateJournal);
        try {
          const std::vector<uint8_t> bytes = encodeJournal(journal);
          jf->writeAt(0, bytes.data(), bytes.size());
          jf->sync();
        } catch (...) {
          jf->close();
          removeFile(path);  // incomplete, and the database is untouched
          throw;
        }
        jf->close();
        syncDirectoryOf(path);
      }
      try {
        writeHeld();
        file_->sync();
        if (auto why = removeFile(path)) {
          throw dao::Error("ジャーナル '" + path + "' を削除できません: " + *why + "。", dao::errnum::kDiskOrNetworkError);
        }
      } catch (...) {
        // Put the old pages back while the file can still be written; when it cannot, the
        // journal stays and the next open does it.
        try {
          rollBack(*file_, journal);
          removeFile(path);
        } catch (...) {
        }
        throw;
      }
    }
  } catch (const dao::Error& e) {
    fail(e.description());
    throw;
  } catch (const std::exception& e) {
    fail(e.what());
    throw;
  }
  held_.clear();
  heldOrder_.clear();
  if (mapWritten) {
    // The map in the file now shows every page taken in use and the pages released before this
    // commit free: those may be handed out again.
    for (uint32_t p : releasable_.members()) free_.insert(p);
    releasable_.clear();
    mapPageCount_ = pageCount_;
    takenSinceMap_.clear();
    markedInUse_ = false;
  }
  // What referred to the pages released during this commit is written now; the next map frees them.
  for (uint32_t p : pendingRelease_.members()) releasable_.insert(p);
  pendingRelease_.clear();
}

void Pager::extendFile() {
  const uint64_t wanted = static_cast<uint64_t>(pageCount_) * fmt::kPageSize;
  if (file_->size() < wanted) file_->truncate(wanted);
}

void Pager::stageGlobalMap() {
  if (pageCount_ > kGlobalWindowBits || !globalBitmapPages_.empty()) {
    // Reference form: a bitmap page for every window up to the end of the file. Taking a bitmap
    // page may itself grow the file into a further window.
    for (;;) {
      const size_t windows = (pageCount_ - 1) / fmt::kBitmapPageBits + 1;
      if (windows > fmt::kMapReferencePointers) tooLarge();
      if (globalBitmapPages_.size() >= windows) break;
      globalBitmapPages_.push_back(allocate(true));
    }
    uint8_t bitmap[fmt::kPageSize];
    for (size_t w = 0; w < globalBitmapPages_.size(); ++w) {
      std::memset(bitmap, 0, sizeof bitmap);
      freeBits(static_cast<uint32_t>(w * fmt::kBitmapPageBits), fmt::kBitmapPageBits, bitmap + fmt::kBitmapPageHeader);
      bitmap[0] = fmt::kPageUsageBitmap;
      bitmap[1] = fmt::kPageMarker;
      write(globalBitmapPages_[w], bitmap);
    }
  }
  writeGlobalRow();
}

void Pager::freeBits(uint32_t base, uint32_t bits, uint8_t* out) const {
  free_.exportBits(base, bits, out);
  releasable_.exportBits(base, bits, out);
  for (uint32_t i = pageCount_ > base ? pageCount_ - base : 0; i < bits; ++i) {
    out[i / 8] |= static_cast<uint8_t>(1u << (i % 8));  // past the end of the file
  }
}

void Pager::writeGlobalRow() {
  // Page 1: a data page owned by "1" with two rows: the global map and the second map as found.
  uint8_t page[fmt::kPageSize] = {};
  page[0] = fmt::kPageData;
  page[1] = fmt::kPageMarker;
  storeU32(page + fmt::kDataOwner, 1);
  storeU16(page + fmt::kDataRowCount, 2);
  const uint16_t row0 = static_cast<uint16_t>(fmt::kPageSize - fmt::kMapRowSize);
  const uint16_t row1 = static_cast<uint16_t>(row0 - pageOneRow1_.size());
  storeU16(page + fmt::kDataRowTable, row0);
  storeU16(page + fmt::kDataRowTable + 2, row1);
  storeU16(page + fmt::kDataFreeSpace, static_cast<uint16_t>(row1 - fmt::kDataHeaderSize - 4));
  std::memcpy(page + row1, pageOneRow1_.data(), pageOneRow1_.size());
  uint8_t* row = page + row0;
  if (globalBitmapPages_.empty()) {
    row[0] = fmt::kMapInline;  // start page 0
    freeBits(0, kGlobalWindowBits, row + fmt::kMapInlineHeader);
  } else {
    row[0] = fmt::kMapReference;
    for (size_t w = 0; w < globalBitmapPages_.size(); ++w) storeU32(row + 1 + 4 * w, globalBitmapPages_[w]);
  }
  write(fmt::kGlobalMapPage, page);
}

void Pager::sync() { file_->sync(); }

void Pager::close() { file_->close(); }

}  // namespace vellicor::jet3
