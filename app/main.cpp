// Entry point: the command line (run, plan, list, inspect, demo, --help, --version) or, with no
// arguments, the window.
// Every text shown to the user is Japanese; exit statuses are listed in commands.h.
#include <clocale>
#include <cstdio>
#include <string>

#include "app/cli_options.h"
#include "app/commands.h"

#ifdef VELLICOR_HAVE_UI
#include "ui/window_main.h"
#endif

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  using namespace vellicor::app;
  if (argc < 2) {
#ifdef VELLICOR_HAVE_UI
    return runWindow(argc, argv);
#else
    std::fputs(usageText(), stderr);
    return kExitUsage;
#endif
  }
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    std::fputs(usageText(), stdout);
    return kExitCompleted;
  }
  if (first == "--version") {
    std::fputs(versionText().c_str(), stdout);
    return kExitCompleted;
  }
  std::string error;
  const auto options = parseCli(argc, argv, error);
  // COMMAND --help (or -h) shows that command's usage, whatever else the line holds.
  bool help = options && options->help;
  for (int i = 2; !options && i < argc; ++i) help = help || std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h";
  if (help) {
    if (const std::string usage = commandUsage(first); !usage.empty()) {
      std::fputs(usage.c_str(), stdout);
      return kExitCompleted;
    }
  }
  if (!options) {
    std::fprintf(stderr, "%s\n%s", error.c_str(), usageText());
    return kExitUsage;
  }
  try {
    if (options->command == "run") return runCommand(*options);
    if (options->command == "plan") return planCommand(*options);
    if (options->command == "list") return listCommand(*options);
    if (options->command == "inspect") return inspectCommand(*options);
    if (options->command == "demo") return demoCommand(*options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "[異常終了] %s\n", e.what());
    return kExitFailed;
  }
  std::fprintf(stderr, "不明なコマンドです: %s\n%s", options->command.c_str(), usageText());
  return kExitUsage;
}
