// The commands of the executable; each returns the process exit status.
#pragma once

#include <optional>
#include <string>

#include "app/cli_options.h"

namespace vellicor::app {

// Exit statuses.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDeclined = 3;
inline constexpr int kExitLeftOut = 4;  // --keep-going: completed, with objects left out
inline constexpr int kExitInterrupted = 130;  // stopped by Ctrl-C or SIGTERM (128 + SIGINT, as shells report it)

int runCommand(const CliOptions& o);
// Exit status: kExitCompleted when the run would complete, kExitFailed when it would stop (or the
// plan could not connect), kExitUsage for wrong input.
int planCommand(const CliOptions& o);
int listCommand(const CliOptions& o);
int inspectCommand(const CliOptions& o);
int demoCommand(const CliOptions& o);

// Prints what a .mdb file holds (its tables, or one table's rows) to stdout; a file or table that
// cannot be read is reported on stderr with status kExitFailed.
int printInspection(const std::string& file, const std::optional<std::string>& table = std::nullopt);

// Runs the whole-file check on a .mdb file and prints its findings to stdout: kExitCompleted when
// the file is sound, kExitFailed when a problem was found or the file cannot be read (stderr).
int printFileCheck(const std::string& file);

}  // namespace vellicor::app
