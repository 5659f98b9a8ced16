// Damaged .mdb files that once overran memory (found by fuzz/fuzz_mdb_reader), kept compressed in
// damaged/: reading every row, walking the indexes and opening for appending must each end in
// dao::Error or succeed, never overrun a buffer (the sanitizer build catches the overrun itself).
#include <gtest/gtest.h>

#include <filesystem>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;

namespace {

std::vector<std::string> damagedFiles() {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(std::string(VELLICOR_SOURCE_DIR) + "/tests/hardening/damaged")) {
    if (e.path().string().ends_with(".mdb.gz")) out.push_back(e.path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(DamagedFiles, ReadAndAppendEndInErrorsOnly) {
  vellicor::testing::ScratchDir dir;
  const auto files = damagedFiles();
  ASSERT_FALSE(files.empty());
  for (const std::string& gz : files) {
    SCOPED_TRACE(gz);
    const std::string file = dir.path("damaged.mdb");
    int code = 0;
    vellicor::testing::runCommand("gzip -dc " + vellicor::testing::shellQuote(gz) + " > " + vellicor::testing::shellQuote(file), &code);
    ASSERT_EQ(code, 0);
    try {
      jet3::JetFileReader reader(file);
      for (const jet3::CatalogEntry& e : reader.userTables()) {
        jet3::RowCursor cursor(reader, reader.table(e.name));
        while (cursor.next()) (void)cursor.values();
      }
      (void)jet3::checkAllIndexes(reader);
    } catch (const dao::Error&) {
    }
    bool refused = false;
    try {
      auto ws = jet3::makeJetWorkspace("", "admin", "");
      auto db = ws->openDatabase(file, 1);
      db->close();
    } catch (const dao::Error& e) {
      refused = true;
      EXPECT_FALSE(e.description().empty());
    }
    EXPECT_TRUE(refused) << "a damaged file was opened for appending";
  }
}

}  // namespace
