// Failures of the file underneath, injected through the engine's file seam: the k-th write or
// sync fails (disk full). Whatever fails, the rows stored before stay readable and the file that
// remains is one the readers read.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

namespace {

// Counts writes across every file opened through it and fails from the armed one on (until
// disarmed), as a full disk does.
struct FaultPlan {
  long writes = 0;
  long failAt = -1;  // -1: never
  bool failSync = false;
  bool failing() const { return failAt >= 0 && writes >= failAt; }
};

class FaultyFile : public jet3::FileIo {
 public:
  FaultyFile(std::unique_ptr<jet3::FileIo> real, FaultPlan& plan) : real_(std::move(real)), plan_(plan) {}
  void readAt(uint64_t o, void* b, size_t n) override { real_->readAt(o, b, n); }
  void writeAt(uint64_t o, const void* b, size_t n) override {
    ++plan_.writes;
    if (plan_.failing()) throw dao::Error("ファイルの書き込みに失敗しました: ディスクの空き容量が不足しています。");
    real_->writeAt(o, b, n);
  }
  void sync() override {
    if (plan_.failSync || plan_.failing()) throw dao::Error("ディスクへの書き出しに失敗しました。");
    real_->sync();
  }
  uint64_t size() override { return real_->size(); }
  void truncate(uint64_t n) override {
    if (plan_.failing()) throw dao::Error("ファイルのサイズの変更に失敗しました。");
    real_->truncate(n);
  }
  void close() override { real_->close(); }

 private:
  std::unique_ptr<jet3::FileIo> real_;
  FaultPlan& plan_;
};

std::unique_ptr<dao::Workspace> faultyWorkspace(FaultPlan& plan) {
  return jet3::makeJetWorkspace([&plan](const std::string& path, jet3::OpenMode mode) {
    return std::make_unique<FaultyFile>(jet3::openSystemFile(path, mode), plan);
  });
}

void addTable(dao::Database& db, const std::string& name, int rows, size_t oleSize) {
  dao::TableDef td(name);
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("NAME", dao::dbText, 20));
  td.appendField(td.createField("PIC", dao::dbLongBinary));
  db.appendTableDef(td);
  auto rs = db.openRecordset(name);
  for (int i = 0; i < rows; ++i) {
    rs->addNew();
    rs->fields()[0].setValue(int32_t{i});
    rs->fields()[1].setValue("名前" + std::to_string(i));
    if (oleSize) rs->fields()[2].setValue(dao::Bytes(oleSize, static_cast<uint8_t>(i)));
    rs->update();
  }
  rs->close();
}

}  // namespace

TEST(DaoJetFaults, FailureHalfwayThroughALongValueKeepsEarlierRows) {
  ScratchDir dir;
  const std::string file = dir.path("halfway.mdb");
  FaultPlan plan;
  auto ws = faultyWorkspace(plan);
  auto db = ws->createDatabase(file, dao::dbLangJapanese);
  addTable(*db, "BEFORE", 50, 3000);
  dao::TableDef td("PICTURES");
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("PIC", dao::dbLongBinary));
  db->appendTableDef(td);
  auto rs = db->openRecordset("PICTURES");
  rs->addNew();
  rs->fields()[0].setValue(int32_t{1});
  rs->fields()[1].setValue(dao::Bytes(5000, 7));
  rs->update();
  // The next value arrives in chunks and needs 50 chain pages; the 10th page write fails while
  // its chunks are still coming in.
  rs->addNew();
  rs->fields()[0].setValue(int32_t{2});
  plan.failAt = plan.writes + 10;
  EXPECT_THROW(
      {
        for (int i = 0; i < 100; ++i) rs->fields()[1].appendChunk(dao::Bytes(1000, 9));
        rs->update();
      },
      dao::Error);
  EXPECT_GE(plan.writes, plan.failAt);
  plan.failAt = -1;  // space again
  rs->close();
  db->close();
  EXPECT_EQ(mdbTables(file), (std::vector<std::string>{"BEFORE", "PICTURES"}));
  EXPECT_EQ(mdbExport(file, "BEFORE").size(), 50u);
  const auto pictures = mdbExport(file, "PICTURES");
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0][1]->size(), 10000u);
  EXPECT_EQ(indexFaults(file), "");
}

