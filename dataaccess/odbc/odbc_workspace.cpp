// The ODBC workspace: opens source connections (never prompting) in one ODBC environment and
// closes whatever is still open when the workspace closes.
#include "dataaccess/odbc/odbc_workspace.h"

#include <vector>

#include "dataaccess/odbc/odbc_database.h"
#include "dataaccess/odbc/odbc_handles.h"

namespace vellicor::odbc {
namespace {

class OdbcWorkspace final : public dao::Workspace {
 public:
  OdbcWorkspace() : env_(std::make_shared<Environment>()) {}
  ~OdbcWorkspace() override { close(); }

  std::unique_ptr<dao::Database> openDatabase(const std::string& name, int /*options*/, bool readOnly,
                                              const std::string& connect) override {
    if (closed_) throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
    // Only the no-prompt behaviour exists: there is no window to prompt in.
    std::string text = connect;
    if (driverConnectString(text).empty()) {
      if (name.empty()) throw dao::Error("ODBC 接続文字列が指定されていません。", dao::errnum::kOdbcConnectionFailed);
      text = "DSN=" + name;
    }
    auto connection = std::make_shared<Connection>(env_);
    connection->open(text, readOnly);
    std::erase_if(connections_, [](const std::weak_ptr<Connection>& w) { return w.expired(); });
    connections_.push_back(connection);
    return std::make_unique<OdbcDatabase>(std::move(connection));
  }

  std::unique_ptr<dao::Database> createDatabase(const std::string&, const std::string&) override {
    throw dao::Error("ODBC ワークスペースではデータベースを作成できません。", dao::errnum::kNotSupported);
  }

  void close() override {
    for (auto& w : connections_) {
      if (auto c = w.lock()) c->close();
    }
    connections_.clear();
    closed_ = true;
  }

 private:
  std::shared_ptr<Environment> env_;
  std::vector<std::weak_ptr<Connection>> connections_;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<dao::Workspace> makeOdbcWorkspace(const std::string&, const std::string&, const std::string&) {
  return std::make_unique<OdbcWorkspace>();
}

}  // namespace vellicor::odbc
