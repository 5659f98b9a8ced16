// What Jet 3.5 refuses is refused, with a description that names the table, the field and the
// cause; and after every refusal the file still closes into one that readers read whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

namespace {

// Runs f, expects a dao::Error whose description holds every one of parts.
void expectRefusal(const std::function<void()>& f, std::initializer_list<std::string> parts) {
  try {
    f();
    ADD_FAILURE() << "accepted, expected a refusal mentioning " << *parts.begin();
  } catch (const dao::Error& e) {
    for (const std::string& p : parts) EXPECT_NE(e.description().find(p), std::string::npos) << e.description();
  }
}

class DaoJetRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.path("refusals.mdb");
    db_ = jetWorkspace()->createDatabase(file_, dao::dbLangJapanese);
    dao::TableDef td("GOOD");
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("NAME", dao::dbText, 6));
    td.appendField(td.createField("SMALL", dao::dbInteger));
    td.appendField(td.createField("B", dao::dbByte));
    td.appendField(td.createField("AT", dao::dbDate));
    td.appendField(td.createField("BIN", dao::dbBinary, 4));
    td.appendField(td.createField("NOTE", dao::dbMemo));
    db_->appendTableDef(td);
    rs_ = db_->openRecordset("GOOD");
    addRow(1, "最初");
  }

  void addRow(int id, const std::string& name) {
    rs_->addNew();
    rs_->fields()[0].setValue(int32_t{id});
    rs_->fields()[1].setValue(name);
    rs_->update();
  }

  // The file after the refusals: GOOD holds exactly the rows stored, and the catalog is valid.
  void checkFileAfterwards(const std::vector<std::string>& names) {
    rs_->close();
    db_->close();
    EXPECT_EQ(mdbVersion(file_), "JET3");
    EXPECT_EQ(mdbTables(file_), std::vector<std::string>{"GOOD"});
    const auto rows = mdbExport(file_, "GOOD", "CP932");
    ASSERT_EQ(rows.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(*rows[i][1], names[i]);
    EXPECT_EQ(indexFaults(file_), "");
  }

  ScratchDir dir_;
  std::string file_;
  std::unique_ptr<dao::Database> db_;
  std::unique_ptr<dao::Recordset> rs_;
};

}  // namespace

TEST_F(DaoJetRefusals, TableDefinitionsJetCannotHold) {
  auto table = [&](const std::string& name, std::function<void(dao::TableDef&)> fields) {
    return [this, name, fields] {
      dao::TableDef td(name);
      fields(td);
      db_->appendTableDef(td);
    };
  };
  auto oneLong = [](dao::TableDef& td) { td.appendField(td.createField("X", dao::dbLong)); };
  expectRefusal(table("BAD.NAME", oneLong), {"BAD.NAME", "使用できません"});
  expectRefusal(table(std::string(65, 'T'), oneLong), {"使用できません"});
  expectRefusal(table("表" + std::string(63, 'T'), oneLong), {"使用できません"});  // 65 bytes in CP932
  expectRefusal(table("good", oneLong), {"'good'", "'GOOD'", "同じ名前"});
  expectRefusal(table("GOOD", oneLong), {"'GOOD' は既に存在します"});
  // Double-byte names whose General keys coincide (ア 83 41, ヂ 83 61) clash like letter cases;
  // the refusal names the table already there.
  db_->appendTableDef([&] { dao::TableDef td("ア"); oneLong(td); return td; }());
  expectRefusal(table("ヂ", oneLong), {"'ヂ'", "'ア'", "同じ名前"});
  expectRefusal(table("EMPTY", [](dao::TableDef&) {}), {"EMPTY", "フィールド"});
  for (int16_t type : {16, 17, 18, 19, 20, 21, 22, 23}) {
    expectRefusal(table("T" + std::to_string(type),
                        [type](dao::TableDef& td) { td.appendField(td.createField("COL", type)); }),
                  {"T" + std::to_string(type), "'COL'", "(" + std::to_string(type) + ")", "使用できません"});
  }
  expectRefusal(table("TXT", [](dao::TableDef& td) { td.appendField(td.createField("LONGTEXT", dao::dbText, 256)); }),
                {"TXT", "LONGTEXT", "256"});
  expectRefusal(table("MANY",
                      [](dao::TableDef& td) {
                        for (int i = 0; i < 256; ++i) td.appendField(td.createField("F" + std::to_string(i), dao::dbLong));
                      }),
                {"MANY", "256"});
  expectRefusal(table("WIDE",
                      [](dao::TableDef& td) {
                        for (int i = 0; i < 255; ++i) td.appendField(td.createField("F" + std::to_string(i), dao::dbDouble));
                      }),
                {"WIDE", "1 ページに収まりません"});
  expectRefusal(table("BADFIELD", [](dao::TableDef& td) { td.appendField(td.createField("A!B", dao::dbLong)); }),
                {"BADFIELD", "A!B"});
  // 255 fields is the limit, not past it.
  dao::TableDef max("MAXFIELDS");
  for (int i = 0; i < 255; ++i) max.appendField(max.createField("F" + std::to_string(i), dao::dbLong));
  db_->appendTableDef(max);
  addRow(2, "二番目");
  rs_->close();
  db_->close();
  EXPECT_EQ(mdbTables(file_).size(), 3u);
  EXPECT_EQ(mdbExport(file_, "GOOD", "CP932").size(), 2u);
  EXPECT_EQ(indexFaults(file_), "");
}

