// What the window's logic takes from outside: the program directory, the Oracle client's
// settings, the run's options, and the run and the listing themselves (replaced by tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/run_host.h"
#include "engine/run_options.h"
#include "lists/tnsnames.h"

namespace vellicor::form {

using RunFunction = std::function<int16_t(engine::RunHost& host, const engine::RunRequest& request)>;

using ListFunction = std::function<int16_t(
    engine::RunHost& host, const std::string& server, const std::string& user, const std::string& pass,
    const std::function<void(const std::string&)>& addName, const engine::RunOptions& opts)>;

struct FormSetup {
  std::string programDir;         // the directory of the executable: seltable.dat lies there
  lists::OracleClientEnv oracle;  // where TNSNAMES.ORA is looked for
  engine::RunOptions runOptions;  // the connect template (VELLICOR_CONNECT) and the engine
  RunFunction run;                // the conversion run
  ListFunction listObjects;       // the object listing

  // The settings of this process: the executable's directory, the environment, the real engine.
  static FormSetup fromProcess(const std::string& programDir);
};

}  // namespace vellicor::form
