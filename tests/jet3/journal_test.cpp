// The commit journal: its codec refuses anything but a whole journal, and a commit cut off at any
// of its page writes is undone, in place by the open for writing, or in view by a reader.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/inspect.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/jet3/pager.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

namespace {

constexpr int kExclusive = 1;  // openDatabase's options: exclusive use

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

jet3::Journal sampleJournal() {
  jet3::Journal j;
  j.pageCount = 40;
  j.headerHash = 0x1234567890abcdefull;
  for (uint32_t p : {2u, 17u, 39u}) {
    const std::vector<uint8_t> after(jet3::fmt::kPageSize, static_cast<uint8_t>(p + 1));
    j.images.push_back({p, std::vector<uint8_t>(jet3::fmt::kPageSize, static_cast<uint8_t>(p)), jet3::sectorHashes(after.data())});
  }
  return j;
}

void putU64(std::vector<uint8_t>& out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

TEST(JournalCodec, OnlyAWholeJournalDecodes) {
  const std::vector<uint8_t> bytes = jet3::encodeJournal(sampleJournal());
  const auto back = jet3::decodeJournal(bytes.data(), bytes.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pageCount, 40u);
  EXPECT_EQ(back->headerHash, 0x1234567890abcdefull);
  ASSERT_EQ(back->images.size(), 3u);
  EXPECT_EQ(back->images[1].page, 17u);
  EXPECT_EQ(back->images[1].bytes, std::vector<uint8_t>(jet3::fmt::kPageSize, 17));
  EXPECT_EQ(back->images[1].afterHashes, sampleJournal().images[1].afterHashes);
  EXPECT_EQ(back->images[1].afterHashes.size(), jet3::fmt::kPageSize / jet3::kJournalSectorSize);
  // A process that died while writing leaves a prefix; a damaged one a changed byte.
  for (size_t n = 0; n < bytes.size(); n += 61) EXPECT_FALSE(jet3::decodeJournal(bytes.data(), n)) << n;
  EXPECT_FALSE(jet3::decodeJournal(bytes.data(), bytes.size() - 1));
  for (size_t i = 0; i < bytes.size(); i += 97) {
    std::vector<uint8_t> damaged = bytes;
    damaged[i] ^= 0x20;
    EXPECT_FALSE(jet3::decodeJournal(damaged.data(), damaged.size())) << i;
  }
}

TEST(JournalCodec, RefusesPagesNoCommitWrites) {
  for (uint32_t bad : {0u, 40u, 41u}) {  // the header page; pages the file did not have
    jet3::Journal j = sampleJournal();
    j.images[0].page = bad;
    const std::vector<uint8_t> bytes = jet3::encodeJournal(j);
    EXPECT_FALSE(jet3::decodeJournal(bytes.data(), bytes.size())) << bad;
  }
}

TEST(JournalCodec, AJournalOfTheFirstVersionStillDecodes) {
  // Written by the previous version: one hash of the whole new page instead of one a sector.
  const std::vector<uint8_t> before(jet3::fmt::kPageSize, 0x11), after(jet3::fmt::kPageSize, 0x22);
  std::vector<uint8_t> bytes = {'V', 'L', 'C', 'J', 'R', 'N', 'L', '1'};
  putU32(bytes, jet3::fmt::kPageSize);
  putU32(bytes, 30);
  putU64(bytes, 77);
  putU32(bytes, 1);
  putU32(bytes, 9);
  putU64(bytes, jet3::journalHash(after.data(), after.size()));
  bytes.insert(bytes.end(), before.begin(), before.end());
  putU64(bytes, jet3::journalHash(bytes.data(), bytes.size()));
  const auto j = jet3::decodeJournal(bytes.data(), bytes.size());
  ASSERT_TRUE(j);
  ASSERT_EQ(j->images.size(), 1u);
  EXPECT_EQ(j->images[0].page, 9u);
  EXPECT_EQ(j->images[0].bytes, before);
  ASSERT_EQ(j->images[0].afterHashes.size(), 1u);
  // Its pages count only wholly old or wholly new: a torn one cannot be told from a foreign one.
  std::vector<uint8_t> header(jet3::fmt::kPageSize, 0);
  jet3::Journal tied = *j;
  tied.headerHash = jet3::journalHash(header.data(), header.size());
  auto against = [&](const std::vector<uint8_t>& page9) {
    return jet3::matchJournal(tied, 30, [&](uint32_t p, uint8_t* out) {
      std::memcpy(out, (p == 9 ? page9 : header).data(), jet3::fmt::kPageSize);
    });
  };
  EXPECT_TRUE(against(before).belongs);
  EXPECT_TRUE(against(after).belongs);
  std::vector<uint8_t> torn = before;
  std::memcpy(torn.data(), after.data(), jet3::kJournalSectorSize);
  EXPECT_FALSE(against(torn).belongs);
}

// A database held in memory, one page a vector, against the sample journal's pages 2, 17, 39.
class JournalMatching : public ::testing::Test {
 protected:
  void SetUp() override {
    pages_.assign(40, std::vector<uint8_t>(jet3::fmt::kPageSize, 0xEE));
    j_ = sampleJournal();
    j_.headerHash = jet3::journalHash(pages_[0].data(), jet3::fmt::kPageSize);
    for (const auto& im : j_.images) pages_[im.page] = im.bytes;  // every page as before the commit
  }
  jet3::JournalMatch match(uint64_t pageCount = 40) {
    return jet3::matchJournal(j_, pageCount, [this](uint32_t p, uint8_t* out) {
      std::memcpy(out, pages_.at(p).data(), jet3::fmt::kPageSize);
    });
  }
  // Sector k of page p as the commit writes it (the sample's new pages hold page + 1 in every byte).
  void writeNewSector(uint32_t p, size_t k) {
    std::memset(pages_[p].data() + k * jet3::kJournalSectorSize, static_cast<int>(p + 1), jet3::kJournalSectorSize);
  }
  std::vector<std::vector<uint8_t>> pages_;
  jet3::Journal j_;
};

TEST_F(JournalMatching, PagesOldNewOrTornAtSectorsBelong) {
  const size_t sectors = jet3::fmt::kPageSize / jet3::kJournalSectorSize;
  EXPECT_TRUE(match().belongs);
  EXPECT_EQ(match().tornPages, 0u);
  for (size_t k = 0; k < sectors; ++k) writeNewSector(17, k);  // page 17 wholly new
  EXPECT_TRUE(match().belongs);
  EXPECT_EQ(match().tornPages, 0u);
  // Every mix of old and new sectors on page 2 (prefixes, suffixes, sectors out of order).
  for (unsigned mask = 1; mask + 1 < (1u << sectors); ++mask) {
    SCOPED_TRACE("new sectors " + std::to_string(mask));
    pages_[2] = j_.images[0].bytes;
    for (size_t k = 0; k < sectors; ++k) {
      if (mask & (1u << k)) writeNewSector(2, k);
    }
    const jet3::JournalMatch m = match();
    EXPECT_TRUE(m.belongs) << m.reason;
    EXPECT_EQ(m.tornPages, 1u);
  }
  // Two torn pages (a multi-page write cut off) are still this file's.
  writeNewSector(39, 3);
  EXPECT_TRUE(match().belongs);
  EXPECT_EQ(match().tornPages, 2u);
}

TEST_F(JournalMatching, AnythingElseIsAnotherFile) {
  // One byte of one sector that is neither image: not a torn write of this commit.
  for (size_t at : {size_t{0}, jet3::kJournalSectorSize - 1, jet3::kJournalSectorSize, jet3::fmt::kPageSize - 1}) {
    SetUp();
    writeNewSector(17, 0);
    pages_[17][at] ^= 0x01;
    const jet3::JournalMatch m = match();
    EXPECT_FALSE(m.belongs) << at;
    EXPECT_NE(m.reason.find("ページ 17"), std::string::npos) << m.reason;
  }
  // A torn write is cut at a sector boundary, not inside a sector.
  SetUp();
  std::memset(pages_[2].data(), 3, jet3::kJournalSectorSize / 2);
  EXPECT_FALSE(match().belongs);
  // Fewer pages than before the commit, or another page 0.
  SetUp();
  EXPECT_FALSE(match(39).belongs);
  EXPECT_NE(match(39).reason.find("39"), std::string::npos);
  pages_[0][100] ^= 0x01;
  EXPECT_FALSE(match().belongs);
}

// A database or journal file that passes every call on until the process it stands for has
// died: then every further write, sync and truncate fails. Counts the journal's syncs, which
// mark the commits.
class InterruptibleFile : public jet3::FileIo {
 public:
  InterruptibleFile(std::unique_ptr<jet3::FileIo> real, long& journalsSynced, bool& dead, bool journal,
                    const char* death)
      : real_(std::move(real)), journalsSynced_(journalsSynced), dead_(dead), journal_(journal), death_(death) {}
  void readAt(uint64_t o, void* b, size_t n) override { real_->readAt(o, b, n); }
  void sync() override {
    check();
    real_->sync();
    if (journal_) ++journalsSynced_;
  }
  uint64_t size() override { return real_->size(); }
  void truncate(uint64_t n) override {
    check();
    real_->truncate(n);
  }
  void close() override { real_->close(); }

 protected:
  void check() const {
    if (dead_) throw dao::Error(death_);
  }
  std::unique_ptr<jet3::FileIo> real_;
  long& journalsSynced_;
  bool& dead_;
  bool journal_;
  const char* death_;
};

// A file that stops writing for good after a set number of writes once the journal of a given
// commit is on the disk, as when the process dies in the middle of that commit: the journal stays.
struct Death {
  long commit = 1;       // the commit, counted by its journal, that the process dies in
  long writesLeft = -1;  // database writes allowed after its journal; -1: no death planned
  long journalsSynced = 0;
  bool dead = false;
};

class DyingFile : public InterruptibleFile {
 public:
  DyingFile(std::unique_ptr<jet3::FileIo> real, Death& death, bool journal)
      : InterruptibleFile(std::move(real), death.journalsSynced, death.dead, journal, "プロセスが終了しました"),
        death_(death) {}
  void writeAt(uint64_t o, const void* b, size_t n) override {
    if (!journal_ && death_.journalsSynced == death_.commit && death_.writesLeft >= 0 && death_.writesLeft-- == 0) {
      death_.dead = true;
    }
    check();
    real_->writeAt(o, b, n);
  }

 private:
  Death& death_;
};

std::unique_ptr<dao::Workspace> dyingWorkspace(Death& death) {
  return jet3::makeJetWorkspace([&death](const std::string& path, jet3::OpenMode mode) {
    return std::make_unique<DyingFile>(jet3::openSystemFile(path, mode), death, mode == jet3::OpenMode::kCreateJournal);
  });
}

void addTable(dao::Database& db, const std::string& name, int rows) {
  dao::TableDef td(name);
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("名前", dao::dbText, 20));
  db.appendTableDef(td);
  auto rs = db.openRecordset(name);
  for (int i = 0; i < rows; ++i) {
    rs->addNew();
    rs->fields()[0].setValue(int32_t{i});
    rs->fields()[1].setValue("行" + std::to_string(i));
    rs->update();
  }
  rs->close();
}

std::vector<std::pair<std::string, uint64_t>> tablesAndRows(const std::string& path, bool* interrupted = nullptr) {
  jet3::JetFileReader reader(path);
  if (interrupted) *interrupted = reader.readsInterruptedCommit();
  std::vector<std::pair<std::string, uint64_t>> out;
  for (const jet3::CatalogEntry& e : reader.userTables()) {
    jet3::RowCursor cursor(reader, reader.table(e.name));
    uint64_t rows = 0;
    while (cursor.next()) ++rows;
    out.emplace_back(e.name, rows);
  }
  return out;
}

class InterruptedCommit : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.path("base.mdb");
    auto db = jetWorkspace()->createDatabase(path_, dao::dbLangJapanese);
    addTable(*db, "前からある表", 300);
    db->close();
    before_ = {{"前からある表", 300}};
  }

  // Appends table "追加" with 50 rows to a copy of the base file, the process dying after `writes`
  // database writes of the given commit (1: the catalog's, 2: the rows', 3: the close's). Returns
  // whether it died.
  bool appendDying(const std::string& path, long commit, long writes, const std::string& from = "",
                   const std::string& table = "追加") {
    std::filesystem::copy_file(from.empty() ? path_ : from, path, std::filesystem::copy_options::overwrite_existing);
    Death death;
    death.commit = commit;
    death.writesLeft = writes;
    auto ws = dyingWorkspace(death);
    try {
      auto db = ws->openDatabase(path, kExclusive);
      addTable(*db, table, 50);
      db->close();
    } catch (const dao::Error&) {
    }
    EXPECT_GE(death.journalsSynced, commit);
    return death.dead;
  }

  ScratchDir dir_;
  std::string path_;
  std::vector<std::pair<std::string, uint64_t>> before_;
};

