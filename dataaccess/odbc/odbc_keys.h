// A source table's keys through the driver's catalog: SQLPrimaryKeys and SQLStatistics read into
// rows, and the rows of the table's own schema made into index definitions (catalog_keys.h).
#pragma once

#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/odbc_handles.h"

namespace vellicor::odbc {

// The keys of the table that `identifier` names as a query's text does (a quoted identifier
// exactly, a plain one in the letter case the server keeps unquoted names in: Oracle's upper,
// PostgreSQL's lower) in `owner`'s schema. Both calls
// go with no schema, since drivers read a schema argument differently (Oracle's matches it
// exactly; psqlODBC's finds only that schema, not the search path's; SQLite's has none). Of the
// rows, those of the schema named `owner` (ignoring ASCII case) count, else those of the schema a
// query on the plain name reads (psqlODBC: the first on the search path holding the table), and
// otherwise none: keys of a same-named table of another schema are never taken.
// A call the driver cannot answer (not offered, IM001, HYC00) adds nothing; any other failure
// throws dao::Error with the driver's diagnostics.
std::vector<dao::IndexDef> keysOf(Connection& connection, const std::string& identifier, const std::string& owner);

}  // namespace vellicor::odbc
