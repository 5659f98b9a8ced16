// Indexes appended to tables that hold rows: the trees our walker and the read side's verify
// against the rows, what mdbtools shows of them, the refusals and what the file is after them, and
// the bounded-memory sort underneath.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/entry_sorter.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

namespace vellicor::jet3 {
namespace {

dao::IndexDef indexOf(std::string name, std::vector<dao::IndexDef::Column> columns, bool primary = false,
                      bool unique = true, bool ignoreNulls = false) {
  dao::IndexDef d;
  d.name = std::move(name);
  d.columns = std::move(columns);
  d.primary = primary;
  d.unique = unique;
  d.ignoreNulls = ignoreNulls;
  return d;
}

std::string wholeFileFaults(const std::string& path) {
  JetFileReader reader(path);
  const FileCheckResult r = checkFile(reader);
  return r.clean() && r.unreferencedInUse.empty() ? std::string() : formatFileCheck(r);
}

// Orders: rows in shuffled ID order; Code repeats every 7 rows with Placed telling them apart;
// Note is Null on every 5th row, and on every 10th Code and Placed are Null as well.
void writeOrders(dao::Database& db, int rows) {
  auto def = db.createTableDef("Orders");
  def->appendField(def->createField("ID", dao::dbLong));
  def->appendField(def->createField("Code", dao::dbText, 10));
  def->appendField(def->createField("Placed", dao::dbDate));
  def->appendField(def->createField("Amount", dao::dbCurrency));
  def->appendField(def->createField("Shipped", dao::dbBoolean));
  def->appendField(def->createField("Ratio", dao::dbDouble));
  def->appendField(def->createField("Note", dao::dbText, 40));
  def->appendField(def->createField("Memo", dao::dbMemo));
  db.appendTableDef(*def);
  std::vector<int32_t> ids(static_cast<size_t>(rows));
  for (int i = 0; i < rows; ++i) ids[static_cast<size_t>(i)] = i * 3 - rows;
  std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
  auto rs = db.openRecordset("Orders", dao::dbOpenTable);
  for (int i = 0; i < rows; ++i) {
    rs->addNew();
    rs->fields()["ID"].setValue(ids[static_cast<size_t>(i)]);
    if (i % 10 != 0) {
      rs->fields()["Code"].setValue("C-" + std::to_string(i % 7));
      rs->fields()["Placed"].setValue(dao::Date{36000.0 + i / 7 + (i % 3) * 0.25});
    }
    rs->fields()["Amount"].setValue(dao::Currency{int64_t{i} * 12345 - 99999});
    rs->fields()["Shipped"].setValue(i % 2 == 0);
    rs->fields()["Ratio"].setValue(i % 4 == 0 ? -1.0 / (i + 1) : i * 0.5);
    if (i % 5 != 0) rs->fields()["Note"].setValue("note " + std::to_string(i % 500));
    rs->update();
  }
  rs->close();
}

TEST(TableIndex, KeysOverManyRowsVerifyAndEveryReaderSeesThem) {
  testing::ScratchDir dir;
  const std::string path = dir.path("keys.mdb");
  {
    auto ws = testing::jetWorkspace();
    auto db = ws->createDatabase(path, dao::dbLangJapanese);
    writeOrders(*db, 40000);
    db->appendIndex("Orders", indexOf("PrimaryKey", {{"ID"}}, true));
    db->appendIndex("Orders", indexOf("CodePlaced", {{"Code"}, {"Placed", false}}, false, true, true));
    db->appendIndex("Orders", indexOf("ByAmount", {{"Amount", false}, {"Shipped"}, {"Ratio"}}, false, false));
    db->appendIndex("Orders", indexOf("ByNote", {{"Note"}}, false, false));
    // The table is finished: rows added now would be missing from its indexes.
    auto rs = db->openRecordset("Orders", dao::dbOpenTable);
    EXPECT_THROW(rs->addNew(), dao::Error);
    rs->close();
    db->close();
    ws->close();
  }
  EXPECT_EQ(testing::indexFaults(path), "");
  EXPECT_EQ(wholeFileFaults(path), "");
  const std::string schema = testing::runCommand("mdb-schema -T Orders " + testing::shellQuote(path) + " postgres 2>&1");
  EXPECT_NE(schema.find("PRIMARY KEY (\"id\")"), std::string::npos) << schema;
  EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"orders_codeplaced_idx\" ON \"orders\" (\"code\", \"placed\" DESC)"),
            std::string::npos)
      << schema;
  EXPECT_NE(schema.find("\"orders_byamount_idx\" ON \"orders\" (\"amount\" DESC, \"shipped\", \"ratio\")"),
            std::string::npos)
      << schema;
  // The rows read back in full by an outside reader.
  EXPECT_EQ(testing::mdbExport(path, "Orders").size(), 40000u);

  // Reopened: another table gets a key, the first keeps its indexes.
  {
    auto ws = testing::jetWorkspace();
    auto db = ws->openDatabase(path, 1);
    auto def = db->createTableDef("Small");
    def->appendField(def->createField("K", dao::dbText, 5));
    db->appendTableDef(*def);
    auto rs = db->openRecordset("Small", dao::dbOpenTable);
    for (const char* k : {"b", "A", "c"}) {
      rs->addNew();
      rs->fields()["K"].setValue(std::string(k));
      rs->update();
    }
    rs->close();
    db->appendIndex("Small", indexOf("PrimaryKey", {{"K"}}, true));
    EXPECT_THROW(db->appendIndex("Orders", indexOf("Again", {{"ID"}}, true)), dao::Error);  // one primary key
    db->close();
    ws->close();
  }
  EXPECT_EQ(testing::indexFaults(path), "");
  EXPECT_EQ(wholeFileFaults(path), "");
}

