// Placeholder until the ODBC source lands: refuses every workspace.
#include "dataaccess/odbc/odbc_workspace.h"

namespace vellicor::odbc {
std::unique_ptr<dao::Workspace> makeOdbcWorkspace(const std::string&, const std::string&, const std::string&) {
  throw dao::Error("ODBC はまだ組み込まれていません。");
}
}  // namespace vellicor::odbc
