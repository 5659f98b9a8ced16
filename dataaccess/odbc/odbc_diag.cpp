// Reads the diagnostic records of an ODBC handle through the wide API (so Japanese driver
// messages arrive intact) and raises them as dao::Error.
#include "dataaccess/odbc/odbc_diag.h"

#include "dataaccess/odbc/odbc_returned_text.h"

namespace vellicor::odbc {

// An SQLSTATE is five characters.
constexpr size_t kSqlStateUnits = 5;

std::string diagnosticText(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string text;
  if (handle == SQL_NULL_HANDLE) return text;
  for (SQLSMALLINT rec = 1;; ++rec) {
    std::string message;
    const SQLRETURN rc = callForText<SQLSMALLINT>(
        [&](SQLWCHAR* buffer, size_t capacity, SQLSMALLINT* length) {
          SQLWCHAR state[kSqlStateUnits + 1] = {};
          SQLINTEGER native = 0;
          return SQLGetDiagRecW(handleType, handle, rec, state, &native, buffer, static_cast<SQLSMALLINT>(capacity),
                                length);
        },
        message, 1024);
    if (!SQL_SUCCEEDED(rc)) break;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    if (!text.empty()) text += '\n';
    text += message;
  }
  return text;
}

std::string firstSqlState(SQLSMALLINT handleType, SQLHANDLE handle) {
  SQLWCHAR state[kSqlStateUnits + 1] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[2];
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLGetDiagRecW(handleType, handle, 1, state, &native, message, 2, &length);
  if (!SQL_SUCCEEDED(rc)) return {};
  return takeReturnedText(state, kSqlStateUnits + 1, kSqlStateUnits);
}

void raise(SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
  std::string text = diagnosticText(handleType, handle);
  if (text.empty()) text = std::string("ODBC 呼び出しに失敗しました (") + what + ")。";
  throw dao::Error(std::move(text), kOdbcCallFailed);
}

}  // namespace vellicor::odbc
