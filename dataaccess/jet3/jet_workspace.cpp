// The Jet workspace: creates and opens Jet 3 databases through our own engine.
// Files are opened through a FileOpener, the POSIX one unless a test supplies its own.
#include "dataaccess/jet3/jet_workspace.h"

#include "dataaccess/jet3/jet_database.h"

namespace vellicor::jet3 {
namespace {

class JetWorkspace : public dao::Workspace {
 public:
  explicit JetWorkspace(FileOpener opener) : opener_(std::move(opener)) {}

  std::unique_ptr<dao::Database> openDatabase(const std::string& name, int options, bool readOnly,
                                              const std::string& /*connect*/) override {
    checkOpen();
    return JetDatabase::open(name, options != 0, readOnly, opener_);
  }
  std::unique_ptr<dao::Database> createDatabase(const std::string& name, const std::string& locale) override {
    checkOpen();
    return JetDatabase::create(name, locale, opener_);
  }
  std::unique_ptr<dao::Database> replaceDatabase(const std::string& name, const std::string& locale) override {
    checkOpen();
    return JetDatabase::create(name, locale, opener_, true);
  }
  void close() override { closed_ = true; }

 private:
  void checkOpen() const {
    if (closed_) throw dao::Error("ワークスペースは既に閉じられています。", dao::errnum::kObjectClosed);
  }
  FileOpener opener_;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<dao::Workspace> makeJetWorkspace(const std::string&, const std::string&, const std::string&) {
  return std::make_unique<JetWorkspace>(openSystemFile);
}

std::unique_ptr<dao::Workspace> makeJetWorkspace(FileOpener opener) {
  return std::make_unique<JetWorkspace>(std::move(opener));
}

}  // namespace vellicor::jet3
