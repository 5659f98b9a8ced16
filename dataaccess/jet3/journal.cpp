// Encoding, validation and rollback of the commit journal kept beside a database being written.
// The journal is our own file, not part of the Jet format; its layout is given below.
#include "dataaccess/jet3/journal.h"


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
//   28     n x (4-byte page number, kSectorsPerPage 8-byte hashes of the page's sectors as the
//               commit writes them, kPageSize bytes as before the commit)
//   end 8  hash of every byte before it
// A journal of the first version (kMagicV1) has one 8-byte hash of the whole page in place of the
// sector hashes.
constexpr char kMagic[8] = {'V', 'L', 'C', 'J', 'R', 'N', 'L', '2'};
constexpr char kMagicV1[8] = {'V', 'L', 'C', 'J', 'R', 'N', 'L', '1'};
constexpr size_t kHeaderSize = 28;
constexpr size_t kSectorsPerPage = fmt::kPageSize / kJournalSectorSize;
static_assert(fmt::kPageSize % kJournalSectorSize == 0);
constexpr size_t kImageSize = 4 + 8 * kSectorsPerPage + fmt::kPageSize;
constexpr size_t kImageSizeV1 = 4 + 8 + fmt::kPageSize;
constexpr size_t kTrailerSize = 8;
constexpr const char* kSuffix = ".vellicor-journal";
constexpr const char* kSetAsideSuffix = ".foreign-";
constexpr int kMaxSetAside = 1000;

