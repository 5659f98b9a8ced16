// Owners of the ODBC handles: the environment, a connection and its statements. Closing a
// connection first frees its statements, so a recordset outliving its database fails cleanly.
#pragma once

#include "dataaccess/odbc/odbc_api.h"

#include <memory>
#include <string>
#include <vector>

namespace vellicor::odbc {

class Environment {
 public:
  Environment();  // ODBC 3 behaviour; throws dao::Error when the driver manager refuses
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  SQLHENV handle() const { return env_; }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
};

class Statement {
 public:
  explicit Statement(SQLHSTMT stmt) : stmt_(stmt) {}
  ~Statement() { close(); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // Throws dao::Error once the statement (or its connection) has been closed.
  SQLHSTMT handle() const;
  bool isOpen() const { return stmt_ != SQL_NULL_HSTMT; }
  void close();

 private:
  SQLHSTMT stmt_;
};

class Connection {
 public:
  static constexpr SQLULEN kLoginTimeoutSeconds = 20;

  explicit Connection(std::shared_ptr<Environment> env);
  ~Connection() { close(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // SQLDriverConnect without ever prompting; a leading "ODBC;" is dropped as DAO does.
  void open(const std::string& connect, bool readOnly);
  bool isOpen() const { return connected_; }
  SQLHDBC handle() const { return dbc_; }
  std::shared_ptr<Statement> newStatement();
  void close();

 private:
  std::shared_ptr<Environment> env_;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  std::vector<std::weak_ptr<Statement>> statements_;
};

// The connect string as handed to the driver: without DAO's "ODBC;" prefix.
std::string driverConnectString(const std::string& connect);

}  // namespace vellicor::odbc
