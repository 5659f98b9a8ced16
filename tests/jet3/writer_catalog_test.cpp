// The catalog as it grows: hundreds of tables (index trees with intermediate pages), names
// compared as Jet compares them, and tables appended to files that Jet 3.5 and Access wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index_page.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;
namespace fmt = vellicor::jet3::fmt;

namespace {

void addTable(dao::Database& db, const std::string& name, int id) {
  dao::TableDef td(name);
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("NAME", dao::dbText, 40));
  db.appendTableDef(td);
  auto rs = db.openRecordset(name);
  rs->addNew();
  rs->fields()[0].setValue(int32_t{id});
  rs->fields()[1].setValue(name.substr(0, 40));
  rs->update();
  rs->close();
}

std::string copyOfReference(ScratchDir& dir, const std::string& name) {
  const std::string to = dir.path(name);
  std::filesystem::copy_file(std::string(VELLICOR_REFERENCE_DIR) + "/" + name, to);
  std::filesystem::permissions(to, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  return to;
}

}  // namespace

TEST(WriterCatalog, HundredsOfTablesKeepTheCatalogIndexesValid) {
  ScratchDir dir;
  const std::string file = dir.path("many.mdb");
  const int kTables = 400;
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    // Names in an order unlike their sort order, long and short, ASCII and Japanese.
    for (int i = 0; i < kTables; ++i) {
      const int k = (i * 7919) % kTables;
      addTable(*db, (k % 3 ? "ORACLE_TABLE_WITH_A_LONG_NAME_" : "表_") + std::to_string(k), k);
    }
    EXPECT_EQ(db->tableNames().size(), static_cast<size_t>(kTables));
    db->close();
  }
  EXPECT_EQ(mdbTables(file).size(), static_cast<size_t>(kTables));
  EXPECT_EQ(mdbExport(file, "MSysObjects", "CP932").size(), static_cast<size_t>(kTables + 8));
  EXPECT_EQ(mdbExport(file, "MSysACEs", "CP932").size(), static_cast<size_t>(kTables * 3 + 23));
  const auto row = mdbExport(file, "表_399", "CP932");
  ASSERT_EQ(row.size(), 1u);
  EXPECT_EQ(*row[0][1], "表_399");
  EXPECT_EQ(indexFaults(file), "");
  // The name index no longer fits one leaf: its root is an intermediate page.
  jet3::JetFileReader reader(file);
  const jet3::TableInfo objects = reader.readTable(fmt::kMSysObjectsTdef);
  EXPECT_EQ(reader.page(objects.def.realIndexes[0].rootPage)->at(0), fmt::kPageIndexNode);
  // Old index pages went back to the free map and were reused: the file stays compact.
  EXPECT_LT(reader.pageCount(), 20u + kTables * 3u + 200u);

  // The walk does notice a catalog whose index disagrees with its rows.
  const std::string tampered = dir.path("tampered.mdb");
  std::filesystem::copy_file(file, tampered);
  {
    std::fstream f(tampered, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(fmt::kMSysObjectsTdef * fmt::kPageSize + fmt::kTdefRowCount);
    const char fewer[4] = {static_cast<char>((kTables + 7) & 0xFF), static_cast<char>((kTables + 7) >> 8), 0, 0};
    f.write(fewer, 4);
  }
  EXPECT_NE(indexFaults(tampered), "");
}

TEST(WriterCatalog, TableNamesAreComparedWithoutLetterCase) {
  ScratchDir dir;
  auto db = jetWorkspace()->createDatabase(dir.path("names.mdb"), dao::dbLangJapanese);
  addTable(*db, "Emp", 1);
  dao::TableDef again("EMP");
  again.appendField(again.createField("X", dao::dbLong));
  try {
    db->appendTableDef(again);
    FAIL() << "a second EMP was accepted";
  } catch (const dao::Error& e) {
    // The refusal names both spellings: the one asked for and the one already there.
    EXPECT_NE(e.description().find("'EMP' は既存のテーブル 'Emp'"), std::string::npos) << e.description();
  }
  dao::TableDef system("msysobjects");
  system.appendField(system.createField("X", dao::dbLong));
  EXPECT_THROW(db->appendTableDef(system), dao::Error);
  EXPECT_EQ(db->tableNames(), std::vector<std::string>{"Emp"});
  db->close();
}

