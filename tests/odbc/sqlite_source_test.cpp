// Reading the demo source (SQLite through its ODBC driver): reported field types and sizes,
// exact values of every kind, long values in chunks, block fetch, the dictionary queries, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "dataaccess/odbc/odbc_recordset.h"
#include "odbc_sources.h"

using namespace vellicor;
using namespace vellicor::odbc::testing;

namespace {

dao::Variant at(dao::Recordset& rs, const char* name) { return rs.fields()[std::string_view(name)].value(); }

dao::Date date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return dao::toOleDate(dao::CivilTime{y, mo, d, h, mi, s, ms});
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

dao::Bytes pattern(int n) {
  dao::Bytes b(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(i % 256);
  return b;
}

class SqliteSource : public ::testing::Test {
 protected:
  void SetUp() override { src_ = openSource(sqliteConnect()); }
  std::unique_ptr<dao::Recordset> open(const std::string& sql) { return src_.db->openRecordset(sql); }
  Source src_;
};

TEST_F(SqliteSource, ReportsDaoTypesAndSizesOfTheDemoColumns) {
  auto rs = open("select * from ALL_TYPES");
  struct Expect {
    int16_t type;
    int32_t size;
  };
  // The driver reports character columns as narrow: their declared length is their size in bytes.
  const std::map<std::string, Expect> expected = {
      {"ID", {dao::dbLong, 4}},        {"C_NUM4", {dao::dbInteger, 2}},   {"C_NUM9", {dao::dbLong, 4}},
      {"C_NUM10_2", {dao::dbDouble, 8}}, {"C_NUM15", {dao::dbDouble, 8}}, {"C_NUM18", {dao::dbText, 20}},
      {"C_NUM28", {dao::dbText, 40}},  {"C_TINY", {dao::dbInteger, 2}},   {"C_FLAG", {dao::dbBoolean, 1}},
      {"C_DOUBLE", {dao::dbDouble, 8}}, {"C_CHAR", {dao::dbText, 20}},    {"C_VARCHAR", {dao::dbText, 100}},
      {"C_CLOB", {dao::dbMemo, 0}},    {"C_BLOB", {dao::dbLongBinary, 0}}, {"C_RAW", {dao::dbBinary, 255}},
      {"C_DATE", {dao::dbDate, 8}},    {"C_TS", {dao::dbTimeStamp, 8}},
  };
  ASSERT_EQ(rs->fields().count(), static_cast<int>(expected.size()));
  for (int i = 0; i < rs->fields().count(); ++i) {
    dao::Field& f = rs->fields()[i];
    auto it = expected.find(f.name());
    ASSERT_NE(it, expected.end()) << f.name();
    EXPECT_EQ(f.type(), it->second.type) << f.name();
    EXPECT_EQ(f.size(), it->second.size) << f.name();
  }
}

TEST_F(SqliteSource, DeliversExactValuesNullsAndExtremes) {
  auto rs = open("select * from ALL_TYPES order by ID");
  ASSERT_FALSE(rs->eof());
  EXPECT_EQ(at(*rs, "C_NUM4"), dao::Variant(int16_t{1234}));
  EXPECT_EQ(at(*rs, "C_NUM9"), dao::Variant(int32_t{123456789}));
  EXPECT_EQ(at(*rs, "C_NUM10_2"), dao::Variant(12345678.91));
  EXPECT_EQ(at(*rs, "C_NUM15"), dao::Variant(123456789012345.0));
  EXPECT_EQ(at(*rs, "C_NUM18"), dao::Variant(std::string("123456789012345678")));
  EXPECT_EQ(at(*rs, "C_NUM28"), dao::Variant(std::string("1234567890123456789012345678")));
  EXPECT_EQ(at(*rs, "C_TINY"), dao::Variant(int16_t{127}));
  EXPECT_EQ(at(*rs, "C_FLAG"), dao::Variant(true));
  // The SQLite driver passes doubles on with 15 significant digits.
  EXPECT_EQ(at(*rs, "C_DOUBLE"), dao::Variant(2.71828182845905));
  EXPECT_EQ(at(*rs, "C_CHAR"), dao::Variant(std::string("ABC")));
  EXPECT_EQ(at(*rs, "C_VARCHAR"), dao::Variant(std::string("日本語のテキスト")));
  EXPECT_EQ(at(*rs, "C_CLOB"), dao::Variant(std::string("短いメモ")));
  EXPECT_EQ(at(*rs, "C_BLOB"), dao::Variant(dao::Bytes{0x00, 0xFF, 0x10}));
  EXPECT_EQ(at(*rs, "C_RAW"), dao::Variant(dao::Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(at(*rs, "C_DATE"), dao::Variant(date(2024, 2, 29)));
  EXPECT_EQ(at(*rs, "C_TS"), dao::Variant(date(2024, 2, 29, 13, 45, 30, 250)));

  rs->moveNext();
  ASSERT_FALSE(rs->eof());
  for (int i = 1; i < rs->fields().count(); ++i) {
    EXPECT_TRUE(dao::isNull(rs->fields()[i].value())) << rs->fields()[i].name();
    EXPECT_EQ(rs->fields()[i].fieldSize(), 0) << rs->fields()[i].name();
  }

  rs->moveNext();
  ASSERT_FALSE(rs->eof());
  EXPECT_EQ(at(*rs, "C_NUM4"), dao::Variant(int16_t{-9999}));
  EXPECT_EQ(at(*rs, "C_NUM9"), dao::Variant(int32_t{-999999999}));
  EXPECT_EQ(at(*rs, "C_NUM10_2"), dao::Variant(-99999999.99));
  EXPECT_EQ(at(*rs, "C_NUM15"), dao::Variant(-999999999999999.0));
  EXPECT_EQ(at(*rs, "C_NUM18"), dao::Variant(std::string("-9223372036854775808")));
  EXPECT_EQ(at(*rs, "C_NUM28"), dao::Variant(std::string("-9999999999999999999999999999")));
  EXPECT_EQ(at(*rs, "C_TINY"), dao::Variant(int16_t{-128}));
  EXPECT_EQ(at(*rs, "C_FLAG"), dao::Variant(false));
  EXPECT_EQ(at(*rs, "C_DOUBLE"), dao::Variant(-1e300));
  EXPECT_EQ(at(*rs, "C_CHAR"), dao::Variant(std::string("全角１０文字ちょうど")));
  EXPECT_EQ(at(*rs, "C_VARCHAR"), dao::Variant(std::string()));
  EXPECT_EQ(at(*rs, "C_RAW"), dao::Variant(dao::Bytes{}));
  EXPECT_EQ(at(*rs, "C_DATE"), dao::Variant(date(1900, 1, 1)));
  EXPECT_EQ(at(*rs, "C_TS"), dao::Variant(date(9999, 12, 31, 23, 59, 59)));

  rs->moveNext();
  EXPECT_TRUE(rs->eof());
  EXPECT_THROW(rs->moveNext(), dao::Error);
  EXPECT_THROW(rs->fields()[0].value(), dao::Error);
}

TEST_F(SqliteSource, LongValuesComeInChunksAtAnyOffset) {
  auto rs = open("select ID, C_CLOB, C_BLOB from ALL_TYPES where ID = 3");
  ASSERT_FALSE(rs->eof());
  dao::Field& memo = rs->fields()["c_clob"];
  dao::Field& blob = rs->fields()["C_BLOB"];
  const std::string text = repeat("日本語の長いテキスト。", 100);
  ASSERT_EQ(memo.fieldSize(), static_cast<int64_t>(text.size()));  // UTF-8 bytes: 3,300
  std::string joined;
  for (int64_t off = 0; off < memo.fieldSize(); off += 1000) {
    dao::Bytes piece = memo.getChunk(off, 1000);
    EXPECT_EQ(piece.size(), static_cast<size_t>(std::min<int64_t>(1000, memo.fieldSize() - off)));
    joined.append(piece.begin(), piece.end());
  }
  EXPECT_EQ(joined, text);
  EXPECT_EQ(memo.value(), dao::Variant(text));

  // Asked out of order, and the binary after the text: every piece is the right one.
  const dao::Bytes bytes = pattern(2500);
  ASSERT_EQ(blob.fieldSize(), 2500);
  EXPECT_EQ(blob.getChunk(2000, 1000), dao::Bytes(bytes.begin() + 2000, bytes.end()));
  EXPECT_EQ(blob.getChunk(0, 1000), dao::Bytes(bytes.begin(), bytes.begin() + 1000));
  EXPECT_EQ(blob.getChunk(1000, 1000), dao::Bytes(bytes.begin() + 1000, bytes.begin() + 2000));
  EXPECT_TRUE(blob.getChunk(2500, 1000).empty());
  EXPECT_EQ(rs->fields()["ID"].value(), dao::Variant(int32_t{3}));
  EXPECT_THROW(blob.getChunk(-1, 10), dao::Error);
}

TEST_F(SqliteSource, LongColumnsReadInAnyOrderAndAcrossRows) {
  // The long columns come first here, so every column is read with SQLGetData.
  auto rs = open("select C_BLOB, C_CLOB, ID, C_VARCHAR from ALL_TYPES order by ID");
  int rows = 0;
  for (; !rs->eof(); rs->moveNext(), ++rows) {
    const dao::Variant id = rs->fields()["ID"].value();  // after the long columns: reads them first
    const dao::Variant vc = rs->fields()["C_VARCHAR"].value();
    const int64_t blobSize = rs->fields()["C_BLOB"].fieldSize();
    if (id == dao::Variant(int32_t{1})) {
      EXPECT_EQ(vc, dao::Variant(std::string("日本語のテキスト")));
      EXPECT_EQ(blobSize, 3);
    } else if (id == dao::Variant(int32_t{2})) {
      EXPECT_TRUE(dao::isNull(rs->fields()["C_CLOB"].value()));
      EXPECT_EQ(blobSize, 0);
    } else {
      EXPECT_EQ(blobSize, 2500);
      EXPECT_EQ(rs->fields()["C_CLOB"].fieldSize(), 3300);
    }
  }
  EXPECT_EQ(rows, 3);
}

TEST_F(SqliteSource, BlockFetchWalksEveryRowAcrossBlocks) {
  auto rs = open("select N, LABEL, AMOUNT from SALES_LOG order by N");
  auto* odbcRs = dynamic_cast<odbc::OdbcRecordset*>(rs.get());
  ASSERT_NE(odbcRs, nullptr);
  EXPECT_GT(odbcRs->blockRows(), 1u);
  EXPECT_LT(odbcRs->blockRows(), 2500u);  // so the walk crosses block boundaries
  int32_t expected = 1;
  double sum = 0;
  for (; !rs->eof(); rs->moveNext(), ++expected) {
    ASSERT_EQ(rs->fields()[0].value(), dao::Variant(expected));
    ASSERT_EQ(rs->fields()[1].value(), dao::Variant("行" + std::to_string(expected)));
    sum += std::get<double>(rs->fields()[2].value());
  }
  EXPECT_EQ(expected, 2501);
  EXPECT_DOUBLE_EQ(sum, 1.25 * 2500 * 2501 / 2);
}

TEST_F(SqliteSource, DictionaryQueriesAnswerAsOracleDoes) {
  auto none = open("select * from user_objects  where rownum<0");
  EXPECT_TRUE(none->eof());
  EXPECT_NO_THROW(none->fields()["OBJECT_NAME"]);

  auto count = open("select count(*) from user_objects  where object_type in ('TABLE','VIEW')");
  ASSERT_FALSE(count->eof());
  EXPECT_EQ(dao::toDisplayText(count->fields()[0].value()), "5");

  auto list = open("select * from user_objects  where object_type in ('SYNONYM')");
  ASSERT_FALSE(list->eof());
  EXPECT_EQ(list->fields()["object_name"].type(), dao::dbText);
  EXPECT_EQ(list->fields()["OBJECT_NAME"].value(), dao::Variant(std::string("EMP")));
  list->moveNext();
  EXPECT_TRUE(list->eof());

  // The synonym answers under its own name.
  auto syn = open("select count(*) from EMP");
  EXPECT_EQ(dao::toDisplayText(syn->fields()[0].value()), "5");

  auto seq = open("select * from USER_SEQUENCES");
  const char* columns[] = {"SEQUENCE_NAME", "MIN_VALUE", "MAX_VALUE",  "INCREMENT_BY",
                           "CYCLE_FLAG",    "ORDER_FLAG", "CACHE_SIZE", "LAST_NUMBER"};
  ASSERT_EQ(seq->fields().count(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(seq->fields()[i].name(), columns[i]);
  EXPECT_EQ(at(*seq, "MAX_VALUE"), dao::Variant(std::string("9999999999999999999999999999")));
  EXPECT_EQ(at(*seq, "LAST_NUMBER"), dao::Variant(std::string("8001")));
}

TEST_F(SqliteSource, EveryListedObjectReadsWithTypesTheConversionAccepts) {
  // The DAO codes the conversion maps to a Jet field; anything else stops it.
  const std::vector<int16_t> accepted = {dao::dbBoolean, dao::dbByte,   dao::dbInteger,   dao::dbLong,
                                         dao::dbCurrency, dao::dbSingle, dao::dbDouble,    dao::dbDate,
                                         dao::dbBinary,  dao::dbText,   dao::dbLongBinary, dao::dbMemo,
                                         dao::dbBigInt,  dao::dbChar,   dao::dbNumeric,   dao::dbDecimal,
                                         dao::dbFloat,   dao::dbTimeStamp};
  std::vector<std::string> names;
  for (auto rs = open("select * from user_objects  where object_type in ('TABLE','VIEW','SYNONYM')"); !rs->eof();
       rs->moveNext()) {
    names.push_back(std::get<std::string>(rs->fields()["OBJECT_NAME"].value()));
  }
  names.push_back("USER_SEQUENCES");
  ASSERT_EQ(names.size(), 7u);
  for (const std::string& name : names) {
    auto rs = open("select * from " + name);
    ASSERT_GT(rs->fields().count(), 0) << name;
    for (int i = 0; i < rs->fields().count(); ++i) {
      dao::Field& f = rs->fields()[i];
      EXPECT_NE(std::find(accepted.begin(), accepted.end(), f.type()), accepted.end())
          << name << "." << f.name() << " type " << f.type();
      EXPECT_EQ(f.name().find('.'), std::string::npos) << name << "." << f.name();
    }
    long rows = 0;
    for (; !rs->eof(); rs->moveNext(), ++rows) {
      for (int i = 0; i < rs->fields().count(); ++i) rs->fields()[i].value();
    }
    EXPECT_GT(rows, 0) << name;
  }
}

TEST_F(SqliteSource, TableNamesListTablesAndViews) {
  const std::vector<std::string> names = src_.db->tableNames();
  for (const char* expected : {"DEPARTMENTS", "EMPLOYEES", "EMP_DEPT", "EMP", "USER_SEQUENCES"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
  }
}

TEST_F(SqliteSource, FailuresRaiseTheDriversText) {
  try {
    open("select * from NO_SUCH_TABLE");
    FAIL() << "no error";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("no such table"), std::string::npos) << e.description();
  }
  auto rs = open("select * from DEPARTMENTS");
  EXPECT_THROW(rs->fields()["NO_SUCH_FIELD"], dao::Error);
  EXPECT_THROW(rs->fields()[99], dao::Error);
}

TEST_F(SqliteSource, RefusesEveryWrite) {
  auto rs = open("select * from DEPARTMENTS");
  EXPECT_THROW(rs->addNew(), dao::Error);
  EXPECT_THROW(rs->update(), dao::Error);
  EXPECT_THROW(rs->fields()[0].setValue(dao::Variant(int16_t{1})), dao::Error);
  EXPECT_THROW(rs->fields()[1].appendChunk(dao::Bytes{1}), dao::Error);
  EXPECT_THROW(src_.db->appendTableDef(dao::TableDef("X")), dao::Error);
  EXPECT_THROW(src_.workspace->createDatabase("x.mdb", dao::dbLangJapanese), dao::Error);
}

TEST_F(SqliteSource, ClosingTheDatabaseInvalidatesItsRecordsets) {
  auto rs = open("select * from SALES_LOG");
  ASSERT_FALSE(rs->eof());
  src_.db->close();
  EXPECT_THROW(rs->moveNext(), dao::Error);
  EXPECT_THROW(rs->fields()[0].value(), dao::Error);
  EXPECT_THROW(src_.db->openRecordset("select 1"), dao::Error);
  rs->close();  // closing twice is harmless
}

TEST_F(SqliteSource, ClosingTheWorkspaceClosesItsDatabases) {
  auto rs = open("select * from DEPARTMENTS");
  src_.workspace->close();
  EXPECT_THROW(rs->eof(), dao::Error);
  EXPECT_THROW(src_.db->openRecordset("select 1"), dao::Error);
  EXPECT_THROW(src_.workspace->openDatabase("", dao::dbDriverNoPrompt, true, sqliteConnect()), dao::Error);
}

TEST(SqliteOddColumns, TypesTheRunRefusesKeepTheirOwnCodes) {
  const std::string connect = sqliteConnectWith("odd", R"(
    CREATE TABLE ODD_TYPES (C_RAW VARBINARY(16), C_TIME TIME, C_LONGRAW VARBINARY(2000));
    INSERT INTO ODD_TYPES VALUES (X'0102', '12:34:56', X'FF');
  )");
  Source src = openSource(connect);
  auto rs = src.db->openRecordset("select * from ODD_TYPES");
  EXPECT_EQ(rs->fields()["C_RAW"].type(), dao::dbVarBinary);
  EXPECT_EQ(rs->fields()["C_RAW"].size(), 16);
  EXPECT_EQ(rs->fields()["C_RAW"].value(), dao::Variant(dao::Bytes{1, 2}));
  EXPECT_EQ(rs->fields()["C_TIME"].type(), dao::dbTime);
  EXPECT_EQ(rs->fields()["C_TIME"].value(), dao::Variant(dao::toOleDate(dao::CivilTime{1899, 12, 30, 12, 34, 56, 0})));
  EXPECT_EQ(rs->fields()["C_LONGRAW"].type(), dao::dbLongBinary);
}

TEST(SqliteOddColumns, ValueLongerThanTheDeclaredSizeIsAnErrorNotACut) {
  // SQLite does not enforce declared lengths; a value the driver cannot fit must not be shortened.
  const std::string connect = sqliteConnectWith("long", R"(
    CREATE TABLE SHORT_COL (NAME VARCHAR2(5));
    INSERT INTO SHORT_COL VALUES ('12345');
    INSERT INTO SHORT_COL VALUES ('これは五文字を超える長い値です');
  )");
  Source src = openSource(connect);
  auto rs = src.db->openRecordset("select NAME from SHORT_COL");
  EXPECT_EQ(rs->fields()[0].value(), dao::Variant(std::string("12345")));
  rs->moveNext();
  try {
    rs->fields()[0].value();
    FAIL() << "a value longer than its column was handed out";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("NAME"), std::string::npos) << e.description();
  }
}

}  // namespace
