// Rows of the ODBC source taken a fetched block at a time: the same values as the fields give, in
// order across blocks, from the current row on, in reused blocks and reused values; the refusals.
#include <gtest/gtest.h>

#include <vector>

#include "dataaccess/odbc/odbc_recordset.h"
#include "odbc_sources.h"

using namespace vellicor;
using namespace vellicor::odbc::testing;

namespace {

dao::BlockSource& blocksOf(dao::Recordset& rs) {
  auto* blocks = dynamic_cast<dao::BlockSource*>(&rs);
  if (!blocks) throw std::logic_error("the ODBC recordset hands out no blocks");
  return *blocks;
}

// Every remaining row of `rs` through its fields.
std::vector<std::vector<dao::Variant>> rowsThroughFields(dao::Recordset& rs) {
  std::vector<std::vector<dao::Variant>> rows;
  for (; !rs.eof(); rs.moveNext()) {
    std::vector<dao::Variant> row;
    for (int k = 0; k < rs.fields().count(); ++k) row.push_back(rs.fields()[k].value());
    rows.push_back(std::move(row));
  }
  return rows;
}

// Every remaining row of `rs` through blocks, each block given back for the next one and every
// value read into the same row of values, a row at a time as the record copy does, or a value at a time.
enum class Reads { Rows, Values };
std::vector<std::vector<dao::Variant>> rowsThroughBlocks(dao::Recordset& rs, Reads reads, size_t* blockCount = nullptr) {
  std::vector<std::vector<dao::Variant>> rows;
  std::vector<dao::Variant> reused;
  std::unique_ptr<dao::RowBlock> block;
  size_t blocks = 0;
  for (; !rs.eof(); rs.moveNext()) {
    block = blocksOf(rs).takeBlock(std::move(block));
    ++blocks;
    reused.resize(static_cast<size_t>(block->columnCount()));
    for (size_t r = 0; r < block->rowCount(); ++r) {
      if (reads == Reads::Rows) {
        block->readRow(r, reused);
      } else {
        for (size_t k = 0; k < reused.size(); ++k) block->read(r, static_cast<int>(k), reused[k]);
      }
      rows.push_back(reused);
    }
  }
  if (blockCount) *blockCount = blocks;
  return rows;
}

class SqliteBlocks : public ::testing::Test {
 protected:
  void SetUp() override { src_ = openSource(sqliteConnect()); }
  std::unique_ptr<dao::Recordset> open(const std::string& sql) { return src_.db->openRecordset(sql); }
  Source src_;
};

TEST_F(SqliteBlocks, BlocksGiveTheFieldsValuesInOrderAcrossBlocks) {
  const std::string sql = "select N, LABEL, AMOUNT from SALES_LOG order by N";
  auto byField = open(sql);
  const auto expected = rowsThroughFields(*byField);
  ASSERT_EQ(expected.size(), 2500u);

  auto rs = open(sql);
  const SQLULEN blockRows = dynamic_cast<odbc::OdbcRecordset&>(*rs).blockRows();
  ASSERT_TRUE(blocksOf(*rs).blocksAvailable());
  size_t blocks = 0;
  const auto got = rowsThroughBlocks(*rs, Reads::Rows, &blocks);
  EXPECT_EQ(blocks, (2500 + blockRows - 1) / blockRows);  // one a fetch, none lost or repeated
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], expected[i]) << "row " << i + 1;
  EXPECT_TRUE(rs->eof());
}

TEST_F(SqliteBlocks, EveryBoundKindAndNullReadsAsThroughTheFields) {
  // Text, fixed-width text, exact decimals as text, integers, flags, doubles, binary, dates; the
  // second row is all Null, the third holds extremes and zero-length values. A reused value that
  // held a longer text or other kind before must come out exactly as the field's value.
  const std::string sql =
      "select C_VARCHAR, C_NUM4, C_NUM9, C_NUM10_2, C_NUM15, C_NUM18, C_NUM28, C_TINY, C_FLAG, C_DOUBLE, C_CHAR, "
      "C_RAW, C_DATE, C_TS from ALL_TYPES order by ID";
  auto byField = open(sql);
  const auto expected = rowsThroughFields(*byField);
  ASSERT_EQ(expected.size(), 3u);
  auto rs = open(sql);
  EXPECT_EQ(rowsThroughBlocks(*rs, Reads::Rows), expected);
  auto again = open(sql);
  EXPECT_EQ(rowsThroughBlocks(*again, Reads::Values), expected);
  EXPECT_EQ(expected[0][0], dao::Variant(std::string("日本語のテキスト")));
  EXPECT_EQ(expected[2][0], dao::Variant(std::string()));
}

