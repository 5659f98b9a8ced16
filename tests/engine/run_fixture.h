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
    return engine::runConversion(host, "ORCL", "SCOTT", "tiger", out, log, logflag, newMDB, suffix, opts);
  }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // The log's lines without their CR LF ends (which the test checks separately).
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    const std::string text = readFile(log);
    size_t at = 0;
    while (at < text.size()) {
      const size_t end = text.find("\r\n", at);
      if (end == std::string::npos) {
        lines.push_back(text.substr(at) + "<no CRLF>");
        break;
      }
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }

  std::filesystem::path dir;
  std::string out, log;
  World world;
  RecordingHost host;
  engine::RunOptions opts;
};

}  // namespace vellicor::fake
