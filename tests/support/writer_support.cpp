// Scratch directories, the Jet workspace and wrappers around the independent readers used by the
// writer tests.
#include "support/writer_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "support/mdbtools_support.h"

namespace vellicor::testing {

ScratchDir::ScratchDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
    const auto candidate = std::filesystem::temp_directory_path() / ("vellicor-writer-" + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) dir_ = candidate.string();
  }
  if (dir_.empty()) throw std::runtime_error("cannot make a scratch directory");
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::unique_ptr<dao::Workspace> jetWorkspace() { return jet3::makeJetWorkspace("", "", ""); }

static std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string mdbVersion(const std::string& file) { return trimmed(runCommand("mdb-ver " + shellQuote(file) + " 2>&1")); }

std::vector<std::string> mdbTables(const std::string& file) {
  std::string out = runCommand("MDB_JET3_CHARSET=CP932 mdb-tables -1 " + shellQuote(file) + " 2>&1");
  std::vector<std::string> names;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

std::string mdbSchema(const std::string& file, const std::string& table) {
  return runCommand("MDB_JET3_CHARSET=CP932 mdb-schema -T " + shellQuote(table) + " " + shellQuote(file) +
                    " access 2>&1");
}

std::string mdbReaderJson(const std::string& file, const std::string& table) {
  return trimmed(runCommand("node " + shellQuote(std::string(VELLICOR_SOURCE_DIR) + "/tests/node/read_mdb.js") + " " +
                            shellQuote(file) + " " + shellQuote(table) + " 2>&1"));
}

std::string indexFaults(const std::string& file, const std::vector<std::string>& tables,
                        std::map<std::string, int64_t>* surplus) {
  std::ostringstream faults;
  try {
    jet3::JetFileReader reader(file);
    for (const jet3::CatalogEntry& e : reader.catalog()) {
      if (!e.isLocalTable()) continue;
      if (!tables.empty() && std::find(tables.begin(), tables.end(), e.name) == tables.end()) continue;
      jet3::TableInfo t = reader.readTable(static_cast<uint32_t>(e.id));
      if (t.def.realIndexes.empty()) continue;
      std::set<uint32_t> rows;
      jet3::RowCursor cursor(reader, t);
      while (cursor.next()) rows.insert(cursor.rowPointer());
      if (rows.size() != t.def.rowCount) faults << e.name << ": row count " << t.def.rowCount << " != " << rows.size() << "\n";
      for (size_t i = 0; i < t.def.realIndexes.size(); ++i) {
        const jet3::RealIndexDef& ri = t.def.realIndexes[i];
        std::vector<jet3::IndexEntry> entries;
        std::vector<uint32_t> visited;
        jet3::readIndexTree(
            [&](uint32_t p, jet3::Page& bytes) { bytes = *reader.page(p); }, ri.rootPage,
            static_cast<uint32_t>(e.id), entries, &visited);
        std::set<uint32_t> pointed;
        size_t distinct = 0;
        for (size_t k = 0; k < entries.size(); ++k) {
          pointed.insert(entries[k].page << 8 | entries[k].row);
          if (k == 0 || entries[k].key != entries[k - 1].key) ++distinct;
        }
        // An index that ignores Nulls leaves out the rows whose key is all Null (the walker below
        // checks which).
        const bool subset = (ri.flags & jet3::fmt::kIndexIgnoreNulls) != 0 &&
                            std::includes(rows.begin(), rows.end(), pointed.begin(), pointed.end());
        if (pointed != rows && !subset) faults << e.name << " index " << i << ": entries do not match the rows\n";
        if (surplus) {
          (*surplus)[e.name + " index " + std::to_string(i)] = int64_t{ri.distinctKeys} - static_cast<int64_t>(distinct);
        } else if (distinct != ri.distinctKeys)
          faults << e.name << " index " << i << ": distinct " << ri.distinctKeys << " != " << distinct << "\n";
        std::vector<uint32_t> mapped = reader.usageMap(ri.usageMap);
        std::sort(visited.begin(), visited.end());
        if (mapped != visited) faults << e.name << " index " << i << ": usage map does not list the index pages\n";
      }
    }
    // The read side's own walker, which also recomputes every key from the rows.
    for (const jet3::IndexCheckResult& r : jet3::checkAllIndexes(reader)) {
      if (!tables.empty() && std::find(tables.begin(), tables.end(), r.table) == tables.end()) continue;
      if (!r.ok() || (!surplus && r.distinctKeys != r.storedDistinctKeys)) {
        faults << r.table << " / " << r.index << ": " << r.detail << " (distinct " << r.distinctKeys << ", stored "
               << r.storedDistinctKeys << ")\n";
      }
    }
  } catch (const std::exception& ex) {
    faults << ex.what() << "\n";
  }
  return faults.str();
}

}  // namespace vellicor::testing
