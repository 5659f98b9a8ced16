// The dispatch of the command line (run, plan, list, inspect, demo, --help, --version) or, with no
// arguments, the window.
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
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    writeText(stdout, usageText());
    return kExitCompleted;
  }
  if (first == "--version") {
    writeText(stdout, versionText());
    return kExitCompleted;
  }
  std::string error;
  const auto options = parseCli(argc, argv, error);
  // COMMAND --help (or -h) shows that command's usage, whatever else the line holds.
  bool help = options && options->help;
  for (int i = 2; !options && i < argc; ++i) help = help || std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h";
  if (help) {
    if (const std::string usage = commandUsage(first); !usage.empty()) {
      writeText(stdout, usage);
      return kExitCompleted;
    }
  }
  if (!options) {
    writeText(stderr, error + "\n" + usageText());
    return kExitUsage;
  }
  try {
    if (options->command == "run") return runCommand(*options);
    if (options->command == "plan") return planCommand(*options);
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
