// The source database over one ODBC connection: recordsets from SQL texts, the list of the
// driver's tables and a table's keys. Writes are refused.
#include "dataaccess/odbc/odbc_database.h"

#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_field.h"
#include "dataaccess/odbc/odbc_keys.h"
#include "dataaccess/odbc/odbc_recordset.h"
#include "dataaccess/odbc/odbc_returned_text.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {

// TABLE_NAME in the result of SQLTables.
constexpr SQLUSMALLINT kTableNameColumn = 3;

std::unique_ptr<dao::Recordset> OdbcDatabase::openRecordset(const std::string& source, int) {
  if (!connection_->isOpen()) throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
  return std::make_unique<OdbcRecordset>(connection_, source);
}

void OdbcDatabase::appendTableDef(const dao::TableDef&) { refuseWrite(); }

std::vector<std::string> OdbcDatabase::tableNames() {
  auto statement = connection_->newStatement();
  SQLHSTMT stmt = statement->handle();
  WideString types = toWide("TABLE,VIEW");
  check(SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, types.data(), static_cast<SQLSMALLINT>(types.size())),
        SQL_HANDLE_STMT, stmt, "SQLTables");
  std::vector<std::string> names;
  for (;;) {
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    check(rc, SQL_HANDLE_STMT, stmt, "SQLFetch");
    std::string name;
    if (columnText(stmt, kTableNameColumn, name)) names.push_back(std::move(name));
  }
  return names;
}

namespace {

// The name the catalog keeps for a table a query names `identifier`: a quoted identifier exactly
// (its doubled quotes made single), a plain one in the letter case the server keeps unquoted names
// in (Oracle's upper case, PostgreSQL's lower case).
std::string storedName(SQLHDBC dbc, const std::string& identifier) {
  if (identifier.size() >= 2 && identifier.front() == '"' && identifier.back() == '"') {
    std::string name;
    for (size_t i = 1; i + 1 < identifier.size(); ++i) {
      name += identifier[i];
      if (identifier[i] == '"' && identifier[i + 1] == '"') ++i;
    }
    return name;
  }
  SQLUSMALLINT letterCase = SQL_IC_UPPER;
  if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_IDENTIFIER_CASE, &letterCase, sizeof letterCase, nullptr))) return identifier;
  std::string name = identifier;
  for (char& c : name) {
    if (letterCase == SQL_IC_LOWER && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (letterCase == SQL_IC_UPPER && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return name;
}

}  // namespace

std::vector<dao::IndexDef> OdbcDatabase::keysOf(const std::string& table, const std::string& owner) {
  if (!connection_->isOpen()) throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
  return odbc::keysOf(*connection_, storedName(connection_->handle(), table), owner);
}

}  // namespace vellicor::odbc
