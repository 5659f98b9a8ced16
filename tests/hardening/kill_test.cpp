// `vellicor run` (every kind and the sequence list of the demo schema, from a SQLite file made
// beforehand) killed with SIGKILL at random moments of its conversion: the file left behind
// (when there is one with content) must open in our reader and in mdbtools, every table it lists
// read to its end and every index verify. VELLICOR_KILL_COUNT sets the number of kills (30 by
// default) and VELLICOR_KILL_SEED the random sequence.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "hardening/hardening_support.h"
#include "support/writer_support.h"

using namespace vellicor::hardening;

namespace {

long envNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

pid_t startRun(const std::string& source, const std::string& out) {
  return startVellicor({"run", "-s", source, "-u", "demo", "-o", out, "--views", "--synonyms", "--sequences", "--yes",
                        "--quiet", "--connect", kSqliteTemplate});
}

TEST(KilledConversion, FileLeftAtAnyMomentReadsEverywhere) {
  vellicor::testing::ScratchDir dir;
  const std::string source = dir.path("demo.sqlite");
  makeDemoSource(source);
  ::setenv("VELLICOR_PASSWORD", "x", 1);
  // One undisturbed run sets the window in which the kills fall.
  const auto start = std::chrono::steady_clock::now();
  int code = -1;
  const std::string whole = dir.path("whole.mdb");
  reapChild(startRun(source, whole), &code);
  const auto duration = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(code, 0);
  const FileVerdict reference = verifyFile(whole);
  ASSERT_EQ(reference.problems, "");

  const long count = envNumber("VELLICOR_KILL_COUNT", 30);
  const long seed = envNumber("VELLICOR_KILL_SEED", static_cast<long>(std::random_device{}()));
  std::mt19937 random(static_cast<uint32_t>(seed));
  const auto window = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
  std::uniform_int_distribution<long> delay(0, std::max<long>(window, 1000));
  long killed = 0, checked = 0, absent = 0, rolledBack = 0;
  for (long i = 0; i < count; ++i) {
    const std::string out = dir.path("killed" + std::to_string(i) + ".mdb");
    const long us = delay(random);
    SCOPED_TRACE("kill " + std::to_string(i) + " after " + std::to_string(us) + " us (seed " + std::to_string(seed) + ")");
    const pid_t pid = startRun(source, out);
    std::this_thread::sleep_for(std::chrono::microseconds(us));
    ::kill(pid, SIGKILL);
    if (reapChild(pid)) ++killed;
    std::error_code ec;
    if (!std::filesystem::exists(out) || std::filesystem::file_size(out, ec) == 0) {
      ++absent;
    } else {
      const FileVerdict v = verifyFile(out);
      EXPECT_EQ(v.problems, "");
      if (v.rolledBack) ++rolledBack;
      for (const auto& [name, rows] : v.tables) {
        bool known = false;
        for (const auto& [refName, refRows] : reference.tables) {
          if (refName == name) {
            known = true;
            EXPECT_LE(rows, refRows) << name;
          }
        }
        EXPECT_TRUE(known) << "unexpected table " << name;
      }
      ++checked;
    }
    std::filesystem::remove(out);
    std::filesystem::remove(out + ".log");
  }
  std::printf("[ hardening ] %ld runs, %ld killed while running, %ld files checked (%ld killed inside a commit, "
              "rolled back), %ld without a file (window %ld us, seed %ld)\n",
              count, killed, checked, rolledBack, absent, static_cast<long>(window), seed);
  EXPECT_GT(killed, 0);
}

}  // namespace
