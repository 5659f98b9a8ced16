// Row layouts the reference files do not contain: rows with real jump-table bytes (several
// 256-byte boundaries), the dummy jump byte, rows older than the table's last columns, and tables
// without variable columns. Rows are built here from the documented layout, independently of our
// row writer, and split by the reader.
#include <gtest/gtest.h>

#include <optional>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/row_reader.h"

namespace vellicor::jet3 {
namespace {

using Bytes = std::vector<uint8_t>;

// Long ID (fixed, column 0), Text A (variable 0, column 1), Text B (variable 1, column 2),
// Boolean Flag (column 3), Text C (variable 2, column 4).
TableDefinition table() {
  TableDefinition def;
  auto column = [](uint8_t type, uint16_t number, uint16_t varIndex, bool fixed, uint16_t offset, uint16_t length) {
    ColumnDef c;
    c.type = type;
    c.number = number;
    c.varIndex = varIndex;
    c.flags = static_cast<uint8_t>(fmt::kColUpdatable | (fixed ? fmt::kColFixed : 0));
    c.fixedOffset = offset;
    c.length = length;
    c.name = "c" + std::to_string(number);
    return c;
  };
  def.columns = {column(fmt::kTypeLong, 0, 0, true, 0, 4), column(fmt::kTypeText, 1, 0, false, 0, 255),
                 column(fmt::kTypeText, 2, 1, false, 0, 255), column(fmt::kTypeBoolean, 3, 2, true, 0, 1),
                 column(fmt::kTypeText, 4, 2, false, 0, 255)};
  def.maxColumns = 5;
  return def;
}

// Builds a row: `columns` columns present, the variable values in variable-index order (nullopt =
// null), the Boolean's value. Jump bytes follow the documented rule; `dummy` reports a dummy byte.
Bytes buildRow(int32_t id, const std::vector<std::optional<std::string>>& vars, bool flag, size_t columns,
               bool* dummy = nullptr) {
  Bytes row{static_cast<uint8_t>(columns)};
  for (int i = 0; i < 4; ++i) row.push_back(static_cast<uint8_t>(static_cast<uint32_t>(id) >> (8 * i)));
  std::vector<size_t> offsets;
  for (const auto& v : vars) {
    offsets.push_back(row.size());
    if (v) row.insert(row.end(), v->begin(), v->end());
  }
  const size_t eod = row.size();
  offsets.push_back(eod);
  const size_t n = vars.size();
  const size_t mask = (columns + 7) / 8;
  size_t jumps = 0;
  for (;;) {
    const size_t total = eod + 1 + n + jumps + 1 + mask;
    if ((total - 1) / 256 == jumps) break;
    jumps = (total - 1) / 256;
  }
  row.push_back(static_cast<uint8_t>(eod));
  for (size_t i = n; i-- > 0;) row.push_back(static_cast<uint8_t>(offsets[i]));
  Bytes jumpBytes(jumps);
  if (dummy) *dummy = false;
  for (size_t k = 0; k < jumps; ++k) {
    size_t first = 0;
    while (first <= n && offsets[first] < 256 * (k + 1)) ++first;
    if (first > n) {
      jumpBytes[k] = 0xFF;
      if (dummy) *dummy = true;
    } else {
      jumpBytes[k] = static_cast<uint8_t>(first);
    }
  }
  for (size_t k = jumps; k-- > 0;) row.push_back(jumpBytes[k]);  // byte k sits at count - 1 - k
  row.push_back(static_cast<uint8_t>(n));
  Bytes nulls(mask, 0);
  auto set = [&](size_t bit) { nulls[bit / 8] |= static_cast<uint8_t>(1 << (bit % 8)); };
  set(0);
  const uint16_t varColumnNumber[3] = {1, 2, 4};
  for (size_t i = 0; i < n; ++i) {
    if (vars[i] && varColumnNumber[i] < columns) set(varColumnNumber[i]);
  }
  if (flag && columns > 3) set(3);
  row.insert(row.end(), nulls.begin(), nulls.end());
  return row;
}

std::optional<std::string> text(const FieldBytes& f) {
  if (!f.present) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(f.data), f.size);
}

TEST(ReaderRowLayout, ShortRowWithNullAndEmptyValues) {
  const TableDefinition def = table();
  const Bytes row = buildRow(-7, {std::string("abc"), std::nullopt, std::string("")}, true, 5);
  const auto f = splitRow(def, row.data(), row.size(), "test");
  ASSERT_EQ(f.size(), 5u);
  ASSERT_TRUE(f[0].present);
  EXPECT_EQ(f[0].size, 4u);
  EXPECT_EQ(f[0].data[0], 0xF9);
  EXPECT_EQ(text(f[1]), "abc");
  EXPECT_EQ(text(f[2]), std::nullopt);
  EXPECT_EQ(text(f[4]), "");  // empty, not null
  EXPECT_TRUE(f[3].present);
}

TEST(ReaderRowLayout, RealJumpBytesAcrossTwoBoundaries) {
  const TableDefinition def = table();
  const std::string a(200, 'a'), b(200, 'b'), c(200, 'c');
  bool dummy = true;
  const Bytes row = buildRow(1, {a, b, c}, false, 5, &dummy);
  ASSERT_GE(row.size(), 512u);
  ASSERT_FALSE(dummy);
  const auto f = splitRow(def, row.data(), row.size(), "test");
  EXPECT_EQ(text(f[1]), a);
  EXPECT_EQ(text(f[2]), b);
  EXPECT_EQ(text(f[4]), c);
  EXPECT_FALSE(f[3].present);
}

TEST(ReaderRowLayout, ValuesStartingExactlyOnABoundary) {
  const TableDefinition def = table();
  // Variable data starts at 5: 251 bytes put the second value exactly at offset 256.
  const std::string a(251, 'x'), b(256 - 5, 'y'), c(7, 'z');
  const Bytes row = buildRow(2, {a, b, c}, true, 5);
  const auto f = splitRow(def, row.data(), row.size(), "test");
  EXPECT_EQ(text(f[1]), a);
  EXPECT_EQ(text(f[2]), b);
  EXPECT_EQ(text(f[4]), c);
  // And a null value whose (empty) extent sits on the boundary.
  const Bytes row2 = buildRow(3, {a, std::nullopt, c}, true, 5);
  const auto g = splitRow(def, row2.data(), row2.size(), "test");
  EXPECT_EQ(text(g[2]), std::nullopt);
  EXPECT_EQ(text(g[4]), c);
}

TEST(ReaderRowLayout, DummyJumpByteIsIgnored) {
  const TableDefinition def = table();
  // Data ends below 256 while the trailer carries the row past it.
  const std::string a(120, 'p'), b(122, 'q'), c(5, 'r');
  bool dummy = false;
  const Bytes row = buildRow(4, {a, b, c}, false, 5, &dummy);
  ASSERT_TRUE(dummy);
  ASSERT_GT(row.size(), 256u);
  const auto f = splitRow(def, row.data(), row.size(), "test");
  EXPECT_EQ(text(f[1]), a);
  EXPECT_EQ(text(f[2]), b);
  EXPECT_EQ(text(f[4]), c);
}

TEST(ReaderRowLayout, RowWrittenBeforeColumnsWereAdded) {
  const TableDefinition def = table();
  // Only ID and A existed: one variable column in the row, a one-byte null mask for 2 columns.
  const Bytes row = buildRow(5, {std::string("old")}, false, 2);
  const auto f = splitRow(def, row.data(), row.size(), "test");
  EXPECT_TRUE(f[0].present);
  EXPECT_EQ(text(f[1]), "old");
  EXPECT_EQ(text(f[2]), std::nullopt);
  EXPECT_FALSE(f[3].present);
  EXPECT_EQ(text(f[4]), std::nullopt);
}

TEST(ReaderRowLayout, TableWithoutVariableColumns) {
  TableDefinition def;
  ColumnDef id;
  id.type = fmt::kTypeInteger;
  id.flags = fmt::kColFixed | fmt::kColUpdatable;
  id.length = 2;
  ColumnDef amount = id;
  amount.type = fmt::kTypeCurrency;
  amount.number = 1;
  amount.fixedOffset = 2;
  amount.length = 8;
  def.columns = {id, amount};
  const Bytes row = {2, 0x34, 0x12, 0x10, 0x27, 0, 0, 0, 0, 0, 0, 0x01};  // amount null, bytes still there
  const auto f = splitRow(def, row.data(), row.size(), "test");
  ASSERT_TRUE(f[0].present);
  EXPECT_EQ(f[0].data[0], 0x34);
  EXPECT_FALSE(f[1].present);
  // A fixed column that runs past the row is refused.
  const Bytes shortRow = {2, 0x34, 0x12, 0x10, 0x03};
  EXPECT_THROW(splitRow(def, shortRow.data(), shortRow.size(), "test"), dao::Error);
}

}  // namespace
}  // namespace vellicor::jet3
