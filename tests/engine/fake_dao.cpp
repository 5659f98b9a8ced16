// The in-memory data access stand-in: source recordsets over scripted tables, an output database
// whose tables live in World::files, and a call log entry for every call the run makes.
#include "fake_dao.h"

#include <algorithm>
#include <fstream>

#include "dataaccess/row_block.h"

namespace vellicor::fake {
namespace {

class FakeField : public dao::Field {
 public:
  FakeField(Column c, World* w) : col_(std::move(c)), world_(w) {}
  const std::string& name() const override { return col_.name; }
  int16_t type() const override { return col_.type; }
  int32_t size() const override { return col_.size; }
  dao::Variant value() const override { return value_; }
  void setValue(const dao::Variant& v) override { value_ = v; }
  int64_t fieldSize() const override {
    if (auto* b = std::get_if<dao::Bytes>(&value_)) return static_cast<int64_t>(b->size());
    if (auto* s = std::get_if<std::string>(&value_)) return static_cast<int64_t>(s->size());
    return 0;
  }
  dao::Bytes getChunk(int64_t offset, int32_t length) const override {
    world_->chunkRequests.emplace_back(offset, length);
    dao::Bytes all;
    if (auto* b = std::get_if<dao::Bytes>(&value_)) all = *b;
    if (auto* s = std::get_if<std::string>(&value_)) all.assign(s->begin(), s->end());
    if (offset >= static_cast<int64_t>(all.size())) return {};
    const size_t end = std::min(all.size(), static_cast<size_t>(offset + length));
    return dao::Bytes(all.begin() + offset, all.begin() + static_cast<int64_t>(end));
  }
  void appendChunk(const dao::Bytes& piece) override {
    if (col_.type == dao::dbMemo) {
      std::string s = dao::isNull(value_) ? std::string() : std::get<std::string>(value_);
      s.append(piece.begin(), piece.end());
      value_ = s;
    } else {
      dao::Bytes b = dao::isNull(value_) ? dao::Bytes() : std::get<dao::Bytes>(value_);
      b.insert(b.end(), piece.begin(), piece.end());
      value_ = b;
    }
  }

 private:
  Column col_;
  World* world_;
  dao::Variant value_ = dao::Null{};
};

class FakeFields : public dao::Fields {
 public:
  std::vector<std::unique_ptr<FakeField>> items;
  int count() const override { return static_cast<int>(items.size()); }
  dao::Field& operator[](int i) override { return *items.at(static_cast<size_t>(i)); }
  dao::Field& operator[](std::string_view name) override {
    for (auto& f : items) {
      if (f->name() == name) return *f;
    }
    throw dao::Error("項目 '" + std::string(name) + "' はありません。");
  }
};

// Rows of a scripted result copied into a block, as a fetch of the ODBC source gives them.
class FakeBlock : public dao::RowBlock {
 public:
  FakeBlock(std::vector<std::vector<dao::Variant>> rows, size_t firstRow, int failAtRow)
      : rows_(std::move(rows)), firstRow_(firstRow), failAtRow_(failAtRow) {}
  size_t rowCount() const override { return rows_.size(); }
  int columnCount() const override { return rows_.empty() ? 0 : static_cast<int>(rows_[0].size()); }
  size_t byteSize() const override { return rows_.size() * 64; }
  void read(size_t row, int column, dao::Variant& into) const override {
    if (failAtRow_ != 0 && firstRow_ + row + 1 == static_cast<size_t>(failAtRow_)) {
      throw dao::Error("行を読み取れませんでした。");
    }
    into = rows_.at(row).at(static_cast<size_t>(column));
  }

