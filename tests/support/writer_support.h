// Helpers for the Jet writer tests: scratch paths, a workspace, and the independent readers'
// verdicts on a file (mdb-ver, mdb-schema, mdb-export, mdb-reader, our index walker).
#pragma once

#include <memory>
#include <map>
#include <string>
#include <vector>

#include "dataaccess/dao.h"

namespace vellicor::testing {

// A fresh path in a scratch directory that is removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

std::unique_ptr<dao::Workspace> jetWorkspace();

// mdb-ver output, trimmed ("JET3").
std::string mdbVersion(const std::string& file);
// mdb-tables output as a list (user tables only).
std::vector<std::string> mdbTables(const std::string& file);
// mdb-schema output for one table.
std::string mdbSchema(const std::string& file, const std::string& table);
// Runs tests/node/read_mdb.js: table structure and non-text values as JSON text.
std::string mdbReaderJson(const std::string& file, const std::string& table);
// Walks every index of every table (or of the tables named) with our own checks and with the read
// side's index checker; empty when all are valid, else the faults. The distinct-key counts of the
// TDEFs must equal the trees' unless surplus is given: it then receives, per "table index i", how
// many the stored count is above the real one (Jet does not lower it when rows are deleted).
std::string indexFaults(const std::string& file, const std::vector<std::string>& tables = {},
                        std::map<std::string, int64_t>* surplus = nullptr);

}  // namespace vellicor::testing
