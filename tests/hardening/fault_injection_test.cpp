// Faults of the file underneath a whole conversion (engine::runConversion over the SQLite demo
// source), injected through the Jet engine's FileOpener seam: the k-th write fails, is short, or
// the disk fills from it on, or the k-th sync fails, for every k of the run. Each run must end
// through its failure handling and leave a file that every reader reads, with the tables that
// were complete before the fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "engine/conversion_run.h"
#include "hardening/hardening_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::hardening;

namespace {

enum class Fault { kNone, kFailWrite, kShortWrite, kDiskFull, kFailSync };

const char* faultName(Fault f) {
  switch (f) {
    case Fault::kNone: return "none";
    case Fault::kFailWrite: return "failed write";
    case Fault::kShortWrite: return "short write";
    case Fault::kDiskFull: return "disk full";
    case Fault::kFailSync: return "failed sync";
  }
  return "?";
}

inline constexpr const char* kInjected = "注入した障害";

struct Plan {
  Fault kind = Fault::kNone;
  long at = -1;  // the write (or sync) that fails, counted from 1 over every file of the run
  long writes = 0;
  long syncs = 0;
  bool fired = false;
  [[noreturn]] void fire(const std::string& what) {
    fired = true;
    throw dao::ioFailure(std::string(kInjected) + ": " + what);  // as the file layer reports a failing disk
  }
};

class FaultyFile : public jet3::FileIo {
 public:
  FaultyFile(std::unique_ptr<jet3::FileIo> real, Plan& plan) : real_(std::move(real)), plan_(plan) {}
  void readAt(uint64_t o, void* b, size_t n) override { real_->readAt(o, b, n); }
  void writeAt(uint64_t o, const void* b, size_t n) override {
    const long k = ++plan_.writes;
    if (plan_.kind == Fault::kDiskFull && (plan_.fired || k == plan_.at)) {
      plan_.fire("ディスクの空き容量が不足しています (ENOSPC)。");
    }
    if (plan_.kind == Fault::kFailWrite && k == plan_.at) plan_.fire("書き込みに失敗しました (EIO)。");
    if (plan_.kind == Fault::kShortWrite && k == plan_.at) {
      // A write comes back short when the disk fills while it extends the file: the first half
      // reaches the file. Rewriting pages the file already has needs no space, so that write
      // fails whole.
      if (o + n > real_->size()) real_->writeAt(o, b, n / 2);
      plan_.fire("書き込みが途中で終わりました (" + std::to_string(n / 2) + "/" + std::to_string(n) + " バイト)。");
    }
    real_->writeAt(o, b, n);
  }
  void sync() override {
    const long k = ++plan_.syncs;
    if ((plan_.kind == Fault::kFailSync && k == plan_.at) || (plan_.kind == Fault::kDiskFull && plan_.fired)) {
      plan_.fire("ディスクへの書き出しに失敗しました (fsync)。");
    }
    real_->sync();
  }
  uint64_t size() override { return real_->size(); }
  void truncate(uint64_t n) override {
    if (plan_.kind == Fault::kDiskFull && plan_.fired) plan_.fire("ファイルのサイズを変更できません (ENOSPC)。");
    real_->truncate(n);
  }
  void close() override { real_->close(); }

 private:
  std::unique_ptr<jet3::FileIo> real_;
  Plan& plan_;
};

// A host that answers Yes, selects everything, and notes which objects were complete (their
// successor's status text shown) before the fault fired.
class TestHost : public engine::RunHost {
 public:
  explicit TestHost(const Plan& plan) : plan_(plan) {}
  void setMessage(const std::string& mes) override {
    static const std::string kObject = "テーブル取得中...";
    std::string name;
    if (mes.rfind(kObject, 0) == 0) name = mes.substr(mes.rfind(' ') + 1);
    else if (mes != "Oracleクローズ..." && mes != "MDBクローズ...") return;
    if (name == current_) return;
    if (!current_.empty() && !plan_.fired) completed.push_back(current_);
    current_ = name;
  }
  void setProgress(const std::string&) override {}
  std::string selectionText() override { return ""; }
  int sequencesBox() override { return 1; }
  std::string getWhereObjectType() override { return engine::whereObjectType(1, 1, 1); }
  void messageBox(const std::string& text, const std::string& caption) override { boxes.push_back(caption + ": " + text); }
  engine::Answer askYesNo(const std::string&, const std::string&) override { return engine::Answer::Yes; }

  std::vector<std::string> completed;
  std::vector<std::string> boxes;