 private:
  std::vector<std::vector<dao::Variant>> rows_;
  size_t firstRow_;
  int failAtRow_;
};

// Reads a scripted result forward (source side) or adds rows to an output table.
class FakeRecordset : public dao::Recordset, public dao::BlockSource {
 public:
  FakeRecordset(World* w, std::string label, Table* table, bool writable)
      : world_(w), label_(std::move(label)), table_(table), writable_(writable) {
    for (const Column& c : table_->columns) fields_.items.push_back(std::make_unique<FakeField>(c, w));
    load();
  }
  bool eof() const override { return writable_ || row_ >= table_->rows.size(); }
  void moveNext() override {
    if (!writable_ && world_->failMoveNextAtRow != 0 && static_cast<int>(row_) + 1 == world_->failMoveNextAtRow) {
      throw dao::Error("接続が切断されました。");
    }
    ++row_;
    load();
  }
  dao::Fields& fields() override { return fields_; }
  void addNew() override {
    world_->calls.push_back("AddNew " + label_);
    for (auto& f : fields_.items) f->setValue(dao::Null{});
  }
  void update(int type, bool force) override {
    world_->calls.push_back("Update " + label_ + " " + std::to_string(type) + (force ? " force" : ""));
    if (world_->failUpdateAtRow != 0 && static_cast<int>(table_->rows.size()) + 1 == world_->failUpdateAtRow) {
      throw dao::Error("値がフィールドに入りません。");
    }
    std::vector<dao::Variant> row;
    for (auto& f : fields_.items) row.push_back(f->value());
    table_->rows.push_back(std::move(row));
  }
  void close() override { world_->calls.push_back("Close " + label_); }

  bool blocksAvailable() const override { return !writable_ && world_->blockRows > 0; }
  std::unique_ptr<dao::RowBlock> takeBlock(std::unique_ptr<dao::RowBlock>) override {
    if (!blocksAvailable() || eof()) throw dao::Error("カレント レコードがありません。");
    const size_t end = std::min(table_->rows.size(), (row_ / world_->blockRows + 1) * world_->blockRows);
    std::vector<std::vector<dao::Variant>> rows(table_->rows.begin() + static_cast<std::ptrdiff_t>(row_),
                                                table_->rows.begin() + static_cast<std::ptrdiff_t>(end));
    auto block = std::make_unique<FakeBlock>(std::move(rows), row_, world_->failBlockReadAtRow);
    ++world_->blocksTaken;
    row_ = end - 1;
    load();
    return block;
  }

 private:
  void load() {
    if (writable_ || row_ >= table_->rows.size()) return;
    for (size_t k = 0; k < fields_.items.size(); ++k) fields_.items[k]->setValue(table_->rows[row_][k]);
  }
  World* world_;
  std::string label_;
  Table* table_;
  bool writable_;
  size_t row_ = 0;
  FakeFields fields_;
};

class SourceDatabase : public dao::Database {
 public:
  explicit SourceDatabase(World* w) : world_(w) {}
  std::unique_ptr<dao::Recordset> openRecordset(const std::string& sql, int type) override {
    world_->calls.push_back("OpenRecordset " + sql + " |" + std::to_string(type));
    if (auto it = world_->rejected.find(sql); it != world_->rejected.end()) throw dao::Error(it->second);
    auto it = world_->queries.find(sql);
    if (it == world_->queries.end()) throw dao::Error("表またはビューが存在しません: " + sql);
    return std::make_unique<FakeRecordset>(world_, "source", &it->second, false);
  }
  void appendTableDef(const dao::TableDef&) override { throw dao::Error("read only"); }
  std::vector<std::string> tableNames() override { return {}; }
  void close() override { world_->calls.push_back("Close source db"); }

 private:
  World* world_;
};

class OutputDatabase : public dao::Database {
 public:
  OutputDatabase(World* w, std::string path) : world_(w), path_(std::move(path)) {}
  std::unique_ptr<dao::Recordset> openRecordset(const std::string& name, int type) override {
    world_->calls.push_back("OpenRecordset out " + name + " |" + std::to_string(type));
    auto& tables = world_->files[path_];
    auto it = tables.find(name);
    if (it == tables.end()) throw dao::Error("テーブル '" + name + "' が見つかりません。");
    return std::make_unique<FakeRecordset>(world_, "out:" + name, &it->second, true);
  }
  std::unique_ptr<dao::TableDef> createTableDef(const std::string& name) override {
    world_->calls.push_back("CreateTableDef " + name);
    return std::make_unique<dao::TableDef>(name);
  }
  void appendTableDef(const dao::TableDef& def) override {
    std::string text = "AppendTableDef " + def.name() + "(";
    Table t;
    for (const dao::FieldDef& f : def.fields()) {
      text += f.name + ":" + std::to_string(f.type) + ":" + (f.size ? std::to_string(*f.size) : "-") + ";";
      t.columns.push_back(Column{f.name, f.type, f.size.value_or(0)});
    }
    world_->calls.push_back(text + ")");
    auto& tables = world_->files[path_];
    if (tables.count(def.name())) throw dao::Error("テーブル '" + def.name() + "' は既に存在します。");
    tables[def.name()] = std::move(t);
  }
  std::vector<std::string> tableNames() override {
    std::vector<std::string> names;
    for (auto& [n, t] : world_->files[path_]) names.push_back(n);
    return names;
  }
  void close() override { world_->calls.push_back("Close output db"); }
  uint64_t substitutedCharacters() const override { return world_->substituted; }

