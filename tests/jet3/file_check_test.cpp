// The whole-file checker: every reference file and the files our engine writes pass it with every
// page owned or free; each kind of fault, made by hand in a copy of a written file, is found and
// named with its page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/read_le.h"
#include "support/mdbtools_support.h"
#include "support/page_edit.h"
#include "support/writer_support.h"

namespace vellicor::jet3 {
namespace {

using Kind = FileProblem::Kind;

std::string describe(const FileCheckResult& r) { return formatFileCheck(r); }

// T_BIG: enough rows for its owned map and the global map to take the reference form (bitmap
// pages); T_LONG: Memo and OLE values kept in the row, in shared LVAL rows and in chains, the last
// one a chain at the end of the file; T_SMALL: three rows.
void writeSample(const std::string& path, bool big) {
  auto ws = testing::jetWorkspace();
  auto db = ws->createDatabase(path, dao::dbLangJapanese);
  auto table = [&](const std::string& name, std::vector<std::pair<std::string, int16_t>> fields) {
    dao::TableDef td(name);
    for (auto& [n, t] : fields) td.appendField(td.createField(n, t, t == dao::dbText ? 50 : 0));
    db->appendTableDef(td);
    return db->openRecordset(name);
  };
  {
    auto rs = table("T_SMALL", {{"ID", dao::dbLong}, {"NAME", dao::dbText}});
    for (int i = 1; i <= 3; ++i) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{i});
      rs->fields()[1].setValue(std::string("小さい ") + std::to_string(i));
      rs->update();
    }
    rs->close();
  }
  if (big) {
    auto rs = table("T_BIG", {{"ID", dao::dbLong}, {"AMOUNT", dao::dbDouble}, {"LABEL", dao::dbText}});
    for (int i = 1; i <= 36000; ++i) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{i});
      rs->fields()[1].setValue(i * 0.5);
      rs->fields()[2].setValue("label number " + std::to_string(i) + std::string(30, 'x'));
      rs->update();
    }
    rs->close();
  }
  {
    auto rs = table("T_LONG", {{"ID", dao::dbLong}, {"NOTE", dao::dbMemo}, {"PICTURE", dao::dbLongBinary}});
    const size_t sizes[] = {10, 500, 1800, 5000, 300, 9000, 20000};
    int id = 0;
    for (size_t n : sizes) {
      rs->addNew();
      rs->fields()[0].setValue(int32_t{++id});
      rs->fields()[1].setValue(std::string(n, 'm'));
      rs->fields()[2].setValue(dao::Bytes(n, static_cast<uint8_t>(id)));
      rs->update();
    }
    rs->close();
  }
  db->close();
  ws->close();
}

class FileCheckDamage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::ScratchDir();
    writeSample(dir_->path("big.mdb"), true);
    writeSample(dir_->path("small.mdb"), false);
  }
  static void TearDownTestSuite() { delete dir_; }

  void load(const std::string& sample) {
    edit_ = std::make_unique<testing::PageEdit>(dir_->path(sample));
    reader_ = std::make_unique<JetFileReader>(dir_->path(sample));
  }
  FileCheckResult check() {
    const std::string path = dir_->path("damaged.mdb");
    edit_->save(path);
    JetFileReader reader(path);
    return checkFile(reader);
  }
  uint8_t* at(uint32_t page, size_t offset = 0) { return edit_->at(page, offset); }
  uint8_t* mapRow(uint32_t rowPointer) { return edit_->mapRow(rowPointer); }
  void setBit(uint8_t* row, uint32_t page, bool on) { edit_->setMember(row, page, on); }
  uint8_t* globalMap() { return edit_->globalMap(); }
  TableInfo table(const std::string& name) { return reader_->table(name); }

  // Expects a problem of `kind` naming `page` (0: any page).
  void expectFound(const FileCheckResult& r, Kind kind, uint32_t page) {
    EXPECT_FALSE(r.clean());
    bool found = false;
    for (const FileProblem& p : r.problems) found = found || (p.kind == kind && (page == 0 || p.page == page));
    EXPECT_TRUE(found) << "kind " << static_cast<int>(kind) << ", page " << page << ":\n" << describe(r);
  }

  static inline testing::ScratchDir* dir_ = nullptr;
  std::unique_ptr<testing::PageEdit> edit_;
  std::unique_ptr<JetFileReader> reader_;
};