TEST_F(SqliteBlocks, TakingStartsAtTheCurrentRowAndMoveNextGoesOnAfterTheBlock) {
  auto rs = open("select N from SALES_LOG order by N");
  const SQLULEN blockRows = dynamic_cast<odbc::OdbcRecordset&>(*rs).blockRows();
  ASSERT_GT(blockRows, 3u);
  rs->moveNext();
  rs->moveNext();
  auto block = blocksOf(*rs).takeBlock(nullptr);
  ASSERT_EQ(block->rowCount(), blockRows - 2);
  dao::Variant v;
  block->read(0, 0, v);
  EXPECT_EQ(v, dao::Variant(int32_t{3}));
  block->read(block->rowCount() - 1, 0, v);
  EXPECT_EQ(v, dao::Variant(static_cast<int32_t>(blockRows)));
  // The recordset stands on the block's last row; the next row is the next block's first.
  EXPECT_EQ(rs->fields()[0].value(), dao::Variant(static_cast<int32_t>(blockRows)));
  rs->moveNext();
  EXPECT_EQ(rs->fields()[0].value(), dao::Variant(static_cast<int32_t>(blockRows + 1)));
  // The block taken before is a copy: fetching on does not change it.
  block->read(0, 0, v);
  EXPECT_EQ(v, dao::Variant(int32_t{3}));
}

TEST_F(SqliteBlocks, RefusesReadsOutsideTheBlockAndTakingWithoutBlocks) {
  auto rs = open("select N, LABEL from SALES_LOG order by N");
  auto block = blocksOf(*rs).takeBlock(nullptr);
  dao::Variant v;
  try {
    block->read(block->rowCount(), 0, v);
    FAIL() << "a row past the block was read";
  } catch (const dao::Error& e) {
    EXPECT_EQ(e.number(), 3021);
  }
  try {
    block->read(0, 2, v);
    FAIL() << "a column past the row was read";
  } catch (const dao::Error& e) {
    EXPECT_EQ(e.number(), 3265);
  }

  // A long column is read with SQLGetData row by row: no blocks.
  auto withLong = open("select ID, C_CLOB from ALL_TYPES order by ID");
  EXPECT_FALSE(blocksOf(*withLong).blocksAvailable());
  EXPECT_THROW(blocksOf(*withLong).takeBlock(nullptr), dao::Error);

  auto none = open("select N from SALES_LOG where N < 0");
  ASSERT_TRUE(none->eof());
  EXPECT_THROW(blocksOf(*none).takeBlock(nullptr), dao::Error);
}

TEST(SqliteBlockValues, ValueLongerThanTheDeclaredSizeIsRefusedAtItsRow) {
  const std::string connect = sqliteConnectWith("block-long", R"(
    CREATE TABLE SHORT_COL2 (NAME VARCHAR2(5));
    INSERT INTO SHORT_COL2 VALUES ('12345');
    INSERT INTO SHORT_COL2 VALUES ('これは五文字を超える長い値です');
  )");
  Source src = openSource(connect);
  auto rs = src.db->openRecordset("select NAME from SHORT_COL2");
  auto block = blocksOf(*rs).takeBlock(nullptr);
  ASSERT_EQ(block->rowCount(), 2u);
  dao::Variant v;
  block->read(0, 0, v);
  EXPECT_EQ(v, dao::Variant(std::string("12345")));
  try {
    block->read(1, 0, v);
    FAIL() << "a value longer than its column was handed out";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("NAME"), std::string::npos) << e.description();
  }
  std::vector<dao::Variant> row;
  EXPECT_THROW(block->readRow(1, row), dao::Error);
  EXPECT_THROW(block->readRow(2, row), dao::Error);
}

}  // namespace
