// The Jet workspace: creates and opens Access 97 (Jet 3) database files through our own engine.
// Implements the DAO-like model of dataaccess/dao.h over the layers of this folder.
#pragma once

#include <memory>
#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"

namespace vellicor::jet3 {

std::unique_ptr<dao::Workspace> makeJetWorkspace(const std::string& name, const std::string& user,
                                                 const std::string& password);
// The same workspace opening its files through opener (tests inject failing files this way).
std::unique_ptr<dao::Workspace> makeJetWorkspace(FileOpener opener);

}  // namespace vellicor::jet3
