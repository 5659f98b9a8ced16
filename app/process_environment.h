// What the process is given by its system, as UTF-8: environment variables and the folder of the
// executable. process_environment_posix.cpp, process_environment_windows.cpp.
#pragma once

#include <optional>
#include <string>

namespace vellicor::app {

// The variable's value; nullopt when it is not set.
std::optional<std::string> environmentValue(const char* name);

// The folder that holds the running executable ("." when the system does not say).
std::string executableDir();

}  // namespace vellicor::app
