// `vellicor demo OUT.mdb`: builds the embedded demo schema as a SQLite file in a temporary folder,
// converts all of it (every kind and the sequence list) and prints what the output file holds.
#include <ctime>
#include <filesystem>
#include <random>

#include "app/commands.h"
#include "app/console.h"
#include "app/console_host.h"
#include "app/demo_schema_sql.h"
#include "dataaccess/dao.h"
#include "dataaccess/odbc/odbc_script.h"
#include "engine/conversion_run.h"
#include "engine/run_log.h"
#include "text/utf8_path.h"

namespace vellicor::app {
namespace {

constexpr const char* kDemoTemplate = "Driver=SQLite3;Database=%DBQ%";

// A temporary folder of a fresh name (created only if no folder had it), removed when it goes out
// of scope.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::error_code ec;
      const auto candidate = base / ("vellicor-demo-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate, ec)) {
        path = candidate;
        return;
      }
    }
    throw dao::ioFailure("一時フォルダを作成できません。");
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

}  // namespace

int demoCommand(const CliOptions& o) {
  if (o.positional.size() != 1) {
    writeText(stderr, usageText());
    return kExitUsage;
  }
  if (kDemoSchemaSql[0] == '\0') {
    writeText(stderr, "このビルドにはデモのスキーマが組み込まれていません。\n");
    return kExitFailed;
  }
  ConsoleHost::Settings settings;
  settings.chkTable = settings.chkView = settings.chkSynonym = settings.chkSeq = 1;
  settings.quiet = o.quiet;
  settings.live = !o.quiet && repaintsLines(stdout);
  settings.overwrite = o.yes ? OverwritePolicy::Yes
                             : (isTerminal(stdin) ? OverwritePolicy::Ask : OverwritePolicy::No);
  ConsoleHost host(settings);

  const std::string filename =
      text::utf8FromPath(std::filesystem::absolute(text::pathFromUtf8(o.positional[0])).lexically_normal());
  engine::RunEnding ending;
  std::time_t start = 0, end = 0;
  try {
    TempDir temp;
    const std::string source = text::utf8FromPath(temp.path / "demo.sqlite");
    odbc::executeScript(std::string("Driver=SQLite3;Database=") + source, kDemoSchemaSql);
    engine::RunOptions opts;
    opts.connectTemplate = kDemoTemplate;
    start = std::time(nullptr);
    ending = engine::runConversion(host, {source, "demo", "", filename, filename + ".log", true, true, "", opts});
    end = std::time(nullptr);
  } catch (const dao::Error& e) {
    host.messageBox(e.description(), "異常終了");
    return kExitFailed;
  }
  host.setMessage("処理完了");
  host.setProgress(engine::formatRunTime(start) + " 開始  " + engine::formatRunTime(end) + " 終了");
  host.flush();
  if (ending == engine::RunEnding::Declined) return kExitDeclined;
  if (ending != engine::RunEnding::Completed) return kExitFailed;
  host.messageBox("正常終了しました。", "完了通知");
  std::fflush(stdout);
  return printInspection(filename);
}

}  // namespace vellicor::app
