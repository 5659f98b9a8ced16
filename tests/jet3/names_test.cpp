// Tests of the Jet 3.5 naming rules: each rule on its own, Japanese names measured in CP932
// bytes, and characters the code page cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "text/codepage.h"
#include "dataaccess/jet3/names.h"

namespace vellicor::jet3 {
namespace {

const text::CodePage& cp932() { return text::CodePage::forId(932); }
const text::CodePage& cp1252() { return text::CodePage::forId(1252); }

// The cause text, or "" when the name is accepted.
std::string cause(std::string_view name, const text::CodePage& cp = cp932()) { return checkName(name, cp).value_or(""); }

TEST(Names, OrdinaryOracleNamesAreAccepted) {
  for (const char* name : {"EMP", "EMP_NO", "A$B#C", "X", "TABLE 1", "USER_SEQUENCES", "T2", "a-b", "(x)", "x?"})
    EXPECT_EQ(cause(name), "") << name;
}

TEST(Names, EachRuleHasItsCause) {
  EXPECT_EQ(cause(""), "名前が空です。");
  EXPECT_EQ(cause(" EMP"), "名前の先頭に空白は使用できません。");
  EXPECT_EQ(cause("EMP "), "");  // only a leading blank is refused
  EXPECT_EQ(cause("A.B"), "名前に使用できない文字 '.' が含まれています。");
  EXPECT_EQ(cause("A!"), "名前に使用できない文字 '!' が含まれています。");
  EXPECT_EQ(cause("`A"), "名前に使用できない文字 '`' が含まれています。");
  EXPECT_EQ(cause("A[1"), "名前に使用できない文字 '[' が含まれています。");
  EXPECT_EQ(cause("A]1"), "名前に使用できない文字 ']' が含まれています。");
  EXPECT_EQ(cause("A\tB"), "名前に制御文字 (0x09) が含まれています。");
  EXPECT_EQ(cause(std::string("A\0B", 3)), "名前に制御文字 (0x00) が含まれています。");
  EXPECT_EQ(cause("A\x1F"), "名前に制御文字 (0x1F) が含まれています。");
  EXPECT_EQ(cause("A\xC3"), "名前に UTF-8 として正しくないバイト列が含まれています。");
  EXPECT_EQ(cause("\xE3\x81"), "名前に UTF-8 として正しくないバイト列が含まれています。");
}

TEST(Names, LengthIsCountedInCodePageBytes) {
  EXPECT_EQ(cause(std::string(64, 'A')), "");
  EXPECT_EQ(cause(std::string(65, 'A')), "名前が長すぎます (65 バイト。上限は 64 バイトです)。");
  // 32 kanji are 96 UTF-8 bytes but 64 CP932 bytes: accepted. 33 are 66 bytes: refused.
  std::string kanji32;
  for (int i = 0; i < 32; ++i) kanji32 += "\u793E";
  EXPECT_EQ(cause(kanji32), "");
  EXPECT_EQ(cause(kanji32 + "\u54E1"), "名前が長すぎます (66 バイト。上限は 64 バイトです)。");
  // Half-width katakana are one byte each in CP932.
  std::string kana64;
  for (int i = 0; i < 64; ++i) kana64 += "\uFF76";
  EXPECT_EQ(cause(kana64), "");
  EXPECT_EQ(cause(kana64 + "A"), "名前が長すぎます (65 バイト。上限は 64 バイトです)。");
}

TEST(Names, JapaneseNamesAreCheckedByCharacterNotByByte) {
  // ゼ is 83 5B and ソ is 83 5C in CP932: their trail bytes are '[' and '\', yet both are letters.
  EXPECT_EQ(cause("\u30BC\u30ED"), "");
  EXPECT_EQ(cause("\u30BD\u30FC\u30C8"), "");
  EXPECT_EQ(cause("\u793E\u54E1\u30DE\u30B9\u30BF"), "");
  // Full-width punctuation is not the forbidden ASCII character.
  EXPECT_EQ(cause("\uFF0E\uFF01\uFF3B\uFF3D"), "");
  EXPECT_EQ(cause("\u3000\u540D\u524D"), "");  // an ideographic space is not a blank for Jet
  EXPECT_EQ(cause("\u793E\u54E1.\u540D"), "名前に使用できない文字 '.' が含まれています。");
}

TEST(Names, CharactersOutsideTheCodePageAreRefused) {
  EXPECT_EQ(cause("caf\u00E9"), "名前に、コードページ 932 で表せない文字 'é' が含まれています。");
  EXPECT_EQ(cause("T\U0001F600"), "名前に、コードページ 932 で表せない文字 '\U0001F600' が含まれています。");
  EXPECT_EQ(cause("caf\u00E9", cp1252()), "");
  EXPECT_EQ(cause("\u793E", cp1252()), "名前に、コードページ 1252 で表せない文字 '\u793E' が含まれています。");
  // A variant spelling that CP932 holds under another code point is representable.
  EXPECT_EQ(cause("A\u301CB"), "");
}

}  // namespace
}  // namespace vellicor::jet3