TEST_F(InterruptedCommit, EveryCutIsUndoneByTheNextOpen) {
  // What the file holds after each of the three commits of appending the table.
  using Tables = std::vector<std::pair<std::string, uint64_t>>;
  const Tables committed[] = {before_, {{"前からある表", 300}, {"追加", 0}}, {{"前からある表", 300}, {"追加", 50}}};
  long cuts = 0;
  for (long commit = 1; commit <= 3; ++commit) {
    for (long k = 0;; ++k) {
      SCOPED_TRACE("died in commit " + std::to_string(commit) + " after " + std::to_string(k) + " writes");
      const std::string path = dir_.path("cut.mdb");
      if (!appendDying(path, commit, k)) break;  // the commit got through: every cut point was tried
      ++cuts;
      ASSERT_TRUE(std::filesystem::exists(jet3::journalPath(path)));
      const Tables& expected = committed[commit - 1];
      std::vector<std::string> names;
      for (const auto& [name, rows] : expected) names.push_back(name);
      // Programs that do not know the journal still read the file as it lies.
      EXPECT_NO_THROW(mdbTables(path));
      // Our reader reads it as it was before the commit.
      bool interrupted = false;
      EXPECT_EQ(tablesAndRows(path, &interrupted), expected);
      EXPECT_TRUE(interrupted);
      EXPECT_NE(jet3::inspectFile(path).find("中断"), std::string::npos);
      EXPECT_EQ(indexFaults(path), "");
      // So does a read-only open, which leaves the journal where it is.
      {
        auto db = jetWorkspace()->openDatabase(path, 0, true);
        EXPECT_EQ(db->tableNames(), names);
        db->close();
        EXPECT_TRUE(std::filesystem::exists(jet3::journalPath(path)));
      }
      // The open for writing puts the file back and can go on from there.
      auto db = jetWorkspace()->openDatabase(path, kExclusive);
      EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(path)));
      EXPECT_EQ(db->tableNames(), names);
      addTable(*db, "もう一つ", 20);
      db->close();
      Tables after = expected;
      after.emplace_back("もう一つ", 20);
      EXPECT_EQ(tablesAndRows(path), after);
      EXPECT_EQ(indexFaults(path), "");
      EXPECT_EQ(mdbTables(path).size(), after.size());
      if (HasFailure()) return;
    }
  }
  EXPECT_GT(cuts, 6) << "the commits write several pages each";
}

