// An open Jet 3 database of the Jet workspace: the file with its pager and catalog, the tables
// appended in this session with their writers, and the table definition checks Jet 3.5 makes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"

namespace vellicor::text {
class CodePage;
}

namespace vellicor::jet3 {

class Catalog;
class Pager;
class TableWriter;

class JetDatabase : public dao::Database {
 public:
  // A new file (refused when it exists). locale: ";LANGID=...;CP=932;COUNTRY=0". With
  // replaceExisting, a file at path is replaced instead: it is locked first as a read-write open
  // locks it (a file in use is refused, left as it is), and the new file takes its name only when
  // complete, while the old one is still locked.
  static std::unique_ptr<JetDatabase> create(const std::string& path, const std::string& locale,
                                             const FileOpener& opener, bool replaceExisting = false);
  static std::unique_ptr<JetDatabase> open(const std::string& path, bool exclusive, bool readOnly,
                                           const FileOpener& opener);
  ~JetDatabase() override;

  std::unique_ptr<dao::Recordset> openRecordset(const std::string& source, int type = 0) override;
  void appendTableDef(const dao::TableDef& def) override;
  std::vector<std::string> tableNames() override;
  // Builds the index over the table's rows (index_build.h) and records it in the table's
  // definition in one commit. The table takes no rows afterwards (its indexes would not follow).
  void appendIndex(const std::string& table, const dao::IndexDef& index) override;
  void close() override;
  uint64_t substitutedCharacters() const override { return substituted_; }
  std::string openingNotice() const override { return openingNotice_; }

  // For the recordsets of this database.
  const text::CodePage& codePage() const { return *codePage_; }
  const std::string& path() const { return path_; }
  void addSubstitutions(uint64_t n) { substituted_ += n; }
  Pager& pager() { return *pager_; }
  // Commits the rows written so far to every table of this session (before reading them back).
  void commitTables();
  void checkOpen() const;
  // The TDEF page of a table (user or system) by name, compared as Jet compares names; 0 if none.
  uint32_t findTable(const std::string& utf8Name) const;
  // The writer of a table appended in this session; null for tables that were in the file.
  TableWriter* writerFor(uint32_t tdefPage);
  void checkWritable() const;

 private:
  JetDatabase() = default;

  std::string path_;
  std::unique_ptr<Pager> pager_;
  std::unique_ptr<Catalog> catalog_;
  const text::CodePage* codePage_ = nullptr;
  bool readOnly_ = false;
  bool closed_ = false;
  uint64_t substituted_ = 0;
  std::string openingNotice_;
  std::map<uint32_t, std::unique_ptr<TableWriter>> writers_;  // by TDEF page
};

}  // namespace vellicor::jet3
