// The DAO-like object model that the run, the listing and the tests call: engine, workspaces,
// databases, table definitions, fields and recordsets. Each workspace kind (Jet file, ODBC source) implements it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/error.h"
#include "dataaccess/variant.h"

namespace vellicor::dao {

enum WorkspaceType : int { dbUseODBC = 1, dbUseJet = 2 };
enum RecordsetType : int { dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4, dbOpenForwardOnly = 8 };
enum OpenOption : int { dbDriverNoPrompt = 1 };
enum UpdateType : int { dbUpdateRegular = 1 };

// Locale texts of CreateDatabase.
inline constexpr const char* dbLangGeneral = ";LANGID=0x0409;CP=1252;COUNTRY=0";
inline constexpr const char* dbLangJapanese = ";LANGID=0x0411;CP=932;COUNTRY=0";

// A field of a recordset (a column and its value in the current row).
class Field {
 public:
  virtual ~Field() = default;
  virtual const std::string& name() const = 0;
  virtual int16_t type() const = 0;  // DataType code
  virtual int32_t size() const = 0;
  virtual Variant value() const = 0;
  virtual void setValue(const Variant& v) = 0;
  // Long values (Memo, Long Binary): the length in bytes and a piece of it. Memo text is
  // UTF-8 bytes inside the program.
  virtual int64_t fieldSize() const = 0;
  virtual Bytes getChunk(int64_t offset, int32_t length) const = 0;
  virtual void appendChunk(const Bytes& piece) = 0;
};

class Fields {
 public:
  virtual ~Fields() = default;
  virtual int count() const = 0;
  virtual Field& operator[](int index) = 0;
  virtual Field& operator[](std::string_view name) = 0;  // throws Error when absent
};

class Recordset {
 public:
  virtual ~Recordset() = default;
  virtual bool eof() const = 0;
  virtual void moveNext() = 0;
  virtual Fields& fields() = 0;
  virtual void addNew() = 0;
  virtual void update(int updateType = dbUpdateRegular, bool force = false) = 0;
  virtual void close() = 0;
};

// A field definition: what CreateField makes and Fields.Append adds to a table definition.
struct FieldDef {
  std::string name;
  int16_t type = dbText;
  std::optional<int32_t> size;  // omitted: the engine's default for the type
};

// A table definition before (and after) it is appended to a database. Checks that need no
// engine (duplicate field names, field count) are made by appendField; the engine checks the rest
// when the definition is appended.
class TableDef {
 public:
  explicit TableDef(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }
  FieldDef createField(std::string name, int16_t type, std::optional<int32_t> size = std::nullopt) const {
    return FieldDef{std::move(name), type, size};
  }
  void appendField(FieldDef f);
  const std::vector<FieldDef>& fields() const { return fields_; }

 private:
  std::string name_;
  std::vector<FieldDef> fields_;
};

// An index definition: what CreateIndex makes and a table's Indexes.Append adds. A source's keys
// come back in the same shape (the primary key with primary set, named as the source names it).
struct IndexDef {
  struct Column {
    std::string name;
    bool ascending = true;
  };
  std::string name;
  std::vector<Column> columns;  // in key order
  bool primary = false;
  bool unique = false;
  bool ignoreNulls = false;  // rows whose key columns are all Null are not entered
  bool required = false;     // a Null in a key column is refused
};

class Database {
 public:
  virtual ~Database() = default;
  // Source: a table name (Jet) or an SQL text (ODBC). Type 0 = omitted.
  virtual std::unique_ptr<Recordset> openRecordset(const std::string& source, int type = 0) = 0;
  virtual std::unique_ptr<TableDef> createTableDef(const std::string& name) {
    return std::make_unique<TableDef>(name);
  }
  virtual void appendTableDef(const TableDef& def) = 0;  // TableDefs.Append
  virtual std::vector<std::string> tableNames() = 0;     // the TableDefs collection, user tables
  // Indexes.Append on the table named `table`: the index is built over the rows it holds. Throws
  // Error when the index cannot be made (a duplicate key of a unique index names its rows).
  virtual void appendIndex(const std::string& table, const IndexDef& index) {
    (void)table;
    (void)index;
    throw Error("このデータベースにはインデックスを作成できません。", errnum::kNotSupported);
  }
  // A source's keys of the table or view of `owner`'s schema that `table` names as a query's text
  // does (a quoted identifier, or a plain one that the server keeps in its own letter case): its
  // primary key, then its unique indexes (other than the one backing the primary key), as the
  // driver reports them. Empty when there are none or the driver cannot report them.
  virtual std::vector<IndexDef> keysOf(const std::string& table, const std::string& owner) {
    (void)table;
    (void)owner;
    return {};
  }
  virtual void close() = 0;
  // Characters written since the database was opened that its code page cannot hold; each was
  // stored as '?' (the caller reports the count). Always 0 for sources.
  virtual uint64_t substitutedCharacters() const { return 0; }
  // What the open did to the file that the user should be told (a journal left beside it by
  // another file, set aside); empty when nothing. Always empty for sources.
  virtual std::string openingNotice() const { return {}; }
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  // options: exclusive (Jet) or dbDriverNoPrompt (ODBC).
  virtual std::unique_ptr<Database> openDatabase(const std::string& name, int options = 0,
                                                 bool readOnly = false,
                                                 const std::string& connect = "") = 0;
  virtual std::unique_ptr<Database> createDatabase(const std::string& name,
                                                   const std::string& locale) = 0;
  // A new database in place of the file at name. This default deletes the file first (a failure
  // to delete shows in the creation); an engine that can do better leaves the old file until the
  // new one is complete, and refuses to replace a file in use.
  virtual std::unique_ptr<Database> replaceDatabase(const std::string& name, const std::string& locale) {
    std::remove(name.c_str());
    return createDatabase(name, locale);
  }
  virtual void close() = 0;
};

// One engine object per process, created on first use.
class DBEngine {
 public:
  static DBEngine& instance();
  std::unique_ptr<Workspace> createWorkspace(const std::string& name, const std::string& user,
                                             const std::string& password, int useType);

 private:
  DBEngine() = default;
};

}  // namespace vellicor::dao
