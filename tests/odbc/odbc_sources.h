// Test access to the two stand-in sources: the demo SQLite file (built once per test process from
// app/demo/demo_schema.sql) and the PostgreSQL stand-in started by tests/standin/pg_standin.sh,
// with schemas of the tests' own built there once; a source's keys in one line for comparisons.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dataaccess/dao.h"

namespace vellicor::odbc::testing {

// "Driver=SQLite3;Database=<fresh copy of the demo source>".
std::string sqliteConnect();
// A private SQLite file built from the demo schema plus `extraSql`, for tests that add objects.
std::string sqliteConnectWith(const std::string& name, const std::string& extraSql);

// The PostgreSQL stand-in's settings, or empty strings when the stand-in is not running.
struct PgSettings {
  std::string templ, server, user, password;
  bool available() const { return !templ.empty(); }
  std::string connect() const;  // with the right password
  // With the schemas of `searchPath` (comma-separated) before public, as the run's template sets them.
  std::string connectWithPath(const std::string& searchPath) const;
};
PgSettings pgSettings();

// Makes `schema` hold what `sql` creates (run with the schema as the search path), unless it
// already does: test processes side by side share it, and one rebuilding it under another's run
// would pull its tables away. The check and the build hold the stand-in's setup lock; the schema's
// comment tags the script it was built from.
void buildPgSchemaOnce(const PgSettings& settings, const std::string& schema, const std::string& sql);

// Opens a source database through the DAO engine, as the run does.
struct Source {
  std::unique_ptr<dao::Workspace> workspace;
  std::unique_ptr<dao::Database> db;
};
Source openSource(const std::string& connect, bool readOnly = true);

// A source's keys in one line each, "NAME(COL,COL desc) FLAGS" joined by "; ": FLAGS holds P for
// primary, U unique, I ignoreNulls, R required. An expression's column shows as an empty name.
std::string describeKeys(const std::vector<dao::IndexDef>& keys);

}  // namespace vellicor::odbc::testing

// Skips the current test when the PostgreSQL stand-in is not configured.
#define VELLICOR_REQUIRE_PG(settings)                                                          \
  do {                                                                                         \
    if (!(settings).available())                                                               \
      GTEST_SKIP() << "VELLICOR_PG_CONNECT is not set: start tests/standin/pg_standin.sh, "    \
                      "or run scripts/test.sh, which does";                                   \
  } while (0)