 private:
  const Plan& plan_;
  std::string current_;
};

class FaultInjection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new vellicor::testing::ScratchDir();
    source_ = dir_->path("demo.sqlite");
    makeDemoSource(source_);
    Plan counting;
    reference_ = new Outcome(run(counting, dir_->path("reference.mdb")));
    writes_ = counting.writes;
    syncs_ = counting.syncs;
  }
  static void TearDownTestSuite() {
    delete reference_;
    delete dir_;
  }

  struct Outcome {
    engine::RunEnding ending;
    std::vector<std::string> completed;
    std::vector<std::string> boxes;
    FileVerdict verdict;
    bool fileLeft = false;
    std::vector<std::string> stillOpen;
  };

  static Outcome run(Plan& plan, const std::string& out) {
    engine::RunOptions opts;
    opts.connectTemplate = kSqliteTemplate;
    opts.createWorkspace = [&plan](const std::string& name, const std::string& user, const std::string& password,
                                   int useType) -> std::unique_ptr<dao::Workspace> {
      if (useType != dao::dbUseJet) return dao::DBEngine::instance().createWorkspace(name, user, password, useType);
      return jet3::makeJetWorkspace([&plan](const std::string& path, jet3::OpenMode mode) {
        return std::make_unique<FaultyFile>(jet3::openSystemFile(path, mode), plan);
      });
    };
    TestHost host(plan);
    Outcome o;
    o.ending = engine::runConversion(host, {source_, "demo", "", out, out + ".log", true, true, "", opts});
    o.completed = host.completed;
    o.boxes = host.boxes;
    for (const std::string& f : openFiles()) {
      if (f == out || f == out + ".log") o.stillOpen.push_back(f);
    }
    std::error_code ec;
    o.fileLeft = std::filesystem::file_size(out, ec) > 0 && !ec;
    if (o.fileLeft) o.verdict = verifyFile(out);
    return o;
  }

  uint64_t referenceRows(const std::string& table) const {
    for (const auto& [name, rows] : reference_->verdict.tables)
      if (name == table) return rows;
    ADD_FAILURE() << "table " << table << " is not in the reference file";
    return 0;
  }

  // One faulted run and everything it must satisfy; returns whether the fault fired.
  bool runWithFault(Fault kind, long k) {
    SCOPED_TRACE(std::string(faultName(kind)) + " at " + std::to_string(k));
    Plan plan;
    plan.kind = kind;
    plan.at = k;
    const std::string out = dir_->path("fault.mdb");
    std::filesystem::remove(out);
    std::filesystem::remove(out + ".log");
    const Outcome o = run(plan, out);
    if (!plan.fired) return false;
    ++faultsInjected_;
    EXPECT_NE(o.ending, engine::RunEnding::Completed) << "a failed run reported success";
    EXPECT_TRUE(o.stillOpen.empty()) << "left open: " << o.stillOpen.front();
    if (o.ending == engine::RunEnding::Failed) {
      if (o.boxes.empty()) {
        ADD_FAILURE() << "no message shown";
        return true;
      }
      EXPECT_NE(o.boxes.back().find("異常終了: "), std::string::npos) << o.boxes.back();
      EXPECT_NE(o.boxes.back().find(kInjected), std::string::npos) << "the message does not say what failed: " << o.boxes.back();
    }
    // The log is created once the output file is open; failures of creating or opening the file
    // come before it.
    if (o.ending == engine::RunEnding::Failed) {
      EXPECT_TRUE(std::filesystem::exists(out + ".log")) << "no run log";
    }
    if (!o.fileLeft) {
      EXPECT_TRUE(o.completed.empty()) << "completed tables lost with the file";
      return true;
    }
    // A fault inside a commit is rolled back at once when the file can still be written;
    // otherwise (the disk stays full) its journal is left for the next open, which verifyFile
    // performs. Either way nothing may be half-made.
    if (o.verdict.rolledBack) ++leftForNextOpen_;
    const std::string& problems = o.verdict.problems;
    EXPECT_EQ(problems, "");
    for (const auto& [name, rows] : o.verdict.tables) EXPECT_LE(rows, referenceRows(name)) << name;
    for (const std::string& done : o.completed) {
      const auto it = std::find_if(o.verdict.tables.begin(), o.verdict.tables.end(),
                                   [&](const auto& t) { return t.first == done; });
      if (it == o.verdict.tables.end()) {
        ADD_FAILURE() << "table " << done << " was complete before the fault and is missing";
      } else {
        EXPECT_EQ(it->second, referenceRows(done)) << "rows of " << done << ", complete before the fault";
      }
    }
    if (problems.empty()) ++filesVerified_;
    return true;
  }

  void sweep(Fault kind, long total) {
    for (long k = 1; k <= total; ++k) {
      runWithFault(kind, k);
      if (HasFatalFailure()) return;
    }
    std::printf("[ hardening ] %s: %ld faults injected, %ld files verified, %ld commits rolled back at the next open\n",
                faultName(kind), faultsInjected_, filesVerified_, leftForNextOpen_);
  }

  static inline vellicor::testing::ScratchDir* dir_ = nullptr;
  static inline std::string source_;
  static inline Outcome* reference_ = nullptr;
  static inline long writes_ = 0, syncs_ = 0;
  long faultsInjected_ = 0, filesVerified_ = 0, leftForNextOpen_ = 0;
};

TEST_F(FaultInjection, ReferenceRunCompletes) {
  EXPECT_EQ(reference_->ending, engine::RunEnding::Completed);
  EXPECT_EQ(reference_->verdict.problems, "");
  EXPECT_EQ(reference_->verdict.tables.size(), 7u);
  EXPECT_GT(writes_, 20);
  EXPECT_GT(syncs_, 0);
  std::printf("[ hardening ] the run writes %ld times and syncs %ld times\n", writes_, syncs_);
}

TEST_F(FaultInjection, EveryWriteFailingOnce) { sweep(Fault::kFailWrite, writes_); }
TEST_F(FaultInjection, EveryWriteCutShort) { sweep(Fault::kShortWrite, writes_); }
TEST_F(FaultInjection, DiskFullFromEveryWrite) { sweep(Fault::kDiskFull, writes_); }
TEST_F(FaultInjection, EverySyncFailing) { sweep(Fault::kFailSync, syncs_); }

}  // namespace