TEST_F(DaoJetRefusals, ValuesAFieldCannotHold) {
  auto set = [this](int field, dao::Variant v) {
    return [this, field, v] {
      rs_->addNew();
      rs_->fields()[field].setValue(v);
    };
  };
  expectRefusal(set(1, std::string("日本語テ")), {"GOOD", "NAME", "長すぎます", "8 バイト", "最大 6 バイト"});
  expectRefusal(set(2, int32_t{40000}), {"GOOD", "SMALL", "40000", "範囲外"});
  expectRefusal(set(3, int16_t{-1}), {"GOOD", "'B'", "範囲外"});
  expectRefusal(set(0, 3.0e9), {"GOOD", "ID", "範囲外"});
  expectRefusal(set(0, std::string("abc")), {"GOOD", "ID", "型が一致しません"});
  expectRefusal(set(4, dao::toOleDate({99, 12, 31, 0, 0, 0, 0})), {"GOOD", "AT", "範囲外"});
  expectRefusal(set(4, dao::toOleDate({10000, 1, 1, 0, 0, 0, 0})), {"GOOD", "AT", "範囲外"});
  expectRefusal(set(4, std::string("2024/02/30")), {"GOOD", "AT", "型が一致しません"});
  expectRefusal(set(5, dao::Bytes(5, 1)), {"GOOD", "BIN", "長すぎます"});
  expectRefusal([this] { rs_->fields()[0].appendChunk(dao::Bytes{1}); }, {"GOOD", "ID", "AppendChunk"});
  expectRefusal([this] { rs_->update(); rs_->update(); }, {"GOOD", "AddNew"});
  // Conversions DAO makes are accepted: text to numbers and dates, halves rounded to even.
  rs_->addNew();
  rs_->fields()[0].setValue(std::string(" 42 "));
  rs_->fields()[1].setValue(std::string("変換"));
  rs_->fields()[2].setValue(2.5);
  rs_->fields()[3].setValue(std::string("255"));
  rs_->fields()[4].setValue(std::string("2024/02/29 12:34:56"));
  rs_->update();
  rs_->close();
  db_->close();
  const auto rows = mdbExport(file_, "GOOD", "CP932");
  // One row from SetUp, the refused update of an empty row above (allowed: all Null), and the last.
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(*rows[2][0], "42");
  EXPECT_EQ(*rows[2][2], "2");
  EXPECT_EQ(*rows[2][3], "255");
  EXPECT_EQ(*rows[2][4], "2024-02-29 12:34:56");
  EXPECT_EQ(indexFaults(file_), "");
}

