// Test schemas built once per server through ODBC (so that the Windows build of the tests, under
// Wine, builds them as the Linux one does), under an advisory lock, tagged with their SQL.
#include "support/pg_schema.h"

#include <cstdint>
#include <memory>

#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/odbc/odbc_returned_text.h"
#include "dataaccess/odbc/odbc_script.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::testing {
namespace {

using namespace vellicor::odbc;

// FNV-1a: the same tag from every build of the tests (std::hash differs between them).
std::string scriptTag(const std::string& sql) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : sql) h = (h ^ c) * 1099511628211ull;
  std::string tag = "vellicor-setup-";
  for (int shift = 60; shift >= 0; shift -= 4) tag += "0123456789abcdef"[(h >> shift) & 0xF];
  return tag;
}

// Executes one statement; the first column of its first row, "" when it has none.
std::string execute(Connection& connection, const std::string& sql) {
  auto statement = connection.newStatement();
  SQLHSTMT stmt = statement->handle();
  WideString text = toWide(sql);
  const SQLRETURN rc = SQLExecDirectW(stmt, text.data(), SQL_NTS);
  if (rc == SQL_NO_DATA) return {};
  check(rc, SQL_HANDLE_STMT, stmt, sql.c_str());
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  std::string value;
  if (columns > 0 && SQL_SUCCEEDED(SQLFetch(stmt))) columnText(stmt, 1, value);
  return value;
}

}  // namespace

void buildPgSchemaOnce(const std::string& connect, const std::string& schema, const std::string& sql) {
  constexpr const char* kSetupLock = "4240";
  const std::string tag = scriptTag(sql);
  auto connection = std::make_shared<Connection>(std::make_shared<Environment>());
  connection->open(connect, false);
  execute(*connection, std::string("select pg_advisory_lock(") + kSetupLock + ")");
  const std::string current = execute(*connection, "select coalesce(obj_description(oid, 'pg_namespace'), '') "
                                                   "from pg_namespace where nspname = '" + schema + "'");
  if (current != tag) {
    execute(*connection, "drop schema if exists " + schema + " cascade");
    execute(*connection, "create schema " + schema);
    execute(*connection, "set search_path to " + schema);
    for (const std::string& statement : splitStatements(sql)) execute(*connection, statement);
    execute(*connection, "comment on schema " + schema + " is '" + tag + "'");
  }
  execute(*connection, std::string("select pg_advisory_unlock(") + kSetupLock + ")");
  connection->close();
}

}  // namespace vellicor::testing
