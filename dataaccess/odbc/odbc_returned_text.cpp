// Taking names and messages out of ODBC buffers: the shortest of reported length, first NUL and
// buffer; catalog text columns read in pieces.
#include "dataaccess/odbc/odbc_returned_text.h"

#include <algorithm>

#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {

std::string takeReturnedText(const SQLWCHAR* buffer, size_t capacity, SQLLEN reported) {
  if (capacity == 0) return {};
  size_t limit = capacity - 1;  // the last unit is the terminator's, whatever the driver says
  if (reported >= 0) limit = std::min(limit, static_cast<size_t>(reported));
  const SQLWCHAR* end = std::find(buffer, buffer + limit, SQLWCHAR(0));
  return toUtf8(buffer, static_cast<size_t>(end - buffer));
}

bool columnText(SQLHSTMT stmt, SQLUSMALLINT column, std::string& text) {
  constexpr SQLLEN kPieceUnits = 256;
  SQLWCHAR piece[kPieceUnits];
  WideString whole;
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, piece, sizeof piece, &ind);
    if (rc == SQL_NO_DATA) break;
    check(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
    if (ind == SQL_NULL_DATA) return false;
    // A piece holds at most the buffer less its terminator; a shorter piece ends the value. The
    // indicator counts bytes here, but a driver counting characters is still held to the buffer.
    const bool cut = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind >= static_cast<SQLLEN>(sizeof piece));
    const size_t units = cut ? kPieceUnits - 1 : std::min<size_t>(static_cast<size_t>(ind) / sizeof(SQLWCHAR), kPieceUnits - 1);
    const SQLWCHAR* end = std::find(piece, piece + units, SQLWCHAR(0));
    whole.append(piece, static_cast<size_t>(end - piece));
    if (!cut || end != piece + units) break;
  }
  text = toUtf8(whole.data(), whole.size());
  return true;
}

}  // namespace vellicor::odbc
