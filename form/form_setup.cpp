// The window's settings for this process: the real engine and the environment (the Oracle
// client's directories, the connect template).
#include "form/form_setup.h"

#include <cstdlib>

#include "engine/conversion_run.h"
#include "engine/object_listing.h"

namespace vellicor::form {

FormSetup FormSetup::fromProcess(const std::string& programDir) {
  FormSetup s;
  s.programDir = programDir;
  s.oracle = lists::OracleClientEnv::fromProcess();
  // A connect string template other than the Oracle driver's (a stand-in source, a DSN).
  if (const char* t = std::getenv("VELLICOR_CONNECT"); t && *t) s.runOptions.connectTemplate = t;
  s.run = [](engine::RunHost& host, const engine::RunRequest& request) { return engine::oracle2mdb(host, request); };
  s.listObjects = [](engine::RunHost& host, const std::string& server, const std::string& user,
                     const std::string& pass, const std::function<void(const std::string&)>& addName,
                     const engine::RunOptions& opts) {
    return engine::getUserObjects(host, server, user, pass, addName, opts);
  };
  return s;
}

}  // namespace vellicor::form
