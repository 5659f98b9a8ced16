// The ODBC workspace: read-only connections to the source schema through unixODBC.
// Implements the DAO-like model of dataaccess/dao.h with block-fetching recordsets.
#pragma once

#include <memory>
#include <string>

#include "dataaccess/dao.h"

namespace vellicor::odbc {

std::unique_ptr<dao::Workspace> makeOdbcWorkspace(const std::string& name, const std::string& user,
                                                  const std::string& password);

}  // namespace vellicor::odbc
