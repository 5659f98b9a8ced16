// The whole-file checker: every reference file and the files our engine writes pass it with every
// page owned or free; each kind of fault, made by hand in a copy of a written file, is found and
// named with its page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

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

// T_SMALL; T_BIG (big: enough rows for its owned map and the global map to take the reference
// form); T_LONG, Memo and OLE values in the row, in shared rows and in chains, a chain last.
void writeSample(const std::string& path, bool big) {
  auto ws = testing::jetWorkspace();
  auto db = ws->createDatabase(path, dao::dbLangJapanese);
  auto fill = [&](const std::string& name, std::vector<int16_t> types, int rows, const std::function<dao::Variant(int, int)>& value) {
    dao::TableDef td(name);
    for (size_t i = 0; i < types.size(); ++i) td.appendField(td.createField("F" + std::to_string(i), types[i], types[i] == dao::dbText ? 50 : 0));
    db->appendTableDef(td);
    auto rs = db->openRecordset(name);
    for (int r = 1; r <= rows; ++r) {
      rs->addNew();
      for (size_t i = 0; i < types.size(); ++i) rs->fields()[static_cast<int>(i)].setValue(value(r, static_cast<int>(i)));
      rs->update();
    }
    rs->close();
  };
  fill("T_SMALL", {dao::dbLong, dao::dbText}, 3, [](int r, int c) { return c ? dao::Variant(std::string("小さい")) : dao::Variant(int32_t{r}); });
  if (big) {
    fill("T_BIG", {dao::dbLong, dao::dbText}, 36000,
         [](int r, int c) { return c ? dao::Variant("label " + std::to_string(r) + std::string(38, 'x')) : dao::Variant(int32_t{r}); });
  }
  const size_t sizes[] = {10, 500, 1800, 5000, 300, 9000, 20000};
  fill("T_LONG", {dao::dbLong, dao::dbMemo, dao::dbLongBinary}, 7, [&](int r, int c) {
    const size_t n = sizes[r - 1];
    return c == 0 ? dao::Variant(int32_t{r}) : c == 1 ? dao::Variant(std::string(n, 'm')) : dao::Variant(dao::Bytes(n, 7));
  });
  db->close();
  ws->close();
}

class FileCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::ScratchDir();
    writeSample(dir_->path("big.mdb"), true);
    writeSample(dir_->path("small.mdb"), false);
  }
  static void TearDownTestSuite() { delete dir_; }

  FileCheckResult check(const std::string& path) {
    JetFileReader reader(path);
    return checkFile(reader);
  }
  // Damages a copy of sample with damage(edit, reader) and expects a problem of `kind` naming
  // page (0: any); the damage returns that page.
  void expectFound(const std::string& what, const std::string& sample, Kind kind,
                   const std::function<uint32_t(testing::PageEdit&, JetFileReader&)>& damage) {
    SCOPED_TRACE(what);
    testing::PageEdit edit(dir_->path(sample));
    JetFileReader reader(dir_->path(sample));
    const uint32_t page = damage(edit, reader);
    edit.save(dir_->path("damaged.mdb"));
    const FileCheckResult r = check(dir_->path("damaged.mdb"));
    EXPECT_TRUE(std::any_of(r.problems.begin(), r.problems.end(),
                            [&](const FileProblem& p) { return p.kind == kind && (page == 0 || p.page == page); }))
        << "kind " << static_cast<int>(kind) << ", page " << page << ":\n" << formatFileCheck(r);
  }

  static inline testing::ScratchDir* dir_ = nullptr;
};

TEST_F(FileCheckTest, ReferenceAndWrittenFilesHaveEveryPageOwnedOrFree) {
  std::vector<std::string> files = testing::referenceFiles();
  files.push_back(dir_->path("big.mdb"));
  files.push_back(dir_->path("small.mdb"));
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const FileCheckResult r = check(path);
    EXPECT_TRUE(r.clean() && r.unreferencedInUse.empty()) << formatFileCheck(r);
    EXPECT_EQ(r.claimedPages + r.freePages, r.pages);
    EXPECT_GT(r.indexes, 0u);
  }
  EXPECT_GE(check(dir_->path("big.mdb")).rows, 36000u + 3u + 7u);
  // The big sample has the reference forms the damage below relies on.
  testing::PageEdit big(dir_->path("big.mdb"));
  EXPECT_EQ(big.globalMap()[0], fmt::kMapReference);
  EXPECT_EQ(big.mapRow(JetFileReader(dir_->path("big.mdb")).table("T_BIG").def.ownedMap)[0], fmt::kMapReference);
}