TEST(WriterCatalog, OurFileReopenedTakesMoreTables) {
  ScratchDir dir;
  const std::string file = dir.path("again.mdb");
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    for (int i = 0; i < 40; ++i) addTable(*db, "最初_" + std::to_string(i), i);
    db->close();
  }
  {
    auto db = jetWorkspace()->openDatabase(file, 1);
    EXPECT_EQ(db->tableNames().size(), 40u);
    for (int i = 0; i < 40; ++i) addTable(*db, "追加_" + std::to_string(i), 100 + i);
    db->close();
  }
  EXPECT_EQ(mdbTables(file).size(), 80u);
  EXPECT_EQ(*mdbExport(file, "最初_7", "CP932")[0][1], "最初_7");
  EXPECT_EQ(*mdbExport(file, "追加_39", "CP932")[0][0], "139");
  EXPECT_EQ(indexFaults(file), "");
}

TEST(WriterCatalog, TablesAppendedToFilesWrittenByJetAndAccess) {
  for (const char* name : {"testIndexCodesV1997.mdb", "nwind.mdb", "size97.mdb"}) {
    SCOPED_TRACE(name);
    ScratchDir dir;
    const std::string file = copyOfReference(dir, name);
    const std::vector<std::string> before = mdbTables(file);
    const std::string firstTable = before.front();
    const auto firstRows = mdbExport(file, firstTable);
    // Jet leaves its distinct-key counts above the real ones after deletions; appending keeps the
    // difference as Jet would (each new key counts one).
    std::map<std::string, int64_t> surplusBefore, surplusAfter;
    ASSERT_EQ(indexFaults(file, {"MSysObjects", "MSysACEs"}, &surplusBefore), "");
    {
      auto db = jetWorkspace()->openDatabase(file, 1);
      for (int i = 0; i < 60; ++i) addTable(*db, "APPENDED_" + std::to_string(i), i);
      db->close();
    }
    EXPECT_EQ(mdbVersion(file), "JET3");
    EXPECT_EQ(mdbTables(file).size(), before.size() + 60);
    EXPECT_EQ(mdbExport(file, firstTable), firstRows);
    EXPECT_EQ(*mdbExport(file, "APPENDED_59")[0][1], "APPENDED_59");
    EXPECT_EQ(indexFaults(file, {"MSysObjects", "MSysACEs"}, &surplusAfter), "");
    EXPECT_EQ(surplusAfter, surplusBefore);
    EXPECT_EQ(indexFaults(file, {"APPENDED_0"}), "");
  }
}

namespace {

// Levels of the MSysObjects name index (ParentIdName), by its leftmost path.
int nameIndexLevels(const std::string& file) {
  jet3::JetFileReader reader(file);
  const jet3::TableInfo objects = reader.readTable(fmt::kMSysObjectsTdef);
  uint32_t page = objects.def.realIndexes[0].rootPage;
  for (int levels = 1;; ++levels) {
    const jet3::IndexPage p = jet3::decodeIndexPage(page, *reader.page(page));
    if (p.leaf) return levels;
    page = p.entries.empty() ? p.tail : jet3::loadIndexChild(p.entries.front());
  }
}

}  // namespace

TEST(WriterCatalog, NameIndexGrowsLevelsUnderAppendsFallingEverywhere) {
  ScratchDir dir;
  const std::string file = dir.path("levels.mdb");
  auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
  // Long names (few a page), appended in bit-reversed order of their sort order: each falls
  // between two earlier ones; every eighth goes before or after all the others.
  const int kMost = 1024;
  int appended = 0;
  for (int i = 0; i < kMost && nameIndexLevels(file) < 3; ++i) {
    int k = 0;
    for (int b = 0; b < 10; ++b) k |= ((i >> b) & 1) << (9 - b);
    std::string name = std::string(50, 'M') + "_" + std::to_string(10000 + k);
    if (i % 8 == 3) name = "A" + std::to_string(100000 - i) + std::string(50, 'a');
    if (i % 8 == 5) name = "Z" + std::to_string(100000 + i) + std::string(50, 'z');
    addTable(*db, name, i);
    ++appended;
    ASSERT_EQ(indexFaults(file, {"MSysObjects", "MSysACEs"}), "") << "after " << name;
  }
  db->close();
  EXPECT_EQ(nameIndexLevels(file), 3) << "after " << appended << " tables";
  EXPECT_EQ(indexFaults(file), "");
  EXPECT_EQ(mdbTables(file).size(), static_cast<size_t>(appended));
}
