// Defaults of the run options: the process-wide engine and the connect string builder of the
// ODBC source.
#include "engine/run_options.h"

#include "dataaccess/odbc/connect_string.h"

namespace vellicor::engine {

WorkspaceFactory workspaceFactoryOf(const RunOptions& opts) {
  if (opts.createWorkspace) return opts.createWorkspace;
  return [](const std::string& name, const std::string& user, const std::string& password, int useType) {
    return dao::DBEngine::instance().createWorkspace(name, user, password, useType);
  };
}

std::string connectStringOf(const RunOptions& opts, const std::string& dbq, const std::string& user,
                            const std::string& pass) {
  return odbc::buildConnectString(dbq, user, pass, opts.connectTemplate);
}

}  // namespace vellicor::engine
