// The program's entry, shared by every system: main_posix.cpp (main) and main_windows.cpp (wmain)
// hand it the arguments as UTF-8.
#pragma once

namespace vellicor::app {

// The command line (run, list, inspect, demo) or, with no arguments, the window (the usage text
// where the build has none). Returns the process exit status.
int programMain(int argc, char** argv);

}  // namespace vellicor::app
