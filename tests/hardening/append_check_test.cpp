// Opening a file for appending when its tables refer to pages that its global map shows free, or
// that it does not have. The file an earlier version left after a disk-full stop in a long table
// (damaged/long-table-bitmap-page-marked-free.mdb.xz: the table's usage-map bitmap page 8215 free)
// and catalog index pages marked free are taken back and the append completes with every row
// whole; a file cut inside long values, a map pointing past the end or at a page of another kind
// is refused naming the table and the page, and keeps its bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
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

// `vellicor inspect --check` of path: its exit status and output.
std::pair<int, std::string> inspectCheck(const std::string& path) {
  int code = -1;
  const std::string out = runCommand(shellQuote(vellicorBinary()) + " inspect --check " + shellQuote(path) + " 2>&1", &code);
  return {code, out};
}

// The dao::Error description of opening path for appending; empty when it opened.
std::string appendRefusal(const std::string& path) {
  try {
    auto ws = jet3::makeJetWorkspace("", "admin", "");
    auto db = ws->openDatabase(path, 1);
    db->close();
    return "";
  } catch (const dao::Error& e) {
    return e.description();
  }
}

// Adds table NAME with `rows` rows through the engine.
void appendTable(const std::string& path, const std::string& name, int rows) {
  auto ws = jet3::makeJetWorkspace("", "admin", "");
  auto db = ws->openDatabase(path, 1);
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

std::string checkerText(const std::string& path) {
  jet3::JetFileReader reader(path);
  const jet3::FileCheckResult r = jet3::checkFile(reader);
  return r.clean() ? "" : jet3::formatFileCheck(r);
}

class AppendCheck : public ::testing::Test {
 protected:
  // The damaged input, made by the engine before this check existed: a 300,000-row conversion
  // stopped by a full disk after its first commit, 204,800 rows with IDs 1.. in the table BIGT.
  std::string unpackInput() {
    const std::string path = dir_.path("input.mdb");
    int code = 0;
    runCommand("xz -dc " + shellQuote(std::string(VELLICOR_SOURCE_DIR) + "/tests/hardening/damaged/long-table-bitmap-page-marked-free.mdb.xz") +
                   " > " + shellQuote(path),
               &code);
    EXPECT_EQ(code, 0);
    return path;
  }
  vellicor::testing::ScratchDir dir_;
};

constexpr uint64_t kInputRows = 204800;
constexpr uint32_t kInputBitmapPage = 8215;

TEST_F(AppendCheck, FileLeftByAnEarlierVersionIsRepairedAndReadsWhole) {
  const std::string file = unpackInput();
  auto [before, text] = inspectCheck(file);
  EXPECT_EQ(before, 1) << text;
  EXPECT_NE(text.find("ページ " + std::to_string(kInputBitmapPage) + " が全体の使用ページ表で空きページ"), std::string::npos) << text;

  // The command line's append, as a user runs it.
  const std::string source = dir_.path("demo.sqlite");
  makeDemoSource(source);
  int code = 0;
  const std::string run = runCommand("VELLICOR_PASSWORD=x " + shellQuote(vellicorBinary()) + " run -s " + shellQuote(source) +
                                         " -u demo --select DEPARTMENTS --yes --append -o " + shellQuote(file) +
                                         " --connect " + shellQuote(kSqliteTemplate) + " </dev/null 2>&1",
                                     &code);
  ASSERT_EQ(code, 0) << run;
  std::tie(before, text) = inspectCheck(file);
  EXPECT_EQ(before, 0) << text;
  EXPECT_NE(text.find("問題はありません"), std::string::npos) << text;

  const FileVerdict v = verifyFile(file);
  EXPECT_EQ(v.problems, "");
  ASSERT_EQ(v.tables.size(), 2u);
  EXPECT_EQ(v.tables[0], std::make_pair(std::string("BIGT"), kInputRows));
  EXPECT_EQ(v.tables[1].first, "DEPARTMENTS");
  // Every row is the one it was: the IDs 1..n each once.
  jet3::JetFileReader reader(file);
  jet3::RowCursor cursor(reader, reader.table("BIGT"));
  uint64_t n = 0, sum = 0;
  int32_t last = 0;
  bool ordered = true;
  while (cursor.next()) {
    const int32_t id = std::get<int32_t>(cursor.value(0));
    ordered = ordered && id == last + 1;
    last = id;
    sum += static_cast<uint64_t>(id);
    ++n;
  }
  EXPECT_TRUE(ordered);
  EXPECT_EQ(n, kInputRows);
  EXPECT_EQ(sum, kInputRows * (kInputRows + 1) / 2);
}

TEST_F(AppendCheck, FilesWithPagesMissingOrOverwrittenAreRefusedUntouched) {
  // The long table's bitmap page written over by another table's definition, as an earlier
  // version's append left it.
  {
    const std::string file = unpackInput();
    vellicor::testing::PageEdit edit(file);
    edit.at(kInputBitmapPage)[0] = fmt::kPageTdef;
    edit.save(file);
    const std::string bytes = fileBytes(file);
    const std::string why = appendRefusal(file);
    EXPECT_NE(why.find("BIGT"), std::string::npos) << why;
    EXPECT_NE(why.find(std::to_string(kInputBitmapPage)), std::string::npos) << why;
    EXPECT_TRUE(fileBytes(file) == bytes) << "the file was changed";
  }
  // The long table's map pointing at a bitmap page past the end.
  {
    const std::string file = unpackInput();
    vellicor::testing::PageEdit edit(file);
    jet3::JetFileReader reader(file);
    uint8_t* row = edit.mapRow(reader.table("BIGT").def.ownedMap);
    ASSERT_EQ(row[0], fmt::kMapReference);
    jet3::storeU32(row + 1, edit.pageCount() + 40);
    edit.save(file);
    const std::string bytes = fileBytes(file);
    const std::string why = appendRefusal(file);
    EXPECT_NE(why.find("途中で切れています (テーブル 'BIGT' の使用ページ表のビットマップのページ " +
                       std::to_string(edit.pageCount() + 40)),
              std::string::npos)
        << why;
    EXPECT_TRUE(fileBytes(file) == bytes) << "the file was changed";
  }
  // A file cut where only long values are missing: the table's data pages are all there.
  {
    const std::string file = dir_.path("photos.mdb");
    {
      auto ws = vellicor::testing::jetWorkspace();
      auto db = ws->createDatabase(file, dao::dbLangJapanese);
      dao::TableDef td("PHOTOS");
      td.appendField(td.createField("ID", dao::dbLong));
      td.appendField(td.createField("PHOTO", dao::dbLongBinary));
      db->appendTableDef(td);
      auto rs = db->openRecordset("PHOTOS");
      for (int i = 1; i <= 60; ++i) {
        rs->addNew();
        rs->fields()[0].setValue(int32_t{i});
        rs->fields()[1].setValue(dao::Bytes(1700 + static_cast<size_t>(i), static_cast<uint8_t>(i)));
        rs->update();
      }
      rs->close();
      db->close();
    }
    vellicor::testing::PageEdit edit(file);
    const uint32_t pages = edit.pageCount();
    ASSERT_EQ(jet3::loadU32(edit.at(pages - 1, fmt::kDataOwner)), fmt::kLvalOwner) << "the file ends with long values";
    std::filesystem::resize_file(file, uint64_t{pages - 5} * fmt::kPageSize);
    const std::string bytes = fileBytes(file);
    const std::string why = appendRefusal(file);
    EXPECT_NE(why.find("途中で切れています (テーブル 'PHOTOS' のメモ型/OLE オブジェクト型の値のページ " + std::to_string(pages - 5)),
              std::string::npos)
        << why;
    EXPECT_TRUE(fileBytes(file) == bytes) << "the file was changed";
  }
}

TEST_F(AppendCheck, CatalogIndexPagesMarkedFreeAreTakenBack) {
  // What a copy of a file whose catalog commit was interrupted looked like without its journal,
  // when the old catalog index pages were marked free before the definitions stopped using them.
  const std::string file = dir_.path("catalog.mdb");
  {
    auto ws = vellicor::testing::jetWorkspace();
    auto db = ws->createDatabase(file, dao::dbLangJapanese);
    db->close();
  }
  appendTable(file, "FIRST", 5);
  std::vector<uint32_t> indexPages;
  {
    jet3::JetFileReader reader(file);
    for (const jet3::RealIndexDef& ri : reader.readTable(fmt::kMSysObjectsTdef).def.realIndexes)
      for (uint32_t p : reader.usageMap(ri.usageMap)) indexPages.push_back(p);
  }
  ASSERT_FALSE(indexPages.empty());
  vellicor::testing::PageEdit edit(file);
  for (uint32_t p : indexPages) edit.setFree(p, true);
  edit.save(file);
  EXPECT_NE(checkerText(file).find("空きページ"), std::string::npos);

  // Reading it changes nothing.
  const std::string bytes = fileBytes(file);
  {
    auto ws = jet3::makeJetWorkspace("", "admin", "");
    auto db = ws->openDatabase(file, 0, true);
    db->close();
  }
  EXPECT_TRUE(fileBytes(file) == bytes) << "a read-only open wrote";

  appendTable(file, "SECOND", 40);
  const std::string after = checkerText(file);
  EXPECT_TRUE(after.empty()) << after;
  const FileVerdict v = verifyFile(file);
  EXPECT_EQ(v.problems, "");
  const std::vector<std::pair<std::string, uint64_t>> expected = {{"FIRST", 5}, {"SECOND", 40}};
  EXPECT_EQ(v.tables, expected);
}

}  // namespace
