// The checks the run button makes before a run, and the connect template's sources, shared by
// the run and list commands.
#pragma once

#include <string>

#include "app/cli_options.h"
#include "engine/run_host.h"

namespace vellicor::app {

// Shows the first failing check's message through host and returns false. The output path is
// checked only when checkOutput is set.
bool passesInputChecks(const CliOptions& o, engine::RunHost& host, bool checkOutput);

// --connect, else VELLICOR_CONNECT, else empty (the Oracle driver's default string).
std::string connectTemplateOf(const CliOptions& o);

}  // namespace vellicor::app
