// Tests of the table list: lookup by reduced name, the selection text in both directions, and the
// 16-bit limits.
#include <gtest/gtest.h>

#include <string>

#include "lists/syutoku_tables.h"

using vellicor::lists::clsSyutokuTables;
using vellicor::lists::reduceName;

namespace {

std::vector<std::string> entries(const clsSyutokuTables& list) {
  std::vector<std::string> out;
  for (int16_t i = 1; i <= list.count(); ++i) out.push_back(list.getItem(i));
  return out;
}

}  // namespace

TEST(NameReduction, DropsEverythingUpToTheFirstDot) {
  EXPECT_EQ(reduceName("OWNER.EMP"), "EMP");
  EXPECT_EQ(reduceName("EMP"), "EMP");
  EXPECT_EQ(reduceName("A.B.C"), "B.C");
  EXPECT_EQ(reduceName("OWNER."), "");
  EXPECT_EQ(reduceName(""), "");
}

TEST(TableListText, DeserializeSplitsOnAsciiCommaOnly) {
  clsSyutokuTables list;
  list.deSerialize("");
  EXPECT_EQ(entries(list), (std::vector<std::string>{""}));
  EXPECT_EQ(list.Find("EMP"), -1);

  list.deSerialize("EMP,DEPT");
  EXPECT_EQ(entries(list), (std::vector<std::string>{"EMP", "DEPT"}));
  EXPECT_EQ(list.Find("DEPT"), 2);
  EXPECT_EQ(list.Find("dept"), -1);
  EXPECT_EQ(list.Find("BONUS"), -1);

  list.deSerialize("EMP, DEPT");
  EXPECT_EQ(list.Find("DEPT"), -1);
  EXPECT_EQ(list.getItem(2), " DEPT");

  list.deSerialize("EMP\xEF\xBC\x8C" "DEPT");  // full-width comma
  EXPECT_EQ(list.count(), 1);

  list.deSerialize("A,,B");
  EXPECT_EQ(entries(list), (std::vector<std::string>{"A", "", "B"}));
  list.deSerialize("A,");
  EXPECT_EQ(entries(list), (std::vector<std::string>{"A", ""}));
  list.deSerialize(",A");
  EXPECT_EQ(entries(list), (std::vector<std::string>{"", "A"}));
}

TEST(TableListText, FindReducesStoredNamesButNotTheQuery) {
  clsSyutokuTables list;
  list.deSerialize("OWNER.EMP");
  EXPECT_EQ(list.Find("EMP"), 1);
  EXPECT_EQ(list.Find("OWNER.EMP"), -1);
  list.deSerialize("X.OWNER.EMP,EMP");
  EXPECT_EQ(list.Find("OWNER.EMP"), 1);
  EXPECT_EQ(list.Find("EMP"), 2);
  EXPECT_EQ(list.Find("EMP "), -1);
}

TEST(TableListText, SerializeSkipsLeadingEmptyNames) {
  clsSyutokuTables list;
  EXPECT_EQ(list.serialize(), "");
  list.add("");
  list.add("");
  list.add("A");
  EXPECT_EQ(list.serialize(), "A");
  list.clear();
  list.add("A");
  list.add("");
  EXPECT_EQ(list.serialize(), "A,");
  list.add("B");
  EXPECT_EQ(list.serialize(), "A,,B");

  list.deSerialize(list.serialize());
  EXPECT_EQ(entries(list), (std::vector<std::string>{"A", "", "B"}));
}

TEST(TableListText, SecondDeserializeReplacesTheFirst) {
  clsSyutokuTables list;
  list.deSerialize("A,B,C");
  list.deSerialize("D");
  EXPECT_EQ(entries(list), (std::vector<std::string>{"D"}));
}

TEST(TableListEntries, DuplicatesDeleteAndPositions) {
  clsSyutokuTables list;
  list.add("EMP");
  list.add("EMP");
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.Find("EMP"), 1);
  EXPECT_EQ(list.del(1), 1);
  EXPECT_EQ(list.count(), 1);
  EXPECT_EQ(list.Find("EMP"), 1);

  list.add("DEPT");
  EXPECT_EQ(list.del(5), 0);
  EXPECT_EQ(list.count(), 2);
  EXPECT_EQ(list.getItem(5), "");

  EXPECT_THROW(list.getItem(0), vellicor::lists::OutOfRangeError);
  EXPECT_THROW(list.del(-1), vellicor::lists::OutOfRangeError);
  EXPECT_EQ(list.count(), 2);
}

TEST(TableListLimits, EntryAndTextLimitsRaiseOverflow) {
  clsSyutokuTables list;
  for (int i = 0; i < clsSyutokuTables::kMaxEntries; ++i) list.add("T");
  EXPECT_EQ(list.count(), clsSyutokuTables::kMaxEntries);
  EXPECT_THROW(list.add("T"), vellicor::lists::OverflowError);
  EXPECT_EQ(list.count(), clsSyutokuTables::kMaxEntries);

  // The longest text: every character a comma gives the most entries the list can hold.
  std::string commas(clsSyutokuTables::kMaxTextLength, ',');
  list.deSerialize(commas);
  EXPECT_EQ(list.count(), clsSyutokuTables::kMaxEntries);
  EXPECT_THROW(list.deSerialize(commas + ","), vellicor::lists::OverflowError);

  // The limit counts characters, not bytes: 32765 Japanese characters still fit.
  std::string japanese;
  for (size_t i = 0; i < clsSyutokuTables::kMaxTextLength; ++i) japanese += "\xE8\xA1\xA8";
  list.deSerialize(japanese);
  EXPECT_EQ(list.count(), 1);
}
