// A source database: one open ODBC connection, on which SQL texts become recordsets.
// Table definitions cannot be appended here; the source is only read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/odbc_handles.h"

namespace vellicor::odbc {

class OdbcDatabase final : public dao::Database {
 public:
  explicit OdbcDatabase(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}
  ~OdbcDatabase() override { close(); }

  // `source` is an SQL text; every recordset type reads forward only.
  std::unique_ptr<dao::Recordset> openRecordset(const std::string& source, int type = 0) override;
  void appendTableDef(const dao::TableDef& def) override;
  std::vector<std::string> tableNames() override;  // the driver's tables and views (SQLTables)
  // The table's primary key and unique indexes as the driver's catalog gives them (odbc_keys.h).
  std::vector<dao::IndexDef> keysOf(const std::string& table, const std::string& owner) override;
  void close() override { connection_->close(); }

 private:
  std::shared_ptr<Connection> connection_;
};

}  // namespace vellicor::odbc
