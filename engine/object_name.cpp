// Quoting of object names for query texts. Names the server lists in mixed case, with blanks or
// other characters (recycle-bin names, Japanese names) only resolve as quoted identifiers, and so
// do names that are reserved words of Oracle's SQL (a table created as "ORDER").
#include "engine/object_name.h"

#include <algorithm>
#include <iterator>

namespace vellicor::engine {
namespace {

// Oracle's reserved words of SQL: none of them may stand unquoted as an object name.
constexpr std::string_view kReservedWords[] = {
    "ACCESS",     "ADD",       "ALL",        "ALTER",     "AND",       "ANY",         "AS",
    "ASC",        "AUDIT",     "BETWEEN",    "BY",        "CHAR",      "CHECK",       "CLUSTER",
    "COLUMN",     "COLUMN_VALUE", "COMMENT", "COMPRESS",  "CONNECT",   "CREATE",      "CURRENT",
    "DATE",       "DECIMAL",   "DEFAULT",    "DELETE",    "DESC",      "DISTINCT",    "DROP",
    "ELSE",       "EXCLUSIVE", "EXISTS",     "FILE",      "FLOAT",     "FOR",         "FROM",
    "GRANT",      "GROUP",     "HAVING",     "IDENTIFIED", "IMMEDIATE", "IN",         "INCREMENT",
    "INDEX",      "INITIAL",   "INSERT",     "INTEGER",   "INTERSECT", "INTO",        "IS",
    "LEVEL",      "LIKE",      "LOCK",       "LONG",      "MAXEXTENTS", "MINUS",      "MLSLABEL",
    "MODE",       "MODIFY",    "NESTED_TABLE_ID", "NOAUDIT", "NOCOMPRESS", "NOT",     "NOWAIT",
    "NULL",       "NUMBER",    "OF",         "OFFLINE",   "ON",        "ONLINE",      "OPTION",
    "OR",         "ORDER",     "PCTFREE",    "PRIOR",     "PUBLIC",    "RAW",         "RENAME",
    "RESOURCE",   "REVOKE",    "ROW",        "ROWID",     "ROWNUM",    "ROWS",        "SELECT",
    "SESSION",    "SET",       "SHARE",      "SIZE",      "SMALLINT",  "START",       "SUCCESSFUL",
    "SYNONYM",    "SYSDATE",   "TABLE",      "THEN",      "TO",        "TRIGGER",     "UID",
    "UNION",      "UNIQUE",    "UPDATE",     "USER",      "VALIDATE",  "VALUES",      "VARCHAR",
    "VARCHAR2",   "VIEW",      "WHENEVER",   "WHERE",     "WITH",      "PRIVILEGES",  // PRIVILEGES: reserved in older releases
};

bool isReservedWord(std::string_view name) {
  return std::find(std::begin(kReservedWords), std::end(kReservedWords), name) != std::end(kReservedWords);
}

}  // namespace

bool isPlainIdentifier(std::string_view name) {
  if (name.empty() || name[0] < 'A' || name[0] > 'Z') return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
    if (!ok) return false;
  }
  return true;
}

std::string quoteObjectName(std::string_view name) {
  if (isPlainIdentifier(name) && !isReservedWord(name)) return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace vellicor::engine
