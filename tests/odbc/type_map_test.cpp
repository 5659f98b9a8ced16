// The column type rules: every ODBC type the sources report, at the size and precision borders
// where the DAO type changes, and what each rule means for fetching.
#include <gtest/gtest.h>

#include "dataaccess/odbc/type_map.h"
#include "dataaccess/variant.h"

using namespace vellicor;
using vellicor::odbc::ColumnDescription;
using vellicor::odbc::FetchKind;
using vellicor::odbc::mapColumn;

namespace {

struct Case {
  SQLSMALLINT sqlType;
  SQLULEN size;
  SQLSMALLINT digits;
  int16_t daoType;
  int32_t daoSize;
  FetchKind fetch;
};

void expectAll(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    const auto m = mapColumn(ColumnDescription{c.sqlType, c.size, c.digits, false});
    EXPECT_EQ(m.daoType, c.daoType) << "sql type " << c.sqlType << " size " << c.size << " digits " << c.digits;
    EXPECT_EQ(m.size, c.daoSize) << "sql type " << c.sqlType << " size " << c.size << " digits " << c.digits;
    EXPECT_EQ(m.fetch, c.fetch) << "sql type " << c.sqlType << " size " << c.size << " digits " << c.digits;
  }
}

TEST(TypeMap, CharacterColumnsBecomeTextUpTo255BytesThenMemo) {
  expectAll({
      {SQL_VARCHAR, 1, 0, dao::dbText, 1, FetchKind::Text},
      {SQL_VARCHAR, 255, 0, dao::dbText, 255, FetchKind::Text},
      {SQL_VARCHAR, 256, 0, dao::dbMemo, 0, FetchKind::LongText},
      {SQL_VARCHAR, 4000, 0, dao::dbMemo, 0, FetchKind::LongText},
      {SQL_VARCHAR, 0, 0, dao::dbMemo, 0, FetchKind::LongText},  // unknown size: nothing may be cut
      {SQL_CHAR, 10, 0, dao::dbText, 10, FetchKind::Text},
      {SQL_CHAR, 2000, 0, dao::dbMemo, 0, FetchKind::LongText},
      // National types: two bytes a character in code page 932.
      {SQL_WVARCHAR, 127, 0, dao::dbText, 254, FetchKind::Text},
      {SQL_WVARCHAR, 128, 0, dao::dbMemo, 0, FetchKind::LongText},
      {SQL_WCHAR, 5, 0, dao::dbText, 10, FetchKind::Text},
      {SQL_LONGVARCHAR, 65536, 0, dao::dbMemo, 0, FetchKind::LongText},
      {SQL_WLONGVARCHAR, 0, 0, dao::dbMemo, 0, FetchKind::LongText},
  });
}

TEST(TypeMap, BinaryColumnsKeepRawApartAndGrowIntoLongBinary) {
  expectAll({
      {SQL_BINARY, 16, 0, dao::dbBinary, 16, FetchKind::Binary},
      {SQL_BINARY, 255, 0, dao::dbBinary, 255, FetchKind::Binary},
      {SQL_BINARY, 256, 0, dao::dbLongBinary, 0, FetchKind::LongBinary},
      {SQL_VARBINARY, 255, 0, dao::dbVarBinary, 255, FetchKind::Binary},
      {SQL_VARBINARY, 2000, 0, dao::dbLongBinary, 0, FetchKind::LongBinary},
      {SQL_VARBINARY, 0, 0, dao::dbLongBinary, 0, FetchKind::LongBinary},
      {SQL_LONGVARBINARY, 0, 0, dao::dbLongBinary, 0, FetchKind::LongBinary},
  });
}

