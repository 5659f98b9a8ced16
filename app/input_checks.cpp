// Input checks in the run button's order: server, user, output path, at least one kind.
// Empty means the empty text; blanks pass.
#include "app/input_checks.h"

#include "app/process_environment.h"

namespace vellicor::app {

bool passesInputChecks(const CliOptions& o, engine::RunHost& host, bool checkOutput) {
  if (o.server.empty()) {
    host.messageBox("サーバを指定してください。", "DB接続エラー");
    return false;
  }
  if (o.user.empty()) {
    host.messageBox("ユーザを指定してください。", "DB接続エラー");
    return false;
  }
  if (checkOutput && o.output.empty()) {
    host.messageBox("出力先を指定してください。", "MDBファイル作成エラー");
    return false;
  }
  if (!o.tables && !o.views && !o.synonyms) {
    host.messageBox("対象オブジェクトを１つ以上選択してください。", "");
    return false;
  }
  return true;
}

std::string connectTemplateOf(const CliOptions& o) {
  if (o.connect) return *o.connect;
  if (auto env = environmentValue("VELLICOR_CONNECT")) return *env;
  return {};
}

engine::RunOptions runOptionsOf(const CliOptions& o, const engine::StopRequest* stop) {
  engine::RunOptions opts;
  opts.connectTemplate = connectTemplateOf(o);
  opts.stop = stop;
  opts.keepGoing = o.keepGoing;
  opts.allTypes = o.allTypes;
  opts.fitText = o.fitText;
  opts.noKeys = o.noKeys;
  return opts;
}

}  // namespace vellicor::app
