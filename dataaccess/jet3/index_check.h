// Verification of every real index of a Jet 3 file against the rows of its table: tree structure,
// entries equal to the keys computed from the rows, counts, order and the index's usage map.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellicor::jet3 {

class JetFileReader;
struct TableInfo;

struct IndexCheckResult {
  enum class Status { kOk, kNotCheckable, kFault };
  std::string table;
  std::string index;        // names of the logical indexes that use this real index, joined by ", "
  uint32_t realIndex = 0;
  uint32_t rootPage = 0;
  Status status = Status::kOk;
  std::string detail;       // Japanese: the fault found, why the index cannot be checked, or a note
  uint64_t entries = 0;     // entries found in the tree
  uint32_t pages = 0;       // index pages visited
  // Distinct keys in the tree and the count the TDEF keeps. Jet raises the stored count when keys
  // are added but does not lower it when rows are deleted (files with deletions show it higher), so
  // only a stored count below the real one is a fault; files we write should have them equal.
  uint64_t distinctKeys = 0;
  uint32_t storedDistinctKeys = 0;

  bool ok() const { return status == Status::kOk; }
};

// Checks every real index of every local table (system tables included). Never throws for a
// fault inside an index (it is reported); a table whose rows cannot be read gives kFault results
// for each of its indexes.
std::vector<IndexCheckResult> checkAllIndexes(JetFileReader& reader);

// The indexes of one table.
std::vector<IndexCheckResult> checkTableIndexes(JetFileReader& reader, const TableInfo& table);

// One line per index: "テーブル Orders / インデックス PrimaryKey: OK (830 件)".
std::string formatIndexReport(const std::vector<IndexCheckResult>& results);

}  // namespace vellicor::jet3
