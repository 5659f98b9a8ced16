// The checks the run button makes before a run, the selection and the connect template's
// sources, shared by the run, plan and list commands.
#pragma once

#include <string>

#include "app/cli_options.h"
#include "engine/run_host.h"
#include "engine/run_options.h"

namespace vellicor::app {

// Shows the first failing check's message through host and returns false. The output path is
// checked only when checkOutput is set.
bool passesInputChecks(const CliOptions& o, engine::RunHost& host, bool checkOutput);

// The selection text: --select, a named pattern (of --pattern-file, or the pattern file beside the
// executable), or empty (every object). Shows what is wrong through host and returns false.
bool selectionOf(const CliOptions& o, std::string& selection, engine::RunHost& host);

// --connect, else VELLICOR_CONNECT, else empty (the Oracle driver's default string).
std::string connectTemplateOf(const CliOptions& o);

// The run's options the command line sets (the connect template and the switches), with `stop`
// looked at between rows and objects; the run and its plan take the same.
engine::RunOptions runOptionsOf(const CliOptions& o, const engine::StopRequest* stop);

}  // namespace vellicor::app
