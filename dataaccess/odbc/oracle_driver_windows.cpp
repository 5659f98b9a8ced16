// Windows: the drivers the driver manager lists (SQLDriversW), of this process's width, looked up
// once; the Oracle one is chosen by chooseOracleDriver.
#include <algorithm>
#include <iterator>

#include "dataaccess/odbc/odbc_api.h"
#include "dataaccess/odbc/odbc_text.h"
#include "dataaccess/odbc/oracle_driver.h"

namespace vellicor::odbc {
namespace {

std::vector<std::string> installedDrivers() {
  std::vector<std::string> names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLWCHAR name[512];
  SQLWCHAR attributes[2048];
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    const SQLRETURN rc = SQLDriversW(env, direction, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength,
                                     attributes, static_cast<SQLSMALLINT>(std::size(attributes)), &attributesLength);
    if (!SQL_SUCCEEDED(rc)) break;
    const size_t length = std::min<size_t>(nameLength < 0 ? 0 : static_cast<size_t>(nameLength), std::size(name) - 1);
    names.push_back(toUtf8(name, length));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

}  // namespace

std::string oracleDriverName() {
  static const std::string chosen = chooseOracleDriver(installedDrivers());
  return chosen;
}

}  // namespace vellicor::odbc
