// A table's keys from the rows the ODBC catalog gives of them (SQLPrimaryKeys, SQLStatistics):
// which schema's rows are the table's, and the index definitions those rows make. No driver calls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/dao.h"

namespace vellicor::odbc {

// A row of SQLPrimaryKeys. Schema "" when the driver has none.
struct PrimaryKeyRow {
  std::string schema;
  std::string column;
  long keySeq = 0;
  std::string name;  // PK_NAME; "" when the driver gives none
};

// A row of SQLStatistics for a column of a unique index (statistics rows and rows of non-unique
// indexes are not kept).
struct UniqueIndexRow {
  std::string schema;
  std::string name;
  std::string column;  // "" when the driver gives none (an expression)
  long ordinal = 0;
  bool descending = false;
  bool filtered = false;  // the driver gave a FILTER_CONDITION: the index holds only some rows
};

struct CatalogKeys {
  std::vector<PrimaryKeyRow> primaryKey;
  std::vector<UniqueIndexRow> uniqueIndexes;
  bool empty() const { return primaryKey.empty() && uniqueIndexes.empty(); }
};

// What a query on the table's plain name reads: the schema the driver says its columns come from
// ("" when it cannot tell) and the names of its columns.
struct QueriedTable {
  std::string schema;
  std::vector<std::string> columns;
};

// The schema whose rows describe the table: "" for a driver without schemas; else the schema
// named `owner` (exactly, or else the only one equal ignoring ASCII case); else the schema a query
// on the plain name reads (asked of `query` only then), when rows of it came back. nullopt when
// none of these holds: the rows are another schema's table, and no keys are better than its keys.
std::optional<std::string> schemaOfTable(const CatalogKeys& rows, const std::string& owner,
                                         const std::function<QueriedTable()>& query);

// The keys the rows of `schema` make: the primary key (columns by KEY_SEQ; none when the rows
// name several keys or repeat a KEY_SEQ, as a driver listing unique constraints in its place
// does), then the unique indexes by name (columns by ORDINAL_POSITION). An index over exactly the
// primary key's columns (in any order) backs it and is left out, and so is a filtered index. When
// `columns` is given, an index column that is not among them (an expression the driver put into
// words) becomes "".
std::vector<dao::IndexDef> keysFromRows(const CatalogKeys& rows, const std::string& schema,
                                        const std::vector<std::string>* columns);

}  // namespace vellicor::odbc
