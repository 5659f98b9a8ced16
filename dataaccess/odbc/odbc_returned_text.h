// Names and messages that ODBC calls write into a caller's buffer (column names, diagnostics,
// catalog results), taken so that no driver's way of reporting their length can leak bytes past them.
#pragma once

#include "dataaccess/odbc/odbc_api.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace vellicor::odbc {

// Drivers disagree on the length they report beside such a text: in characters (as ODBC says),
// in bytes (the SQLite driver's column names), with or without the terminator. The text is
// therefore taken up to the smaller of the reported length and the first NUL, and never past the
// buffer: `capacity` is the buffer's size in units, terminator included.
std::string takeReturnedText(const SQLWCHAR* buffer, size_t capacity, SQLLEN reported);

// Whether a call that reported `reported` into a buffer of `capacity` units (terminator included)
// may have cut its text: it is then asked again with a buffer of reported + 1 units.
inline bool mayBeCut(size_t capacity, SQLLEN reported) {
  return reported >= 0 && static_cast<size_t>(reported) >= capacity;
}

// Runs ask(buffer, capacityUnits, &reported) -> SQLRETURN with a buffer that grows until the
// reported length fits (at most a few times: a driver that keeps reporting more is taken as it
// stands, cut). Returns the call's last result; the text goes to `text` when it succeeded.
template <typename Length, typename Call>
SQLRETURN callForText(Call&& ask, std::string& text, size_t initialCapacity = 256) {
  // SQLSMALLINT buffer lengths end at 32767 units.
  constexpr size_t kMostUnits = 32767;
  constexpr int kMostCalls = 4;
  std::vector<SQLWCHAR> buffer(initialCapacity);
  for (int call = 1;; ++call) {
    Length reported = 0;
    const SQLRETURN rc = ask(buffer.data(), buffer.size(), &reported);
    if (!SQL_SUCCEEDED(rc)) return rc;
    const SQLLEN length = static_cast<SQLLEN>(reported);
    if (!mayBeCut(buffer.size(), length) || call == kMostCalls || buffer.size() >= kMostUnits) {
      text = takeReturnedText(buffer.data(), buffer.size(), length);
      return rc;
    }
    buffer.assign(std::min(static_cast<size_t>(length) + 1, kMostUnits), SQLWCHAR(0));
  }
}

// One text column of the current row of a catalog result (SQLTables and the like), read with
// SQLGetData in pieces so that no length is too long; false for Null.
bool columnText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& text);

}  // namespace vellicor::odbc
