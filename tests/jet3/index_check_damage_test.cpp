// The index walker must notice what goes wrong in an index: a row whose value no longer matches
// its entry, a usage map that lists a foreign page, row and distinct-key counts that disagree.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/read_le.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

using Bytes = std::vector<unsigned char>;

class IndexCheckDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = std::string(VELLICOR_REFERENCE_DIR) + "/nwind.mdb";
    file_ = testing::readWholeFile(source_);
    scratch_ = (std::filesystem::temp_directory_path() / ("vellicor_idx_" + std::to_string(::getpid()) + ".mdb")).string();
    JetFileReader reader(source_);
    orders_ = reader.table("Orders");
    for (const LogicalIndexDef& li : orders_.def.logicalIndexes) {
      if (li.type == fmt::kIndexPrimaryKey) primary_ = li.realIndex;
    }
    ASSERT_NE(primary_, UINT32_MAX);
  }
  void TearDown() override { std::filesystem::remove(scratch_); }

  std::vector<IndexCheckResult> check() {
    std::ofstream(scratch_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(file_.data()), static_cast<std::streamsize>(file_.size()));
    JetFileReader reader(scratch_);
    return checkTableIndexes(reader, reader.table("Orders"));
  }
  const IndexCheckResult& primary(const std::vector<IndexCheckResult>& results) { return results.at(primary_); }
  size_t tdefOffset(size_t field) { return size_t{orders_.tdefPage} * fmt::kPageSize + field; }

  std::string source_, scratch_;
  Bytes file_;
  TableInfo orders_;
  uint32_t primary_ = UINT32_MAX;
};

TEST_F(IndexCheckDamage, UntouchedCopyVerifies) {
  const auto results = check();
  ASSERT_FALSE(results.empty());
  for (const auto& r : results) EXPECT_TRUE(r.ok()) << formatIndexReport({r});
  EXPECT_EQ(primary(results).entries, orders_.def.rowCount);
  EXPECT_EQ(primary(results).distinctKeys, orders_.def.rowCount);
}

TEST_F(IndexCheckDamage, ChangedKeyValueInARowIsReported) {
  // Overwrite the primary key column of the first row with another value.
  JetFileReader reader(source_);
  const RealIndexDef& ri = orders_.def.realIndexes[primary_];
  size_t c = 0;
  while (orders_.def.columns[c].number != ri.columns[0].column) ++c;
  RowCursor cursor(reader, orders_);
  ASSERT_TRUE(cursor.next());
  const uint32_t ptr = cursor.dataPointer();
  const size_t rowStart = size_t{fmt::pointerPage(ptr)} * fmt::kPageSize +
                          (loadU16(&file_[size_t{fmt::pointerPage(ptr)} * fmt::kPageSize + fmt::kDataRowTable +
                                          2 * fmt::pointerRow(ptr)]) & fmt::kRowOffsetMask);
  const size_t at = rowStart + static_cast<size_t>(cursor.fields()[c].data - cursor.rowBytes().data());
  storeU32(&file_[at], 99999999);
  const auto results = check();
  const IndexCheckResult& r = primary(results);
  EXPECT_EQ(r.status, IndexCheckResult::Status::kFault);
  EXPECT_NE(r.detail.find("一致しません"), std::string::npos) << r.detail;
}

TEST_F(IndexCheckDamage, UsageMapListingAForeignPageIsReported) {
  const uint32_t map = orders_.def.realIndexes[primary_].usageMap;
  const uint8_t* page = &file_[size_t{fmt::pointerPage(map)} * fmt::kPageSize];
  const size_t row = size_t{fmt::pointerPage(map)} * fmt::kPageSize +
                     (loadU16(page + fmt::kDataRowTable + 2 * fmt::pointerRow(map)) & fmt::kRowOffsetMask);
  ASSERT_EQ(file_[row], fmt::kMapInline);
  // Mark a page that the index does not use (the first page the bitmap covers, or a later one).
  size_t byte = row + fmt::kMapInlineHeader;
  while (file_[byte] != 0) ++byte;
  file_[byte] |= 1;
  const auto results = check();
  const IndexCheckResult& r = primary(results);
  EXPECT_EQ(r.status, IndexCheckResult::Status::kFault);
  EXPECT_NE(r.detail.find("使用ページ表"), std::string::npos) << r.detail;
}

TEST_F(IndexCheckDamage, RowCountDisagreeingWithEntriesIsReported) {
  storeU32(&file_[tdefOffset(fmt::kTdefRowCount)], orders_.def.rowCount + 1);
  const auto results = check();
  const IndexCheckResult& r = primary(results);
  EXPECT_EQ(r.status, IndexCheckResult::Status::kFault);
  EXPECT_NE(r.detail.find("行数"), std::string::npos) << r.detail;
}

TEST_F(IndexCheckDamage, DistinctKeyCountBelowTheTruthIsAFaultAboveItANote) {
  const size_t count = tdefOffset(fmt::kTdefHeaderSize + fmt::kTdefRealIndexCountSize * primary_ + 4);
  storeU32(&file_[count], orders_.def.rowCount - 1);
  const IndexCheckResult low = primary(check());
  EXPECT_EQ(low.status, IndexCheckResult::Status::kFault);
  EXPECT_EQ(low.storedDistinctKeys, orders_.def.rowCount - 1);
  storeU32(&file_[count], orders_.def.rowCount + 5);
  const IndexCheckResult high = primary(check());
  EXPECT_TRUE(high.ok());
  EXPECT_FALSE(high.detail.empty());
  EXPECT_EQ(high.distinctKeys, orders_.def.rowCount);
}

TEST_F(IndexCheckDamage, BrokenRootPageIsReportedNotThrown) {
  const uint32_t root = orders_.def.realIndexes[primary_].rootPage;
  file_[size_t{root} * fmt::kPageSize] = fmt::kPageData;  // no longer an index page
  const auto results = check();
  const IndexCheckResult& r = primary(results);
  EXPECT_EQ(r.status, IndexCheckResult::Status::kFault);
  EXPECT_FALSE(r.detail.empty());
}

}  // namespace
}  // namespace vellicor::jet3
