// The connect string (default form, templates, quoting against injected attributes), the
// UTF-8/UTF-16 conversion at the driver border and the SQL script splitter.
#include <gtest/gtest.h>

#include "dataaccess/odbc/connect_string.h"
#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/odbc/odbc_script.h"
#include "dataaccess/odbc/odbc_text.h"
#include "dataaccess/odbc/oracle_driver.h"

using namespace vellicor::odbc;

namespace {

TEST(ConnectString, PlainValuesGiveTheDefaultStringExactly) {
  EXPECT_EQ(buildConnectString("ORCL", "scott", "tiger", ""),
            "ODBC;Driver={Oracle ODBC Driver};DBQ=ORCL;UID=scott;PWD=tiger;");
  EXPECT_EQ(buildConnectString("ORCL", "scott", "", ""), "ODBC;Driver={Oracle ODBC Driver};DBQ=ORCL;UID=scott;PWD=;");
  EXPECT_EQ(buildConnectString("db.example.com:1521/XE", "ユーザ", "p@ss-word!", ""),
            "ODBC;Driver={Oracle ODBC Driver};DBQ=db.example.com:1521/XE;UID=ユーザ;PWD=p@ss-word!;");
}

TEST(ConnectString, TheOracleDriverIsTheInstallersOracleInHomeOrTheFallback) {
  EXPECT_EQ(chooseOracleDriver({"SQL Server", "Oracle in OraClient11g_home1", "Oracle in OraDb12Home1"}),
            "Oracle in OraClient11g_home1");
  EXPECT_EQ(chooseOracleDriver({"ORACLE IN instantclient_19_3"}), "ORACLE IN instantclient_19_3");
  // Microsoft's old driver for Oracle and a bare prefix are not the client's driver.
  EXPECT_EQ(chooseOracleDriver({"Microsoft ODBC for Oracle", "Oracle in ", "PostgreSQL Unicode"}), kOracleDriverFallback);
  EXPECT_EQ(chooseOracleDriver({}), std::string("Oracle ODBC Driver"));
}

TEST(ConnectString, ValuesThatWouldBreakTheStringAreBraceQuoted) {
  // Without quoting, this password would add an attribute of its own.
  EXPECT_EQ(buildConnectString("ORCL", "scott", "x;DBQ=OTHER", ""),
            "ODBC;Driver={Oracle ODBC Driver};DBQ=ORCL;UID=scott;PWD={x;DBQ=OTHER};");
  EXPECT_EQ(quoteConnectValue("a}b"), "{a}}b}");
  EXPECT_EQ(quoteConnectValue("{abc}"), "{{abc}}}");
  EXPECT_EQ(quoteConnectValue("a=b"), "{a=b}");
  EXPECT_EQ(quoteConnectValue(" lead"), "{ lead}");
  EXPECT_EQ(quoteConnectValue("trail "), "{trail }");
  EXPECT_EQ(quoteConnectValue("in side"), "in side");
  EXPECT_EQ(quoteConnectValue(""), "");
}

TEST(ConnectString, TemplatesTakeQuotedValuesAndNeverRescanThem) {
  const std::string templ = "Driver={PostgreSQL Unicode};Servername=%DBQ%;UID=%UID%;PWD=%PWD%;";
  EXPECT_EQ(buildConnectString("127.0.0.1", "scott", "ti;g}er", templ),
            "Driver={PostgreSQL Unicode};Servername=127.0.0.1;UID=scott;PWD={ti;g}}er};");
  // A value holding a placeholder stays as it is.
  EXPECT_EQ(buildConnectString("%PWD%", "u", "secret", "DBQ=%DBQ%;PWD=%PWD%"), "DBQ=%PWD%;PWD=secret");
  EXPECT_EQ(buildConnectString("f.db", "", "", "Driver=SQLite3;Database=%DBQ%"), "Driver=SQLite3;Database=f.db");
  EXPECT_EQ(buildConnectString("a", "b", "c", "100% %DBQ%%UID%"), "100% ab");
}

TEST(ConnectString, DaoPrefixIsDroppedBeforeTheDriverSeesIt) {
  EXPECT_EQ(driverConnectString("ODBC;DSN=x;"), "DSN=x;");
  EXPECT_EQ(driverConnectString("odbc;DSN=x;"), "DSN=x;");
  EXPECT_EQ(driverConnectString("DSN=x;"), "DSN=x;");
  EXPECT_EQ(driverConnectString("ODBC;"), "");
}

TEST(DriverText, RoundTripsJapaneseAndSupplementaryCharacters) {
  const std::string s = "日本語ｶﾅ①髙𠮷 abc";
  const WideString w = toWide(s);
  EXPECT_EQ(w.size(), 13u);  // 𠮷 takes a surrogate pair
  EXPECT_EQ(toUtf8(w), s);
}

TEST(DriverText, MalformedInputBecomesReplacementCharacters) {
  const SQLWCHAR lone[] = {0x0041, 0xD800, 0x0042, 0xDC00};
  EXPECT_EQ(toUtf8(lone, 4), "A\xEF\xBF\xBD" "B\xEF\xBF\xBD");
  const WideString w = toWide("A\xFF\xE3\x81");  // invalid byte, then a cut sequence
  EXPECT_EQ(w, (WideString{0x41, 0xFFFD, 0xFFFD, 0xFFFD}));
}

TEST(ScriptSplitter, SplitsOutsideQuotesAndComments) {
  const auto parts = splitStatements(
      "-- heading; not a statement\n"
      "CREATE TABLE t (a VARCHAR2(10));\n"
      "INSERT INTO t VALUES ('a;b'); /* c; d */ INSERT INTO t VALUES ('it''s;');\n"
      "CREATE VIEW \"v;1\" AS SELECT a FROM t;\n"
      "  ;  \n");
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(parts[0], "CREATE TABLE t (a VARCHAR2(10))");
  EXPECT_EQ(parts[1], "INSERT INTO t VALUES ('a;b')");
  EXPECT_EQ(parts[2], "INSERT INTO t VALUES ('it''s;')");
  EXPECT_EQ(parts[3], "CREATE VIEW \"v;1\" AS SELECT a FROM t");
}

}  // namespace
