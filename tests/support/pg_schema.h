// Test schemas on the PostgreSQL stand-in, built once per server: test processes that run side by
// side share a schema, and one that rebuilt it under another's run would pull its tables away.
#pragma once

#include <string>

namespace vellicor::testing {

// Makes `schema` hold what `sql` (statements separated by ';') creates, run with the schema first on
// the search path, unless it already does: the build and the check happen under one advisory lock,
// and the schema's comment carries a tag of the SQL that made it. `connect`: a full connect string.
void buildPgSchemaOnce(const std::string& connect, const std::string& schema, const std::string& sql);

}  // namespace vellicor::testing