// Pages of the MSysObjects name index.
size_t nameIndexPages(const std::string& path) {
  jet3::JetFileReader reader(path);
  return reader.usageMap(reader.readTable(jet3::fmt::kMSysObjectsTdef).def.realIndexes[0].usageMap).size();
}

TEST_F(InterruptedCommit, CutsInsideACatalogIndexSplitAreUndone) {
  // A catalog whose name index has several leaves; then tables whose names fall in its middle,
  // until the one whose entry splits a leaf.
  const std::string base = dir_.path("split-base.mdb");
  std::filesystem::copy_file(path_, base);
  {
    auto db = jetWorkspace()->openDatabase(base, kExclusive);
    for (int i = 0; i < 120; ++i) addTable(*db, std::string(40, 'K') + std::to_string(1000 + i * 10), 0);
    db->close();
  }
  std::string splitting;
  for (int j = 1; j < 80 && splitting.empty(); ++j) {
    const std::string name = std::string(40, 'K') + "1505_" + std::to_string(100 + j);
    const std::string trial = dir_.path("trial.mdb");
    std::filesystem::copy_file(base, trial, std::filesystem::copy_options::overwrite_existing);
    {
      auto db = jetWorkspace()->openDatabase(trial, kExclusive);
      addTable(*db, name, 0);
      db->close();
    }
    if (nameIndexPages(trial) > nameIndexPages(base)) {
      splitting = name;
    } else {
      std::filesystem::copy_file(trial, base, std::filesystem::copy_options::overwrite_existing);
    }
  }
  ASSERT_FALSE(splitting.empty()) << "no append split a leaf of the name index";
  const auto before = tablesAndRows(base);
  long cuts = 0;
  for (long k = 0;; ++k) {
    SCOPED_TRACE("died after " + std::to_string(k) + " writes of the catalog commit");
    const std::string path = dir_.path("cut.mdb");
    if (!appendDying(path, 1, k, base, splitting)) break;
    ++cuts;
    bool interrupted = false;
    EXPECT_EQ(tablesAndRows(path, &interrupted), before);
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(indexFaults(path), "");
    auto db = jetWorkspace()->openDatabase(path, kExclusive);
    addTable(*db, splitting, 5);
    db->close();
    auto after = before;
    after.emplace_back(splitting, 5);
    EXPECT_EQ(tablesAndRows(path), after);
    EXPECT_EQ(indexFaults(path), "");
    EXPECT_EQ(mdbTables(path).size(), after.size());
    if (HasFailure()) return;
  }
  EXPECT_GT(cuts, 4) << "the split writes several pages";
}

