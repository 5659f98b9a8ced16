// Environment, connection and statement handles over the driver manager (unixODBC; odbc32 on Windows),
// wide API throughout. A connection keeps weak references to its statements so close() frees them first.
#include "dataaccess/odbc/odbc_handles.h"

#include <algorithm>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/driver_locale.h"
#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_text.h"
#include "text/ascii.h"

namespace vellicor::odbc {

Environment::Environment() {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    throw dao::Error("ODBC ドライバ マネージャを初期化できません。", kOdbcCallFailed);
  }
  SQLRETURN rc = SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(rc)) {
    std::string text = diagnosticText(SQL_HANDLE_ENV, env_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    env_ = SQL_NULL_HENV;
    throw dao::Error(text.empty() ? "ODBC のバージョンを設定できません。" : text, kOdbcCallFailed);
  }
}

Environment::~Environment() {
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

SQLHSTMT Statement::handle() const {
  if (stmt_ == SQL_NULL_HSTMT) throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
  return stmt_;
}

void Statement::close() {
  if (stmt_ != SQL_NULL_HSTMT) {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    stmt_ = SQL_NULL_HSTMT;
  }
}

std::string driverConnectString(const std::string& connect) {
  if (connect.size() >= 5 && text::equalsIgnoringAsciiCase(std::string_view(connect).substr(0, 5), "ODBC;")) {
    return connect.substr(5);
  }
  return connect;
}

Connection::Connection(std::shared_ptr<Environment> env) : env_(std::move(env)) {
  DriverCharacterType utf8;
  check(SQLAllocHandle(SQL_HANDLE_DBC, env_->handle(), &dbc_), SQL_HANDLE_ENV, env_->handle(),
        "SQLAllocHandle");
}

void Connection::open(const std::string& connect, bool readOnly) {
  // DAO gives up a login after 20 seconds; an unreachable server must not hold the run longer.
  SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
  WideString in = toWide(driverConnectString(connect));
  SQLWCHAR out[1024];
  SQLSMALLINT outLength = 0;
  SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, in.data(), SQL_NTS, out,
                                   static_cast<SQLSMALLINT>(sizeof out / sizeof out[0]), &outLength,
                                   SQL_DRIVER_NOPROMPT);
  // The connect string holds the password: wipe our copy.
  std::fill(in.begin(), in.end(), SQLWCHAR(0));
  std::fill(std::begin(out), std::end(out), SQLWCHAR(0));
  check(rc, SQL_HANDLE_DBC, dbc_, "SQLDriverConnect");
  connected_ = true;
  if (readOnly) {
    // A hint in ODBC terms: a driver that cannot honour it still reads, so a refusal is ignored.
    SQLSetConnectAttrW(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
  }
}

std::shared_ptr<Statement> Connection::newStatement() {
  if (!connected_) throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt), SQL_HANDLE_DBC, dbc_, "SQLAllocHandle");
  auto s = std::make_shared<Statement>(stmt);
  std::erase_if(statements_, [](const std::weak_ptr<Statement>& w) { return w.expired(); });
  statements_.push_back(s);
  return s;
}

void Connection::close() {
  for (auto& w : statements_) {
    if (auto s = w.lock()) s->close();
  }
  statements_.clear();
  if (connected_) {
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);  // nothing is ever written; end any open transaction
    SQLDisconnect(dbc_);
    connected_ = false;
  }
  if (dbc_ != SQL_NULL_HDBC) {
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
  }
}

}  // namespace vellicor::odbc
