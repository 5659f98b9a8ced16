// Reading a table's keys from the driver: SQLPrimaryKeys and SQLStatistics with their text columns
// read in pieces, and, when the rows need it, a query on the table for its schema and columns.
#include "dataaccess/odbc/odbc_keys.h"

#include <algorithm>
#include <optional>

#include "dataaccess/odbc/catalog_keys.h"
#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_returned_text.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {
namespace {

// Result columns of SQLPrimaryKeys.
namespace pk {
constexpr SQLUSMALLINT kSchema = 2;
constexpr SQLUSMALLINT kColumn = 4;
constexpr SQLUSMALLINT kKeySeq = 5;
constexpr SQLUSMALLINT kName = 6;
}  // namespace pk

// Result columns of SQLStatistics.
namespace stats {
constexpr SQLUSMALLINT kSchema = 2;
constexpr SQLUSMALLINT kNonUnique = 4;
constexpr SQLUSMALLINT kIndexName = 6;
constexpr SQLUSMALLINT kType = 7;
constexpr SQLUSMALLINT kOrdinal = 8;
constexpr SQLUSMALLINT kColumn = 9;
constexpr SQLUSMALLINT kAscOrDesc = 10;
constexpr SQLUSMALLINT kFilter = 13;
}  // namespace stats

// The states of a driver (or driver manager) that does not offer a call or this use of it.
constexpr const char* kFunctionNotSupported = "IM001";
constexpr const char* kOptionalFeature = "HYC00";

// An integer column of the current row; false for Null.
bool columnInteger(SQLHSTMT stmt, SQLUSMALLINT column, long& value) {
  SQLINTEGER v = 0;
  SQLLEN indicator = 0;
  check(SQLGetData(stmt, column, SQL_C_SLONG, &v, sizeof v, &indicator), SQL_HANDLE_STMT, stmt, "SQLGetData");
  if (indicator == SQL_NULL_DATA) return false;
  value = v;
  return true;
}

std::string textOrEmpty(SQLHSTMT stmt, SQLUSMALLINT column) {
  std::string text;
  if (!columnText(stmt, column, text)) text.clear();
  return text;
}

// False only when the driver manager says the driver lacks the function.
bool offered(SQLHDBC dbc, SQLUSMALLINT function) {
  SQLUSMALLINT supported = SQL_TRUE;
  return !SQL_SUCCEEDED(SQLGetFunctions(dbc, function, &supported)) || supported != SQL_FALSE;
}

// Whether a catalog call gave a result: false when the driver cannot answer it; other failures throw.
bool answered(SQLRETURN rc, SQLHSTMT stmt, const char* what) {
  if (SQL_SUCCEEDED(rc)) return true;
  const std::string state = firstSqlState(SQL_HANDLE_STMT, stmt);
  if (state == kFunctionNotSupported || state == kOptionalFeature) return false;
  raise(SQL_HANDLE_STMT, stmt, what);
}

bool fetch(SQLHSTMT stmt) {
  const SQLRETURN rc = SQLFetch(stmt);
  if (rc == SQL_NO_DATA) return false;
  check(rc, SQL_HANDLE_STMT, stmt, "SQLFetch");
  return true;
}

// Columns are read in ascending order: drivers need not allow SQLGetData to go back.
void readPrimaryKey(Connection& connection, WideString& table, std::vector<PrimaryKeyRow>& out) {
  if (!offered(connection.handle(), SQL_API_SQLPRIMARYKEYS)) return;
  auto statement = connection.newStatement();
  SQLHSTMT stmt = statement->handle();
  if (!answered(SQLPrimaryKeysW(stmt, nullptr, 0, nullptr, 0, table.data(), SQL_NTS), stmt, "SQLPrimaryKeys")) return;
  while (fetch(stmt)) {
    PrimaryKeyRow r;
    r.schema = textOrEmpty(stmt, pk::kSchema);
    r.column = textOrEmpty(stmt, pk::kColumn);
    columnInteger(stmt, pk::kKeySeq, r.keySeq);
    r.name = textOrEmpty(stmt, pk::kName);
    out.push_back(std::move(r));
  }
}

void readUniqueIndexes(Connection& connection, WideString& table, std::vector<UniqueIndexRow>& out) {
  if (!offered(connection.handle(), SQL_API_SQLSTATISTICS)) return;
  auto statement = connection.newStatement();
  SQLHSTMT stmt = statement->handle();
  if (!answered(SQLStatisticsW(stmt, nullptr, 0, nullptr, 0, table.data(), SQL_NTS, SQL_INDEX_UNIQUE, SQL_QUICK), stmt,
                "SQLStatistics")) {
    return;
  }
  while (fetch(stmt)) {
    UniqueIndexRow r;
    r.schema = textOrEmpty(stmt, stats::kSchema);
    long nonUnique = SQL_TRUE;
    long type = SQL_TABLE_STAT;
    // A row that does not say it is of a unique index is not taken as one.
    if (!columnInteger(stmt, stats::kNonUnique, nonUnique) || nonUnique != SQL_FALSE) continue;
    if (!columnText(stmt, stats::kIndexName, r.name)) continue;
    if (!columnInteger(stmt, stats::kType, type) || type == SQL_TABLE_STAT) continue;
    columnInteger(stmt, stats::kOrdinal, r.ordinal);
    r.column = textOrEmpty(stmt, stats::kColumn);
    r.descending = textOrEmpty(stmt, stats::kAscOrDesc) == "D";
    r.filtered = !textOrEmpty(stmt, stats::kFilter).empty();
    out.push_back(std::move(r));
  }
}

// The driver's identifier quote ("" when it has none).
std::string identifierQuote(SQLHDBC dbc) {
  std::string quote;
  const SQLRETURN rc = callForText<SQLSMALLINT>(
      [&](SQLWCHAR* buffer, size_t capacity, SQLSMALLINT* length) {
        return SQLGetInfoW(dbc, SQL_IDENTIFIER_QUOTE_CHAR, buffer, static_cast<SQLSMALLINT>(capacity * sizeof(SQLWCHAR)),
                           length);
      },
      quote, 8);
  if (!SQL_SUCCEEDED(rc) || quote == " ") quote.clear();
  return quote;
}

std::string quoted(const std::string& name, const std::string& quote) {
  if (quote.empty()) return name;
  std::string out = quote;
  for (size_t i = 0; i < name.size();) {
    if (name.compare(i, quote.size(), quote) == 0) {
      out += quote + quote;
      i += quote.size();
    } else {
      out += name[i++];
    }
  }
  return out + quote;
}

// Reads no rows: the schema and the columns of what the plain name names in a query.
QueriedTable queryTable(Connection& connection, const std::string& table) {
  auto statement = connection.newStatement();
  SQLHSTMT stmt = statement->handle();
  WideString sql = toWide("select * from " + quoted(table, identifierQuote(connection.handle())) + " where 1=0");
  check(SQLExecDirectW(stmt, sql.data(), SQL_NTS), SQL_HANDLE_STMT, stmt, "SQLExecDirect");
  SQLSMALLINT count = 0;
  check(SQLNumResultCols(stmt, &count), SQL_HANDLE_STMT, stmt, "SQLNumResultCols");
  QueriedTable queried;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    std::string name;
    check(callForText<SQLSMALLINT>(
              [&](SQLWCHAR* buffer, size_t capacity, SQLSMALLINT* length) {
                SQLSMALLINT type = 0, digits = 0, nullable = 0;
                SQLULEN size = 0;
                return SQLDescribeColW(stmt, i, buffer, static_cast<SQLSMALLINT>(capacity), length, &type, &size,
                                       &digits, &nullable);
              },
              name),
          SQL_HANDLE_STMT, stmt, "SQLDescribeCol");
    queried.columns.push_back(std::move(name));
    if (!queried.schema.empty()) continue;
    // A driver that cannot name the column's schema leaves it "": the caller then cannot tell.
    std::string schema;
    const SQLRETURN rc = callForText<SQLSMALLINT>(
        [&](SQLWCHAR* buffer, size_t capacity, SQLSMALLINT* length) {
          return SQLColAttributeW(stmt, i, SQL_DESC_SCHEMA_NAME, buffer,
                                  static_cast<SQLSMALLINT>(capacity * sizeof(SQLWCHAR)), length, nullptr);
        },
        schema);
    if (SQL_SUCCEEDED(rc)) queried.schema = std::move(schema);
  }
  return queried;
}

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

bool hasUniqueIndex(const std::vector<dao::IndexDef>& keys) {
  return std::any_of(keys.begin(), keys.end(), [](const dao::IndexDef& k) { return !k.primary; });
}

}  // namespace

std::vector<dao::IndexDef> keysOf(Connection& connection, const std::string& identifier, const std::string& owner) {
  const std::string table = storedName(connection.handle(), identifier);
  WideString name = toWide(table);
  CatalogKeys rows;
  readPrimaryKey(connection, name, rows.primaryKey);
  readUniqueIndexes(connection, name, rows.uniqueIndexes);
  if (rows.empty()) return {};

  std::optional<QueriedTable> queried;
  auto query = [&]() -> QueriedTable {
    if (!queried) queried = queryTable(connection, table);
    return *queried;
  };
  const std::optional<std::string> schema = schemaOfTable(rows, owner, query);
  if (!schema) return {};
  std::vector<dao::IndexDef> keys = keysFromRows(rows, *schema, nullptr);
  // The unique indexes' columns are held to the table's own: an expression is not a column.
  if (hasUniqueIndex(keys)) {
    query();
    keys = keysFromRows(rows, *schema, &queried->columns);
  }
  return keys;
}

}  // namespace vellicor::odbc