TEST_F(InterruptedCommit, FailedCommitIsUndoneAtOnceAndWritingStops) {
  // One write of the commit fails, the next ones would succeed: the commit is rolled back in
  // place, and the database refuses to go on, naming the failure.
  const std::string path = dir_.path("once.mdb");
  std::filesystem::copy_file(path_, path);
  struct OnceFile : jet3::FileIo {
    OnceFile(std::unique_ptr<jet3::FileIo> r, bool* armed) : real(std::move(r)), armed(armed) {}
    void readAt(uint64_t o, void* b, size_t n) override { real->readAt(o, b, n); }
    void writeAt(uint64_t o, const void* b, size_t n) override {
      if (*armed) {
        *armed = false;
        throw dao::Error("注入した書き込み失敗");
      }
      real->writeAt(o, b, n);
    }
    void sync() override { real->sync(); }
    uint64_t size() override { return real->size(); }
    void truncate(uint64_t n) override { real->truncate(n); }
    void close() override { real->close(); }
    std::unique_ptr<jet3::FileIo> real;
    bool* armed;
  };
  bool armed = false;
  auto ws = jet3::makeJetWorkspace([&armed](const std::string& p, jet3::OpenMode mode) -> std::unique_ptr<jet3::FileIo> {
    auto real = jet3::openSystemFile(p, mode);
    if (mode == jet3::OpenMode::kCreateJournal) {
      armed = true;  // the database write after the journal
      return real;
    }
    return std::make_unique<OnceFile>(std::move(real), &armed);
  });
  auto db = ws->openDatabase(path, kExclusive);
  dao::TableDef td("追加");
  td.appendField(td.createField("ID", dao::dbLong));
  try {
    db->appendTableDef(td);
    FAIL() << "the append reported success";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("注入した書き込み失敗"), std::string::npos) << e.description();
  }
  EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(path)));
  bool interrupted = true;
  EXPECT_EQ(tablesAndRows(path, &interrupted), before_);
  EXPECT_FALSE(interrupted);
  EXPECT_EQ(indexFaults(path), "");
  dao::TableDef other("別の表");
  other.appendField(other.createField("ID", dao::dbLong));
  try {
    db->appendTableDef(other);
    FAIL() << "a database whose commit failed went on writing";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("注入した書き込み失敗"), std::string::npos) << e.description();
  }
  EXPECT_THROW(db->close(), dao::Error);
  EXPECT_EQ(tablesAndRows(path), before_);
}

