// The commit journal: its codec refuses anything but a whole journal, and a commit cut off at any
// of its page writes is undone, in place by the open for writing, or in view by a reader.
#include <gtest/gtest.h>

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
  for (uint32_t p : {2u, 17u, 39u}) j.images.push_back({p, std::vector<uint8_t>(jet3::fmt::kPageSize, static_cast<uint8_t>(p))});
  return j;
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

// A file that stops writing for good after a set number of writes once the journal of a given
// commit is on the disk, as when the process dies in the middle of that commit: the journal stays.
struct Death {
  long commit = 1;       // the commit, counted by its journal, that the process dies in
  long writesLeft = -1;  // database writes allowed after its journal; -1: no death planned
  long journalsSynced = 0;
  bool dead = false;
};

class DyingFile : public jet3::FileIo {
 public:
  DyingFile(std::unique_ptr<jet3::FileIo> real, Death& death, bool journal)
      : real_(std::move(real)), death_(death), journal_(journal) {}
  void readAt(uint64_t o, void* b, size_t n) override { real_->readAt(o, b, n); }
  void writeAt(uint64_t o, const void* b, size_t n) override {
    if (!journal_ && death_.journalsSynced == death_.commit && death_.writesLeft >= 0 && death_.writesLeft-- == 0) {
      death_.dead = true;
    }
    check();
    real_->writeAt(o, b, n);
  }
  void sync() override {
    check();
    real_->sync();
    if (journal_) ++death_.journalsSynced;
  }
  uint64_t size() override { return real_->size(); }
  void truncate(uint64_t n) override {
    check();
    real_->truncate(n);
  }
  void close() override { real_->close(); }

 private:
  void check() const {
    if (death_.dead) throw dao::Error("プロセスが終了しました");
  }
  std::unique_ptr<jet3::FileIo> real_;
  Death& death_;
  bool journal_;
};

std::unique_ptr<dao::Workspace> dyingWorkspace(Death& death) {
  return jet3::makeJetWorkspace([&death](const std::string& path, jet3::OpenMode mode) {
    return std::make_unique<DyingFile>(jet3::openPosixFile(path, mode), death, mode == jet3::OpenMode::kCreateJournal);
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
    auto real = jet3::openPosixFile(p, mode);
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

TEST_F(InterruptedCommit, JournalsThatGuardNothingAreOnlyRemoved) {
  // A journal cut short (the database was not touched yet), and a whole journal made for another
  // file that had this name: the file is read and opened as it is, and the journal goes.
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
  for (const std::string& journal : {hot.substr(0, hot.size() - 1), hot}) {
    const std::string path = dir_.path("plain.mdb");
    std::filesystem::copy_file(path_, path, std::filesystem::copy_options::overwrite_existing);
    writeAll(jet3::journalPath(path), journal);
    const std::string bytes = readAll(path);
    bool interrupted = true;
    EXPECT_EQ(tablesAndRows(path, &interrupted), before_);
    EXPECT_FALSE(interrupted);
    auto db = jetWorkspace()->openDatabase(path, kExclusive);
    EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(path)));
    db->close();
    EXPECT_EQ(readAll(path), bytes);
  }
  // A new database made where an old journal lies does not inherit it.
  const std::string fresh = dir_.path("fresh.mdb");
  writeAll(jet3::journalPath(fresh), hot);
  auto db = jetWorkspace()->createDatabase(fresh, dao::dbLangJapanese);
  EXPECT_FALSE(std::filesystem::exists(jet3::journalPath(fresh)));
  db->close();
}

TEST(PagerCommit, AnAbandonedInnerCommitFailsTheOuterOne) {
  ScratchDir dir;
  jet3::Pager pager(jet3::openPosixFile(dir.path("p.bin"), jet3::OpenMode::kCreateNew), 2);
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
