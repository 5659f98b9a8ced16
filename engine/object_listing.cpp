// The object listing's connection, its count check and the name loop, with the error path that
// closes the result set, the connection and the workspace.
#include "engine/object_listing.h"

#include <memory>

#include "engine/run_state.h"

namespace vellicor::engine {

int16_t getUserObjects(RunHost& host, const std::string& server, const std::string& user,
                       const std::string& pass, const std::function<void(const std::string&)>& addName,
                       const RunOptions& opts) {
  host.setMessage("Oracle接続中..." + user + "@" + server);
  std::unique_ptr<dao::Workspace> workspace;
  std::unique_ptr<dao::Database> connection;
  try {
    workspace = workspaceFactoryOf(opts)("ODBC-D", "", "", dao::dbUseODBC);
    connection = workspace->openDatabase("", dao::dbDriverNoPrompt, false, connectStringOf(opts, server, user, pass));
  } catch (const std::exception& e) {
    host.setMessage(describe(e));
    host.messageBox("DB接続に失敗しました。", "");
    closeQuietly(workspace);
    return 1;
  }

  std::unique_ptr<dao::Recordset> rows;
  try {
    {
      std::unique_ptr<dao::Recordset> counted =
          connection->openRecordset("select count(*) from user_objects " + host.getWhereObjectType());
      const int64_t count = valueAsCount(counted->fields()[0].value());
      counted->close();
      if (count > kMaxListedObjects || count < -32768) throw dao::Error("オーバーフローしました。", 6);
    }
    rows = connection->openRecordset("select * from user_objects " + host.getWhereObjectType());
    host.setMessage("テーブル名取得中...");
    while (!rows->eof()) {
      addName(valueAsText(rows->fields()["OBJECT_NAME"].value()));
      rows->moveNext();
    }
    std::unique_ptr<dao::Recordset> done = std::move(rows);
    done->close();
    std::unique_ptr<dao::Database> conn = std::move(connection);
    conn->close();
    std::unique_ptr<dao::Workspace> ws = std::move(workspace);
    ws->close();
    return 0;
  } catch (const std::exception& e) {
    closeQuietly(rows);
    host.messageBox(describe(e), "異常終了");
    closeQuietly(connection);
    closeQuietly(workspace);
    return 1;
  }
}

}  // namespace vellicor::engine
