// Values converted as DAO converts what is assigned to a Jet field, read back through our
// recordset and mdbtools: numbers across types, text to numbers, dates and GUIDs, booleans.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "dataaccess/dao.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

TEST(DaoJetValues, ConversionsIntoEachFieldType) {
  ScratchDir dir;
  const std::string file = dir.path("values.mdb");
  struct Case {
    int16_t type;
    dao::Variant in;
    dao::Variant out;
  };
  dao::Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i);
  const std::vector<Case> cases = {
      {dao::dbBoolean, std::string("Yes"), true},
      {dao::dbBoolean, int32_t{0}, false},
      {dao::dbBoolean, 0.5, true},
      {dao::dbByte, 254.5, uint8_t{254}},  // halves to even
      {dao::dbByte, 253.5, uint8_t{254}},
      {dao::dbInteger, true, int16_t{-1}},
      {dao::dbInteger, std::string("-1234"), int16_t{-1234}},
      {dao::dbLong, int64_t{2147483647}, int32_t{2147483647}},
      {dao::dbLong, dao::Currency{25000}, int32_t{2}},
      {dao::dbCurrency, 1.23456, dao::Currency{12346}},
      {dao::dbCurrency, std::string("99.5"), dao::Currency{995000}},
      {dao::dbSingle, int32_t{16777217}, 16777216.0f},
      {dao::dbDouble, std::string("1e-3"), 0.001},
      {dao::dbDate, std::string("2001-09-11 08:46"), dao::toOleDate({2001, 9, 11, 8, 46, 0, 0})},
      {dao::dbDate, 36000.5, dao::Date{36000.5}},
      {dao::dbText, int32_t{-5}, std::string("-5")},
      {dao::dbText, 0.1, std::string("0.1")},
      {dao::dbText, dao::Currency{-15000}, std::string("-1.5000")},
      {dao::dbMemo, dao::toOleDate({2024, 1, 2, 3, 4, 5, 0}), std::string("2024/01/02 03:04:05")},
      {dao::dbGUID, std::string("{03020100-0504-0706-0809-0A0B0C0D0E0F}"), g},
      {dao::dbBinary, std::string("ab"), dao::Bytes{'a', 'b'}},
  };
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("CONV");
    for (size_t i = 0; i < cases.size(); ++i) td.appendField(td.createField("F" + std::to_string(i), cases[i].type));
    db->appendTableDef(td);
    auto rs = db->openRecordset("CONV");
    rs->addNew();
    for (size_t i = 0; i < cases.size(); ++i) rs->fields()[static_cast<int>(i)].setValue(cases[i].in);
    rs->update();
    db->close();
  }
  auto db = jetWorkspace()->openDatabase(file, 1);
  auto rs = db->openRecordset("CONV");
  ASSERT_FALSE(rs->eof());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(rs->fields()[static_cast<int>(i)].value(), cases[i].out)
        << "case " << i << ": " << dao::toDisplayText(cases[i].in) << " -> "
        << dao::toDisplayText(rs->fields()[static_cast<int>(i)].value());
  }
}

TEST(DaoJetValues, CharactersTheCodePageLacksAreCountedAndStoredAsQuestionMarks) {
  ScratchDir dir;
  const std::string file = dir.path("subst.mdb");
  auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
  dao::TableDef td("S");
  td.appendField(td.createField("T", dao::dbText, 20));
  td.appendField(td.createField("M", dao::dbMemo));
  db->appendTableDef(td);
  auto rs = db->openRecordset("S");
  rs->addNew();
  rs->fields()[0].setValue(std::string("a😀b"));
  rs->fields()[1].appendChunk(dao::Bytes{0xF0, 0x9F});  // an emoji split across two pieces
  rs->fields()[1].appendChunk(dao::Bytes{0x98, 0x80, 'x'});
  rs->update();
  EXPECT_EQ(db->substitutedCharacters(), 2u);
  db->close();
  const auto rows = mdbExport(file, "S", "CP932");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(*rows[0][0], "a?b");
  EXPECT_EQ(*rows[0][1], "?x");
}

// NaN, the infinities and -0.0 are kept bit for bit by Single and Double fields (Jet stores the
// IEEE value as it is); other numeric fields refuse them, naming the value. A date keeps what its
// double holds of a time given to the microsecond, rounded to the nearest, not cut.
TEST(DaoJetValues, NonFiniteNumbersAndMicrosecondTimesKeptAsTheirFieldsHoldThem) {
  ScratchDir dir;
  const std::string file = dir.path("ieee.mdb");
  const double kNan = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
  const std::vector<double> doubles = {kNan, kInf, -kInf, -0.0, 4.9406564584124654e-324};
  dao::CivilTime t{2026, 12, 7, 12, 34, 56, 123};
  t.nanosecond = 456789;  // .123456789
  const dao::Date precise = dao::toOleDate(t);
  {
    auto db = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    dao::TableDef td("IEEE");
    td.appendField(td.createField("D", dao::dbDouble));
    td.appendField(td.createField("S", dao::dbSingle));
    td.appendField(td.createField("T", dao::dbDate));
    td.appendField(td.createField("L", dao::dbLong));
    db->appendTableDef(td);
    auto rs = db->openRecordset("IEEE");
    for (double d : doubles) {
      rs->addNew();
      rs->fields()[0].setValue(d);
      rs->fields()[1].setValue(static_cast<float>(d));
      rs->fields()[2].setValue(precise);
      rs->update();
    }
    rs->addNew();
    try {
      rs->fields()[3].setValue(kNan);
      ADD_FAILURE() << "NaN stored in a Long field";
    } catch (const dao::Error& e) {
      EXPECT_NE(e.description().find("nan"), std::string::npos) << e.description();
      EXPECT_NE(e.description().find("'L'"), std::string::npos) << e.description();
    }
    db->close();
  }
  auto db = jetWorkspace()->openDatabase(file, 1);
  auto rs = db->openRecordset("IEEE");
  for (double d : doubles) {
    ASSERT_FALSE(rs->eof());
    const double gotD = std::get<double>(rs->fields()[0].value());
    const float gotS = std::get<float>(rs->fields()[1].value());
    const float wantS = static_cast<float>(d);
    EXPECT_EQ(std::memcmp(&gotD, &d, 8), 0) << d;
    EXPECT_EQ(std::memcmp(&gotS, &wantS, 4), 0) << d;
    EXPECT_EQ(std::get<dao::Date>(rs->fields()[2].value()), precise);
    rs->moveNext();
  }
  // The nearest double to the time: within half a unit of its last place of the exact value.
  const long double exact = static_cast<long double>(dao::toOleDate({2026, 12, 7, 0, 0, 0, 0}).oa) +
                            (45296.123456789L / 86400.0L);
  const long double halfUlp = (std::nextafter(precise.oa, 1e9) - precise.oa) / 2.0L;
  EXPECT_LE(std::fabs(static_cast<long double>(precise.oa) - exact), halfUlp);
  // Cut to the millisecond, as before, the value lies further off than the rounding allows.
  EXPECT_GT(std::fabs(static_cast<long double>(dao::toOleDate({2026, 12, 7, 12, 34, 56, 123}).oa) - exact), halfUlp);
}
