// Choosing the Oracle driver among installed ones: the installer's "Oracle in <home>" form first.
#include "dataaccess/odbc/oracle_driver.h"

#include <string_view>

#include "text/ascii.h"

namespace vellicor::odbc {

std::string chooseOracleDriver(const std::vector<std::string>& installed) {
  constexpr std::string_view kInstallerPrefix = "Oracle in ";
  for (const std::string& name : installed) {
    if (name.size() > kInstallerPrefix.size() &&
        text::equalsIgnoringAsciiCase(std::string_view(name).substr(0, kInstallerPrefix.size()), kInstallerPrefix)) {
      return name;
    }
  }
  return kOracleDriverFallback;
}

}  // namespace vellicor::odbc
