// Diagnostics: turns a failed ODBC call into dao::Error carrying the driver's own message texts
// (every diagnostic record, one a line).
#pragma once

#include "dataaccess/odbc/odbc_api.h"

#include <string>

#include "dataaccess/dao.h"

namespace vellicor::odbc {

// DAO's number for a failed ODBC call ("ODBC--call failed").
inline constexpr int kOdbcCallFailed = dao::errnum::kOdbcCallFailed;

// The message texts of all diagnostic records of a handle, joined by newlines; empty when none.
std::string diagnosticText(SQLSMALLINT handleType, SQLHANDLE handle);
// The SQLSTATE of the first diagnostic record, or "" when there is none.
std::string firstSqlState(SQLSMALLINT handleType, SQLHANDLE handle);

// Throws dao::Error with the handle's diagnostics; `what` names the call when the driver said nothing.
[[noreturn]] void raise(SQLSMALLINT handleType, SQLHANDLE handle, const char* what);

// Throws unless rc is SQL_SUCCESS or SQL_SUCCESS_WITH_INFO.
inline void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
  if (!SQL_SUCCEEDED(rc)) raise(handleType, handle, what);
}

}  // namespace vellicor::odbc
