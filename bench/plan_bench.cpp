// The pre-flight plan against the 1,000,000-row table of the conversion benchmark (PostgreSQL
// stand-in, schema vellicor_r_bench, made by convert_bench or here): the plan without a scan (it
// counts and opens, it does not read), the plan with --scan, and a bare block-fetch ODBC read of
// the same rows. Prints the times and the scan's ratio to the bare read, best of three each.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/support/bench_support.h"
#include "engine/plan.h"

namespace {

using namespace vellicor::bench;
using Clock = std::chrono::steady_clock;
constexpr const char* kSchema = "vellicor_r_bench";
constexpr int kRounds = 3;

template <class F>
double seconds(F work) {
  const auto t0 = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
  StandIn pg;
  if (!standInFromEnvironment(kSchema, pg)) return 2;
  try {
    ensureBig10(pg.connect, kSchema);  // the same table as convert_bench's
    vellicor::engine::PlanRequest request;
    request.server = pg.server;
    request.user = pg.user;
    request.password = pg.password;
    request.options.connectTemplate = pg.schemaTemplate;
    double plain = 1e300, scanned = 1e300, bare = 1e300;
    long rows = 0;
    int64_t scannedRows = 0;
    for (int round = 0; round < kRounds; ++round) {
      QuietHost host("BIG10", vellicor::engine::Answer::No);
      request.scan = false;
      plain = std::min(plain, seconds([&] { vellicor::engine::planRun(host, request); }));
      request.scan = true;
      scanned = std::min(scanned, seconds([&] {
                           const auto plan = vellicor::engine::planRun(host, request);
                           scannedRows = plan.objects.empty() ? 0 : plan.objects.back().scannedRows;
                         }));
      bare = std::min(bare, seconds([&] { rows = bareRead(pg.connect, "select * from BIG10", SQL_C_WCHAR); }));
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