TEST_F(InterruptedCommit, AnIncompleteJournalIsRemovedAndAnotherFilesIsSetAside) {
  // A journal cut short (the database was not touched yet) is removed. A whole journal made for
  // another file that had this name is not applied: it is moved aside, never removed, the file
  // is left as it is, and the open says so.
  std::string hot;
  {
    const std::string other = dir_.path("other.mdb");
    auto db = jetWorkspace()->createDatabase(other, dao::dbLangJapanese);
    addTable(*db, "別", 5);
    db->close();
    const std::string cut = dir_.path("other-cut.mdb");
    ASSERT_TRUE(appendDying(cut, 1, 0, other));
    hot = readAll(jet3::journalPath(cut));
    ASSERT_FALSE(hot.empty());
  }
  const std::string path = dir_.path("plain.mdb");
  const std::string journal = jet3::journalPath(path);
  std::filesystem::copy_file(path_, path, std::filesystem::copy_options::overwrite_existing);
  const std::string bytes = readAll(path);
  {
    writeAll(journal, hot.substr(0, hot.size() - 1));
    auto db = jetWorkspace()->openDatabase(path, kExclusive);
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_FALSE(std::filesystem::exists(journal + ".foreign-1"));
    EXPECT_EQ(db->openingNotice(), "");
    db->close();
    EXPECT_EQ(readAll(path), bytes);
  }
  for (int n = 1; n <= 2; ++n) {
    SCOPED_TRACE(n);
    writeAll(journal, hot);
    bool interrupted = true;
    EXPECT_EQ(tablesAndRows(path, &interrupted), before_);
    EXPECT_FALSE(interrupted);
    auto db = jetWorkspace()->openDatabase(path, kExclusive);
    EXPECT_FALSE(std::filesystem::exists(journal));
    const std::string aside = journal + ".foreign-" + std::to_string(n);
    EXPECT_EQ(readAll(aside), hot) << "the journal was not kept whole";
    EXPECT_NE(db->openingNotice().find(aside), std::string::npos) << db->openingNotice();
    EXPECT_EQ(db->tableNames(), std::vector<std::string>{"前からある表"});
    db->close();
    EXPECT_EQ(readAll(path), bytes) << "a journal of another file was applied";
    EXPECT_EQ(indexFaults(path), "");
  }
  // A new database made where an old journal lies does not inherit it.
  const std::string fresh = dir_.path("fresh.mdb");
  writeAll(jet3::journalPath(fresh), hot);
  auto db = jetWorkspace()->createDatabase(fresh, dao::dbLangJapanese);
  EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(fresh)));
  db->close();
}

