// Shortening texts that do not fit: the middle gives way, a path keeps its file name, cuts fall
// between characters, and the result is the longest that fits.
#include <gtest/gtest.h>

#include "form/text_fit.h"
#include "text/utf8.h"

using namespace vellicor::form;

namespace {

size_t characters(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// A control as wide as `width` characters of one width each.
FitsTest upTo(size_t width) {
  return [width](const std::string& s) { return characters(s) <= width; };
}

}  // namespace

TEST(TextFit, MiddleKeepsBothEndsAndIsTheLongestThatFits) {
  const std::string status = "テーブル取得中...12/310 VERY_LONG_OBJECT_NAME_END";
  EXPECT_EQ(fitText(status, TextFit::Middle, upTo(200)), status);
  for (size_t width = 2; width < characters(status); ++width) {
    const std::string shown = fitText(status, TextFit::Middle, upTo(width));
    SCOPED_TRACE(shown);
    EXPECT_EQ(characters(shown), width);  // the longest that fits
    EXPECT_TRUE(vellicor::text::isValidUtf8(shown));
    const size_t cut = shown.find(kEllipsis);
    ASSERT_NE(cut, std::string::npos);
    const std::string head = shown.substr(0, cut), tail = shown.substr(cut + std::string(kEllipsis).size());
    EXPECT_EQ(status.compare(0, head.size(), head), 0);
    EXPECT_EQ(status.compare(status.size() - tail.size(), tail.size(), tail), 0);
    EXPECT_LE(characters(tail), characters(head));
    EXPECT_GE(characters(tail) + 1, characters(head));
  }
  // Room for nothing but the ellipsis, or not even that.
  EXPECT_EQ(fitText(status, TextFit::Middle, upTo(1)), kEllipsis);
  EXPECT_EQ(fitText(status, TextFit::Middle, upTo(0)), kEllipsis);
  // Texts short by nature are left to the control.
  EXPECT_EQ(fitText(status, TextFit::Cut, upTo(3)), status);
}

TEST(TextFit, PathKeepsTheFileNameWhole) {
  const std::string path = "/home/営業部/共有/二〇二四年度/月次/出力/hr_全社員.mdb";
  // From the ellipsis and the file name (13 characters) up.
  for (size_t width = 13; width < characters(path); ++width) {
    const std::string shown = fitText(path, TextFit::Path, upTo(width));
    SCOPED_TRACE(shown);
    EXPECT_EQ(characters(shown), width);
    EXPECT_EQ(shown.rfind("/hr_全社員.mdb"), shown.size() - std::string("/hr_全社員.mdb").size());
    if (width >= 13 + 9) {
      EXPECT_EQ(shown.rfind("/home", 0), 0u) << "the beginning stays while there is room";
    }
  }
  // Windows separators too.
  EXPECT_EQ(fitText("C:\\data\\deep\\folder\\out.mdb", TextFit::Path, upTo(16)), "C:\\d…der\\out.mdb");
  // A file name longer than the control: its own middle gives way, keeping the extension.
  const std::string longName = "/out/" + std::string(40, 'x') + ".mdb";
  const std::string shown = fitText(longName, TextFit::Path, upTo(20));
  EXPECT_EQ(characters(shown), 20u);
  EXPECT_EQ(shown.substr(shown.size() - 4), ".mdb");
  // Each control's rule.
  EXPECT_EQ(textFitOf(Control::lblsaveFilename), TextFit::Path);
  EXPECT_EQ(textFitOf(Control::lblTable), TextFit::Middle);
  EXPECT_EQ(textFitOf(Control::lblProgress), TextFit::Middle);
  EXPECT_EQ(textFitOf(Control::txtUID), TextFit::Cut);
}
