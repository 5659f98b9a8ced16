// The process-wide engine object and the table definition's own checks.
// Workspaces are made by the Jet 3 engine or the ODBC source, chosen by the workspace type.
#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "dataaccess/odbc/odbc_workspace.h"
#include "text/ascii.h"

namespace vellicor::dao {

DBEngine& DBEngine::instance() {
  static DBEngine engine;
  return engine;
}

std::unique_ptr<Workspace> DBEngine::createWorkspace(const std::string& name, const std::string& user,
                                                     const std::string& password, int useType) {
  switch (useType) {
    case dbUseJet: return jet3::makeJetWorkspace(name, user, password);
    case dbUseODBC: return odbc::makeOdbcWorkspace(name, user, password);
    default: throw Error("ワークスペースの種類 " + std::to_string(useType) + " は使用できません。", errnum::kInvalidArgument);
  }
}

void TableDef::appendField(FieldDef f) {
  for (const FieldDef& existing : fields_) {
    // Jet compares names without regard to case; so does the ODBC side's catalog.
    if (text::equalsIgnoringAsciiCase(existing.name, f.name)) {
      throw Error("テーブル '" + name_ + "' のフィールド '" + f.name + "' は既に存在します。", errnum::kFieldExists);
    }
  }
  fields_.push_back(std::move(f));
}

}  // namespace vellicor::dao