TEST_F(InterruptedCommit, AJournalOfThisFileCutShortIsSetAside) {
  // The file lost pages it had before the commit (a copy cut off): the journal cannot be the
  // file's own any more and is kept aside, the file not written.
  const std::string path = dir_.path("short.mdb");
  ASSERT_TRUE(appendDying(path, 1, 1));
  const std::string journal = jet3::journalPath(path);
  const std::string hot = readAll(journal);
  const auto decoded = jet3::decodeJournal(reinterpret_cast<const uint8_t*>(hot.data()), hot.size());
  ASSERT_TRUE(decoded);
  std::filesystem::resize_file(path, uint64_t{decoded->pageCount - 1} * jet3::fmt::kPageSize);
  const std::string bytes = readAll(path);
  auto file = jet3::openSystemFile(path, jet3::OpenMode::kOpenExclusive);
  std::string notice;
  EXPECT_FALSE(jet3::recoverInterruptedCommit(path, *file, &notice));
  file->close();
  EXPECT_EQ(readAll(path), bytes);
  EXPECT_EQ(readAll(journal + ".foreign-1"), hot);
  EXPECT_NE(notice.find(std::to_string(decoded->pageCount)), std::string::npos) << notice;
}

// A power failure in the middle of one page write of a commit: the page holds the sectors that
// `newSectors` marks (bit k: sector k) as the commit writes them and the rest as they were; the
// pages of the same write before it were written whole, nothing after it is.
struct Tear {
  long commit = 1;          // the commit, counted by its journal
  long write = 0;           // database writes of the commit that get through before the torn one
  size_t page = 0;          // the page of that write that is torn
  unsigned newSectors = 0;
  long journalsSynced = 0;
  long writesSeen = 0;
  size_t pagesInWrite = 0;  // of the torn write
  bool dead = false;
};

