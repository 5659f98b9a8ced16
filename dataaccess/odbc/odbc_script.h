// Running a script of SQL statements over ODBC: used to build the stand-in sources (the demo's
// SQLite file, benchmark tables). Not part of the read-only DAO path.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vellicor::odbc {

// The statements of a script, split at ';' outside quotes and comments; blank ones dropped.
std::vector<std::string> splitStatements(std::string_view script);

// Connects with `connect` (read-write, no prompt) and executes every statement of `script` in
// order. Throws dao::Error with the driver's text and the start of the failing statement.
void executeScript(const std::string& connect, std::string_view script);

}  // namespace vellicor::odbc
