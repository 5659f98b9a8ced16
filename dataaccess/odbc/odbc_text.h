// Text at the ODBC border: UTF-8 inside the program, UTF-16 (SQLWCHAR) for the driver's wide API.
// Ill-formed input never fails; it becomes U+FFFD.
#pragma once

#include "dataaccess/odbc/odbc_api.h"

#include <string>
#include <string_view>

namespace vellicor::odbc {

using WideString = std::basic_string<SQLWCHAR>;

WideString toWide(std::string_view utf8);
std::string toUtf8(const SQLWCHAR* units, size_t count);
inline std::string toUtf8(const WideString& w) { return toUtf8(w.data(), w.size()); }
// Appends instead of returning, so a caller can reuse its buffer.
// Writes the UTF-8 of `count` units to `out`, which holds at least 3 * count bytes (a unit gives at
// most three bytes; a surrogate pair, two units, gives four). Returns the bytes written.
size_t writeUtf8(char* out, const SQLWCHAR* units, size_t count);
void appendUtf8(std::string& out, const SQLWCHAR* units, size_t count);

}  // namespace vellicor::odbc
