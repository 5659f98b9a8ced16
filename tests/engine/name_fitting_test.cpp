// Unit tests of the name fitting rule: which characters change, where long names are cut, which
// suffix a clash gets, and that names Jet takes never change.
#include <gtest/gtest.h>

#include "engine/name_fitting.h"

namespace vellicor::engine {
namespace {

// Forty full-width katakana: 80 bytes in code page 932.
const std::string kKana40 =
    "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリ";

std::string firstKana(size_t n) { return kKana40.substr(0, n * 3); }  // three UTF-8 bytes each

TEST(NameFitting, RefusedNamesBecomeNamesJetTakes) {
  struct Case {
    std::string name, fitted;
  };
  const Case cases[] = {
      {"X!Y", "X_Y"},
      {"a.b`c[d]", "a_b_c_d_"},
      {" LEAD", "LEAD"},
      {"   two words", "two words"},
      {"tab\tname", "tab_name"},
      {"   ", "_"},
      {std::string("\xF0\x9F\x98\x80") + "face", "_face"},  // an emoji: code page 932 has no such character
      {std::string("bad\xFF") + "utf8", "bad_utf8"},
      {std::string(70, 'L'), std::string(64, 'L')},
      // 1 + 2 x 40 bytes: cut after 31 characters (63 bytes), the 32nd would make 65.
      {"A" + kKana40, "A" + firstKana(31)},
      {" " + kKana40, firstKana(32)},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(isNameJetTakes(c.name)) << c.name;
    EXPECT_EQ(fittedName(c.name), c.fitted) << c.name;
    EXPECT_TRUE(isNameJetTakes(c.fitted)) << c.fitted;
  }
  for (const std::string& taken : std::vector<std::string>{"社員名簿", "order lines", "A_B", std::string(64, 'x'), firstKana(32), "ｶﾅ"}) {
    EXPECT_TRUE(isNameJetTakes(taken)) << taken;
    EXPECT_EQ(fittedName(taken), taken);
  }
}

TEST(NameFitting, ClashesAfterTheChangeGetTheSmallestFreeSuffix) {
  // A name that needs no change keeps it even when a refused name before it would fit to the same.
  NameScope fields;
  EXPECT_EQ(fitNames({"A.B", "A!B", "A_B", "x!y", "X_Y_2"}, fields),
            (std::vector<std::string>{"A_B_2", "A_B_3", "A_B", "x_y", "X_Y_2"}));
  // Jet's comparison: letter case does not count, so x!y clashes with an existing X_Y.
  NameScope tables;
  tables.take("X_Y");
  EXPECT_EQ(tables.takeFitted("x!y"), "x_y_2");
  // Two names that are one only after the cut; the suffix takes bytes from the name.
  NameScope japanese;
  EXPECT_EQ(fitNames({"A" + kKana40 + "1", "A" + kKana40 + "2"}, japanese),
            (std::vector<std::string>{"A" + firstKana(31), "A" + firstKana(30) + "_2"}));
  // Past nine the suffix grows a digit, the name gives way again.
  NameScope many;
  std::vector<std::string> names(11, std::string(70, 'N') + "!");
  const std::vector<std::string> fitted = fitNames(names, many);
  EXPECT_EQ(fitted[0], std::string(64, 'N'));
  EXPECT_EQ(fitted[8], std::string(62, 'N') + "_9");
  EXPECT_EQ(fitted[9], std::string(61, 'N') + "_10");
  EXPECT_EQ(fitted[10], std::string(61, 'N') + "_11");
  // Names that need no change and clash stay as they are (the append then refuses the second).
  NameScope unchanged;
  EXPECT_EQ(fitNames({"Emp", "EMP"}, unchanged), (std::vector<std::string>{"Emp", "EMP"}));
}

TEST(NameFitting, TableNamesKeepClearOfTheFileAndTheSequenceList) {
  EXPECT_EQ(tableNamesFor({"T!1", "T`1", "OK"}, "", {"t_1"}), (std::vector<std::string>{"T_1_2", "T_1_3", "OK"}));
  EXPECT_EQ(tableNamesFor({std::string(63, 'Q')}, "P_", {}), (std::vector<std::string>{"P_" + std::string(62, 'Q')}));
  EXPECT_EQ(tableNamesFor({"USER!SEQUENCES", "USER_SEQUENCES"}, "", {}),
            (std::vector<std::string>{"USER_SEQUENCES_2", "USER_SEQUENCES"}));
  // The prefix belongs to the name: a refused prefix is fitted with it.
  EXPECT_EQ(tableNamesFor({"EMP"}, "X.", {}), (std::vector<std::string>{"X_EMP"}));
}

}  // namespace
}  // namespace vellicor::engine
