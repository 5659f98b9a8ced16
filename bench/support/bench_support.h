// What the benchmarks share: the PostgreSQL stand-in's connection and its 1,000,000-row table, a
// bare block-fetch ODBC read to compare against, a quiet run host, and runs measured in a child.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dataaccess/odbc/odbc_api.h"
#include "engine/run_host.h"

namespace vellicor::bench {

std::string env(const char* name);

// The stand-in's connection (VELLICOR_PG_*) with `schema` first on the search path; empty, after
// saying how to start the stand-in, when it is not running.
struct StandIn {
  std::string server, user, password;
  std::string schemaTemplate;  // the connect template (for RunOptions)
  std::string connect;         // the full connect string
};
bool standInFromEnvironment(const std::string& schema, StandIn& out);

// Throws std::runtime_error with the driver's message unless rc succeeded.
void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, const char* what);
// Executes statements on a fresh connection.
void execute(const std::string& connect, const std::vector<std::string>& statements);
// The benchmarks' table BIG10 (1,000,000 rows of ten columns) in the connection's schema, made
// once and kept.
void ensureBig10(const std::string& connect, const std::string& schema);
inline constexpr long kBig10Rows = 1000000;
// The bare read: block fetch of 500 rows with every column bound in its own C type, text as
// `textType`; returns the rows.
long bareRead(const std::string& connect, const std::string& sql, SQLSMALLINT textType = SQL_C_CHAR);

// A run's host that shows nothing but message boxes (on stderr), selects `selection` and answers
// every question with `answer`.
class QuietHost : public engine::RunHost {
 public:
  explicit QuietHost(std::string selection = "BIG10", engine::Answer answer = engine::Answer::Yes)
      : selection_(std::move(selection)), answer_(answer) {}
  void setMessage(const std::string&) override {}
  void setProgress(const std::string&) override {}
  std::string selectionText() override { return selection_; }
  int sequencesBox() override { return 0; }
  std::string getWhereObjectType() override;
  void messageBox(const std::string& text, const std::string& caption) override;
  engine::Answer askYesNo(const std::string&, const std::string&) override { return answer_; }

 private:
  std::string selection_;
  engine::Answer answer_;
};

// One measured run in a child process of its own (none runs in a process an earlier one left
// with threads): wall and CPU seconds (every thread of the child), its peak resident memory and
// the rows `work` returned (-1: it failed, which throws here).
struct Measurement {
  double seconds = 0, cpu = 0, peakMiB = 0;
  long rows = 0;
};
Measurement inChild(const std::function<long()>& work);

}  // namespace vellicor::bench
