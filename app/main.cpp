// The command line's dispatch (run, list, inspect, demo) or, with no arguments, the window.
// Every text shown to the user is Japanese; exit statuses are listed in commands.h.
#include <string>

#include "app/cli_options.h"
#include "app/commands.h"
#include "app/console.h"
#include "app/program_main.h"

#if defined(VELLICOR_HAVE_UI)
#include "ui/window_main.h"
#elif defined(VELLICOR_HAVE_WIN32_UI)
#include "winui/window_main.h"
#endif

namespace vellicor::app {

int programMain(int argc, char** argv) {
  if (argc < 2) {
#if defined(VELLICOR_HAVE_UI) || defined(VELLICOR_HAVE_WIN32_UI)
    return runWindow(argc, argv);
#else
    writeText(stderr, usageText());
    return kExitUsage;
#endif
  }
  std::string error;
  const auto options = parseCli(argc, argv, error);
  if (!options) {
    writeText(stderr, error + "\n" + usageText());
    return kExitUsage;
  }
  try {
    if (options->command == "run") return runCommand(*options);
    if (options->command == "list") return listCommand(*options);
    if (options->command == "inspect") return inspectCommand(*options);
    if (options->command == "demo") return demoCommand(*options);
  } catch (const std::exception& e) {
    writeText(stderr, std::string("[異常終了] ") + e.what() + "\n");
    return kExitFailed;
  }
  writeText(stderr, "不明なコマンドです: " + options->command + "\n" + usageText());
  return kExitUsage;
}

}  // namespace vellicor::app
