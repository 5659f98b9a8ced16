// A request from outside a run to end it early (the command line's Ctrl-C): set from any thread
// or a signal handler, looked at by the run between rows and between objects.
#pragma once

#include <atomic>
#include <stdexcept>

namespace vellicor::engine {

class StopRequest {
 public:
  // Safe in a signal handler: a lock-free atomic store.
  void request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
  std::atomic<bool> requested_{false};
};

// Thrown by a run's steps where they notice a stop request; the run then keeps what it has
// copied and closes everything (RunEnding::Interrupted).
class RunStopped : public std::runtime_error {
 public:
  RunStopped() : std::runtime_error("stop requested") {}
};

// Throws RunStopped when stop is set and asked.
inline void checkStop(const StopRequest* stop) {
  if (stop != nullptr && stop->requested()) throw RunStopped();
}

}  // namespace vellicor::engine