class TearingFile : public InterruptibleFile {
 public:
  TearingFile(std::unique_ptr<jet3::FileIo> real, Tear& tear, bool journal)
      : InterruptibleFile(std::move(real), tear.journalsSynced, tear.dead, journal, "電源が切れました"), tear_(tear) {}
  void writeAt(uint64_t o, const void* b, size_t n) override {
    check();
    if (!journal_ && tear_.journalsSynced == tear_.commit && tear_.writesSeen++ == tear_.write) {
      const auto* fresh = static_cast<const uint8_t*>(b);
      tear_.pagesInWrite = n / jet3::fmt::kPageSize;
      if (tear_.page < tear_.pagesInWrite) {
        const size_t whole = tear_.page * jet3::fmt::kPageSize;
        if (whole > 0) real_->writeAt(o, fresh, whole);
        std::vector<uint8_t> page(jet3::fmt::kPageSize);
        real_->readAt(o + whole, page.data(), page.size());
        for (size_t k = 0; k * jet3::kJournalSectorSize < page.size(); ++k) {
          if (tear_.newSectors & (1u << k)) {
            std::memcpy(page.data() + k * jet3::kJournalSectorSize, fresh + whole + k * jet3::kJournalSectorSize,
                        jet3::kJournalSectorSize);
          }
        }
        real_->writeAt(o + whole, page.data(), page.size());
      }
      tear_.dead = true;
      check();
    }
    real_->writeAt(o, b, n);
  }

 private:
  Tear& tear_;
};