 private:
  World* world_;
  std::string path_;
};

class OdbcWorkspace : public dao::Workspace {
 public:
  explicit OdbcWorkspace(World* w) : world_(w) {}
  std::unique_ptr<dao::Database> openDatabase(const std::string& name, int options, bool readOnly,
                                              const std::string& connect) override {
    world_->calls.push_back("OpenDatabase odbc " + name + "|" + std::to_string(options) + "|" +
                            (readOnly ? "ro" : "rw") + "|" + connect);
    if (!world_->failConnect.empty()) throw dao::Error(world_->failConnect);
    return std::make_unique<SourceDatabase>(world_);
  }
  std::unique_ptr<dao::Database> createDatabase(const std::string&, const std::string&) override {
    throw dao::Error("not here");
  }
  void close() override { world_->calls.push_back("Close odbc ws"); }

 private:
  World* world_;
};

class JetWorkspace : public dao::Workspace {
 public:
  explicit JetWorkspace(World* w) : world_(w) {}
  std::unique_ptr<dao::Database> openDatabase(const std::string& name, int options, bool,
                                              const std::string&) override {
    world_->calls.push_back("OpenDatabase jet " + name + "|" + std::to_string(options));
    if (!std::ifstream(name).good()) throw dao::Error("ファイルが見つかりません。");
    return std::make_unique<OutputDatabase>(world_, name);
  }
  std::unique_ptr<dao::Database> createDatabase(const std::string& name, const std::string& locale) override {
    world_->calls.push_back("CreateDatabase " + name + "|" + locale);
    if (world_->failCreate || std::ifstream(name).good()) throw dao::Error("作成できません。");
    std::ofstream(name) << "mdb";
    world_->files[name].clear();
    return std::make_unique<OutputDatabase>(world_, name);
  }
  void close() override { world_->calls.push_back("Close jet ws"); }

 private:
  World* world_;
};

}  // namespace

void World::addSourceObject(const std::string& queryName, Table t) {
  Table count;
  count.columns = {Column{"COUNT(*)", dao::dbDecimal, 38}};
  count.rows = {{dao::Variant(static_cast<double>(t.rows.size()))}};
  queries["select count(*) from " + queryName] = count;
  queries["select * from " + queryName] = std::move(t);
}

void World::setObjectList(const std::string& clause, const std::vector<std::string>& names) {
  Table count;
  count.columns = {Column{"COUNT(*)", dao::dbDecimal, 38}};
  count.rows = {{dao::Variant(static_cast<int32_t>(names.size()))}};
  queries["select count(*) from user_objects " + clause] = count;
  Table list;
  list.columns = {Column{"OBJECT_NAME", dao::dbText, 128}, Column{"OBJECT_TYPE", dao::dbText, 19}};
  for (const std::string& n : names) list.rows.push_back({dao::Variant(n), dao::Variant(std::string("TABLE"))});
  queries["select * from user_objects " + clause] = list;
}

engine::WorkspaceFactory World::factory() {
  return [this](const std::string& name, const std::string& user, const std::string& password,
                int useType) -> std::unique_ptr<dao::Workspace> {
    calls.push_back("CreateWorkspace " + name + "|" + user + "|" + password + "|" + std::to_string(useType));
    if (useType == dao::dbUseODBC) return std::make_unique<OdbcWorkspace>(this);
    if (failJetWorkspace) throw dao::Error("Jet ワークスペースを作成できません。");
    return std::make_unique<JetWorkspace>(this);
  };
}

std::vector<std::string> RecordingHost::only(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& e : events) {
    if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
  }
  return out;
}

}  // namespace vellicor::fake
