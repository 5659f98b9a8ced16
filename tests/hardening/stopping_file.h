// A Jet engine file layer that stops at its k-th write, counted over every file the engine opens
// (database and journal): the process dies just before it (a kill), half of a write that grows the
// file reaches it and the write fails (the disk filling under it), or that write and every later
// write and sync fail (a full disk). And a way to run something in a child process to be killed.
#pragma once

#include <functional>
#include <string>

#include "dataaccess/jet3/file_io.h"

namespace vellicor::hardening {

enum class Stop { kNone, kKill, kTornWrite, kDiskFull };
const char* stopName(Stop s);

struct StopPlan {
  Stop kind = Stop::kNone;
  long at = -1;      // the write that stops, counted from 1
  long writes = 0;   // writes seen so far
  bool fired = false;
};

// Exit status of a child that stopped by a kill at the planned write.
inline constexpr int kKilledAtWrite = 86;

// Opens real files through jet3::openPosixFile wrapped so that they stop as planned. A kill ends
// the process with _exit(kKilledAtWrite): use it only inside runInChild.
jet3::FileOpener stoppingOpener(StopPlan& plan);

// Runs fn in a forked child and returns its exit status (-1 when it died of a signal). The child
// ends with _exit, running no destructors of the parent's objects.
int runInChild(const std::function<int()>& fn);

}  // namespace vellicor::hardening
