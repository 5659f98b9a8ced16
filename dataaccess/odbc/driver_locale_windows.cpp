// Windows: the driver manager converts for ANSI-only drivers with the system's ANSI code page, which
// no setting of the process changes; nothing to do.
#include "dataaccess/odbc/driver_locale.h"

namespace vellicor::odbc {

DriverCharacterType::DriverCharacterType() = default;
DriverCharacterType::~DriverCharacterType() = default;

}  // namespace vellicor::odbc
