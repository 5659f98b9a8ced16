// Reading the PostgreSQL stand-in through psqlODBC: exact numerics and fixed-length text as the
// driver reports them, every value kind, connection failures with the driver's text, a connection
// lost in the middle of a read, odd object names and the dictionary views.
#include <gtest/gtest.h>

#include <map>

#include "dataaccess/odbc/connect_string.h"
#include "odbc_sources.h"

using namespace vellicor;
using namespace vellicor::odbc::testing;

namespace {

dao::Variant at(dao::Recordset& rs, const char* name) { return rs.fields()[std::string_view(name)].value(); }
dao::Variant text(const char* s) { return dao::Variant(std::string(s)); }

dao::Date date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return dao::toOleDate(dao::CivilTime{y, mo, d, h, mi, s, ms});
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class PgSource : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = pgSettings();
    VELLICOR_REQUIRE_PG(settings_);
    src_ = openSource(settings_.connect());
  }
  std::unique_ptr<dao::Recordset> open(const std::string& sql) { return src_.db->openRecordset(sql); }
  PgSettings settings_;
  Source src_;
};

TEST_F(PgSource, MapsExactNumericsAndFixedTextAsJetWould) {
  auto rs = open("select * from all_types");
  struct Expect {
    int16_t type;
    int32_t size;
  };
  // The Unicode driver reports character columns as wide: two bytes a character.
  const std::map<std::string, Expect> expected = {
      {"id", {dao::dbLong, 4}},           {"c_num4", {dao::dbInteger, 2}},   {"c_num9", {dao::dbLong, 4}},
      {"c_num15", {dao::dbDecimal, 15}},  {"c_num15_2", {dao::dbDecimal, 15}}, {"c_num20", {dao::dbText, 21}},
      {"c_num30_5", {dao::dbText, 32}},   {"c_number", {dao::dbText, 30}},   {"c_char", {dao::dbText, 20}},
      {"c_varchar", {dao::dbText, 200}},  {"c_vc200", {dao::dbMemo, 0}},     {"c_text", {dao::dbMemo, 0}},
      {"c_bytea", {dao::dbLongBinary, 0}}, {"c_date", {dao::dbDate, 8}},     {"c_ts", {dao::dbTimeStamp, 8}},
      {"c_int", {dao::dbLong, 4}},        {"c_small", {dao::dbInteger, 2}},  {"c_big", {dao::dbText, 20}},
      {"c_real", {dao::dbSingle, 4}},     {"c_double", {dao::dbDouble, 8}},  {"c_bool", {dao::dbBoolean, 1}},
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

TEST_F(PgSource, DeliversEveryKindOfValueExactly) {
  auto rs = open("select * from all_types order by id");
  ASSERT_FALSE(rs->eof());
  EXPECT_EQ(at(*rs, "c_num4"), dao::Variant(int16_t{1234}));
  EXPECT_EQ(at(*rs, "c_num9"), dao::Variant(int32_t{123456789}));
  EXPECT_EQ(at(*rs, "c_num15"), dao::Variant(123456789012345.0));
  EXPECT_EQ(at(*rs, "c_num15_2"), dao::Variant(1234567890123.45));
  EXPECT_EQ(at(*rs, "c_num20"), text("12345678901234567890"));
  EXPECT_EQ(at(*rs, "c_num30_5"), text("1234567890123456789012345.12345"));
  EXPECT_EQ(at(*rs, "c_number"), text("1234567890123456789012.123456"));
  EXPECT_EQ(at(*rs, "c_char"), text("ABC       "));  // fixed length: padded, as the server sends it
  EXPECT_EQ(at(*rs, "c_varchar"), text("日本語のテキスト"));
  EXPECT_EQ(at(*rs, "c_vc200"), text("ｶﾀｶﾅ・ひらがな・漢字"));
  EXPECT_EQ(at(*rs, "c_text"), text("短いメモ"));
  EXPECT_EQ(at(*rs, "c_bytea"), dao::Variant(dao::Bytes{0x00, 0xFF, 0x10}));
  EXPECT_EQ(at(*rs, "c_date"), dao::Variant(date(2024, 2, 29)));
  EXPECT_EQ(at(*rs, "c_ts"), dao::Variant(date(2024, 2, 29, 13, 45, 30, 250)));
  EXPECT_EQ(at(*rs, "c_int"), dao::Variant(int32_t{2147483647}));
  EXPECT_EQ(at(*rs, "c_small"), dao::Variant(int16_t{-32768}));
  EXPECT_EQ(at(*rs, "c_big"), text("9223372036854775807"));
  EXPECT_EQ(at(*rs, "c_real"), dao::Variant(1.5f));
  EXPECT_EQ(at(*rs, "c_double"), dao::Variant(2.718281828459045));
  EXPECT_EQ(at(*rs, "c_bool"), dao::Variant(true));

  rs->moveNext();
  for (int i = 1; i < rs->fields().count(); ++i) {
    EXPECT_TRUE(dao::isNull(rs->fields()[i].value())) << rs->fields()[i].name();
  }

  rs->moveNext();
  EXPECT_EQ(at(*rs, "c_num4"), dao::Variant(int16_t{-9999}));
  EXPECT_EQ(at(*rs, "c_num9"), dao::Variant(int32_t{-999999999}));
  EXPECT_EQ(at(*rs, "c_num15"), dao::Variant(-999999999999999.0));
  EXPECT_EQ(at(*rs, "c_num15_2"), dao::Variant(-9999999999999.99));
  EXPECT_EQ(at(*rs, "c_num20"), text("-99999999999999999999"));
  EXPECT_EQ(at(*rs, "c_num30_5"), text("-9999999999999999999999999.99999"));
  EXPECT_EQ(at(*rs, "c_number"), text("-0.000001"));
  EXPECT_EQ(at(*rs, "c_char"), text("全角１０文字ちょうど"));
  EXPECT_EQ(at(*rs, "c_varchar"), text(""));
  EXPECT_EQ(at(*rs, "c_vc200"), dao::Variant(repeat("長", 200)));
  EXPECT_EQ(at(*rs, "c_date"), dao::Variant(date(1, 1, 1)));
  EXPECT_EQ(at(*rs, "c_ts"), dao::Variant(date(9999, 12, 31, 23, 59, 59)));
  EXPECT_EQ(at(*rs, "c_int"), dao::Variant(int32_t{-2147483647 - 1}));
  EXPECT_EQ(at(*rs, "c_small"), dao::Variant(int16_t{32767}));
  EXPECT_EQ(at(*rs, "c_big"), text("-9223372036854775808"));
  EXPECT_EQ(at(*rs, "c_real"), dao::Variant(-3.25f));
  EXPECT_EQ(at(*rs, "c_double"), dao::Variant(-1e300));
  EXPECT_EQ(at(*rs, "c_bool"), dao::Variant(false));
  rs->moveNext();
  EXPECT_TRUE(rs->eof());
}

TEST_F(PgSource, LongValuesComeInChunks) {
  auto rs = open("select c_text, c_bytea from all_types where id = 3");
  ASSERT_FALSE(rs->eof());
  const std::string expectedText = repeat("日本語の長いテキスト。", 100);
  dao::Field& memo = rs->fields()[0];
  ASSERT_EQ(memo.fieldSize(), 3300);
  std::string joined;
  for (int64_t off : {0, 1000, 2000, 3000}) {
    dao::Bytes piece = memo.getChunk(off, 1000);
    joined.append(piece.begin(), piece.end());
  }
  EXPECT_EQ(joined, expectedText);

  dao::Field& blob = rs->fields()[1];
  ASSERT_EQ(blob.fieldSize(), 2500);
  for (int64_t off : {0, 1000, 2000}) {
    dao::Bytes piece = blob.getChunk(off, 1000);
    ASSERT_EQ(piece.size(), off == 2000 ? 500u : 1000u);
    for (size_t i = 0; i < piece.size(); ++i) ASSERT_EQ(piece[i], static_cast<uint8_t>((off + i) % 256));
  }
}

TEST_F(PgSource, TypesWithoutAJetFieldKeepCodesTheRunRefuses) {
  auto rs = open("select * from odd_types");
  EXPECT_EQ(rs->fields()["c_time"].type(), dao::dbTime);
  EXPECT_EQ(rs->fields()["c_time"].value(), dao::Variant(date(1899, 12, 30, 23, 59, 58)));
  EXPECT_EQ(rs->fields()["c_uuid"].type(), dao::dbGUID);
  const dao::Guid guid{{0x99, 0xbc, 0xee, 0xa0, 0x0b, 0x9c, 0xf8, 0x4e, 0xbb, 0x6d, 0x6b, 0xb9, 0xbd, 0x38, 0x0a, 0x11}};
  EXPECT_EQ(rs->fields()["c_uuid"].value(), dao::Variant(guid));
  // psqlODBC describes intervals as character data; the value is the server's own text.
  EXPECT_EQ(rs->fields()["c_interval"].value(), text("3 days 04:05:06"));
}

TEST_F(PgSource, BlockFetchCrossesBlocksAndDriverBatches) {
  auto rs = open("select n, label, amount from block_rows order by n");
  int32_t n = 1;
  for (; !rs->eof(); rs->moveNext(), ++n) {
    ASSERT_EQ(rs->fields()["N"].value(), dao::Variant(n));
    ASSERT_EQ(rs->fields()["LABEL"].value(), dao::Variant("行" + std::to_string(n)));
    ASSERT_EQ(rs->fields()["AMOUNT"].value(), dao::Variant(n * 1.25));
  }
  EXPECT_EQ(n, 2501);
}

TEST_F(PgSource, DictionaryViewsAndOddNames) {
  EXPECT_TRUE(open("select * from user_objects  where rownum<0")->eof());
  // The count query agrees with the list (other tests and the benchmark may add tables).
  auto count = open("select count(*) from user_objects  where object_type in ('TABLE','VIEW')");
  int listedTablesAndViews = 0;
  for (auto rs = open("select * from user_objects  where object_type in ('TABLE','VIEW')"); !rs->eof();
       rs->moveNext()) {
    ++listedTablesAndViews;
  }
  EXPECT_GE(listedTablesAndViews, 8);
  EXPECT_EQ(dao::toDisplayText(count->fields()[0].value()), std::to_string(listedTablesAndViews));

  std::map<std::string, std::string> listed;
  for (auto rs = open("select * from user_objects "); !rs->eof(); rs->moveNext()) {
    listed[std::get<std::string>(at(*rs, "OBJECT_NAME"))] = std::get<std::string>(at(*rs, "OBJECT_TYPE"));
  }
  EXPECT_EQ(listed["EMPLOYEES"], "TABLE");
  EXPECT_EQ(listed["Emp"], "TABLE");
  EXPECT_EQ(listed["order lines"], "TABLE");
  EXPECT_EQ(listed["EMP_DEPT"], "VIEW");
  EXPECT_EQ(listed["STAFF"], "SYNONYM");
  EXPECT_EQ(listed["EMP_SEQ"], "SEQUENCE");
  EXPECT_EQ(listed.count("USER_OBJECTS"), 0u);

  // The names as listed, put into a query unquoted, fail as they would on Oracle.
  EXPECT_THROW(open("select count(*) from Emp"), dao::Error);
  EXPECT_THROW(open("select count(*) from order lines"), dao::Error);
  EXPECT_EQ(dao::toDisplayText(open("select count(*) from STAFF")->fields()[0].value()), "3");

  auto seq = open("select * from USER_SEQUENCES order by sequence_name");
  ASSERT_FALSE(seq->eof());
  EXPECT_EQ(at(*seq, "SEQUENCE_NAME"), text("DEPT_SEQ"));
  EXPECT_EQ(at(*seq, "MAX_VALUE"), text("990"));
  EXPECT_EQ(at(*seq, "CYCLE_FLAG"), text("Y"));
  EXPECT_EQ(at(*seq, "LAST_NUMBER"), text("40"));
  seq->moveNext();
  EXPECT_EQ(at(*seq, "SEQUENCE_NAME"), text("EMP_SEQ"));
  EXPECT_EQ(at(*seq, "MAX_VALUE"), text("9223372036854775807"));
  EXPECT_EQ(seq->fields()["MAX_VALUE"].type(), dao::dbText);
}

TEST_F(PgSource, ConnectionFailuresCarryTheDriversText) {
  auto ws = dao::DBEngine::instance().createWorkspace("ODBC-D", "", "", dao::dbUseODBC);
  try {
    ws->openDatabase("", dao::dbDriverNoPrompt, true,
                     odbc::buildConnectString(settings_.server, settings_.user, "wrong", settings_.templ));
    FAIL() << "connected with a wrong password";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("password authentication failed"), std::string::npos) << e.description();
  }
  try {
    ws->openDatabase("", dao::dbDriverNoPrompt, true,
                     odbc::buildConnectString("no-such-host.invalid", settings_.user, settings_.password,
                                              settings_.templ));
    FAIL() << "connected to an unknown server";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("no-such-host.invalid"), std::string::npos) << e.description();
  }
  // The password holds ';' and '}': only the quoted form logs in.
  EXPECT_NE(settings_.password.find_first_of(";}"), std::string::npos);
  EXPECT_THROW(ws->openDatabase("", dao::dbDriverNoPrompt, true,
                                "Driver={PostgreSQL Unicode};Servername=" + settings_.server +
                                    ";CommLog=0;UID=" + settings_.user + ";PWD=" + settings_.password + ";"),
               dao::Error);
}

TEST_F(PgSource, LostConnectionDuringAReadIsAnError) {
  const auto pid = std::get<int32_t>(open("select pg_backend_pid()")->fields()[0].value());
  auto rs = open("select n, label from block_rows order by n");
  int rows = 0;
  for (; rows < 10; ++rows, rs->moveNext()) ASSERT_FALSE(rs->eof());

  Source killer = openSource(settings_.connect());
  auto killed = killer.db->openRecordset("select pg_terminate_backend(" + std::to_string(pid) + ")");
  ASSERT_EQ(killed->fields()[0].value(), dao::Variant(true));

  bool failed = false;
  try {
    for (; !rs->eof(); rs->moveNext()) {
      rs->fields()[1].value();
      ++rows;
    }
  } catch (const dao::Error& e) {
    failed = true;
    EXPECT_FALSE(e.description().empty());
  }
  EXPECT_TRUE(failed) << "the read ended silently after " << rows << " rows";
  EXPECT_LT(rows, 2500);
  EXPECT_THROW(open("select 1"), dao::Error);  // the connection stays broken, and says so
}

}  // namespace
