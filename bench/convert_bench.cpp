// Conversion speed against a bare read: copies a 1,000,000-row, 10-column table of the PostgreSQL
// stand-in into a new .mdb, then reads the same query with a plain block-fetch ODBC loop.
// Prints both times, their ratio and the peak resident memory of the conversion. Every measured
// run is a child process of its own, so none runs in a process that an earlier one left with
// threads (the C library's allocator is slower in such a process).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/support/bench_support.h"
#include "dataaccess/dao.h"
#include "engine/conversion_run.h"

namespace {

using namespace vellicor::bench;
constexpr const char* kSchema = "vellicor_r_bench";
constexpr long kRows = kBig10Rows;

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

}  // namespace

int main() {
  StandIn pg;
  if (!standInFromEnvironment(kSchema, pg)) return 2;
  const std::string &server = pg.server, &user = pg.user, &pass = pg.password;
  const std::string& schemaTempl = pg.schemaTemplate;
  const std::string& connect = pg.connect;
  try {
    ensureBig10(connect, kSchema);
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
