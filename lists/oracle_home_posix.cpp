// Where the Oracle client's settings come from on POSIX: the environment only (VELLICOR_NET80 stands
// for the registry value NET80 of Windows).
#include <cstdlib>

#include "lists/tnsnames.h"

namespace vellicor::lists {
namespace {

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

OracleClientEnv OracleClientEnv::fromProcess() {
  OracleClientEnv env;
  env.net80 = envValue("VELLICOR_NET80");
  env.tnsAdmin = envValue("TNS_ADMIN");
  env.oracleHome = envValue("ORACLE_HOME");
  return env;
}

}  // namespace vellicor::lists
