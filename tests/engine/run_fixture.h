// A temporary folder and the fake world shared by the run's unit tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/conversion_run.h"
#include "fake_dao.h"
#include "support/mdbtools_support.h"

namespace vellicor::fake {

class FakeRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("vellicor-engine-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    out = (dir / "hr.mdb").string();
    log = out + ".log";
    opts.createWorkspace = world.factory();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  engine::RunEnding run(bool logflag = true, bool newMDB = true, const std::string& suffix = "") {
    return engine::runConversion(host, {"ORCL", "SCOTT", "tiger", out, log, logflag, newMDB, suffix, opts});
  }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // The log's lines without their CR LF ends (which the test checks separately).
  std::vector<std::string> logLines() const { return vellicor::testing::logLines(log); }

  std::filesystem::path dir;
  std::string out, log;
  World world;
  RecordingHost host;
  engine::RunOptions opts;
};

}  // namespace vellicor::fake
