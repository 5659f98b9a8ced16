// Opening for appending a file whose tables refer to pages its global map shows free, or that it
// does not have. The file an earlier version left after a disk-full stop in a long table
// (damaged/long-table-bitmap-page-marked-free.mdb.xz: a 300,000-row conversion stopped after its
// first commit, 204,800 rows with IDs 1.. in BIGT, its usage map's bitmap page 8215 free) and
// catalog index pages marked free are taken back, and the append completes with every row whole;
// a file cut inside long values, or a map pointing past the end or at another kind of page, is
// refused naming the table and the page, and keeps its bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "dataaccess/jet3/read_le.h"
#include "hardening/hardening_support.h"
#include "support/mdbtools_support.h"
#include "support/page_edit.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::hardening;
using vellicor::testing::runCommand;
using vellicor::testing::shellQuote;
namespace fmt = vellicor::jet3::fmt;

namespace {

constexpr uint64_t kInputRows = 204800;
constexpr uint32_t kInputBitmapPage = 8215;

// The dao::Error of opening path for appending; empty when it opened. The file must keep its bytes.
std::string appendRefusal(const std::string& path) {
  const std::string bytes = fileBytes(path);
  std::string why;
  try {
    jet3::makeJetWorkspace("", "admin", "")->openDatabase(path, 1)->close();
  } catch (const dao::Error& e) {
    why = e.description();
  }
  EXPECT_TRUE(fileBytes(path) == bytes) << "the file was changed";
  return why;
}

// Adds a table of `rows` rows with Memo values through the engine.
void appendTable(const std::string& path, const std::string& name, int rows) {
  auto db = jet3::makeJetWorkspace("", "admin", "")->openDatabase(path, 1);
  dao::TableDef td(name);
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("NOTE", dao::dbMemo));
  db->appendTableDef(td);
  auto rs = db->openRecordset(name);
  for (int i = 1; i <= rows; ++i) {
    rs->addNew();
    rs->fields()[0].setValue(int32_t{i});
    rs->fields()[1].setValue(std::string(static_cast<size_t>(i) * 100, 'n'));
    rs->update();
  }
  rs->close();
  db->close();
}

class AppendCheck : public ::testing::Test {
 protected:
  std::string unpackInput() {
    const std::string path = dir_.path("input.mdb");
    int code = 0;
    runCommand("xz -dc " + shellQuote(std::string(VELLICOR_SOURCE_DIR) + "/tests/hardening/damaged/long-table-bitmap-page-marked-free.mdb.xz") +
                   " > " + shellQuote(path), &code);
    EXPECT_EQ(code, 0);
    return path;
  }
  // `vellicor inspect --check`: exit status and output.
  std::pair<int, std::string> inspectCheck(const std::string& path) {
    int code = -1;
    const std::string out = runCommand(shellQuote(vellicorBinary()) + " inspect --check " + shellQuote(path) + " 2>&1", &code);
    return {code, out};
  }
  vellicor::testing::ScratchDir dir_;
};

TEST_F(AppendCheck, FileLeftByAnEarlierVersionIsTakenBackAndReadsWhole) {
  const std::string file = unpackInput();
  auto [status, text] = inspectCheck(file);
  EXPECT_EQ(status, 1) << text;
  EXPECT_NE(text.find("ページ " + std::to_string(kInputBitmapPage) + " が全体の使用ページ表で空きページ"), std::string::npos) << text;

  const std::string source = dir_.path("demo.sqlite");
  makeDemoSource(source);
  int code = 0;
  const std::string run = runCommand("VELLICOR_PASSWORD=x " + shellQuote(vellicorBinary()) + " run -s " + shellQuote(source) +
                                         " -u demo --select DEPARTMENTS --yes --append -o " + shellQuote(file) + " --connect " +
                                         shellQuote(kSqliteTemplate) + " </dev/null 2>&1",
                                     &code);
  ASSERT_EQ(code, 0) << run;
  std::tie(status, text) = inspectCheck(file);
  EXPECT_EQ(status, 0) << text;

  const FileVerdict v = verifyFile(file);
  EXPECT_EQ(v.problems, "");
  const std::vector<std::pair<std::string, uint64_t>> expected = {{"BIGT", kInputRows}, {"DEPARTMENTS", 4}};
  EXPECT_EQ(v.tables, expected);
  jet3::JetFileReader reader(file);
  jet3::RowCursor cursor(reader, reader.table("BIGT"));
  for (int32_t id = 1; cursor.next(); ++id) ASSERT_EQ(std::get<int32_t>(cursor.value(0)), id);
}

