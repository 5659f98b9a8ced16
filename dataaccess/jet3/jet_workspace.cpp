// Placeholder until the Jet 3 engine lands: refuses every workspace.
#include "dataaccess/jet3/jet_workspace.h"

namespace vellicor::jet3 {
std::unique_ptr<dao::Workspace> makeJetWorkspace(const std::string&, const std::string&, const std::string&) {
  throw dao::Error("Jet エンジンはまだ組み込まれていません。");
}
}  // namespace vellicor::jet3
