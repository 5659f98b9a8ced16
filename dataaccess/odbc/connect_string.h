// The connect string of the source: the Oracle ODBC driver's default form, or a template with the
// placeholders %DBQ%, %UID% and %PWD%. Values are brace-quoted where ODBC requires it.
#pragma once

#include <string>

namespace vellicor::odbc {

// "ODBC;Driver={<driver>};DBQ=<dbq>;UID=<user>;PWD=<pass>;" when `templ` is empty, with the Oracle
// driver's name of this system (oracle_driver.h: "Oracle ODBC Driver", or "Oracle in <home>" on Windows),
// otherwise `templ` with each placeholder replaced by its value (inserted values are not scanned
// again). A value holding ; { } = or leading or trailing blanks is written as {value} with every
// '}' doubled, so no value can end the attribute early or add one of its own.
std::string buildConnectString(const std::string& dbq, const std::string& user, const std::string& pass,
                               const std::string& templ);

// One attribute value as it goes into a connect string.
std::string quoteConnectValue(const std::string& value);

}  // namespace vellicor::odbc
