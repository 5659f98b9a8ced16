// Test access to the two stand-in sources: the demo SQLite file (built once per test process from
// app/demo/demo_schema.sql) and the PostgreSQL stand-in started by tests/standin/pg_standin.sh.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

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
};
PgSettings pgSettings();

// Opens a source database through the DAO engine, as the run does.
struct Source {
  std::unique_ptr<dao::Workspace> workspace;
  std::unique_ptr<dao::Database> db;
};
Source openSource(const std::string& connect, bool readOnly = true);

}  // namespace vellicor::odbc::testing

// Skips the current test when the PostgreSQL stand-in is not configured.
#define VELLICOR_REQUIRE_PG(settings)                                                          \
  do {                                                                                         \
    if (!(settings).available())                                                               \
      GTEST_SKIP() << "VELLICOR_PG_CONNECT is not set: start tests/standin/pg_standin.sh, "    \
                      "or run scripts/test.sh, which does";                                   \
  } while (0)