TEST(TypeMap, ExactNumericsNeverLoseDigits) {
  expectAll({
      {SQL_NUMERIC, 4, 0, dao::dbInteger, 2, FetchKind::Int16},
      {SQL_NUMERIC, 5, 0, dao::dbLong, 4, FetchKind::Int32},
      {SQL_DECIMAL, 9, 0, dao::dbLong, 4, FetchKind::Int32},
      {SQL_NUMERIC, 10, 0, dao::dbDecimal, 10, FetchKind::Double},
      {SQL_NUMERIC, 15, 0, dao::dbDecimal, 15, FetchKind::Double},
      {SQL_NUMERIC, 16, 0, dao::dbText, 17, FetchKind::DecimalText},
      {SQL_NUMERIC, 38, 0, dao::dbText, 39, FetchKind::DecimalText},
      // With a scale: never an integer type; up to 15 digits a double holds every value.
      {SQL_NUMERIC, 4, 2, dao::dbDecimal, 4, FetchKind::Double},
      {SQL_DECIMAL, 15, 2, dao::dbDecimal, 15, FetchKind::Double},
      {SQL_DECIMAL, 16, 2, dao::dbText, 18, FetchKind::DecimalText},
      // NUMBER(3,-2) holds values up to 99900: five digits.
      {SQL_NUMERIC, 3, -2, dao::dbLong, 4, FetchKind::Int32},
      // All scale: "-0.12345" needs the leading zero too.
      {SQL_NUMERIC, 20, 20, dao::dbText, 23, FetchKind::DecimalText},
      {SQL_NUMERIC, 17, 5, dao::dbText, 19, FetchKind::DecimalText},
      // Precision unknown (a bare NUMBER can be written out to 130 places): the widest text.
      {SQL_NUMERIC, 0, 0, dao::dbText, 255, FetchKind::DecimalText},
      {SQL_BIGINT, 19, 0, dao::dbText, 20, FetchKind::DecimalText},
  });
}

TEST(TypeMap, BinaryIntegersAndApproximateNumerics) {
  expectAll({
      {SQL_SMALLINT, 5, 0, dao::dbInteger, 2, FetchKind::Int16},
      {SQL_INTEGER, 10, 0, dao::dbLong, 4, FetchKind::Int32},
      {SQL_TINYINT, 3, 0, dao::dbInteger, 2, FetchKind::Int16},  // signed: -128 does not fit a Byte
      {SQL_BIT, 1, 0, dao::dbBoolean, 1, FetchKind::Bit},
      {SQL_REAL, 7, 0, dao::dbSingle, 4, FetchKind::Float},
      {SQL_FLOAT, 15, 0, dao::dbDouble, 8, FetchKind::Double},  // never dbFloat
      {SQL_DOUBLE, 15, 0, dao::dbDouble, 8, FetchKind::Double},
  });
  auto unsignedOf = [](SQLSMALLINT t) { return mapColumn(ColumnDescription{t, 3, 0, true}); };
  EXPECT_EQ(unsignedOf(SQL_TINYINT).daoType, dao::dbByte);
  EXPECT_EQ(unsignedOf(SQL_TINYINT).fetch, FetchKind::UInt8);
  EXPECT_EQ(unsignedOf(SQL_SMALLINT).daoType, dao::dbLong);      // 65535 does not fit an Integer
  EXPECT_EQ(unsignedOf(SQL_INTEGER).daoType, dao::dbDecimal);    // 4294967295 does not fit a Long
}

TEST(TypeMap, DatesTimesGuidsAndUnknownTypes) {
  expectAll({
      {SQL_TYPE_DATE, 10, 0, dao::dbDate, 8, FetchKind::Timestamp},
      {SQL_TYPE_TIMESTAMP, 26, 6, dao::dbTimeStamp, 8, FetchKind::Timestamp},
      {SQL_TYPE_TIME, 8, 0, dao::dbTime, 8, FetchKind::Time},
      {SQL_GUID, 36, 0, dao::dbGUID, 16, FetchKind::Guid},
      // Types without a DAO name keep their ODBC code, so the run's message names it; the
      // value is still readable as text.
      {SQL_INTERVAL_DAY_TO_SECOND, 20, 6, SQL_INTERVAL_DAY_TO_SECOND, 0, FetchKind::LongText},
      {-150, 0, 0, -150, 0, FetchKind::LongText},
  });
  // An unknown code that happens to equal a DAO code must not pass for that DAO type.
  const auto odd = mapColumn(ColumnDescription{20, 0, 0, false});
  EXPECT_EQ(odd.daoType, -20);
}

TEST(TypeMap, BoundBuffersHoldEveryValueOfTheColumn) {
  // A text column of n characters may need two UTF-16 units a character, and the terminator.
  EXPECT_EQ(mapColumn(ColumnDescription{SQL_WVARCHAR, 100, 0, false}).bufferBytes,
            static_cast<SQLLEN>((2 * 100 + 1) * sizeof(SQLWCHAR)));
  // Exact text of a 38-digit number with sign, point, leading zero.
  EXPECT_GE(mapColumn(ColumnDescription{SQL_NUMERIC, 38, 10, false}).bufferBytes, 42);
  EXPECT_EQ(mapColumn(ColumnDescription{SQL_VARBINARY, 16, 0, false}).bufferBytes, 16);
  EXPECT_EQ(mapColumn(ColumnDescription{SQL_LONGVARBINARY, 0, 0, false}).bufferBytes, 0);
}

}  // namespace
