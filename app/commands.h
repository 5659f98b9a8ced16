// The commands of the executable; each returns the process exit status.
#pragma once

#include "app/cli_options.h"

namespace vellicor::app {

// Exit statuses.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDeclined = 3;

int runCommand(const CliOptions& o);
int listCommand(const CliOptions& o);
int inspectCommand(const CliOptions& o);
int demoCommand(const CliOptions& o);

}  // namespace vellicor::app
