// Benchmark of the Jet 3 reader: full scans of a file (every table, every value, long values
// included) against mdb-export doing the same, and peak memory against the file size.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"

using namespace vellicor;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1]
                                    : (std::filesystem::path(__FILE__).parent_path() / "../../shared/reference-mdb/nwind.mdb").string();
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
  try {
    std::vector<std::string> tables;
    uint64_t rows = 0, values = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
      jet3::JetFileReader reader(path);
      tables.clear();
      for (const auto& e : reader.catalog()) {
        if (!e.isLocalTable()) continue;
        tables.push_back(e.name);
        jet3::RowCursor cursor(reader, reader.table(e.name));
        while (cursor.next()) {
          values += cursor.values().size();
          ++rows;
        }
      }
    }
    const double ours = seconds(start) / rounds;

    const auto startExport = std::chrono::steady_clock::now();
    for (const std::string& t : tables) {
      const std::string cmd = "mdb-export -b hex " + quote(path) + " " + quote(t) + " > /dev/null 2>&1";
      if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "mdb-export failed: %s\n", t.c_str());
    }
    const double theirs = seconds(startExport);

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double fileMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    const double peakMb = static_cast<double>(usage.ru_maxrss) / 1e3;
    std::printf("file %s: %.1f MB, %zu tables, %llu rows, %llu values per scan\n", path.c_str(), fileMb, tables.size(),
                static_cast<unsigned long long>(rows / rounds), static_cast<unsigned long long>(values / rounds));
    std::printf("full scan: %.1f ms (%.0f MB/s of file)\n", ours * 1e3, fileMb / ours);
    std::printf("ratio mdb-export time / our time: %.1f\n", theirs / ours);
    std::printf("ratio peak memory / file size: %.2f (peak %.1f MB, whole process)\n", peakMb / fileMb, peakMb);
  } catch (const dao::Error& e) {
    std::fprintf(stderr, "%s\n", e.description().c_str());
    return 1;
  }
  return 0;
}
