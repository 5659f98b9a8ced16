// The benchmarks' shared parts: the stand-in's connection and table, the bare ODBC read, the
// quiet host and the measured child runs.
#include "bench/support/bench_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "dataaccess/odbc/connect_string.h"
#include "engine/run_options.h"

namespace vellicor::bench {
namespace {

using Clock = std::chrono::steady_clock;

// CPU seconds of this process so far, every thread (the server's work is not counted).
double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool standInFromEnvironment(const std::string& schema, StandIn& out) {
  const std::string templ = env("VELLICOR_PG_CONNECT");
  if (templ.empty()) {
    std::fprintf(stderr, "VELLICOR_PG_CONNECT is not set: eval \"$(tests/standin/pg_standin.sh start)\" first\n");
    return false;
  }
  out.server = env("VELLICOR_PG_SERVER");
  out.user = env("VELLICOR_PG_USER");
  out.password = env("VELLICOR_PG_PASSWORD");
  out.schemaTemplate = templ + "ConnSettings=set search_path to " + schema + ",public;";
  out.connect = odbc::buildConnectString(out.server, out.user, out.password, out.schemaTemplate);
  return true;
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, const char* what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  SQLCHAR state[6] = {0}, text[512] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len);
  throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<char*>(state) + " " +
                           reinterpret_cast<char*>(text));
}

void execute(const std::string& connect, const std::vector<std::string>& statements) {
  SQLHENV envh = nullptr;
  SQLHDBC dbc = nullptr;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &envh);
  SQLSetEnvAttr(envh, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, envh, &dbc);
  check(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connect.c_str(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc, "connect");
  for (const std::string& s : statements) {
    SQLHSTMT st = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    check(SQLExecDirect(st, (SQLCHAR*)s.c_str(), SQL_NTS), SQL_HANDLE_STMT, st, s.c_str());
    SQLFreeHandle(SQL_HANDLE_STMT, st);
  }
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, envh);
}

void ensureBig10(const std::string& connect, const std::string& schema) {
  execute(connect, {"create schema if not exists " + schema,
                    "create table if not exists big10 as select n as c1, n % 1000 as c2, (n * 7)::integer as c3, "
                    "n * 1.5::float8 as c4, n / 3.0::float8 as c5, ('row ' || n)::varchar(20) as c6, "
                    "md5(n::text)::varchar(32) as c7, ('名前' || (n % 977))::varchar(20) as c8, "
                    "timestamp '2000-01-01' + n * interval '1 minute' as c9, (n % 30000)::smallint as c10 "
                    "from generate_series(1, " + std::to_string(kBig10Rows) + ") as n"});
}

long bareRead(const std::string& connect, const std::string& sql, SQLSMALLINT textType) {
  SQLHENV envh = nullptr;
  SQLHDBC dbc = nullptr;
  SQLHSTMT st = nullptr;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &envh);
  SQLSetEnvAttr(envh, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, envh, &dbc);
  check(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connect.c_str(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc, "connect");
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
  constexpr SQLULEN kBlock = 500;
  SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
  SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  check(SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS), SQL_HANDLE_STMT, st, "select");
  SQLSMALLINT cols = 0;
  SQLNumResultCols(st, &cols);
  std::vector<std::vector<char>> buffers(static_cast<size_t>(cols));
  std::vector<std::vector<SQLLEN>> indicators(static_cast<size_t>(cols), std::vector<SQLLEN>(kBlock));
  for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(cols); ++c) {
    SQLCHAR name[128];
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeCol(st, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
    SQLSMALLINT ctype = textType;
    SQLLEN width = static_cast<SQLLEN>(size) * 4 + 2;
    switch (type) {
      case SQL_INTEGER: case SQL_SMALLINT: ctype = SQL_C_SLONG; width = 4; break;
      case SQL_DOUBLE: case SQL_FLOAT: case SQL_REAL: ctype = SQL_C_DOUBLE; width = 8; break;
      case SQL_TYPE_TIMESTAMP: ctype = SQL_C_TYPE_TIMESTAMP; width = sizeof(SQL_TIMESTAMP_STRUCT); break;
      default: break;
    }
    buffers[c - 1].resize(static_cast<size_t>(width) * kBlock);
    SQLBindCol(st, c, ctype, buffers[c - 1].data(), width, indicators[c - 1].data());
  }
  long rows = 0;
  while (true) {
    const SQLRETURN rc = SQLFetch(st);
    if (rc == SQL_NO_DATA) break;
    check(rc, SQL_HANDLE_STMT, st, "fetch");
    rows += static_cast<long>(fetched);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, st);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, envh);
  return rows;
}

std::string QuietHost::getWhereObjectType() { return engine::whereObjectType(1, 0, 0); }

void QuietHost::messageBox(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "[%s] %s\n", caption.empty() ? "Vellicor" : caption.c_str(), text.c_str());
}

Measurement inChild(const std::function<long()>& work) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    Measurement m;
    const auto t0 = Clock::now();
    const double c0 = cpuSeconds();
    try {
      m.rows = work();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      _exit(1);
    }
    m.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    m.cpu = cpuSeconds() - c0;
    if (m.rows < 0 || write(fds[1], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Measurement m;
  const bool got = read(fds[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("a measured run failed");
  m.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return m;
}

}  // namespace vellicor::bench
