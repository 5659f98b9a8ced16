// Unit tests of table creation and the row loop: the type mapping, long values in pieces, Nulls,
// empty objects and rows beyond the counted number.
#include <gtest/gtest.h>

#include "engine/table_creation.h"
#include "run_fixture.h"

namespace vellicor::fake {
namespace {

using engine::RunEnding;
using engine::targetFieldFor;
using V = dao::Variant;

TEST(TypeMapping, EachSourceTypeGetsItsField) {
  struct Case {
    int16_t source;
    int32_t size;
    int16_t type;
    std::optional<int32_t> targetSize;
  };
  const Case cases[] = {
      {dao::dbTimeStamp, 16, dao::dbDate, std::nullopt}, {dao::dbText, 30, dao::dbText, 30},
      {dao::dbChar, 2, dao::dbText, 2},                  {dao::dbText, 0, dao::dbText, std::nullopt},
      {dao::dbDecimal, 22, dao::dbDouble, 22},           {dao::dbDate, 8, dao::dbDate, std::nullopt},
      {dao::dbLong, 4, dao::dbLong, 4},                  {dao::dbBigInt, 8, dao::dbBigInt, 8},
      {dao::dbNumeric, 19, dao::dbNumeric, 19},          {dao::dbCurrency, 8, dao::dbCurrency, 8},
      {dao::dbBinary, 16, dao::dbBinary, 16},            {dao::dbBoolean, 1, dao::dbBoolean, 1},
      {dao::dbMemo, 4000, dao::dbMemo, 0},               {dao::dbLongBinary, 0, dao::dbLongBinary, 0},
  };
  for (const Case& c : cases) {
    auto f = targetFieldFor("C", c.source, c.size);
    ASSERT_TRUE(f.has_value()) << c.source;
    EXPECT_EQ(f->type, c.type) << c.source;
    EXPECT_EQ(f->size, c.targetSize) << c.source;
  }
  for (int16_t unsupported : std::vector<int16_t>{dao::dbVarBinary, dao::dbGUID, dao::dbTime, 0, 99}) {
    EXPECT_FALSE(targetFieldFor("C", unsupported, 10).has_value()) << unsupported;
  }
}

TEST_F(FakeRunTest, LongValuesMoveInPiecesOfAThousand) {
  world.setObjectList(" where object_type in ('TABLE')", {"DOCS"});
  Table docs;
  docs.columns = {{"ID", dao::dbLong, 4}, {"BODY", dao::dbMemo, 0}, {"BLOB", dao::dbLongBinary, 0}, {"N", dao::dbText, 5}};
  std::string body;
  for (int i = 0; i < 2500; ++i) body += static_cast<char>('a' + i % 26);
  dao::Bytes blob(1000, 0x5A);
  docs.rows = {{V(int32_t{1}), V(body), V(blob), V(std::string("x"))},
               {V(int32_t{2}), V(std::string()), V(dao::Null{}), V(dao::Null{})}};
  world.addSourceObject("DOCS", docs);

  ASSERT_EQ(run(), RunEnding::Completed);
  const std::vector<std::pair<int64_t, int32_t>> asked = {{0, 1000}, {1000, 1000}, {2000, 1000}, {0, 1000}};
  EXPECT_EQ(world.chunkRequests, asked);
  const Table& copied = world.files[out]["DOCS"];
  ASSERT_EQ(copied.rows.size(), 2u);
  EXPECT_EQ(copied.rows[0][1], V(body));
  EXPECT_EQ(copied.rows[0][2], V(blob));
  EXPECT_EQ(copied.rows[0][3], V(std::string("x")));  // a column after the long ones still arrives
  // A zero-length long value appends nothing and leaves the field Null.
  EXPECT_TRUE(dao::isNull(copied.rows[1][1]));
  EXPECT_TRUE(dao::isNull(copied.rows[1][2]));
  EXPECT_TRUE(dao::isNull(copied.rows[1][3]));
}

TEST_F(FakeRunTest, EmptyObjectGetsItsTableWithoutRows) {
  world.setObjectList(" where object_type in ('TABLE')", {"EMPTY"});
  Table empty;
  empty.columns = {{"A", dao::dbText, 0}, {"B", dao::dbDate, 8}};
  world.addSourceObject("EMPTY", empty);
  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_EQ(host.only("prog:"), (std::vector<std::string>{"レコード = 0", ""}));
  ASSERT_EQ(world.files[out].count("EMPTY"), 1u);
  EXPECT_EQ(world.files[out]["EMPTY"].columns.size(), 2u);
  EXPECT_EQ(logLines()[1], "テーブル EMPTY レコード件数 = 0 件");
}

TEST_F(FakeRunTest, RowsBeyondTheCountAreCopiedAll) {
  world.setObjectList(" where object_type in ('TABLE')", {"GROWS"});
  Table t;
  t.columns = {{"A", dao::dbLong, 4}};
  t.rows = {{V(int32_t{1})}, {V(int32_t{2})}, {V(int32_t{3})}};
  world.addSourceObject("GROWS", t);
  world.queries["select * from GROWS"].rows.push_back({V(int32_t{4})});  // added after the count
  ASSERT_EQ(run(), RunEnding::Completed);
  EXPECT_EQ(host.only("prog:").at(4), "レコード = 4/3");
  EXPECT_EQ(world.files[out]["GROWS"].rows.size(), 4u);
}

}  // namespace
}  // namespace vellicor::fake

namespace vellicor::fake {
namespace {

Table numbered(int rows) {
  Table t;
  t.columns = {{"N", dao::dbLong, 4}, {"MEMO", dao::dbMemo, 0}};
  for (int i = 1; i <= rows; ++i) t.rows.push_back({V(int32_t{i}), V(std::string(1500, 'x'))});
  return t;
}

TEST_F(FakeRunTest, SourceLostMidTableKeepsTheRowsReadBeforeIt) {
  world.setObjectList(" where object_type in ('TABLE')", {"BIG"});
  world.addSourceObject("BIG", numbered(1500));
  world.failMoveNextAtRow = 1200;  // row 1200 was read; moving past it fails

  ASSERT_EQ(run(), RunEnding::Failed);
  EXPECT_EQ(host.only("box:"), (std::vector<std::string>{"異常終了|接続が切断されました。"}));
  const Table& copied = world.files[out]["BIG"];
  ASSERT_EQ(copied.rows.size(), 1200u);
  EXPECT_EQ(copied.rows.back()[0], V(int32_t{1200}));
  EXPECT_EQ(copied.rows.back()[1], V(std::string(1500, 'x')));
  EXPECT_EQ(host.only("prog:").back(), "レコード = 1200/1500");
}

TEST_F(FakeRunTest, TargetRefusalWhileTheReaderIsAheadStopsCleanly) {
  world.setObjectList(" where object_type in ('TABLE')", {"BIG"});
  world.addSourceObject("BIG", numbered(5000));
  world.failUpdateAtRow = 3;  // the reader has several batches waiting by then

  ASSERT_EQ(run(), RunEnding::Failed);
  EXPECT_EQ(world.files[out]["BIG"].rows.size(), 2u);
  EXPECT_EQ(world.calls.back(), "Close odbc ws");
}

}  // namespace
}  // namespace vellicor::fake
