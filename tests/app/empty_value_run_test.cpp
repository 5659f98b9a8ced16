// End-to-end: a zero-length short text stays zero-length in the output file, a zero-length long value
// (which the copy appends nothing of) becomes Null, Null stays Null; read back with our reader.
#include <gtest/gtest.h>

#include <map>
#include <variant>
#include <vector>

#include "dataaccess/jet3/jet_file_reader.h"
#include "tests/app/app_harness.h"

namespace vellicor::e2e {
namespace {


// ID 1 holds zero-length values in a short text, a long text and a long binary column, ID 2 Null
// in all three, ID 3 one character or byte in each.
constexpr const char* kEmpties = R"(
CREATE TABLE EMPTIES (ID INTEGER PRIMARY KEY, C_VARCHAR VARCHAR2(20), C_CLOB TEXT, C_BLOB LONGVARBINARY);
INSERT INTO EMPTIES VALUES (1, '', '', X'');
INSERT INTO EMPTIES VALUES (2, NULL, NULL, NULL);
INSERT INTO EMPTIES VALUES (3, 'あ', 'い', X'7F');
INSERT INTO USER_OBJECTS VALUES ('EMPTIES', 'TABLE', 'VALID', 8);
)";

class EmptyValueRunTest : public E2ETest {};

TEST_F(EmptyValueRunTest, ZeroLengthTextStaysLongValuesBecomeNull) {
  const std::string source = makeSqliteSource(dir, kEmpties);
  const std::string out = path("out.mdb");
  const Result r = runVellicor({"run", "-s", source, "-u", "demo", "-o", out, "--connect", kSqliteTemplate,
                                "--select", "EMPTIES", "--no-log"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  jet3::JetFileReader reader(out);
  jet3::RowCursor cursor(reader, reader.table("EMPTIES"));
  std::map<int32_t, std::vector<dao::Variant>> rows;
  while (cursor.next()) {
    std::vector<dao::Variant> v = cursor.values();
    ASSERT_EQ(v.size(), 4u);
    ASSERT_TRUE(std::holds_alternative<int32_t>(v[0])) << dao::toDisplayText(v[0]);
    rows[std::get<int32_t>(v[0])] = std::move(v);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1][1], dao::Variant(std::string())) << "the zero-length short text came back as Null";
  EXPECT_TRUE(dao::isNull(rows[1][2])) << dao::toDisplayText(rows[1][2]);
  EXPECT_TRUE(dao::isNull(rows[1][3])) << dao::toDisplayText(rows[1][3]);
  for (size_t c = 1; c <= 3; ++c) {
    EXPECT_TRUE(dao::isNull(rows[2][c])) << "column " << c << ": " << dao::toDisplayText(rows[2][c]);
    EXPECT_FALSE(dao::isNull(rows[3][c])) << "column " << c;
  }
  EXPECT_EQ(rows[3][1], dao::Variant(std::string("あ")));
  EXPECT_EQ(rows[3][2], dao::Variant(std::string("い")));
  EXPECT_EQ(rows[3][3], dao::Variant(dao::Bytes{0x7F}));
}

}  // namespace
}  // namespace vellicor::e2e
