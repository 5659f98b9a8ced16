// POSIX: the Oracle driver is registered in odbcinst.ini under the name its client gives it.
#include "dataaccess/odbc/oracle_driver.h"

namespace vellicor::odbc {

std::string oracleDriverName() { return kOracleDriverFallback; }

}  // namespace vellicor::odbc