TEST(FileCheckClean, ReferenceFilesHaveEveryPageOwnedOrFree) {
  size_t files = 0;
  for (const std::string& path : testing::referenceFiles()) {
    SCOPED_TRACE(path);
    JetFileReader reader(path);
    const FileCheckResult r = checkFile(reader);
    EXPECT_TRUE(r.clean()) << describe(r);
    EXPECT_TRUE(r.unreferencedInUse.empty()) << describe(r);
    EXPECT_EQ(r.claimedPages + r.freePages, r.pages) << describe(r);
    EXPECT_GT(r.indexes, 0u);
    ++files;
  }
  EXPECT_GE(files, 5u);
}

TEST_F(FileCheckDamage, WrittenFilesHaveEveryPageOwnedOrFree) {
  for (const char* sample : {"big.mdb", "small.mdb"}) {
    SCOPED_TRACE(sample);
    load(sample);
    const FileCheckResult r = check();
    EXPECT_TRUE(r.clean()) << describe(r);
    EXPECT_TRUE(r.unreferencedInUse.empty()) << describe(r);
    EXPECT_EQ(r.claimedPages + r.freePages, r.pages);
  }
  // The big sample has the forms the damage below relies on.
  load("big.mdb");
  EXPECT_EQ(globalMap()[0], fmt::kMapReference);
  EXPECT_EQ(mapRow(table("T_BIG").def.ownedMap)[0], fmt::kMapReference);
  EXPECT_EQ(check().rows, 36000u + 3u + 7u + 8u + 23u + 3u * 4u);  // user rows, catalog and ACE rows
}

TEST_F(FileCheckDamage, PagesInUseMarkedFreeOrMissing) {
  load("big.mdb");
  const TableInfo big = table("T_BIG");
  const std::vector<uint32_t> data = reader_->usageMap(big.def.ownedMap);
  const uint32_t bitmap = loadU32(mapRow(big.def.ownedMap) + 1);
  {
    SCOPED_TRACE("a data page marked free");
    setBit(globalMap(), data[100], true);
    expectFound(check(), Kind::kMarkedFree, data[100]);
    setBit(globalMap(), data[100], false);
  }
  {
    SCOPED_TRACE("a bitmap page of a usage map marked free");
    setBit(globalMap(), bitmap, true);
    expectFound(check(), Kind::kMarkedFree, bitmap);
    setBit(globalMap(), bitmap, false);
  }
  {
    SCOPED_TRACE("the file cut inside a long value's chain");
    const TableInfo lv = table("T_LONG");
    const std::vector<uint32_t> lvPages = reader_->usageMap(lv.def.longValueMaps.at(0).ownedMap);
    const std::vector<uint32_t> lvPages2 = reader_->usageMap(lv.def.longValueMaps.at(1).ownedMap);
    const uint32_t last = std::max(lvPages.back(), lvPages2.back());
    ASSERT_EQ(last + 1, reader_->pageCount()) << "the sample ends with a long value";
    edit_->bytes().resize(size_t{last - 2} * fmt::kPageSize);
    const FileCheckResult r = check();
    expectFound(r, Kind::kPastEnd, last);
    EXPECT_TRUE(r.has(Kind::kPastEnd));
  }
}