TEST(DaoJetFaults, DiskFullAtAnyWriteLeavesAReadableFile) {
  // A run of the workload with no fault counts its writes; then the disk fills at each of a
  // spread of those writes and stays full, like a process that dies at that moment.
  ScratchDir dir;
  auto workload = [](dao::Workspace& ws, const std::string& file) {
    auto db = ws.createDatabase(file, dao::dbLangJapanese);
    addTable(*db, "T1", 300, 0);
    addTable(*db, "T2", 40, 2500);
    for (int i = 0; i < 30; ++i) addTable(*db, "SMALL_" + std::to_string(i), 1, 0);
    db->close();
  };
  FaultPlan counting;
  {
    auto ws = faultyWorkspace(counting);
    workload(*ws, dir.path("count.mdb"));
  }
  const long total = counting.writes;
  ASSERT_GT(total, 100);
  for (long k = 1; k <= total; k += std::max(1L, total / 40)) {
    SCOPED_TRACE("disk full from write " + std::to_string(k) + " of " + std::to_string(total));
    const std::string file = dir.path("fault" + std::to_string(k) + ".mdb");
    FaultPlan plan;
    plan.failAt = k;
    auto ws = faultyWorkspace(plan);
    EXPECT_THROW(workload(*ws, file), dao::Error);
    if (!std::filesystem::exists(file)) continue;  // creation failed and removed its file
    EXPECT_EQ(mdbVersion(file), "JET3");
    int code = 0;
    runCommand("mdb-export " + shellQuote(file) + " MSysObjects > /dev/null 2>&1", &code);
    EXPECT_EQ(code, 0);
    for (const std::string& table : mdbTables(file)) {
      runCommand("mdb-export " + shellQuote(file) + " " + shellQuote(table) + " > /dev/null 2>&1", &code);
      EXPECT_EQ(code, 0) << table;
    }
  }
  // A creation that failed left neither the target nor its temporary file behind.
  for (const auto& entry : std::filesystem::directory_iterator(dir.path("")))
    EXPECT_EQ(entry.path().string().find(".vellicor-new-"), std::string::npos) << entry.path();
}

TEST(DaoJetFaults, FailedSyncAtCloseIsReported) {
  ScratchDir dir;
  FaultPlan plan;
  auto ws = faultyWorkspace(plan);
  auto db = ws->createDatabase(dir.path("sync.mdb"), dao::dbLangJapanese);
  addTable(*db, "T", 10, 0);
  plan.failSync = true;
  EXPECT_THROW(db->close(), dao::Error);
}

TEST(DaoJetFaults, ProcessKilledAtRandomMomentsLeavesAReadableFile) {
  // A child writes tables and rows until it is killed; the file it leaves must open in mdbtools
  // with every table it lists exportable. Delays spread over the run, fixed so runs repeat.
  ScratchDir dir;
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string file = dir.path("killed" + std::to_string(round) + ".mdb");
    const pid_t child = fork();
    if (child == 0) {
      try {
        auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
        for (int t = 0;; ++t) addTable(*db, "T" + std::to_string(t), 200 + t * 50, t % 3 ? 0 : 2100);
      } catch (...) {
      }
      _exit(0);
    }
    usleep(static_cast<useconds_t>(20000 + round * 23000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (!std::filesystem::exists(file) || std::filesystem::file_size(file) == 0) continue;
    EXPECT_EQ(mdbVersion(file), "JET3");
    int code = 0;
    runCommand("mdb-export " + shellQuote(file) + " MSysObjects > /dev/null 2>&1", &code);
    EXPECT_EQ(code, 0);
    for (const std::string& table : mdbTables(file)) {
      runCommand("mdb-export " + shellQuote(file) + " " + shellQuote(table) + " > /dev/null 2>&1", &code);
      EXPECT_EQ(code, 0) << table;
    }
  }
}
