// The record copy over a source that hands out fetched blocks: the same rows, texts and endings as
// row by row, failures after the rows before them, and the read-ahead bounded in bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/read_ahead.h"
#include "run_fixture.h"

namespace vellicor::fake {
namespace {

using engine::RunEnding;
using V = dao::Variant;

Table mixed(int rows) {
  Table t;
  t.columns = {{"N", dao::dbLong, 4}, {"NAME", dao::dbText, 20}, {"X", dao::dbDouble, 8}};
  for (int i = 1; i <= rows; ++i) {
    t.rows.push_back({V(int32_t{i}), i % 7 == 0 ? V(dao::Null{}) : V("名前" + std::to_string(i)),
                      i % 5 == 0 ? V(dao::Null{}) : V(i * 0.5)});
  }
  return t;
}

size_t countCalls(const std::vector<std::string>& calls, const std::string& prefix) {
  return static_cast<size_t>(
      std::count_if(calls.begin(), calls.end(), [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
}

// Row by row (0) and in blocks of 500 rows, which do not divide the row count.
class BlockCopy : public FakeRunTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(BlockCopy, CopiesEveryRowInOrderWithTheSameTexts) {
  world.blockRows = GetParam();
  world.setObjectList(" where object_type in ('TABLE')", {"MIXED"});
  const Table source = mixed(1300);
  world.addSourceObject("MIXED", source);

  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_EQ(world.blocksTaken, GetParam() ? 3 : 0);
  const Table& copied = world.files[out]["MIXED"];
  ASSERT_EQ(copied.rows.size(), source.rows.size());
  for (size_t i = 0; i < source.rows.size(); ++i) ASSERT_EQ(copied.rows[i], source.rows[i]) << "row " << i + 1;
  const std::vector<std::string> progress = host.only("prog:");
  EXPECT_EQ(progress.at(1), "レコード = 1/1300");
  EXPECT_EQ(progress.at(1300), "レコード = 1300/1300");
  EXPECT_EQ(countCalls(world.calls, "AddNew "), 1300u);
}

TEST_P(BlockCopy, TargetRefusalWhileTheReaderIsAheadStopsCleanly) {
  world.blockRows = GetParam();
  world.setObjectList(" where object_type in ('TABLE')", {"MIXED"});
  world.addSourceObject("MIXED", mixed(5000));
  world.failUpdateAtRow = 3;

  ASSERT_EQ(run(), RunEnding::Failed);
  EXPECT_EQ(world.files[out]["MIXED"].rows.size(), 2u);
  EXPECT_EQ(world.calls.back(), "Close odbc ws");
}

INSTANTIATE_TEST_SUITE_P(RowsAndBlocks, BlockCopy, ::testing::Values(size_t{0}, size_t{500}));

TEST_F(FakeRunTest, SourceLostAfterABlockKeepsTheBlocksRows) {
  world.blockRows = 500;
  world.setObjectList(" where object_type in ('TABLE')", {"MIXED"});
  world.addSourceObject("MIXED", mixed(1500));
  world.failMoveNextAtRow = 1000;  // the fetch after the second block fails

  ASSERT_EQ(run(), RunEnding::Failed);
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"異常終了|接続が切断されました。"}));
  const Table& copied = world.files[out]["MIXED"];
  ASSERT_EQ(copied.rows.size(), 1000u);
  EXPECT_EQ(copied.rows.back()[0], V(int32_t{1000}));
  EXPECT_EQ(host.only("prog:").back(), "レコード = 1000/1500");
}

TEST_F(FakeRunTest, UnreadableRowInsideABlockEndsTheCopyBeforeThatRowIsAdded) {
  world.blockRows = 500;
  world.setObjectList(" where object_type in ('TABLE')", {"MIXED"});
  world.addSourceObject("MIXED", mixed(1500));
  world.failBlockReadAtRow = 730;

  ASSERT_EQ(run(), RunEnding::Failed);
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"異常終了|行を読み取れませんでした。"}));
  EXPECT_EQ(world.files[out]["MIXED"].rows.size(), 729u);
  // The whole row is read before AddNew: no row was begun for the unreadable one.
  EXPECT_EQ(countCalls(world.calls, "AddNew "), 729u);
  EXPECT_EQ(host.only("prog:").back(), "レコード = 729/1500");
}

// A source of numbered one-row blocks that says each holds a mebibyte, counting what it hands out.
class BigBlocks : public dao::Recordset, public dao::BlockSource, public dao::Fields {
 public:
  class Block : public dao::RowBlock {
   public:
    explicit Block(int32_t n) : n_(n) {}
    size_t rowCount() const override { return 1; }
    int columnCount() const override { return 1; }
    size_t byteSize() const override { return 1u << 20; }
    void read(size_t, int, dao::Variant& into) const override { into = n_; }

   private:
    int32_t n_;
  };

  explicit BigBlocks(int32_t count) : count_(count) {}
  bool eof() const override { return next_ > count_; }
  void moveNext() override { ++next_; }
  dao::Fields& fields() override { return *this; }
  void addNew() override {}
  void update(int, bool) override {}
  void close() override {}
  int count() const override { return 0; }
  dao::Field& operator[](int) override { throw dao::Error("no fields"); }
  dao::Field& operator[](std::string_view) override { throw dao::Error("no fields"); }
  bool blocksAvailable() const override { return true; }
  std::unique_ptr<dao::RowBlock> takeBlock(std::unique_ptr<dao::RowBlock>) override {
    taken_.fetch_add(1);
    return std::make_unique<Block>(next_);
  }
  int taken() const { return taken_.load(); }

 private:
  int32_t count_;
  int32_t next_ = 1;
  std::atomic<int> taken_{0};
};

TEST(ReadAheadBlocks, ReadsAheadNoMoreThanTheQueuesBytesAndKeepsTheOrder) {
  BigBlocks source(100);
  engine::ReadAhead reader(source, 1000);
  // Nothing is taken from the reader: it must stop once the waiting blocks hold the queue's bytes.
  int seen = -1;
  for (int stable = 0; stable < 5;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    const int now = source.taken();
    stable = now == seen ? stable + 1 : 0;
    seen = now;
  }
  const int bound = static_cast<int>(engine::ReadAhead::kQueueBytes >> 20) + 1;  // + the one waiting to go in
  EXPECT_LE(seen, bound);
  EXPECT_GE(seen, 2);

  int32_t expected = 1;
  for (bool more = true; more;) {
    engine::RowBatch batch = reader.next();
    more = !batch.last;
    ASSERT_FALSE(batch.failure);
    ASSERT_TRUE(batch.block);
    dao::Variant v;
    batch.block->read(0, 0, v);
    EXPECT_EQ(v, dao::Variant(expected++));
    if (more) reader.recycle(std::move(batch));
  }
  EXPECT_EQ(expected, 101);
}

}  // namespace
}  // namespace vellicor::fake