TEST_F(DaoJetRefusals, RowTooLargeForAPageLeavesEarlierRows) {
  dao::TableDef td("BIGROW");
  for (int i = 0; i < 9; ++i) td.appendField(td.createField("T" + std::to_string(i), dao::dbText, 255));
  td.appendField(td.createField("M", dao::dbMemo));
  db_->appendTableDef(td);
  auto rs = db_->openRecordset("BIGROW");
  // Eight full columns fit (with a 60-byte memo moved out of the row to make room) ...
  rs->addNew();
  for (int i = 0; i < 7; ++i) rs->fields()[i].setValue(std::string(255, 'a' + i));
  rs->fields()[7].setValue(std::string(150, 'h'));
  rs->fields()[9].setValue(std::string(60, 'm'));
  rs->update();
  // ... nine do not.
  rs->addNew();
  for (int i = 0; i < 9; ++i) rs->fields()[i].setValue(std::string(255, 'a' + i));
  expectRefusal([&] { rs->update(); }, {"BIGROW", "大きすぎる"});
  rs->close();
  addRow(2, "後");
  rs_->close();
  db_->close();
  const auto rows = mdbExport(file_, "BIGROW", "CP932");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(*rows[0][7], std::string(150, 'h'));
  EXPECT_EQ(*rows[0][9], std::string(60, 'm'));
  EXPECT_EQ(mdbExport(file_, "GOOD", "CP932").size(), 2u);
  EXPECT_EQ(indexFaults(file_), "");
}

TEST_F(DaoJetRefusals, FileStaysWholeAfterAFailedAppend) {
  dao::TableDef td("ONE");
  td.appendField(td.createField("X", dao::dbLong));
  db_->appendTableDef(td);
  dao::TableDef bad("TWO");
  bad.appendField(bad.createField("Y", dao::dbDecimal));
  EXPECT_THROW(db_->appendTableDef(bad), dao::Error);
  addRow(2, "二");
  rs_->close();
  db_->close();
  EXPECT_EQ(mdbTables(file_), (std::vector<std::string>{"GOOD", "ONE"}));
  EXPECT_EQ(indexFaults(file_), "");
}

TEST(DaoJetSizeLimit, OneGigabyteIsRefusedCleanly) {
  // 1 MB values until the file would pass 1 GB: the refusal names the limit, the rows before it
  // stay, and the catalog can still take a table afterwards.
  ScratchDir dir;
  const std::string file = dir.path("full.mdb");
  int stored = 0;
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("BLOBS");
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("DATA", dao::dbLongBinary));
    db->appendTableDef(td);
    auto rs = db->openRecordset("BLOBS");
    const dao::Bytes megabyte(1 << 20, 0x5A);
    try {
      for (;; ++stored) {
        rs->addNew();
        rs->fields()[0].setValue(int32_t{stored});
        rs->fields()[1].setValue(megabyte);
        rs->update();
      }
    } catch (const dao::Error& e) {
      EXPECT_NE(e.description().find("1 GB"), std::string::npos) << e.description();
    }
    EXPECT_GT(stored, 1000);
    rs->close();
    dao::TableDef after("AFTER");
    after.appendField(after.createField("X", dao::dbLong));
    db->appendTableDef(after);
    db->close();
  }
  EXPECT_LE(std::filesystem::file_size(file), uint64_t{1} << 30);
  EXPECT_EQ(mdbVersion(file), "JET3");
  EXPECT_EQ(mdbTables(file), (std::vector<std::string>{"BLOBS", "AFTER"}));
  auto db = jetWorkspace()->openDatabase(file, 1, true);
  auto rs = db->openRecordset("BLOBS");
  int read = 0;
  for (; !rs->eof(); rs->moveNext(), ++read) ASSERT_EQ(rs->fields()[0].value(), dao::Variant(int32_t{read}));
  EXPECT_EQ(read, stored);
  db->close();
  EXPECT_EQ(indexFaults(file), "");
  // The global map spans every window up to the limit, and the whole-file check passes (the value
  // refused at the limit may leave the page its next piece would have gone to in use, unreferenced).
  jet3::JetFileReader reader(file);
  const jet3::FileCheckResult check = jet3::checkFile(reader);
  EXPECT_TRUE(check.clean()) << jet3::formatFileCheck(check);
  EXPECT_LE(check.unreferencedInUse.size(), 1u) << jet3::formatFileCheck(check);
}
