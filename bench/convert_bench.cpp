// Conversion speed against a bare read: copies a 1,000,000-row, 10-column table of the PostgreSQL
// stand-in into a new .mdb, then reads the same query with a plain block-fetch ODBC loop.
// Prints both times, their ratio and the peak resident memory of the conversion. Every measured
// run is a child process of its own, so none runs in a process that an earlier one left with
// threads (the C library's allocator is slower in such a process).
#include "dataaccess/odbc/odbc_api.h"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/connect_string.h"
#include "engine/conversion_run.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kSchema = "vellicor_r_bench";
constexpr long kRows = 1000000;

// CPU seconds of this process so far, every thread (the server's work is not counted).
double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The run's host for a benchmark: remembers the last texts and counts the row updates.
class QuietHost : public vellicor::engine::RunHost {
 public:
  void setMessage(const std::string& m) override { message = m; }
  void setProgress(const std::string& m) override { progress = m; }
  std::string selectionText() override { return "BIG10"; }
  int sequencesBox() override { return 0; }
  std::string getWhereObjectType() override { return vellicor::engine::whereObjectType(1, 0, 0); }
  void messageBox(const std::string& text, const std::string& caption) override {
    std::fprintf(stderr, "[%s] %s\n", caption.empty() ? "Vellicor" : caption.c_str(), text.c_str());
  }
  vellicor::engine::Answer askYesNo(const std::string&, const std::string&) override {
    return vellicor::engine::Answer::Yes;
  }
  std::string message, progress;
};

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, const char* what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  SQLCHAR state[6] = {0}, text[512] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &len);
  throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<char*>(state) + " " +
                           reinterpret_cast<char*>(text));
}

// Executes statements on a fresh connection (the table is built once and kept).
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