TEST_F(FileCheckDamage, PagesThatAreNotWhatTheirOwnerTakesThemFor) {
  load("big.mdb");
  const TableInfo big = table("T_BIG"), small = table("T_SMALL");
  const std::vector<uint32_t> data = reader_->usageMap(big.def.ownedMap);
  {
    SCOPED_TRACE("one table's data page listed by another");
    setBit(mapRow(small.def.ownedMap), data[0], true);
    const FileCheckResult r = check();
    expectFound(r, Kind::kTwoOwners, data[0]);
    expectFound(r, Kind::kWrongPage, data[0]);
    setBit(mapRow(small.def.ownedMap), data[0], false);
  }
  {
    SCOPED_TRACE("a data page owned by another table");
    storeU32(at(data[5], fmt::kDataOwner), small.tdefPage);
    const FileCheckResult r = check();
    expectFound(r, Kind::kWrongPage, data[5]);
    expectFound(r, Kind::kRowCount, 0);  // its rows are no longer the table's
    storeU32(at(data[5], fmt::kDataOwner), big.tdefPage);
  }
  {
    SCOPED_TRACE("a free-space map listing a page the table does not own");
    const uint32_t foreign = data.back() + 1;  // the next table's first page
    setBit(mapRow(big.def.freeMap), foreign, true);
    expectFound(check(), Kind::kFreeSpaceNotOwned, foreign);
    setBit(mapRow(big.def.freeMap), foreign, false);
  }
  {
    SCOPED_TRACE("a long value on a page its column's map does not list");
    const TableInfo lv = table("T_LONG");
    const uint32_t page = reader_->usageMap(lv.def.longValueMaps.at(0).ownedMap).front();
    setBit(mapRow(lv.def.longValueMaps.at(0).ownedMap), page, false);
    const FileCheckResult r = check();
    expectFound(r, Kind::kLongValueNotOwned, page);
    EXPECT_NE(std::find(r.unreferencedInUse.begin(), r.unreferencedInUse.end(), page), r.unreferencedInUse.end());
    setBit(mapRow(lv.def.longValueMaps.at(0).ownedMap), page, true);
  }
  {
    SCOPED_TRACE("a usage map whose bitmap page is another page");
    const uint32_t bitmap = loadU32(mapRow(big.def.ownedMap) + 1);
    at(bitmap)[0] = fmt::kPageTdef;
    const FileCheckResult r = check();
    expectFound(r, Kind::kUnreadable, 0);
    expectFound(r, Kind::kWrongPage, bitmap);
    at(bitmap)[0] = fmt::kPageUsageBitmap;
  }
  EXPECT_TRUE(check().clean()) << "the damage was not undone";
}

TEST_F(FileCheckDamage, CountsIndexesAndTheGlobalMapsRange) {
  load("small.mdb");
  const TableInfo small = table("T_SMALL");
  {
    SCOPED_TRACE("a row count that differs from the rows");
    storeU32(at(small.tdefPage, fmt::kTdefRowCount), 4);
    expectFound(check(), Kind::kRowCount, small.tdefPage);
    storeU32(at(small.tdefPage, fmt::kTdefRowCount), 3);
  }
  {
    SCOPED_TRACE("a catalog index whose distinct-key count is too low");
    const size_t field = fmt::kTdefHeaderSize + 4;  // the first real index's count
    const uint32_t was = loadU32(at(fmt::kMSysObjectsTdef, field));
    storeU32(at(fmt::kMSysObjectsTdef, field), 1);
    expectFound(check(), Kind::kIndex, 0);
    storeU32(at(fmt::kMSysObjectsTdef, field), was);
  }
  {
    SCOPED_TRACE("pages below the global map's first page");
    uint8_t* row = globalMap();
    ASSERT_EQ(row[0], fmt::kMapInline);
    ASSERT_EQ(loadU32(row + 1), 0u);
    std::vector<uint8_t> was(row, row + fmt::kMapRowSize);
    storeU32(row + 1, 8);  // now covers pages 8..1031, with the bits of 0..1023
    std::memset(row + fmt::kMapInlineHeader, 0, fmt::kMapRowSize - fmt::kMapInlineHeader);
    expectFound(check(), Kind::kOutsideGlobalMap, fmt::kMSysObjectsTdef);
    std::copy(was.begin(), was.end(), row);
  }
  {
    SCOPED_TRACE("a free page marked in use: space lost, not a fault");
    FileCheckResult r = check();
    uint32_t freePage = 0;
    if (r.freePages == 0) {  // the catalog grows in place: our files need not have a free page
      const uint32_t extra = freePage = edit_->pageCount();
      edit_->bytes().resize(edit_->bytes().size() + fmt::kPageSize);
      edit_->setFree(extra, true);
      r = check();
      ASSERT_TRUE(r.clean()) << describe(r);
    }
    ASSERT_GT(r.freePages, 0u);
    for (uint32_t p : reader_->globalFreePages())
      if (freePage == 0 && p < reader_->pageCount()) freePage = p;
    setBit(globalMap(), freePage, false);
    r = check();
    EXPECT_TRUE(r.clean()) << describe(r);
    EXPECT_EQ(r.unreferencedInUse, std::vector<uint32_t>{freePage});
    EXPECT_NE(describe(r).find("参照されていない"), std::string::npos);
  }
}

}  // namespace
}  // namespace vellicor::jet3