TEST(TableIndex, RefusedIndexesNameTheRowAndLeaveTheFileAsItWas) {
  testing::ScratchDir dir;
  const std::string path = dir.path("refused.mdb");
  auto ws = testing::jetWorkspace();
  auto db = ws->createDatabase(path, dao::dbLangJapanese);
  auto def = db->createTableDef("People");
  def->appendField(def->createField("ID", dao::dbLong));
  def->appendField(def->createField("Name", dao::dbText, 20));
  def->appendField(def->createField("Bio", dao::dbMemo));
  for (int c = 0; c < 11; ++c) def->appendField(def->createField("F" + std::to_string(c), dao::dbInteger));
  db->appendTableDef(*def);
  auto rs = db->openRecordset("People", dao::dbOpenTable);
  const std::vector<std::pair<int32_t, std::string>> rows = {{1, "ann"}, {2, "bob"}, {3, "山田"}, {2, "cy"}, {5, ""}};
  for (const auto& [id, name] : rows) {
    rs->addNew();
    rs->fields()["ID"].setValue(id);
    if (id != 5) {
      rs->fields()["Name"].setValue(name);
      rs->fields()["F0"].setValue(int16_t{7});
    }
    rs->update();
  }
  rs->close();
  auto refusal = [&](const dao::IndexDef& index) {
    try {
      db->appendIndex("People", index);
    } catch (const dao::Error& e) {
      return e.description();
    }
    return std::string("(built)");
  };
  // Rows 2 and 4 share ID 2.
  const std::string dup = refusal(indexOf("PrimaryKey", {{"ID"}}, true));
  EXPECT_NE(dup.find("ID=2 (2 件目と 4 件目のレコード)"), std::string::npos) << dup;
  // A Japanese text whose General key is not known exactly: row 3.
  const std::string kana = refusal(indexOf("ByName", {{"Name"}}, false, false));
  EXPECT_NE(kana.find("3 件目のレコード"), std::string::npos) << kana;
  // A required key with a Null: row 5.
  dao::IndexDef required = indexOf("Req", {{"ID"}, {"F0"}}, false, false);
  required.required = true;
  EXPECT_NE(refusal(required).find("5 件目のレコード"), std::string::npos);
  EXPECT_NE(refusal(indexOf("ByBio", {{"Bio"}})).find("メモ型"), std::string::npos);
  std::vector<dao::IndexDef::Column> eleven;
  for (int c = 0; c < 11; ++c) eleven.push_back({"F" + std::to_string(c)});
  EXPECT_NE(refusal(indexOf("Wide", eleven, false, false)).find("10 個まで"), std::string::npos);
  EXPECT_NE(refusal(indexOf("Nope", {{"Missing"}})).find("Missing"), std::string::npos);
  EXPECT_NE(refusal(indexOf("Bad!Name", {{"ID"}})).find("Bad!Name"), std::string::npos);

  // What fits is built; 32 in all, then the 33rd is refused.
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(refusal(indexOf("ix" + std::to_string(i), {{"F" + std::to_string(i % 11)}, {"ID"}}, false, false)), "(built)");
  }
  EXPECT_NE(refusal(indexOf("ix32", {{"F0"}}, false, false)).find("32 個まで"), std::string::npos);
  EXPECT_NE(refusal(indexOf("IX0", {{"F1"}}, false, false)).find("同じ名前"), std::string::npos);  // names compare as Jet's do
  db->close();
  ws->close();
  EXPECT_EQ(testing::indexFaults(path), "");
  EXPECT_EQ(wholeFileFaults(path), "");
  // The definition grew past its first page (32 indexes) and reads back whole.
  JetFileReader reader(path);
  const TableInfo people = reader.table("People");
  EXPECT_EQ(people.def.logicalIndexes.size(), 32u);
  EXPECT_GT(people.tdefPages.size(), 1u);
}

TEST(EntrySorter, RunsOnDiskMergeToTheOrderOfOneSortInMemory) {
  std::mt19937 random(11);
  std::vector<std::pair<std::vector<uint8_t>, uint32_t>> entries;
  for (uint32_t i = 0; i < 60000; ++i) {
    std::vector<uint8_t> e(1 + random() % 40);
    for (auto& b : e) b = static_cast<uint8_t>(random() % 4);  // many shared prefixes and equal entries
    entries.emplace_back(std::move(e), i);
  }
  for (const size_t budget : {size_t{1} << 16, EntrySorter::kDefaultBudget}) {
    EntrySorter sorter(budget);
    for (const auto& [e, n] : entries) sorter.add(e.data(), e.size(), n);
    sorter.finish();
    EXPECT_EQ(sorter.runsWritten() > 1, budget < EntrySorter::kDefaultBudget);
    auto expected = entries;
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    uint32_t number = 0;
    size_t i = 0;
    for (; sorter.next(bytes, size, number); ++i) {
      ASSERT_LT(i, expected.size());
      ASSERT_EQ(std::vector<uint8_t>(bytes, bytes + size), expected[i].first) << i;
      ASSERT_EQ(number, expected[i].second) << i;
    }
    EXPECT_EQ(i, expected.size());
  }
}

}  // namespace
}  // namespace vellicor::jet3
