// The column-type table: every Jet 3 type is in it once, DAO types map both ways, and each fixed
// type's coercion, decoding and key agree (a value stored reads back and keys in value order).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/row_reader.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/jet3/value_coercion.h"

namespace vellicor::jet3 {
namespace {

const uint8_t kJet3Types[] = {fmt::kTypeBoolean, fmt::kTypeByte, fmt::kTypeInteger, fmt::kTypeLong,
                              fmt::kTypeCurrency, fmt::kTypeSingle, fmt::kTypeDouble, fmt::kTypeDate,
                              fmt::kTypeBinary, fmt::kTypeText, fmt::kTypeOle, fmt::kTypeMemo, fmt::kTypeGuid};

TEST(ColumnTypes, EveryJet3TypeIsThereOnceAndItsDaoTypeLeadsBack) {
  for (uint8_t code : kJet3Types) {
    const ColumnType* t = columnType(code);
    ASSERT_NE(t, nullptr) << int{code};
    EXPECT_EQ(t->code, code);
    EXPECT_EQ(columnTypeOfDao(t->daoType), t) << int{code};
    const bool fixed = t->storage == ColumnStorage::kFixed;
    EXPECT_EQ(fixed, t->decodeFixed != nullptr && t->appendFixedKey != nullptr && t->width > 0) << int{code};
  }
  EXPECT_EQ(columnType(0x0D), nullptr);
  EXPECT_EQ(columnTypeOfDao(dao::dbBigInt), nullptr);
}

// Two values of each fixed type, the first below the second.
struct Sample {
  uint8_t code;
  dao::Variant low, high;
};

TEST(ColumnTypes, FixedValuesStoreReadBackAndKeyInOrder) {
  dao::Guid g1, g2;
  g1.bytes.fill(0x11);
  g2.bytes.fill(0x22);
  const Sample samples[] = {
      {fmt::kTypeByte, uint8_t{3}, uint8_t{250}},
      {fmt::kTypeInteger, int16_t{-300}, int16_t{12}},
      {fmt::kTypeLong, int32_t{-70000}, int32_t{5}},
      {fmt::kTypeCurrency, dao::Currency{-12345}, dao::Currency{99}},
      {fmt::kTypeSingle, -1.5f, 0.25f},
      {fmt::kTypeDouble, -2.5, 1e300},
      {fmt::kTypeDate, dao::Date{36000.5}, dao::Date{45000.25}},
      {fmt::kTypeGuid, g1, g2},
  };
  for (const Sample& s : samples) {
    SCOPED_TRACE(int{s.code});
    const ColumnType* t = columnType(s.code);
    ASSERT_NE(t, nullptr);
    FieldTarget target;
    target.type = s.code;
    ColumnDef col;
    col.type = s.code;
    std::vector<uint8_t> keys[2];
    const dao::Variant* values[2] = {&s.low, &s.high};
    for (int i = 0; i < 2; ++i) {
      uint8_t stored[16] = {};
      bool flag = false;
      coerceFixed(*values[i], target, stored, &flag);
      EXPECT_EQ(t->decodeFixed(stored), *values[i]);
      FieldBytes f;
      f.present = true;
      f.data = stored;
      f.size = t->width;
      appendColumnKey(keys[i], col, f, true);
      // A value shorter than its type is a damaged file, not a read past it.
      f.size = t->width - 1;
      std::vector<uint8_t> unused;
      EXPECT_THROW(appendColumnKey(unused, col, f, true), dao::Error);
    }
    EXPECT_TRUE(std::lexicographical_compare(keys[0].begin(), keys[0].end(), keys[1].begin(), keys[1].end()));
  }
}

}  // namespace
}  // namespace vellicor::jet3
