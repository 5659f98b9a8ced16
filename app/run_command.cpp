// `vellicor run`: the run button's checks, the selection (given or from a named pattern), the
// password, the run with a console host (Ctrl-C and SIGTERM stop it), the end texts and the exit status.
#include <ctime>
#include <filesystem>

#include "app/commands.h"
#include "app/console.h"
#include "app/console_host.h"
#include "app/input_checks.h"
#include "app/password_input.h"
#include "app/process_environment.h"
#include "app/signal_stop.h"
#include "engine/conversion_run.h"
#include "engine/run_log.h"
#include "text/utf8_path.h"

#if __has_include("lists/pattern_file.h")
#include "lists/pattern_file.h"
#define VELLICOR_HAVE_PATTERN_FILE 1
#endif

namespace vellicor::app {
namespace {

std::string absolutePath(const std::string& path) {
  return text::utf8FromPath(std::filesystem::absolute(text::pathFromUtf8(path)).lexically_normal());
}

}  // namespace

bool selectionOf(const CliOptions& o, std::string& selection, engine::RunHost& host) {
  if (o.select && o.pattern) {
    writeText(stderr, "--select と --pattern は同時に指定できません。\n");
    return false;
  }
  if (o.select) selection = *o.select;
  if (!o.pattern) return true;
#ifdef VELLICOR_HAVE_PATTERN_FILE
  const std::string file = o.patternFile ? *o.patternFile : executableDir() + "/" + lists::kPatternFileName;
  const lists::PatternSet set = lists::loadPatterns(file);
  if (set.readFailed) {
    host.messageBox(lists::kReadFailed, "");
    return false;
  }
  for (size_t k = 1; k < set.names.size(); ++k) {
    if (set.names[k] == *o.pattern) {
      selection = set.lists[k];
      return true;
    }
  }
  host.messageBox("取得パターン '" + *o.pattern + "' は " + file + " にありません。", "");
  return false;
#else
  (void)host;
  writeText(stderr, "--pattern はこのビルドでは使えません。\n");
  return false;
#endif
}

int runCommand(const CliOptions& o) {
  ConsoleHost::Settings settings;
  settings.chkTable = o.tables ? 1 : 0;
  settings.chkView = o.views ? 1 : 0;
  settings.chkSynonym = o.synonyms ? 1 : 0;
  settings.chkSeq = o.sequences ? 1 : 0;
  settings.quiet = o.quiet;
  settings.live = !o.quiet && repaintsLines(stdout);
  settings.overwrite = o.yes ? OverwritePolicy::Yes
                             : (isTerminal(stdin) ? OverwritePolicy::Ask : OverwritePolicy::No);
  ConsoleHost host(settings);

  if (!o.positional.empty()) {
    writeText(stderr, "余分な引数です: " + o.positional[0] + "\n" + usageText());
    return kExitUsage;
  }
  if (!passesInputChecks(o, host, true)) return kExitUsage;
  std::string selection;
  if (!selectionOf(o, selection, host)) return kExitUsage;
  const std::optional<std::string> password = obtainPassword(o.passwordFile);
  if (!password) return kExitUsage;

  // Ctrl-C and SIGTERM from here on stop the run at its next row instead of killing the process.
  engine::StopRequest stop;
  SignalStop signals(stop);
  settings.selection = selection;
  settings.stop = &stop;
  ConsoleHost runHost(settings);
  const std::string filename = absolutePath(o.output);
  const std::string logfile = o.log ? absolutePath(*o.log) : filename + ".log";
  engine::RunOptions opts = runOptionsOf(o, &stop);

  const std::time_t start = std::time(nullptr);
  engine::RunRequest request;
  request.server = o.server;
  request.user = o.user;
  request.password = *password;
  request.output = filename;
  request.log = logfile;
  request.writeLog = !o.noLog;
  request.newFile = !o.append;
  request.prefix = o.prefix;
  request.options = opts;
  const engine::RunEnding ending = engine::runConversion(runHost, request);
  const std::time_t end = std::time(nullptr);
  runHost.setMessage("処理完了");
  runHost.setProgress(engine::formatRunTime(start) + " 開始  " + engine::formatRunTime(end) + " 終了");
  runHost.flush();
  switch (ending) {
    case engine::RunEnding::Completed:
      runHost.messageBox("正常終了しました。", "完了通知");
      return kExitCompleted;
    case engine::RunEnding::Declined:
      return kExitDeclined;
    case engine::RunEnding::CompletedLeavingOut:
      return kExitLeftOut;  // the run's own box listed what was left out
    case engine::RunEnding::Interrupted:
      runHost.messageBox(engine::kInterruptedText, "中断");
      return kExitInterrupted;
    default:
      return kExitFailed;
  }
}

}  // namespace vellicor::app
