// The status lines' rule and their delivery: requests for paints become tasks and a timer on the
// window's thread; a message from the run waits until a finished paint has shown its number.
#include "form/status_lines.h"

#include <algorithm>

namespace vellicor::form {

StatusCoalescer::Request StatusCoalescer::set(StatusLine line, std::string text, StatusClock::time_point now) {
  ++sequence_;
  if (line == StatusLine::Message) {
    message_ = std::move(text);
    // A message announces the step that follows: it goes to the screen before that step.
    if (painting_) return Request::None;
    painting_ = true;
    return Request::PaintNow;
  }
  progress_ = std::move(text);
  if (painting_ || timed_) return Request::None;
  if (!everPainted_ || now - lastPaint_ >= kPaintInterval) {
    painting_ = true;
    return Request::PaintNow;
  }
  timed_ = true;
  return Request::PaintLater;
}

std::optional<StatusCoalescer::Shown> StatusCoalescer::paintRequested(StatusClock::time_point now) {
  painting_ = false;
  return paint(now);
}

std::optional<StatusCoalescer::Shown> StatusCoalescer::paintDue(StatusClock::time_point now) {
  timed_ = false;
  return paint(now);
}

std::optional<StatusCoalescer::Shown> StatusCoalescer::paintAll(StatusClock::time_point now) { return paint(now); }

std::optional<StatusCoalescer::Shown> StatusCoalescer::paint(StatusClock::time_point now) {
  if (painted_ == sequence_) return std::nullopt;
  painted_ = sequence_;
  lastPaint_ = now;
  everPainted_ = true;
  return Shown{message_, progress_, sequence_};
}

StatusLines::StatusLines(MainView& view, Now now) : view_(view), now_(std::move(now)) {}

void StatusLines::set(StatusLine line, const std::string& text) {
  std::optional<StatusCoalescer::Shown> shown;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ask(rule_.set(line, text, now_()));
    shown = rule_.paintAll(now_());
  }
  if (shown) show(*shown);
}

void StatusLines::setFromRun(StatusLine line, const std::string& text) {
  std::unique_lock<std::mutex> lock(mutex_);
  ask(rule_.set(line, text, now_()));
  if (line != StatusLine::Message) return;
  const uint64_t mine = rule_.sequence();
  shownChanged_.wait(lock, [&] { return onScreen_ >= mine; });
}

void StatusLines::flush() {
  std::optional<StatusCoalescer::Shown> shown;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shown = rule_.paintAll(now_());
  }
  if (shown) show(*shown);
}

void StatusLines::ask(StatusCoalescer::Request request) {
  switch (request) {
    case StatusCoalescer::Request::None:
      return;
    case StatusCoalescer::Request::PaintNow:
      view_.post([this] {
        std::optional<StatusCoalescer::Shown> shown;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          shown = rule_.paintRequested(now_());
        }
        if (shown) show(*shown);
      });
      return;
    case StatusCoalescer::Request::PaintLater:
      // The timer is started on the window's thread, for what is left of the interval then.
      view_.post([this] {
        StatusClock::duration left;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          left = rule_.due() - now_();
        }
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        view_.callLater(static_cast<int>(std::max<decltype(ms)>(ms, 0)), [this] {
          std::optional<StatusCoalescer::Shown> shown;
          {
            std::lock_guard<std::mutex> lock(mutex_);
            shown = rule_.paintDue(now_());
          }
          if (shown) show(*shown);
        });
      });
      return;
  }
}

void StatusLines::show(const StatusCoalescer::Shown& shown) {
  // Each line painted right after its text changes: a paint does not take the other line along.
  view_.setText(Control::lblTable, shown.message);
  view_.paintNow(Control::lblTable);
  view_.setText(Control::lblProgress, shown.progress);
  view_.paintNow(Control::lblProgress);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    onScreen_ = std::max(onScreen_, shown.sequence);
  }
  shownChanged_.notify_all();
}

}  // namespace vellicor::form
