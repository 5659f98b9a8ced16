// Defaults of the run options: the process-wide engine and the connect string builder of the
// ODBC source.
#include "engine/run_options.h"

#if __has_include("dataaccess/odbc/connect_string.h")
#include "dataaccess/odbc/connect_string.h"
#define VELLICOR_HAVE_CONNECT_STRING 1
#endif

namespace vellicor::engine {

#ifndef VELLICOR_HAVE_CONNECT_STRING
namespace {
// Used only while the ODBC source has no builder of its own: plain substitution.
std::string substitute(std::string text, const std::string& key, const std::string& value) {
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
    text.replace(at, key.size(), value);
  }
  return text;
}
}  // namespace
#endif

WorkspaceFactory workspaceFactoryOf(const RunOptions& opts) {
  if (opts.createWorkspace) return opts.createWorkspace;
  return [](const std::string& name, const std::string& user, const std::string& password, int useType) {
    return dao::DBEngine::instance().createWorkspace(name, user, password, useType);
  };
}

std::string connectStringOf(const RunOptions& opts, const std::string& dbq, const std::string& user,
                            const std::string& pass) {
#ifdef VELLICOR_HAVE_CONNECT_STRING
  return odbc::buildConnectString(dbq, user, pass, opts.connectTemplate);
#else
  const std::string templ = opts.connectTemplate.empty()
                                ? "ODBC;Driver={Oracle ODBC Driver};DBQ=%DBQ%;UID=%UID%;PWD=%PWD%;"
                                : opts.connectTemplate;
  return substitute(substitute(substitute(templ, "%DBQ%", dbq), "%UID%", user), "%PWD%", pass);
#endif
}

}  // namespace vellicor::engine
