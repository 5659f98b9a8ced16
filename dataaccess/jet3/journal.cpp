// Encoding, validation and rollback of the commit journal kept beside a database being written.
// The journal is our own file, not part of the Jet format; its layout is given below.
#include "dataaccess/jet3/journal.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

// Layout, little-endian:
//   0   8  kMagic
//   8   4  page size (kPageSize)
//   12  4  pages of the database before the commit
//   16  8  hash of the database's page 0
//   24  4  number of page images n
//   28     n x (4-byte page number, 8-byte hash of the page as the commit writes it,
//               kPageSize bytes as before the commit)
//   end 8  hash of every byte before it
constexpr char kMagic[8] = {'V', 'L', 'C', 'J', 'R', 'N', 'L', '1'};
constexpr size_t kHeaderSize = 28;
constexpr size_t kImageSize = 4 + 8 + fmt::kPageSize;
constexpr size_t kTrailerSize = 8;
constexpr const char* kSuffix = ".vellicor-journal";

void storeU64(uint8_t* p, uint64_t v) {
  storeU32(p, static_cast<uint32_t>(v));
  storeU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The whole journal file; nothing when there is none. Throws dao::Error when it cannot be read.
std::optional<std::vector<uint8_t>> readJournalFile(const std::string& path) {
  if (::access(path.c_str(), F_OK) != 0) return std::nullopt;
  std::unique_ptr<FileIo> file = openPosixFile(path, OpenMode::kOpenReadOnly);
  std::vector<uint8_t> bytes;
  const uint64_t size = file->size();
  if (size <= kHeaderSize + kTrailerSize + uint64_t{fmt::kMaxPages} * kImageSize) {  // else not a journal
    bytes.resize(static_cast<size_t>(size));
    file->readAt(0, bytes.data(), bytes.size());
  }
  file->close();
  return bytes;
}

// The journal in bytes when it is whole and guards the database.
std::optional<Journal> hotJournal(const std::vector<uint8_t>& bytes, uint64_t pageCount, const PageReader& readPage) {
  std::optional<Journal> j = decodeJournal(bytes.data(), bytes.size());
  if (j && !journalGuards(*j, pageCount, readPage)) return std::nullopt;
  return j;
}

}  // namespace

std::string journalPath(const std::string& databasePath) { return databasePath + kSuffix; }

uint64_t journalHash(const uint8_t* data, size_t n, uint64_t seed) {
  uint64_t h = seed;
  for (size_t i = 0; i < n; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

std::vector<uint8_t> encodeJournal(const Journal& j) {
  std::vector<uint8_t> out(kHeaderSize + j.images.size() * kImageSize + kTrailerSize);
  uint8_t* p = out.data();
  std::memcpy(p, kMagic, sizeof kMagic);
  storeU32(p + 8, static_cast<uint32_t>(fmt::kPageSize));
  storeU32(p + 12, j.pageCount);
  storeU64(p + 16, j.headerHash);
  storeU32(p + 24, static_cast<uint32_t>(j.images.size()));
  p += kHeaderSize;
  for (const Journal::Image& im : j.images) {
    if (im.bytes.size() != fmt::kPageSize) throw dao::Error("ジャーナルのページの大きさが正しくありません。");
    storeU32(p, im.page);
    storeU64(p + 4, im.afterHash);
    std::memcpy(p + 12, im.bytes.data(), fmt::kPageSize);
    p += kImageSize;
  }
  storeU64(p, journalHash(out.data(), out.size() - kTrailerSize));
  return out;
}

std::optional<Journal> decodeJournal(const uint8_t* data, size_t size) {
  if (size < kHeaderSize + kTrailerSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) return std::nullopt;
  if (loadU32(data + 8) != fmt::kPageSize) return std::nullopt;
  const uint32_t n = loadU32(data + 24);
  if (n > fmt::kMaxPages || size != kHeaderSize + uint64_t{n} * kImageSize + kTrailerSize) return std::nullopt;
  if (loadU64(data + size - kTrailerSize) != journalHash(data, size - kTrailerSize)) return std::nullopt;
  Journal j;
  j.pageCount = loadU32(data + 12);
  j.headerHash = loadU64(data + 16);
  if (j.pageCount > fmt::kMaxPages) return std::nullopt;
  const uint8_t* p = data + kHeaderSize;
  for (uint32_t i = 0; i < n; ++i, p += kImageSize) {
    Journal::Image im;
    im.page = loadU32(p);
    // Page 0 is never part of a commit, and a commit only overwrites pages the file had.
    if (im.page == fmt::kHeaderPage || im.page >= j.pageCount) return std::nullopt;
    im.afterHash = loadU64(p + 4);
    im.bytes.assign(p + 12, p + 12 + fmt::kPageSize);
    j.images.push_back(std::move(im));
  }
  return j;
}

bool journalGuards(const Journal& j, uint64_t pageCount, const PageReader& readPage) {
  if (j.pageCount > pageCount) return false;
  uint8_t page[fmt::kPageSize];
  readPage(fmt::kHeaderPage, page);
  if (journalHash(page, sizeof page) != j.headerHash) return false;
  for (const Journal::Image& im : j.images) {
    readPage(im.page, page);
    if (std::memcmp(page, im.bytes.data(), sizeof page) != 0 && journalHash(page, sizeof page) != im.afterHash) {
      return false;
    }
  }
  return true;
}

std::optional<Journal> readHotJournal(const std::string& databasePath, uint64_t pageCount, const PageReader& readPage) {
  try {
    const auto bytes = readJournalFile(journalPath(databasePath));
    if (!bytes) return std::nullopt;
    return hotJournal(*bytes, pageCount, readPage);
  } catch (const dao::Error&) {
    return std::nullopt;  // a reader then reads the file as it lies, as other programs do
  }
}

void rollBack(FileIo& database, const Journal& j) {
  for (const Journal::Image& im : j.images) {
    database.writeAt(uint64_t{im.page} * fmt::kPageSize, im.bytes.data(), fmt::kPageSize);
  }
  database.sync();
}

bool recoverInterruptedCommit(const std::string& databasePath, FileIo& database) {
  const std::string path = journalPath(databasePath);
  // A journal that cannot be read fails the open: it may be hot, and removing it unread could
  // leave a half-made commit for good.
  const auto bytes = readJournalFile(path);
  if (!bytes) return false;
  // An incomplete journal (the database was not touched yet) or one made for another file of this
  // name is only removed.
  const std::optional<Journal> j =
      hotJournal(*bytes, database.size() / fmt::kPageSize, [&database](uint32_t page, uint8_t* out) {
        database.readAt(uint64_t{page} * fmt::kPageSize, out, fmt::kPageSize);
      });
  if (j) rollBack(database, *j);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    throw dao::Error("ジャーナル '" + path + "' を削除できません: " + std::strerror(errno) + "。", 3043);
  }
  return j.has_value();
}

}  // namespace vellicor::jet3
