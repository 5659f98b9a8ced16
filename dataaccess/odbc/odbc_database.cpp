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

std::vector<dao::IndexDef> OdbcDatabase::keysOf(const std::string& table, const std::string& owner) {
  if (!connection_->isOpen()) throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
  return odbc::keysOf(*connection_, table, owner);
}

}  // namespace vellicor::odbc