TEST_F(AppendCheck, FilesWithPagesMissingOrOverwrittenAreRefusedUntouched) {
  {
    SCOPED_TRACE("the bitmap page written over by another table's definition, as an earlier append left it");
    const std::string file = unpackInput();
    vellicor::testing::PageEdit edit(file);
    edit.at(kInputBitmapPage)[0] = fmt::kPageTdef;
    edit.save(file);
    const std::string why = appendRefusal(file);
    EXPECT_NE(why.find("'BIGT'"), std::string::npos) << why;
    EXPECT_NE(why.find("ページ " + std::to_string(kInputBitmapPage)), std::string::npos) << why;
  }
  {
    SCOPED_TRACE("the map pointing at a bitmap page past the end");
    const std::string file = unpackInput();
    vellicor::testing::PageEdit edit(file);
    jet3::storeU32(edit.mapRow(jet3::JetFileReader(file).table("BIGT").def.ownedMap) + 1, edit.pageCount() + 40);
    edit.save(file);
    const std::string why = appendRefusal(file);
    EXPECT_NE(why.find("途中で切れています (テーブル 'BIGT' の使用ページ表のビットマップのページ " + std::to_string(edit.pageCount() + 40)),
              std::string::npos) << why;
  }
  {
    SCOPED_TRACE("a file cut where only long values are missing");
    const std::string file = dir_.path("photos.mdb");
    {
      auto db = vellicor::testing::jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
      dao::TableDef td("PHOTOS");
      td.appendField(td.createField("ID", dao::dbLong));
      td.appendField(td.createField("PHOTO", dao::dbLongBinary));
      db->appendTableDef(td);
      auto rs = db->openRecordset("PHOTOS");
      for (int i = 1; i <= 60; ++i) {
        rs->addNew();
        rs->fields()[0].setValue(int32_t{i});
        rs->fields()[1].setValue(dao::Bytes(1700 + static_cast<size_t>(i), 9));
        rs->update();
      }
      rs->close();
      db->close();
    }
    vellicor::testing::PageEdit edit(file);
    const uint32_t pages = edit.pageCount();
    ASSERT_EQ(jet3::loadU32(edit.at(pages - 1, fmt::kDataOwner)), fmt::kLvalOwner) << "the file ends with long values";
    std::filesystem::resize_file(file, uint64_t{pages - 5} * fmt::kPageSize);
    const std::string why = appendRefusal(file);
    EXPECT_NE(why.find("途中で切れています (テーブル 'PHOTOS' のメモ型/OLE オブジェクト型の値のページ " + std::to_string(pages - 5)),
              std::string::npos) << why;
  }
}

TEST_F(AppendCheck, CatalogIndexPagesMarkedFreeAreTakenBack) {
  // A file whose catalog commit was interrupted after the old index pages were marked free, as an
  // earlier version wrote it, copied without its journal.
  const std::string file = dir_.path("catalog.mdb");
  vellicor::testing::jetWorkspace()->createDatabase(file, dao::dbLangJapanese)->close();
  appendTable(file, "FIRST", 5);
  vellicor::testing::PageEdit edit(file);
  jet3::JetFileReader reader(file);
  for (const jet3::RealIndexDef& ri : reader.readTable(fmt::kMSysObjectsTdef).def.realIndexes)
    for (uint32_t p : reader.usageMap(ri.usageMap)) edit.setFree(p, true);
  edit.save(file);
  EXPECT_NE(checkerProblems(file, false).find("空きページ"), std::string::npos);
  const std::string bytes = fileBytes(file);
  jet3::makeJetWorkspace("", "admin", "")->openDatabase(file, 0, true)->close();
  EXPECT_TRUE(fileBytes(file) == bytes) << "a read-only open wrote";

  appendTable(file, "SECOND", 40);
  const FileVerdict v = verifyFile(file);
  EXPECT_EQ(v.problems, "");
  const std::vector<std::pair<std::string, uint64_t>> expected = {{"FIRST", 5}, {"SECOND", 40}};
  EXPECT_EQ(v.tables, expected);
}

}  // namespace
