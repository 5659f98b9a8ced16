// The index walker over files our own engine writes through DAO: every index of the catalog must
// verify, with the stored distinct-key counts exact (no deletions have happened in a new file).
#include <gtest/gtest.h>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/writer_support.h"

namespace vellicor::jet3 {
namespace {

void writeTables(const std::string& path, const char* locale, int tables) {
  auto ws = testing::jetWorkspace();
  auto db = ws->createDatabase(path, locale);
  for (int t = 0; t < tables; ++t) {
    // Names that sort differently from their creation order, with spaces and digits.
    const std::string name = "T" + std::to_string((t * 37) % 211) + (t % 3 == 0 ? " Zeile" : "_row");
    auto def = db->createTableDef(name);
    def->appendField(def->createField("ID", dao::dbLong));
    def->appendField(def->createField("Name", dao::dbText, 40));
    def->appendField(def->createField("Notes", dao::dbMemo));
    db->appendTableDef(*def);
    auto rs = db->openRecordset(name, dao::dbOpenTable);
    for (int r = 0; r < 3; ++r) {
      rs->addNew();
      rs->fields()["ID"].setValue(int32_t{r});
      rs->fields()["Name"].setValue(std::string("row ") + std::to_string(r));
      rs->fields()["Notes"].setValue(std::string(300 * r, 'x'));
      rs->update();
    }
    rs->close();
  }
  db->close();
  ws->close();
}

TEST(IndexCheckWrittenFile, CatalogIndexesOfANewGeneralFileVerifyExactly) {
  testing::ScratchDir dir;
  const std::string path = dir.path("general.mdb");
  writeTables(path, dao::dbLangGeneral, 200);  // enough names for a catalog index of several pages
  JetFileReader reader(path);
  const auto results = checkAllIndexes(reader);
  ASSERT_FALSE(results.empty());
  size_t catalog = 0, catalogPages = 0;
  for (const IndexCheckResult& r : results) {
    EXPECT_TRUE(r.ok()) << formatIndexReport({r});
    EXPECT_EQ(r.distinctKeys, r.storedDistinctKeys) << formatIndexReport({r});
    if (r.table == "MSysObjects") {
      ++catalog;
      EXPECT_GE(r.entries, 200u);
      catalogPages += r.pages;
    }
  }
  EXPECT_EQ(catalog, 2u);
  EXPECT_GT(catalogPages, 3u);  // the trees have intermediate pages
}

// Our Japanese files keep the General sort order with code page 932, so their text keys are
// checkable too (double-byte names keyed byte by byte).
TEST(IndexCheckWrittenFile, JapaneseFileVerifies) {
  testing::ScratchDir dir;
  const std::string path = dir.path("japanese.mdb");
  {
    auto ws = testing::jetWorkspace();
    auto db = ws->createDatabase(path, dao::dbLangJapanese);
    for (const char* name : {"社員", "部署", "ｶﾅ表", "注文明細", "Ａ全角"}) {
      auto def = db->createTableDef(name);
      def->appendField(def->createField("番号", dao::dbLong));
      db->appendTableDef(*def);
    }
    db->close();
    ws->close();
  }
  JetFileReader reader(path);
  for (const IndexCheckResult& r : checkAllIndexes(reader)) {
    EXPECT_TRUE(r.ok()) << formatIndexReport({r});
  }
}

}  // namespace
}  // namespace vellicor::jet3
