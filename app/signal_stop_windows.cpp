// The console control handler of the command line (SetConsoleCtrlHandler): Ctrl-C and Ctrl-Break
// request the stop; closing the console, logging off or shutting down also wait a moment for it.
#include <windows.h>

#include <atomic>

#include "app/console.h"
#include "app/signal_stop.h"

namespace vellicor::app {
namespace {

std::atomic<engine::StopRequest*> gRequest{nullptr};
std::atomic<int> gReceived{0};
// Set when the SignalStop ends: the run has closed its files.
HANDLE gFinished = nullptr;

constexpr const char kStopping[] = "\n中断します。コピーした行を保存し、ファイルを閉じています...\n";
constexpr const char kWaiting[] = "\nファイルを閉じています。終わるまでお待ちください...\n";
// Windows ends the process about five seconds after a close event whatever the handler does.
constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI onControl(DWORD type) {
  // Windows calls this on a thread of its own; the stream functions take their locks.
  if (gReceived.fetch_add(1) == 0) {
    if (engine::StopRequest* r = gRequest.load()) r->request();
    writeText(stderr, kStopping);
  } else {
    writeText(stderr, kWaiting);
  }
  std::fflush(stderr);
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    // The process ends when this returns: give the run the time to close the file whole.
    if (gFinished != nullptr) WaitForSingleObject(gFinished, kCloseWaitMs);
  }
  return TRUE;
}

}  // namespace

SignalStop::SignalStop(engine::StopRequest& request) {
  gReceived.store(0);
  gRequest.store(&request);
  gFinished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onControl, TRUE);
}

SignalStop::~SignalStop() {
  gRequest.store(nullptr);
  if (gFinished != nullptr) SetEvent(gFinished);
  SetConsoleCtrlHandler(onControl, FALSE);
  // The event stays: a handler still running may be waiting on it; the process ends soon after.
}

int SignalStop::received() const { return gReceived.load(); }

}  // namespace vellicor::app
