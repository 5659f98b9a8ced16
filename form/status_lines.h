// The two status lines (message and progress) as the run writes them from its own thread: a
// message is on the screen before the run goes on to the step it announces; progress texts are
// painted about 30 times a second, and only a text that a later one replaces is left unpainted.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "form/view.h"

namespace vellicor::form {

enum class StatusLine { Message, Progress };

using StatusClock = std::chrono::steady_clock;

// The rule alone, without threads: which text goes to the screen when.
class StatusCoalescer {
 public:
  static constexpr std::chrono::milliseconds kPaintInterval{33};

  enum class Request {
    None,        // a paint already asked for will show the text
    PaintNow,    // ask the window for a paint now
    PaintLater,  // ask the window for a paint at due()
  };
  // Both lines as one paint shows them (one moment of the work), and the last text they include.
  struct Shown {
    std::string message;
    std::string progress;
    uint64_t sequence = 0;
  };

  // A new text of a line at time now. A message asks for a paint at once; a progress text too
  // when the last paint is at least the interval ago, else it waits for due().
  Request set(StatusLine line, std::string text, StatusClock::time_point now);
  // The window paints for a request (PaintNow) or for the timer (PaintLater): the latest texts,
  // or nothing when they are on the screen already.
  std::optional<Shown> paintRequested(StatusClock::time_point now);
  std::optional<Shown> paintDue(StatusClock::time_point now);
  // The latest texts whatever was requested (the work has ended, or the window writes itself).
  std::optional<Shown> paintAll(StatusClock::time_point now);
  // When a held progress text is to be painted.
  StatusClock::time_point due() const { return lastPaint_ + kPaintInterval; }
  // The number of texts set so far: a text is on the screen once a paint has shown its number.
  uint64_t sequence() const { return sequence_; }

 private:
  std::optional<Shown> paint(StatusClock::time_point now);

  std::string message_, progress_;
  uint64_t sequence_ = 0;
  uint64_t painted_ = 0;
  bool painting_ = false;  // a paint was asked for and has not taken the texts yet
  bool timed_ = false;     // a paint at due() was asked for
  bool everPainted_ = false;
  StatusClock::time_point lastPaint_{};
};

// The status lines of a window: texts from the window's thread are painted at once, texts from
// the run's thread go through the coalescing rule, with the paints on the window's thread.
class StatusLines {
 public:
  using Now = std::function<StatusClock::time_point()>;

  explicit StatusLines(MainView& view, Now now = StatusClock::now);

  // On the window's thread.
  void set(StatusLine line, const std::string& text);
  // From the run's thread. Returns once a message is on the screen; a progress text is left for
  // the window to paint.
  void setFromRun(StatusLine line, const std::string& text);
  // On the window's thread: paints what is not on the screen yet.
  void flush();

 private:
  void show(const StatusCoalescer::Shown& shown);  // the window's thread, without the lock
  void ask(StatusCoalescer::Request request);       // the lock held

  MainView& view_;
  Now now_;
  std::mutex mutex_;
  std::condition_variable shownChanged_;
  StatusCoalescer rule_;
  uint64_t onScreen_ = 0;  // the last text number a finished paint showed
};

}  // namespace vellicor::form
