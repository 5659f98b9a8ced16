// The SIGINT and SIGTERM handler of the command line: an atomic counter, the run's stop request,
// and fixed texts written with write(2) (what a handler may call).
#include "app/signal_stop.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>

namespace vellicor::app {
namespace {

std::atomic<engine::StopRequest*> gRequest{nullptr};
std::atomic<int> gReceived{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<engine::StopRequest*>::is_always_lock_free);

constexpr const char kStopping[] = "\n中断します。コピーした行を保存し、ファイルを閉じています...\n";
constexpr const char kWaiting[] = "\nファイルを閉じています。終わるまでお待ちください...\n";

void say(const char* text, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    length -= static_cast<size_t>(n);
  }
}

extern "C" void onStopSignal(int) {
  const int savedErrno = errno;
  if (gReceived.fetch_add(1) == 0) {
    if (engine::StopRequest* r = gRequest.load()) r->request();
    say(kStopping, sizeof kStopping - 1);
  } else {
    say(kWaiting, sizeof kWaiting - 1);
  }
  errno = savedErrno;
}

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction gPrevious[std::size(kSignals)];

}  // namespace

SignalStop::SignalStop(engine::StopRequest& request) {
  gReceived.store(0);
  gRequest.store(&request);
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  for (int s : kSignals) sigaddset(&sa.sa_mask, s);  // one handler at a time
  // Calls under way go on (the source's driver, the file writes); the prompt looks at the
  // request itself.
  sa.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &sa, &gPrevious[i]);
}

SignalStop::~SignalStop() {
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &gPrevious[i], nullptr);
  gRequest.store(nullptr);
}

int SignalStop::received() const { return gReceived.load(); }

}  // namespace vellicor::app
