// Benchmark of the ODBC source: reads a 1,000,000-row, 10-column table of the PostgreSQL stand-in
// through our Recordset and through a bare block-fetch ODBC loop, and prints times, ratio and peak memory.
//
//   eval "$(tests/standin/pg_standin.sh start)" && build/bench/odbc_read_bench [rows]
//
// Each reader runs in a child process of its own, so the peak memory printed is that reader's.
#include "dataaccess/odbc/odbc_api.h"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/connect_string.h"
#include "dataaccess/odbc/odbc_script.h"
#include "dataaccess/odbc/odbc_text.h"

using namespace vellicor;

namespace {

constexpr const char* kTable = "bench_rows";
constexpr SQLULEN kBareBlockRows = 500;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

struct Result {
  double seconds = 0;
  long rows = 0;
  double checksum = 0;
};

void createTable(const std::string& connect, long rows) {
  // Ten columns of the common kinds, none of them long; made once and kept between runs.
  odbc::executeScript(connect,
                      "CREATE TABLE IF NOT EXISTS " + std::string(kTable) +
                          " (id integer, grp smallint, qty integer, price numeric(10,2), ratio double precision,"
                          " flag boolean, created timestamp, code char(8), name varchar(40), serial bigint);"
                          "INSERT INTO " + kTable +
                          " SELECT i, i % 100, i * 3, (i % 100000) / 100.0, i / 7.0, i % 2 = 0,"
                          " timestamp '2024-01-01' + i * interval '1 second', lpad((i % 1000000)::text, 8, '0'),"
                          " '商品' || i, i::bigint * 1000003"
                          " FROM generate_series(1, " + std::to_string(rows) + ") AS i"
                          " WHERE NOT EXISTS (SELECT 1 FROM " + kTable + ");");
}

Result readWithRecordset(const std::string& connect) {
  auto ws = dao::DBEngine::instance().createWorkspace("ODBC-D", "", "", dao::dbUseODBC);
  auto db = ws->openDatabase("", dao::dbDriverNoPrompt, true, connect);
  Result r;
  const auto start = std::chrono::steady_clock::now();
  auto rs = db->openRecordset(std::string("select * from ") + kTable, dao::dbOpenSnapshot);
  dao::Fields& fields = rs->fields();
  const int n = fields.count();
  for (; !rs->eof(); rs->moveNext()) {
    for (int i = 0; i < n; ++i) {
      const dao::Variant v = fields[i].value();
      r.checksum += static_cast<double>(v.index());
      if (const auto* s = std::get_if<std::string>(&v)) r.checksum += static_cast<double>(s->size());
    }
    ++r.rows;
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rs->close();
  db->close();
  ws->close();
  return r;
}

#define CHECK_ODBC(call, type, handle)                                          \
  do {                                                                          \
    if (!SQL_SUCCEEDED(call)) {                                                 \
      std::fprintf(stderr, "ODBC call failed: %s\n", #call);                    \
      std::exit(1);                                                             \
    }                                                                           \
  } while (0)

// The least a program can do: bound column-wise buffers of the same C types, block fetches.
Result readBare(const std::string& connect) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  odbc::WideString cs = odbc::toWide(connect);
  CHECK_ODBC(SQLDriverConnectW(dbc, nullptr, cs.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
             SQL_HANDLE_DBC, dbc);
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  Result r;
  const auto start = std::chrono::steady_clock::now();
  odbc::WideString sql = odbc::toWide(std::string("select * from ") + kTable);
  CHECK_ODBC(SQLExecDirectW(stmt, sql.data(), SQL_NTS), SQL_HANDLE_STMT, stmt);

  struct Column {
    SQLSMALLINT cType;
    SQLLEN width;
    std::vector<unsigned char> data;
    std::vector<SQLLEN> ind;
  };
  std::vector<Column> cols = {
      {SQL_C_SLONG, 4, {}, {}},  {SQL_C_SSHORT, 2, {}, {}}, {SQL_C_SLONG, 4, {}, {}},
      {SQL_C_DOUBLE, 8, {}, {}}, {SQL_C_DOUBLE, 8, {}, {}}, {SQL_C_BIT, 1, {}, {}},
      {SQL_C_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT), {}, {}},
      {SQL_C_WCHAR, 17 * 2, {}, {}}, {SQL_C_WCHAR, 81 * 2, {}, {}}, {SQL_C_CHAR, 136, {}, {}},
  };
  SQLULEN fetched = 0;
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBareBlockRows), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  for (size_t i = 0; i < cols.size(); ++i) {
    Column& c = cols[i];
    c.data.resize(kBareBlockRows * static_cast<size_t>(c.width));
    c.ind.resize(kBareBlockRows);
    CHECK_ODBC(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(i + 1), c.cType, c.data.data(), c.width, c.ind.data()),
               SQL_HANDLE_STMT, stmt);
  }
  for (;;) {
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    CHECK_ODBC(rc, SQL_HANDLE_STMT, stmt);
    for (SQLULEN row = 0; row < fetched; ++row) {
      for (const Column& c : cols) r.checksum += c.ind[row] == SQL_NULL_DATA ? 0 : 1;
      r.checksum += static_cast<double>(cols[8].ind[row]);
    }
    r.rows += static_cast<long>(fetched);
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return r;
}

// Runs a reader in a child process; returns its result, its peak resident set in KiB and the CPU
// seconds it used (the client side alone: the server's work is not in it).
template <class F>
Result inChild(F reader, long& peakKiB, double& cpuSeconds) {
  int fds[2];
  if (pipe(fds) != 0) std::exit(1);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Result r;
    try {
      r = reader();
    } catch (const dao::Error& e) {
      std::fprintf(stderr, "%s\n", e.description().c_str());
      _exit(1);
    }
    if (write(fds[1], &r, sizeof r) != sizeof r) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Result r;
  const bool got = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
  close(fds[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "reader failed\n");
    std::exit(1);
  }
  peakKiB = usage.ru_maxrss;
  cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const std::string templ = env("VELLICOR_PG_CONNECT");
  if (templ.empty()) {
    std::fprintf(stderr, "VELLICOR_PG_CONNECT is not set: eval \"$(tests/standin/pg_standin.sh start)\" first\n");
    return 2;
  }
  const std::string connect = odbc::buildConnectString(env("VELLICOR_PG_SERVER"), env("VELLICOR_PG_USER"),
                                                       env("VELLICOR_PG_PASSWORD"), templ);
  try {
    createTable(connect, rows);
  } catch (const dao::Error& e) {
    std::fprintf(stderr, "%s\n", e.description().c_str());
    return 1;
  }

  // Two rounds, alternating, keeping each reader's faster round: the server and the other
  // processes of the machine make single timings noisy.
  long barePeak = 0, oursPeak = 0;
  double bareCpu = 0, oursCpu = 0;
  Result bare, ours;
  for (int round = 0; round < 2; ++round) {
    long peak = 0;
    double cpu = 0;
    const Result b = inChild([&] { return readBare(connect); }, peak, cpu);
    if (round == 0 || b.seconds < bare.seconds) bare = b, barePeak = peak, bareCpu = cpu;
    const Result o = inChild([&] { return readWithRecordset(connect); }, peak, cpu);
    if (round == 0 || o.seconds < ours.seconds) ours = o, oursPeak = peak, oursCpu = cpu;
  }
  if (bare.rows != ours.rows) {
    std::fprintf(stderr, "row counts differ: bare %ld, recordset %ld\n", bare.rows, ours.rows);
    return 1;
  }
  std::printf("rows                  %ld (10 columns)\n", ours.rows);
  std::printf("bare ODBC block loop  %.3f s   client CPU %.3f s   peak RSS %ld KiB\n", bare.seconds, bareCpu,
              barePeak);
  std::printf("Recordset + values    %.3f s   client CPU %.3f s   peak RSS %ld KiB\n", ours.seconds, oursCpu,
              oursPeak);
  std::printf("time ratio            %.2f (Recordset / bare)\n", ours.seconds / bare.seconds);
  std::printf("client CPU ratio      %.2f (Recordset / bare)\n", oursCpu / bareCpu);
  std::printf("memory ratio          %.2f (Recordset / bare)\n",
              static_cast<double>(oursPeak) / static_cast<double>(barePeak));
  return 0;
}