void storeU64(uint8_t* p, uint64_t v) {
  storeU32(p, static_cast<uint32_t>(v));
  storeU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The whole journal file; nothing when there is none. Throws dao::Error when it cannot be read.
std::optional<std::vector<uint8_t>> readJournalFile(const std::string& path) {
  if (!fileExists(path)) return std::nullopt;
  std::unique_ptr<FileIo> file = openSystemFile(path, OpenMode::kOpenReadOnly);
  std::vector<uint8_t> bytes;
  const uint64_t size = file->size();
  if (size <= kHeaderSize + kTrailerSize + uint64_t{fmt::kMaxPages} * kImageSize) {  // else not a journal
    bytes.resize(static_cast<size_t>(size));
    file->readAt(0, bytes.data(), bytes.size());
  }
  file->close();
  return bytes;
}

// The journal in bytes when it is whole and belongs to the database.
std::optional<Journal> hotJournal(const std::vector<uint8_t>& bytes, uint64_t pageCount, const PageReader& readPage) {
  std::optional<Journal> j = decodeJournal(bytes.data(), bytes.size());
  if (j && !matchJournal(*j, pageCount, readPage).belongs) return std::nullopt;
  return j;
}

// Moves the journal at path to the first free "<path>.foreign-<n>"; returns the new name. The
// database is locked, so no other writer of ours makes journals of this name meanwhile.
std::string setAside(const std::string& path) {
  for (int n = 1; n <= kMaxSetAside; ++n) {
    const std::string target = path + kSetAsideSuffix + std::to_string(n);
    if (fileExists(target)) continue;
    if (auto why = renameReplacing(path, target)) {
      throw dao::Error("ジャーナル '" + path + "' を '" + target + "' に移せません: " + *why + "。", dao::errnum::kDiskOrNetworkError);
    }
    return target;
  }
  throw dao::Error("ジャーナル '" + path + "' を移す先の名前がありません (" + path + kSetAsideSuffix + "1 から " +
                       std::to_string(kMaxSetAside) + " まで使われています)。",
                   dao::errnum::kDiskOrNetworkError);
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

std::vector<uint64_t> sectorHashes(const uint8_t* page) {
  std::vector<uint64_t> out(kSectorsPerPage);
  for (size_t i = 0; i < kSectorsPerPage; ++i) out[i] = journalHash(page + i * kJournalSectorSize, kJournalSectorSize);
  return out;
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
    if (im.bytes.size() != fmt::kPageSize || im.afterHashes.size() != kSectorsPerPage) {
      throw dao::damagedFile("ジャーナルのページの大きさが正しくありません。");
    }
    storeU32(p, im.page);
    p += 4;
    for (uint64_t h : im.afterHashes) {
      storeU64(p, h);
      p += 8;
    }
    std::memcpy(p, im.bytes.data(), fmt::kPageSize);
    p += fmt::kPageSize;
  }
  storeU64(p, journalHash(out.data(), out.size() - kTrailerSize));
  return out;
}

std::optional<Journal> decodeJournal(const uint8_t* data, size_t size) {
  if (size < kHeaderSize + kTrailerSize) return std::nullopt;
  const bool v1 = std::memcmp(data, kMagicV1, sizeof kMagicV1) == 0;
  if (!v1 && std::memcmp(data, kMagic, sizeof kMagic) != 0) return std::nullopt;
  const size_t imageSize = v1 ? kImageSizeV1 : kImageSize;
  const size_t hashes = v1 ? 1 : kSectorsPerPage;
  if (loadU32(data + 8) != fmt::kPageSize) return std::nullopt;
  const uint32_t n = loadU32(data + 24);
  if (n > fmt::kMaxPages || size != kHeaderSize + uint64_t{n} * imageSize + kTrailerSize) return std::nullopt;
  if (loadU64(data + size - kTrailerSize) != journalHash(data, size - kTrailerSize)) return std::nullopt;
  Journal j;
  j.pageCount = loadU32(data + 12);
  j.headerHash = loadU64(data + 16);
  if (j.pageCount > fmt::kMaxPages) return std::nullopt;
  const uint8_t* p = data + kHeaderSize;
  for (uint32_t i = 0; i < n; ++i) {
    Journal::Image im;
    im.page = loadU32(p);
    // Page 0 is never part of a commit, and a commit only overwrites pages the file had.
    if (im.page == fmt::kHeaderPage || im.page >= j.pageCount) return std::nullopt;
    p += 4;
    for (size_t k = 0; k < hashes; ++k, p += 8) im.afterHashes.push_back(loadU64(p));
    im.bytes.assign(p, p + fmt::kPageSize);
    p += fmt::kPageSize;
    j.images.push_back(std::move(im));
  }
  return j;
}

JournalMatch matchJournal(const Journal& j, uint64_t pageCount, const PageReader& readPage) {
  JournalMatch m;
  if (j.pageCount > pageCount) {
    m.reason = "ジャーナルはコミット前のファイルを " + std::to_string(j.pageCount) + " ページとしていますが、ファイルは " +
               std::to_string(pageCount) + " ページです";
    return m;
  }
  uint8_t page[fmt::kPageSize];
  readPage(fmt::kHeaderPage, page);
  if (journalHash(page, sizeof page) != j.headerHash) {
    m.reason = "ファイルの先頭ページがジャーナルのものと異なります";
    return m;
  }
  for (const Journal::Image& im : j.images) {
    readPage(im.page, page);
    // The page in as many pieces as the journal has hashes of its new image: each piece must be
    // the old one or the new one.
    const size_t pieces = im.afterHashes.size();
    if (pieces == 0 || fmt::kPageSize % pieces != 0) {
      m.reason = "ジャーナルのページ " + std::to_string(im.page) + " の照合用の値が正しくありません";
      return m;
    }
    const size_t length = fmt::kPageSize / pieces;
    bool allOld = true, allNew = true;
    for (size_t k = 0; k < pieces; ++k) {
      const size_t at = k * length;
      const bool isOld = std::memcmp(page + at, im.bytes.data() + at, length) == 0;
      const bool isNew = journalHash(page + at, length) == im.afterHashes[k];
      if (!isOld && !isNew) {
        m.reason = "ページ " + std::to_string(im.page) + " がコミット前ともコミット後とも一致しません";
        return m;
      }
      allOld = allOld && isOld;
      allNew = allNew && isNew;
    }
    if (!allOld && !allNew) ++m.tornPages;
  }
  m.belongs = true;
  return m;
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

bool recoverInterruptedCommit(const std::string& databasePath, FileIo& database, std::string* notice) {
  const std::string path = journalPath(databasePath);
  // A journal that cannot be read fails the open: it may be hot, and removing it unread could
  // leave a half-made commit for good.
  const auto bytes = readJournalFile(path);
  if (!bytes) return false;
  const std::optional<Journal> j = decodeJournal(bytes->data(), bytes->size());
  if (j) {
    const JournalMatch m = matchJournal(*j, database.size() / fmt::kPageSize, [&database](uint32_t page, uint8_t* out) {
      database.readAt(uint64_t{page} * fmt::kPageSize, out, fmt::kPageSize);
    });
    if (!m.belongs) {
      const std::string target = setAside(path);
      if (notice) {
        *notice = "ジャーナル '" + path + "' はこのデータベースのものではないため (" + m.reason + ")、適用せずに '" +
                  target + "' へ移しました。";
      }
      return false;
    }
    rollBack(database, *j);
  }
  // Rolled back, or incomplete (the database was not touched yet): the journal goes.
  if (auto why = removeFile(path)) {
    throw dao::Error("ジャーナル '" + path + "' を削除できません: " + *why + "。", dao::errnum::kDiskOrNetworkError);
  }
  return j.has_value();
}

}  // namespace vellicor::jet3
