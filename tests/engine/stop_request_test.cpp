// A run asked to stop (the command line's Ctrl-C) over the in-memory stand-in: it stops before
// the next row, keeps the rows stored, closes everything as after a stop, and a stop asked for
// before the output file is touched leaves the file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "run_fixture.h"

namespace vellicor::fake {
namespace {

using engine::RunEnding;
using V = dao::Variant;

const std::string kTables = " where object_type in ('TABLE')";

Table numbers(int count) {
  Table t;
  t.columns = {{"N", dao::dbInteger, 2}};
  for (int i = 1; i <= count; ++i) t.rows.push_back({V(static_cast<int16_t>(i))});
  return t;
}

// A host that asks for the stop when it is shown a given status or progress text, or asked the
// overwrite question, as a user pressing Ctrl-C at that moment.
class StoppingHost : public RecordingHost {
 public:
  std::unique_ptr<engine::StopRequest> stop;
  std::string at;

  void setMessage(const std::string& mes) override {
    if (mes == at) stop->request();
    RecordingHost::setMessage(mes);
  }
  void setProgress(const std::string& mes) override {
    if (mes == at) stop->request();
    RecordingHost::setProgress(mes);
  }
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override {
    if (at == "ask") stop->request();
    return RecordingHost::askYesNo(text, caption);
  }
};

class StopRequestTest : public FakeRunTest {
 protected:
  RunEnding runStopping(const std::string& at, bool newMDB = true, size_t blockRows = 0) {
    stopping.at = at;
    stopping.stop = std::make_unique<engine::StopRequest>();  // a fresh request for every run
    opts.stop = stopping.stop.get();
    world.blockRows = blockRows;
    return engine::runConversion(stopping, {"ORCL", "SCOTT", "tiger", out, log, true, newMDB, "", opts});
  }
  StoppingHost stopping;
};

TEST_F(StopRequestTest, StopsBeforeTheNextRowAndKeepsTheRowsStored) {
  for (size_t blockRows : {size_t{0}, size_t{4}}) {
    SCOPED_TRACE(blockRows == 0 ? "rows one by one" : "rows in blocks");
    world = World{};
    opts.createWorkspace = world.factory();
    std::filesystem::remove(out);
    world.setObjectList(kTables, {"A", "B"});
    world.addSourceObject("A", numbers(10));
    world.addSourceObject("B", numbers(3));

    ASSERT_EQ(runStopping("レコード = 6/10", true, blockRows), RunEnding::Interrupted);
    // Six rows stored, the seventh never begun; table B never reached.
    ASSERT_EQ(world.files[out].count("A"), 1u);
    EXPECT_EQ(world.files[out]["A"].rows.size(), 6u);
    EXPECT_EQ(world.files[out].count("B"), 0u);
    EXPECT_EQ(std::count(world.calls.begin(), world.calls.end(), "AddNew out:A"), 6);
    // Everything closed, the output among them (its close commits the rows), and no message of
    // a failure: the host that asked for the stop says how it ended.
    const std::vector<std::string> closing = {"Close source", "Close out:A", "Close source", "Close output db",
                                              "Close source db", "Close jet ws", "Close odbc ws"};
    ASSERT_GE(world.calls.size(), closing.size());
    EXPECT_EQ(std::vector<std::string>(world.calls.end() - closing.size(), world.calls.end()), closing);
    EXPECT_TRUE(stopping.only("box:").empty());
    // The log ends as after a stop: no time lines, the stop said.
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "テーブル A レコード件数 = 10 件");
    EXPECT_EQ(lines[2], "中止: 処理を中断しました。");
    stopping.events.clear();
  }
}

TEST_F(StopRequestTest, AStopBeforeTheFileIsTouchedLeavesItAlone) {
  world.setObjectList(kTables, {"A"});
  world.addSourceObject("A", numbers(3));
  std::ofstream(out) << "old";
  // While connecting, and at the overwrite question (answered, as a Ctrl-C there would, No).
  for (const std::string at : {"Oracle接続中...SCOTT@ORCL", "ask"}) {
    SCOPED_TRACE(at);
    world.calls.clear();
    ASSERT_EQ(runStopping(at), RunEnding::Interrupted);
    EXPECT_EQ(readFile(out), "old");
    EXPECT_FALSE(std::filesystem::exists(log));
    for (const std::string& c : world.calls) EXPECT_EQ(c.rfind("CreateDatabase", 0), std::string::npos) << c;
    EXPECT_EQ(world.calls.back(), "Close odbc ws");
  }
  // An append run stopped while connecting does not open the file.
  world.calls.clear();
  ASSERT_EQ(runStopping("Oracle接続中...SCOTT@ORCL", false), RunEnding::Interrupted);
  for (const std::string& c : world.calls) EXPECT_EQ(c.rfind("OpenDatabase jet", 0), std::string::npos) << c;
}

}  // namespace
}  // namespace vellicor::fake