// Copies `base` to path and appends table "追加" (50 rows) to it with a write torn as `tear` says.
void appendTorn(const std::string& base, const std::string& path, Tear& tear) {
  std::filesystem::copy_file(base, path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(jet3::journalPath(path));
  auto ws = jet3::makeJetWorkspace([&tear](const std::string& p, jet3::OpenMode mode) {
    return std::make_unique<TearingFile>(jet3::openSystemFile(p, mode), tear, mode == jet3::OpenMode::kCreateJournal);
  });
  try {
    auto db = ws->openDatabase(path, kExclusive);
    addTable(*db, "追加", 50);
    db->close();
  } catch (const dao::Error&) {
  }
}

using Tables = std::vector<std::pair<std::string, uint64_t>>;

// Tears every page of every write of the three commits of appending a table to `base`, in each of
// the shapes: every file left must read as before the torn commit (to our reader with the journal,
// and after the next open for writing puts it back, to our reader, the index walker and
// mdbtools), and take a further table. Returns the number of torn files checked.
long tearEveryWrite(const ScratchDir& dir, const std::string& base, const Tables& before,
                    const std::vector<unsigned>& shapes) {
  Tables afterCatalog = before, afterRows = before;
  afterCatalog.emplace_back("追加", 0);
  afterRows.emplace_back("追加", 50);
  const Tables expectedAt[] = {before, afterCatalog, afterRows};
  long torn = 0;
  for (long commit = 1; commit <= 3; ++commit) {
    for (long write = 0;; ++write) {
      bool commitDone = false;
      for (size_t page = 0;; ++page) {
        bool pastWrite = false;
        for (unsigned shape : shapes) {
          SCOPED_TRACE("commit " + std::to_string(commit) + ", write " + std::to_string(write) + ", page " +
                       std::to_string(page) + ", new sectors " + std::to_string(shape));
          const std::string path = dir.path("torn.mdb");
          Tear tear;
          tear.commit = commit;
          tear.write = write;
          tear.page = page;
          tear.newSectors = shape;
          appendTorn(base, path, tear);
          EXPECT_GE(tear.journalsSynced, commit);
          if (!tear.dead) {
            commitDone = true;  // the commit has fewer writes: every one was torn
            break;
          }
          if (page >= tear.pagesInWrite) {
            pastWrite = true;
            break;
          }
          ++torn;
          const std::string journal = jet3::journalPath(path);
          if (!std::filesystem::exists(journal)) {
            ADD_FAILURE() << "the tear fell outside the commit";
            return torn;
          }
          const Tables& expected = expectedAt[commit - 1];
          bool interrupted = false;
          EXPECT_EQ(tablesAndRows(path, &interrupted), expected);
          EXPECT_TRUE(interrupted) << "the journal of a torn commit was not read";
          auto db = jetWorkspace()->openDatabase(path, kExclusive);
          EXPECT_FALSE(std::filesystem::exists(journal));
          EXPECT_FALSE(std::filesystem::exists(journal + ".foreign-1")) << "the file's own journal was set aside";
          EXPECT_EQ(db->openingNotice(), "");
          addTable(*db, "もう一つ", 20);
          db->close();
          Tables after = expected;
          after.emplace_back("もう一つ", 20);
          EXPECT_EQ(tablesAndRows(path), after);
          EXPECT_EQ(indexFaults(path), "");
          const std::vector<std::string> listed = mdbTables(path);
          EXPECT_EQ(listed.size(), after.size());
          for (const auto& [name, rows] : after) {
            if (rows <= 1000) {
              EXPECT_EQ(mdbExport(path, name, "CP932").size(), rows) << name;
            }
          }
          if (::testing::Test::HasFailure()) return torn;
        }
        if (commitDone || pastWrite) break;
      }
      if (commitDone) break;
    }
  }
  return torn;
}

// Sectors as the commit writes them: halves either way round, one sector or three at either end,
// every other sector.
const std::vector<unsigned> kTornShapes = {0b0011, 0b1100, 0b0001, 0b0111, 0b1000, 0b1110, 0b0101, 0b1010};

TEST_F(InterruptedCommit, ATornPageAnywhereInACommitIsPutBack) {
  const long torn = tearEveryWrite(dir_, path_, before_, kTornShapes);
  EXPECT_GT(torn, 6 * static_cast<long>(kTornShapes.size())) << "the commits write several pages each";
}

TEST(TornCommitOnALongTable, IsPutBackAndTheTableStaysWhole) {
  // A table past its usage map's second bitmap page: the commits of an append then hold the
  // global map's bitmap pages.
  ScratchDir dir;
  const std::string base = dir.path("long.mdb");
  constexpr int kRows = 150000;
  {
    auto db = jetWorkspace()->createDatabase(base, dao::dbLangJapanese);
    dao::TableDef td("長い表");
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("本文", dao::dbText, 255));
    db->appendTableDef(td);
    auto rs = db->openRecordset("長い表");
    const std::string text(230, 'x');
    for (int i = 0; i < kRows; ++i) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{i});
      rs->fields()[1].setValue(text);
      rs->update();
    }
    rs->close();
    db->close();
  }
  ASSERT_GT(std::filesystem::file_size(base) / jet3::fmt::kPageSize, jet3::fmt::kBitmapPageBits + 1000);
  const long torn = tearEveryWrite(dir, base, {{"長い表", kRows}}, {0b0011, 0b1010});
  EXPECT_GT(torn, 6);
  // The last file left, read whole by mdbtools.
  EXPECT_EQ(mdbExport(dir.path("torn.mdb"), "長い表", "CP932").size(), static_cast<size_t>(kRows));
}

TEST(PagerCommit, AnAbandonedInnerCommitFailsTheOuterOne) {
  ScratchDir dir;
  jet3::Pager pager(jet3::openSystemFile(dir.path("p.bin"), jet3::OpenMode::kCreateNew), 2);
  const std::vector<uint8_t> page(jet3::fmt::kPageSize, 0xAB);
  pager.beginCommit();
  pager.write(1, page.data());
  {
    jet3::Pager::CommitScope inner(pager);
    pager.write(0, page.data());
  }  // left without done(): abandoned
  EXPECT_THROW(pager.endCommit(), dao::Error);
  EXPECT_THROW(pager.write(1, page.data()), dao::Error);
  EXPECT_EQ(std::filesystem::file_size(dir.path("p.bin")), 0u) << "an abandoned commit wrote";
}

}  // namespace
