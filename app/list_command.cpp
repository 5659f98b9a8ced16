// `vellicor list` (the object listing's names, sorted, one a line) and `vellicor inspect` (a file's
// tables or rows, or the whole-file check).
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/commands.h"
#include "app/console.h"
#include "app/console_host.h"
#include "app/input_checks.h"
#include "app/password_input.h"
#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_check.h"
#include "dataaccess/jet3/inspect.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "engine/object_listing.h"

namespace vellicor::app {

int listCommand(const CliOptions& o) {
  ConsoleHost::Settings settings;
  settings.chkTable = o.tables ? 1 : 0;
  settings.chkView = o.views ? 1 : 0;
  settings.chkSynonym = o.synonyms ? 1 : 0;
  settings.quiet = true;  // stdout carries the names only
  ConsoleHost host(settings, stderr, stderr);
  if (!o.positional.empty()) {
    writeText(stderr, "余分な引数です: " + o.positional[0] + "\n" + usageText());
    return kExitUsage;
  }
  if (!passesInputChecks(o, host, false)) return kExitUsage;
  const std::optional<std::string> password = obtainPassword(o.passwordFile);
  if (!password) return kExitUsage;
  engine::RunOptions opts;
  opts.connectTemplate = connectTemplateOf(o);
  std::vector<std::string> names;
  if (engine::getUserObjects(host, o.server, o.user, *password,
                             [&](const std::string& n) { names.push_back(n); }, opts) != 0) {
    return kExitFailed;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) writeText(stdout, n + "\n");
  return kExitCompleted;
}

int inspectCommand(const CliOptions& o) {
  if (o.positional.empty() || o.positional.size() > 2) {
    writeText(stderr, usageText());
    return kExitUsage;
  }
  if (o.check) {
    if (o.positional.size() != 1) {
      writeText(stderr, usageText());
      return kExitUsage;
    }
    return printFileCheck(o.positional[0]);
  }
  if (o.positional.size() == 2) return printInspection(o.positional[0], o.positional[1]);
  return printInspection(o.positional[0]);
}

int printInspection(const std::string& file, const std::optional<std::string>& table) {
  std::string text;
  try {
    text = jet3::inspectFile(file, table);
  } catch (const dao::Error& e) {
    writeText(stderr, std::string("[") + engine::kProgramTitle + "] " + e.description() + "\n");
    return kExitFailed;
  }
  writeText(stdout, text);
  std::fflush(stdout);
  return kExitCompleted;
}

int printFileCheck(const std::string& file) {
  using View = jet3::JetFileReader::JournalView;
  std::string text = "ファイル: " + file + "\n";
  bool clean = true;
  try {
    jet3::JetFileReader lying(file, View::kFileAsItLies);
    const jet3::FileCheckResult asItLies = jet3::checkFile(lying);
    clean = asItLies.clean();
    if (lying.hasInterruptedCommit()) {
      // Other programs read the file as it lies; this engine's next open for writing puts back the
      // pages of the interrupted commit first. Both states are checked.
      text += "注意: 前回の書き込みが途中で中断されています。ファイルそのまま (ほかのプログラムが読む内容) と、"
              "中断前の状態 (次に書き込み用に開いたときに戻される内容) の両方を検査します。\n"
              "[ファイルそのまま]\n" + jet3::formatFileCheck(asItLies);
      jet3::JetFileReader before(file, View::kBeforeInterruptedCommit);
      const jet3::FileCheckResult restored = jet3::checkFile(before);
      clean = clean && restored.clean();
      text += "[中断前の状態]\n" + jet3::formatFileCheck(restored);
    } else {
      text += jet3::formatFileCheck(asItLies);
    }
  } catch (const dao::Error& e) {
    writeText(stderr, std::string("[") + engine::kProgramTitle + "] " + e.description() + "\n");
    return kExitFailed;
  }
  writeText(stdout, text);
  std::fflush(stdout);
  return clean ? kExitCompleted : kExitFailed;
}

}  // namespace vellicor::app