TEST_F(FileCheckTest, EachKindOfFaultIsFound) {
  auto dataPage = [](JetFileReader& r, size_t i) { return r.usageMap(r.table("T_BIG").def.ownedMap).at(i); };
  auto lvMap = [](JetFileReader& r, size_t column) { return r.table("T_LONG").def.longValueMaps.at(column).ownedMap; };
  expectFound("a data page marked free", "big.mdb", Kind::kMarkedFree, [&](testing::PageEdit& e, JetFileReader& r) {
    e.setFree(dataPage(r, 100), true);
    return dataPage(r, 100);
  });
  expectFound("a usage map's bitmap page marked free", "big.mdb", Kind::kMarkedFree, [](testing::PageEdit& e, JetFileReader& r) {
    const uint32_t bitmap = loadU32(e.mapRow(r.table("T_BIG").def.ownedMap) + 1);
    e.setFree(bitmap, true);
    return bitmap;
  });
  expectFound("the file cut inside a long value's chain", "big.mdb", Kind::kPastEnd, [&](testing::PageEdit& e, JetFileReader& r) {
    const uint32_t last = std::max(r.usageMap(lvMap(r, 0)).back(), r.usageMap(lvMap(r, 1)).back());
    EXPECT_EQ(last + 1, r.pageCount()) << "the sample ends with a long value";
    e.bytes().resize(size_t{last - 2} * fmt::kPageSize);
    return last;
  });
  expectFound("one table's data page listed by another", "big.mdb", Kind::kTwoOwners, [&](testing::PageEdit& e, JetFileReader& r) {
    e.setMember(e.mapRow(r.table("T_SMALL").def.ownedMap), dataPage(r, 0), true);
    return dataPage(r, 0);
  });
  expectFound("a data page owned by another table", "big.mdb", Kind::kWrongPage, [&](testing::PageEdit& e, JetFileReader& r) {
    storeU32(e.at(dataPage(r, 5), fmt::kDataOwner), r.table("T_SMALL").tdefPage);
    return dataPage(r, 5);
  });
  expectFound("a free-space map listing a page the table does not own", "big.mdb", Kind::kFreeSpaceNotOwned,
              [&](testing::PageEdit& e, JetFileReader& r) {
                const uint32_t foreign = r.usageMap(r.table("T_BIG").def.ownedMap).back() + 1;  // the next table's
                e.setMember(e.mapRow(r.table("T_BIG").def.freeMap), foreign, true);
                return foreign;
              });
  expectFound("a long value on a page its column's map does not list", "big.mdb", Kind::kLongValueNotOwned,
              [&](testing::PageEdit& e, JetFileReader& r) {
                const uint32_t page = r.usageMap(lvMap(r, 0)).front();
                e.setMember(e.mapRow(lvMap(r, 0)), page, false);
                return page;
              });
  expectFound("a usage map whose bitmap page is another kind of page", "big.mdb", Kind::kUnreadable, [](testing::PageEdit& e, JetFileReader& r) {
    e.at(loadU32(e.mapRow(r.table("T_BIG").def.ownedMap) + 1))[0] = fmt::kPageTdef;
    return 0u;
  });
  expectFound("a row count that differs from the rows", "small.mdb", Kind::kRowCount, [](testing::PageEdit& e, JetFileReader& r) {
    storeU32(e.at(r.table("T_SMALL").tdefPage, fmt::kTdefRowCount), 4);
    return r.table("T_SMALL").tdefPage;
  });
  expectFound("a catalog index's distinct-key count too low", "small.mdb", Kind::kIndex, [](testing::PageEdit& e, JetFileReader&) {
    storeU32(e.at(fmt::kMSysObjectsTdef, fmt::kTdefHeaderSize + 4), 1);
    return 0u;
  });
  expectFound("pages below the global map's first page", "small.mdb", Kind::kOutsideGlobalMap, [](testing::PageEdit& e, JetFileReader&) {
    storeU32(e.globalMap() + 1, 8);  // now covers pages 8..1031
    std::memset(e.globalMap() + fmt::kMapInlineHeader, 0, fmt::kMapRowSize - fmt::kMapInlineHeader);
    return fmt::kMSysObjectsTdef;
  });
  // A free page marked in use: space lost, not a fault.
  // The catalog grows in place, so a file of ours need not have a free page: one is added.
  testing::PageEdit edit(dir_->path("small.mdb"));
  const uint32_t extra = edit.pageCount();
  edit.bytes().resize(edit.bytes().size() + fmt::kPageSize);
  edit.setFree(extra, true);
  edit.save(dir_->path("damaged.mdb"));
  ASSERT_TRUE(check(dir_->path("damaged.mdb")).clean());
  edit.setFree(extra, false);
  edit.save(dir_->path("damaged.mdb"));
  const FileCheckResult r = check(dir_->path("damaged.mdb"));
  EXPECT_TRUE(r.clean()) << formatFileCheck(r);
  EXPECT_EQ(r.unreferencedInUse, std::vector<uint32_t>{extra});
}

}  // namespace
}  // namespace vellicor::jet3
