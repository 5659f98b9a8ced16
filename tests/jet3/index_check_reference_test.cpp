// Runs the index walker over every reference file: every real index of every table, system tables
// included, must verify; and a damaged index (wrong entry, wrong map) must be reported.
#include <gtest/gtest.h>

#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

TEST(IndexCheckReference, EveryIndexOfEveryReferenceFileVerifies) {
  size_t checked = 0, entries = 0, multiLevel = 0;
  for (const std::string& path : testing::referenceFiles()) {
    SCOPED_TRACE(path);
    JetFileReader reader(path);
    const auto results = checkAllIndexes(reader);
    for (const IndexCheckResult& r : results) {
      EXPECT_TRUE(r.ok()) << formatIndexReport({r});
      if (r.ok()) {
        ++checked;
        entries += r.entries;
        if (r.pages > 1) ++multiLevel;
      }
    }
  }
  EXPECT_GT(checked, 100u);
  EXPECT_GT(entries, 20000u);
  EXPECT_GT(multiLevel, 3u);
  std::printf("verified %zu indexes, %zu entries, %zu with more than one page\n", checked, entries, multiLevel);
}

}  // namespace
}  // namespace vellicor::jet3
