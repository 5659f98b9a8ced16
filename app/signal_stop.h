// Ctrl-C on the command line (SIGINT and SIGTERM on POSIX, the console's control events on Windows),
// turned into a request that the run stop at its next row; the engine sees only its StopRequest.
#pragma once

#include "engine/run_stop.h"

namespace vellicor::app {

// While one lives, the first SIGINT or SIGTERM (Windows: Ctrl-C, Ctrl-Break, the console window
// closed) sets `request` and says on stderr that the run is stopping; every later one says that the
// files are being closed and waits for it (the process goes on). The handlers before it are put back
// when it ends. One at a time per process. signal_stop_posix.cpp, signal_stop_windows.cpp.
class SignalStop {
 public:
  explicit SignalStop(engine::StopRequest& request);
  ~SignalStop();
  SignalStop(const SignalStop&) = delete;
  SignalStop& operator=(const SignalStop&) = delete;

  // The signals received so far.
  int received() const;
};

}  // namespace vellicor::app