// The bare read: block fetch of 500 rows with every column bound in its own C type, text as
// `textType` (SQL_C_CHAR, or SQL_C_WCHAR as the program reads it); returns rows.
long bareRead(const std::string& connect, const std::string& sql, SQLSMALLINT textType = SQL_C_CHAR) {
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

// The same query through the data access layer alone (every value taken once), for the breakdown.
long daoRead(const std::string& connect, const std::string& sql) {
  using namespace vellicor;
  auto ws = dao::DBEngine::instance().createWorkspace("ODBC-D", "", "", dao::dbUseODBC);
  auto db = ws->openDatabase("", dao::dbDriverNoPrompt, true, connect);
  auto rs = db->openRecordset(sql, dao::dbOpenSnapshot);
  long rows = 0;
  for (; !rs->eof(); rs->moveNext()) {
    dao::Fields& f = rs->fields();
    for (int k = 0; k < f.count(); ++k) {
      dao::Variant v = f[k].value();
      (void)v;
    }
    ++rows;
  }
  rs->close();
  db->close();
  ws->close();
  return rows;
}

// One measured run: wall and CPU seconds (client side, every thread), the child's peak resident
// memory and the rows it read.
struct Measurement {
  double seconds = 0, cpu = 0, peakMiB = 0;
  long rows = 0;
};

// Runs `work` (which returns the rows it read, or -1 when it failed) in a child process.
template <class F>
Measurement inChild(F work) {
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

}  // namespace

int main() {
  const std::string templ = env("VELLICOR_PG_CONNECT");
  if (templ.empty()) {
    std::fprintf(stderr, "VELLICOR_PG_CONNECT is not set: eval \"$(tests/standin/pg_standin.sh start)\" first\n");
    return 2;
  }
  const std::string server = env("VELLICOR_PG_SERVER"), user = env("VELLICOR_PG_USER"),
                    pass = env("VELLICOR_PG_PASSWORD");
  const std::string schemaTempl = templ + "ConnSettings=set search_path to " + kSchema + ",public;";
  const std::string connect = vellicor::odbc::buildConnectString(server, user, pass, schemaTempl);
  try {
    execute(connect, {std::string("create schema if not exists ") + kSchema,
                      "create table if not exists big10 as select n as c1, n % 1000 as c2, (n * 7)::integer as c3, "
                      "n * 1.5::float8 as c4, n / 3.0::float8 as c5, ('row ' || n)::varchar(20) as c6, "
                      "md5(n::text)::varchar(32) as c7, ('名前' || (n % 977))::varchar(20) as c8, "
                      "timestamp '2000-01-01' + n * interval '1 minute' as c9, (n % 30000)::smallint as c10 "
                      "from generate_series(1, " + std::to_string(kRows) + ") as n"});
  } catch (const std::exception& e) {
    std::fprintf(stderr, "preparing the table failed: %s\n", e.what());
    return 1;
  }

  const auto dir = std::filesystem::temp_directory_path() / "vellicor-convert-bench";
  std::filesystem::create_directories(dir);
  const std::string out = (dir / "big10.mdb").string();
  std::filesystem::remove(out);

  // The machine is shared: take the best of several alternating runs of each, so that a busy
  // moment elsewhere does not decide the ratio.
  constexpr int kRounds = 3;
  double convertSeconds = 1e300, readSeconds = 1e300, wideSeconds = 1e300;
  double convertCpu = 1e300, readCpu = 1e300, wideCpu = 1e300;
  double peakMiB = 0;
  long rows = 0, daoRows = 0;
  std::string rounds;
  try {
    for (int round = 0; round < kRounds; ++round) {
      const Measurement bare = inChild([&] { return bareRead(connect, "select * from BIG10"); });
      readSeconds = std::min(readSeconds, bare.seconds);
      readCpu = std::min(readCpu, bare.cpu);
      rows = bare.rows;
      const Measurement wide = inChild([&] { return bareRead(connect, "select * from BIG10", SQL_C_WCHAR); });
      wideSeconds = std::min(wideSeconds, wide.seconds);
      wideCpu = std::min(wideCpu, wide.cpu);

      const Measurement conversion = inChild([&]() -> long {
        std::filesystem::remove(out);
        QuietHost host;
        vellicor::engine::RunOptions opts;
        opts.connectTemplate = schemaTempl;
        const auto ending =
            vellicor::engine::runConversion(host, {server, user, pass, out, out + ".log", true, true, "", opts});
        if (ending != vellicor::engine::RunEnding::Completed) {
          std::fprintf(stderr, "the conversion did not complete\n");
          return -1;
        }
        return kRows;
      });
      convertSeconds = std::min(convertSeconds, conversion.seconds);
      convertCpu = std::min(convertCpu, conversion.cpu);
      peakMiB = std::max(peakMiB, conversion.peakMiB);
      char line[96];
      std::snprintf(line, sizeof line, "%s%.2f/%.2f", round ? ", " : "", conversion.seconds, bare.seconds);
      rounds += line;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  const Measurement dao = inChild([&] { return daoRead(connect, "select * from BIG10"); });
  const double daoSeconds = dao.seconds;
  daoRows = dao.rows;

  std::printf("rows: %ld (best of %d alternating rounds each)\n", rows, kRounds);
  std::printf("conversion: %.2f s  bare block-fetch read: %.2f s  ratio: %.2fx (target <= 1.25x)\n", convertSeconds,
              readSeconds, convertSeconds / readSeconds);
  std::printf("rounds (conversion/bare read, s): %s\n", rounds.c_str());
  // The program binds text as UTF-16 so that no driver's narrow code page can lose a character;
  // the driver's conversion to it is part of any exact read.
  std::printf("breakdown: bare read with text as SQL_C_WCHAR: %.2f s (%.2fx the bare read); conversion / it: %.2fx\n",
              wideSeconds, wideSeconds / readSeconds, convertSeconds / wideSeconds);
  std::printf("client CPU: conversion %.2f s (both threads), bare read %.2f s, bare read with SQL_C_WCHAR %.2f s\n",
              convertCpu, readCpu, wideCpu);
  std::printf("breakdown: read through the data access layer alone: %.2f s (%ld rows)\n", daoSeconds, daoRows);
  std::printf("peak memory of the conversion's process: %.1f MiB (target < 64 MiB)\n", peakMiB);
  std::printf("output file: %.1f MiB\n", static_cast<double>(std::filesystem::file_size(out)) / (1024.0 * 1024.0));
  std::filesystem::remove_all(dir);
  return 0;
}
