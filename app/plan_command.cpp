// `vellicor plan`: the run's input checks and selection, then the pre-flight plan printed as text
// or JSON. Status and the scan's progress go to stderr (as one repainted line on a terminal), so
// stdout holds the answer alone.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/commands.h"
#include "app/console.h"
#include "app/console_host.h"
#include "app/input_checks.h"
#include "app/password_input.h"
#include "app/plan_format.h"
#include "app/signal_stop.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "engine/plan.h"
#include "text/utf8_path.h"

namespace vellicor::app {
namespace {

constexpr auto kRepaintInterval = std::chrono::milliseconds(100);

// The plan's host: the run's boxes on stderr; status lines shown only as a repainted line on a
// terminal. The status before a box (the driver's text of a failed connection) is shown with it.
class PlanHost : public ConsoleHost {
 public:
  PlanHost(ConsoleHost::Settings s, bool terminal) : ConsoleHost(quietOn(s), stderr, stderr), terminal_(terminal) {}
  ~PlanHost() override { endLine(); }

  void setMessage(const std::string& mes) override {
    lastMessage_ = mes;
    shown_ = false;
    if (terminal_) paint(mes);
  }
  void setProgress(const std::string&) override {}
  void messageBox(const std::string& text, const std::string& caption) override {
    endLine();
    if (!shown_ && !lastMessage_.empty()) writeText(stderr, lastMessage_ + "\n");
    shown_ = true;
    ConsoleHost::messageBox(text, caption);
  }
  // The scan's progress: "走査中..." with the rows read of the rows counted.
  void scanProgress(const std::string& object, int64_t rows, int64_t count) {
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    if (rows != 0 && rows != count && now - lastPaint_ < kRepaintInterval) return;
    lastPaint_ = now;
    paint("走査中... " + object + " " + std::to_string(rows) + "/" + std::to_string(count) + " 行");
  }
  void endLine() {
    if (!lineOpen_) return;
    writeText(stderr, "\r\x1b[K");
    std::fflush(stderr);
    lineOpen_ = false;
  }

 private:
  static ConsoleHost::Settings quietOn(ConsoleHost::Settings s) {
    s.quiet = true;
    return s;
  }
  void paint(const std::string& text) {
    writeText(stderr, "\r\x1b[K" + text);
    std::fflush(stderr);
    lineOpen_ = true;
  }

  bool terminal_;
  bool lineOpen_ = false;
  bool shown_ = true;
  std::string lastMessage_;
  std::chrono::steady_clock::time_point lastPaint_{};
};

}  // namespace

int planCommand(const CliOptions& o) {
  ConsoleHost::Settings settings;
  settings.chkTable = o.tables ? 1 : 0;
  settings.chkView = o.views ? 1 : 0;
  settings.chkSynonym = o.synonyms ? 1 : 0;
  settings.chkSeq = o.sequences ? 1 : 0;
  PlanHost checks(settings, false);
  if (!o.positional.empty()) {
    writeText(stderr, "余分な引数です: " + o.positional[0] + "\n" + commandUsage("plan"));
    return kExitUsage;
  }
  if (!passesInputChecks(o, checks, false)) return kExitUsage;
  std::string selection;
  if (!selectionOf(o, selection, checks)) return kExitUsage;

  // The tables of the file an appending run would add to: a fitted name keeps clear of them, and
  // an unchanged name that meets one is the failure the run would meet.
  engine::PlanRequest request;
  if (o.append && !o.output.empty() && std::filesystem::exists(text::pathFromUtf8(o.output))) {
    try {
      jet3::JetFileReader file(o.output);
      for (const jet3::CatalogEntry& t : file.userTables()) request.tablesInFile.push_back(t.name);
    } catch (const dao::Error& e) {
      checks.messageBox(e.description(), "MDBファイルオープンエラー");
      return kExitFailed;
    }
  }
  const std::optional<std::string> password = obtainPassword(o.passwordFile);
  if (!password) return kExitUsage;

  engine::StopRequest stop;
  SignalStop signals(stop);
  settings.selection = selection;
  PlanHost host(settings, repaintsLines(stderr));
  request.server = o.server;
  request.user = o.user;
  request.password = *password;
  request.prefix = o.prefix;
  request.options = runOptionsOf(o, &stop);
  request.scan = o.scan;
  request.scanProgress = [&host](const std::string& object, int64_t rows, int64_t count) {
    host.scanProgress(object, rows, count);
  };

  engine::RunPlan plan;
  try {
    plan = engine::planRun(host, request);
  } catch (const engine::RunStopped&) {
    host.endLine();
    writeText(stderr, "[中断] 処理を中断しました。\n");
    return kExitInterrupted;
  }
  host.endLine();
  // A plan that could not connect says so on stderr; scripts still get their document.
  if (!plan.connected && !o.json) return kExitFailed;
  const PlanHeading heading{o.server, o.user, o.prefix, o.allTypes, o.scan};
  const std::string text = o.json ? formatPlanJson(plan, heading) : formatPlanText(plan, heading);
  writeText(stdout, text);
  std::fflush(stdout);
  return plan.completes() ? kExitCompleted : kExitFailed;
}

}  // namespace vellicor::app
