// Reads the diagnostic records of an ODBC handle through the wide API (so Japanese driver
// messages arrive intact) and raises them as dao::Error.
#include "dataaccess/odbc/odbc_diag.h"

#include <algorithm>
#include <vector>

#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {

std::string diagnosticText(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string text;
  if (handle == SQL_NULL_HANDLE) return text;
  std::vector<SQLWCHAR> message(1024);
  for (SQLSMALLINT rec = 1;; ++rec) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(length) >= message.size()) {
      message.resize(static_cast<size_t>(length) + 1);  // the message was cut: ask again
      rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    size_t n = std::min(static_cast<size_t>(length), message.size() - 1);
    while (n > 0 && (message[n - 1] == '\n' || message[n - 1] == '\r')) --n;
    if (!text.empty()) text += '\n';
    appendUtf8(text, message.data(), n);
  }
  return text;
}

std::string firstSqlState(SQLSMALLINT handleType, SQLHANDLE handle) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[2];
  SQLSMALLINT length = 0;
  SQLRETURN rc = SQLGetDiagRecW(handleType, handle, 1, state, &native, message, 2, &length);
  if (!SQL_SUCCEEDED(rc)) return {};
  return toUtf8(state, 5);
}

void raise(SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
  std::string text = diagnosticText(handleType, handle);
  if (text.empty()) text = std::string("ODBC 呼び出しに失敗しました (") + what + ")。";
  throw dao::Error(std::move(text), kOdbcCallFailed);
}

}  // namespace vellicor::odbc
