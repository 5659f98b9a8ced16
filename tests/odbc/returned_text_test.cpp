// Names and messages taken out of ODBC buffers whatever length the driver reports beside them:
// characters, bytes (the SQLite driver's column names), or more than the buffer holds.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dataaccess/odbc/odbc_returned_text.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {
namespace {

const std::string kName = "社員番号";  // four characters, twelve bytes of UTF-8

// A buffer as a driver leaves it: the text, its terminator, then leftovers of earlier calls.
std::vector<SQLWCHAR> driverBuffer(const std::string& text, size_t capacity) {
  std::vector<SQLWCHAR> buffer(capacity, SQLWCHAR(0x3042));  // junk: 'あ'
  const WideString w = toWide(text);
  const size_t n = std::min(w.size(), capacity - 1);
  std::copy(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(n), buffer.begin());
  buffer[n] = 0;
  return buffer;
}

TEST(ReturnedText, EndsAtTheReportedLengthOrTheFirstNulWhicheverComesFirst) {
  const auto buffer = driverBuffer(kName, 64);
  EXPECT_EQ(takeReturnedText(buffer.data(), buffer.size(), 4), kName) << "characters";
  EXPECT_EQ(takeReturnedText(buffer.data(), buffer.size(), 8), kName) << "UTF-16 bytes";
  EXPECT_EQ(takeReturnedText(buffer.data(), buffer.size(), 12), kName) << "UTF-8 bytes";
  EXPECT_EQ(takeReturnedText(buffer.data(), buffer.size(), 2), "社員") << "a shorter length is believed";
  EXPECT_EQ(takeReturnedText(buffer.data(), buffer.size(), SQL_NTS), kName) << "no length";
  EXPECT_EQ(takeReturnedText(buffer.data(), buffer.size(), 0), "");
}

TEST(ReturnedText, ALengthPastTheBufferNeverReadsPastIt) {
  // No terminator anywhere: a driver that filled the buffer to its end.
  std::vector<SQLWCHAR> full(5, SQLWCHAR(u'名'));
  EXPECT_EQ(takeReturnedText(full.data(), full.size(), 1000), "名名名名");  // the last unit is the terminator's
  EXPECT_TRUE(mayBeCut(full.size(), 5));
  EXPECT_TRUE(mayBeCut(full.size(), 1000));
  EXPECT_FALSE(mayBeCut(full.size(), 4));
  EXPECT_FALSE(mayBeCut(full.size(), SQL_NTS));
}

// A driver call answering with `text`, reporting its length through `report` (units of text).
struct FakeCall {
  std::string text;
  std::function<SQLSMALLINT(size_t units)> report;
  std::vector<size_t> capacities;  // of every call
  SQLRETURN operator()(SQLWCHAR* buffer, size_t capacity, SQLSMALLINT* length) {
    capacities.push_back(capacity);
    const auto b = driverBuffer(text, capacity);
    std::copy(b.begin(), b.end(), buffer);
    *length = report(toWide(text).size());
    return toWide(text).size() >= capacity ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
  }
};

TEST(ReturnedText, ACutTextIsAskedForAgainWithTheBufferItNeeds) {
  const std::string longName = std::string(300, 'C') + kName;
  FakeCall inCharacters{longName, [](size_t n) { return static_cast<SQLSMALLINT>(n); }, {}};
  std::string got;
  ASSERT_EQ(callForText<SQLSMALLINT>(std::ref(inCharacters), got, 16), SQL_SUCCESS);
  EXPECT_EQ(got, longName);
  EXPECT_EQ(inCharacters.capacities, (std::vector<size_t>{16, 305}));

  // Bytes overstate the need: one call more than needed, the same text.
  FakeCall inBytes{kName, [](size_t n) { return static_cast<SQLSMALLINT>(3 * n); }, {}};
  ASSERT_TRUE(SQL_SUCCEEDED(callForText<SQLSMALLINT>(std::ref(inBytes), got, 8)));
  EXPECT_EQ(got, kName);
  EXPECT_EQ(inBytes.capacities, (std::vector<size_t>{8, 13}));
}

TEST(ReturnedText, ADriverThatAlwaysWantsMoreEndsWithTheTextCutNotALoop) {
  FakeCall greedy{std::string(40, 'X'), [](size_t) { return SQLSMALLINT(32000); }, {}};
  greedy.report = [&greedy](size_t) { return static_cast<SQLSMALLINT>(greedy.capacities.back() * 2); };
  std::string got;
  ASSERT_TRUE(SQL_SUCCEEDED(callForText<SQLSMALLINT>(std::ref(greedy), got, 8)));
  EXPECT_LE(greedy.capacities.size(), 4u);
  EXPECT_EQ(got, std::string(40, 'X'));  // its buffers grew past the text, which ends at its NUL
}

}  // namespace
}  // namespace vellicor::odbc
