// The driver named by the default connect string: Oracle's ODBC driver, whose name depends on the
// system and, on Windows, on the Oracle home it was installed with ("Oracle in OraClient11g_home1").
#pragma once

#include <string>
#include <vector>

namespace vellicor::odbc {

// The name used when no installed driver says otherwise (the name Oracle's client gives its driver
// on Linux and Instant Client installs).
inline constexpr const char* kOracleDriverFallback = "Oracle ODBC Driver";

// Of the installed drivers' names, the Oracle driver to use: the first "Oracle in <home>" (Oracle's
// client installer names its driver so; letter case ignored), else kOracleDriverFallback.
std::string chooseOracleDriver(const std::vector<std::string>& installed);

// This system's Oracle driver name, looked up once. POSIX: kOracleDriverFallback. Windows: the
// choice among the drivers the driver manager lists (oracle_driver_windows.cpp).
std::string oracleDriverName();

}  // namespace vellicor::odbc
