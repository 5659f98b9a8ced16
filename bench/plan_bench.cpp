// The pre-flight plan against the 1,000,000-row table of the conversion benchmark (PostgreSQL
// stand-in, schema vellicor_r_bench, made by convert_bench or here): the plan without a scan (it
// counts and opens, it does not read), the plan with --scan, and a bare block-fetch ODBC read of
// the same rows. Prints the times and the scan's ratio to the bare read, best of three each.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "dataaccess/odbc/connect_string.h"
#include "dataaccess/odbc/odbc_api.h"
#include "engine/plan.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kSchema = "vellicor_r_bench";
constexpr int kRounds = 3;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, const char* what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  SQLCHAR state[6] = {0}, text[512] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len);
  throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<char*>(text));
}

// Statements on a fresh connection; then, when `read` is set, every row of it in blocks of 500
// with every column bound as text or its own C type. Returns the rows read.
long odbc(const std::string& connect, const std::vector<std::string>& statements, const std::string& read) {
  SQLHENV envh = nullptr;
  SQLHDBC dbc = nullptr;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &envh);
  SQLSetEnvAttr(envh, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, envh, &dbc);
  check(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connect.c_str(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc, "connect");
  long rows = 0;
  for (const std::string& s : statements) {
    SQLHSTMT st = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    check(SQLExecDirect(st, (SQLCHAR*)s.c_str(), SQL_NTS), SQL_HANDLE_STMT, st, s.c_str());
    SQLFreeHandle(SQL_HANDLE_STMT, st);
  }
  if (!read.empty()) {
    SQLHSTMT st = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    constexpr SQLULEN kBlock = 500;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    check(SQLExecDirect(st, (SQLCHAR*)read.c_str(), SQL_NTS), SQL_HANDLE_STMT, st, "select");
    SQLSMALLINT cols = 0;
    SQLNumResultCols(st, &cols);
    std::vector<std::vector<char>> buffers(static_cast<size_t>(cols));
    std::vector<std::vector<SQLLEN>> indicators(static_cast<size_t>(cols), std::vector<SQLLEN>(kBlock));
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(cols); ++c) {
      SQLCHAR name[128];
      SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      SQLDescribeCol(st, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
      SQLSMALLINT ctype = SQL_C_WCHAR;
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
    for (;;) {
      const SQLRETURN rc = SQLFetch(st);
      if (rc == SQL_NO_DATA) break;
      check(rc, SQL_HANDLE_STMT, st, "fetch");
      rows += static_cast<long>(fetched);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
  }
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, envh);
  return rows;
}

class QuietHost : public vellicor::engine::RunHost {
 public:
  void setMessage(const std::string&) override {}
  void setProgress(const std::string&) override {}
  std::string selectionText() override { return "BIG10"; }
  int sequencesBox() override { return 0; }
  std::string getWhereObjectType() override { return vellicor::engine::whereObjectType(1, 0, 0); }
  void messageBox(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  }
  vellicor::engine::Answer askYesNo(const std::string&, const std::string&) override {
    return vellicor::engine::Answer::No;
  }
};

template <class F>
double seconds(F work) {
  const auto t0 = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
  const std::string templ = env("VELLICOR_PG_CONNECT");
  if (templ.empty()) {
    std::fprintf(stderr, "VELLICOR_PG_CONNECT is not set: eval \"$(tests/standin/pg_standin.sh start)\" first\n");
    return 2;
  }
  const std::string server = env("VELLICOR_PG_SERVER"), user = env("VELLICOR_PG_USER"),
                    pass = env("VELLICOR_PG_PASSWORD");
  const std::string schemaTempl = templ + "ConnSettings=set search_path to " + std::string(kSchema) + ",public;";
  const std::string connect = vellicor::odbc::buildConnectString(server, user, pass, schemaTempl);
  try {
    // The same table as convert_bench's.
    odbc(connect,
         {std::string("create schema if not exists ") + kSchema,
          "create table if not exists big10 as select n as c1, n % 1000 as c2, (n * 7)::integer as c3, "
          "n * 1.5::float8 as c4, n / 3.0::float8 as c5, ('row ' || n)::varchar(20) as c6, "
          "md5(n::text)::varchar(32) as c7, ('名前' || (n % 977))::varchar(20) as c8, "
          "timestamp '2000-01-01' + n * interval '1 minute' as c9, (n % 30000)::smallint as c10 "
          "from generate_series(1, 1000000) as n"},
         "");
    vellicor::engine::PlanRequest request;
    request.server = server;
    request.user = user;
    request.password = pass;
    request.options.connectTemplate = schemaTempl;
    double plain = 1e300, scanned = 1e300, bare = 1e300;
    long rows = 0;
    int64_t scannedRows = 0;
    for (int round = 0; round < kRounds; ++round) {
      QuietHost host;
      request.scan = false;
      plain = std::min(plain, seconds([&] { vellicor::engine::planRun(host, request); }));
      request.scan = true;
      scanned = std::min(scanned, seconds([&] {
                           const auto plan = vellicor::engine::planRun(host, request);
                           scannedRows = plan.objects.empty() ? 0 : plan.objects.back().scannedRows;
                         }));
      bare = std::min(bare, seconds([&] { rows = odbc(connect, {}, "select * from BIG10"); }));
    }
    std::printf("rows: %ld (scanned %lld), best of %d rounds each\n", rows, static_cast<long long>(scannedRows), kRounds);
    std::printf("plan without --scan: %.2f s (counts and opens, reads no rows)\n", plain);
    std::printf("plan --scan: %.2f s  bare block-fetch read: %.2f s  ratio: %.2fx\n", scanned, bare, scanned / bare);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
