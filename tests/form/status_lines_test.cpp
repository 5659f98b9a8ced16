// The status lines' rule on a fake clock: a message goes to the screen at once, progress about 30
// times a second, and only replaced texts are dropped.
#include <gtest/gtest.h>

#include <random>

#include "form/status_lines.h"

using namespace vellicor;
using namespace vellicor::form;
using namespace std::chrono_literals;
using Request = StatusCoalescer::Request;

namespace {

// A window that carries out the rule's requests on time: a paint asked for now happens before
// the next text (the caller waits for messages, and the window is idle), a timer at due().
struct RuleWindow {
  StatusCoalescer rule;
  StatusClock::time_point now{1000ms};
  std::optional<StatusClock::time_point> timer;
  std::vector<StatusCoalescer::Shown> shown;
  std::vector<StatusClock::time_point> at;

  void record(std::optional<StatusCoalescer::Shown> s) {
    if (!s) return;
    shown.push_back(*s);
    at.push_back(now);
  }
  void advance(StatusClock::duration d) {
    const StatusClock::time_point until = now + d;
    if (timer && *timer <= until) {
      now = *timer;
      timer.reset();
      record(rule.paintDue(now));
    }
    now = until;
  }
  void set(StatusLine line, const std::string& text) {
    switch (rule.set(line, text, now)) {
      case Request::PaintNow: record(rule.paintRequested(now)); break;
      case Request::PaintLater: timer = rule.due(); break;
      case Request::None: break;
    }
  }
};

}  // namespace

TEST(StatusCoalescer, ProgressIsPaintedAboutThirtyTimesASecondEndingOnItsLastText) {
  RuleWindow w;
  std::vector<std::string> texts;
  for (int n = 1; n <= 1000; ++n) {  // one row a millisecond for a second
    texts.push_back("レコード = " + std::to_string(n) + "/1000");
    w.set(StatusLine::Progress, texts.back());
    w.advance(1ms);
  }
  w.advance(1s);  // the run pauses: the held text is due
  ASSERT_FALSE(w.shown.empty());
  EXPECT_GE(w.shown.size(), 25u);
  EXPECT_LE(w.shown.size(), 32u);
  for (size_t i = 1; i < w.at.size(); ++i) EXPECT_GE(w.at[i] - w.at[i - 1], StatusCoalescer::kPaintInterval);
  // Painted texts come in the order set, and the last one is on the screen.
  size_t from = 0;
  for (const auto& s : w.shown) {
    const auto it = std::find(texts.begin() + static_cast<std::ptrdiff_t>(from), texts.end(), s.progress);
    ASSERT_NE(it, texts.end()) << s.progress;
    from = static_cast<size_t>(it - texts.begin()) + 1;
  }
  EXPECT_EQ(w.shown.back().progress, texts.back());
  EXPECT_FALSE(w.rule.paintAll(w.now)) << "nothing is left unpainted";
}

TEST(StatusCoalescer, OnlyTextsThatALaterOneReplacesAreDropped) {
  // Random mixes of messages, progress and pauses: every message is painted before the next
  // text (it announces a step), and a progress text is unpainted only if a later one replaced it
  // before its paint.
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    RuleWindow w;
    std::vector<std::pair<StatusLine, std::string>> sets;
    for (int i = 0; i < 400; ++i) {
      const bool message = random() % 10 == 0;
      const std::string text = (message ? "m" : "p") + std::to_string(i);
      sets.push_back({message ? StatusLine::Message : StatusLine::Progress, text});
      const size_t before = w.shown.size();
      w.set(sets.back().first, text);
      if (message) {  // painted at once, with the progress of the same moment
        ASSERT_GT(w.shown.size(), before);
        EXPECT_EQ(w.shown.back().message, text);
        EXPECT_EQ(w.shown.back().sequence, w.rule.sequence());
      }
      w.advance(std::chrono::milliseconds(random() % 3 == 0 ? random() % 80 : random() % 3));
    }
    w.advance(1s);
    std::vector<std::string> seen;
    for (const auto& s : w.shown) seen.push_back(s.progress), seen.push_back(s.message);
    std::string lastProgress;
    for (size_t i = 0; i < sets.size(); ++i) {
      if (sets[i].first != StatusLine::Progress) continue;
      lastProgress = sets[i].second;
      if (std::find(seen.begin(), seen.end(), sets[i].second) != seen.end()) continue;
      const bool replaced = std::any_of(sets.begin() + static_cast<std::ptrdiff_t>(i) + 1, sets.end(),
                                        [](const auto& s) { return s.first == StatusLine::Progress; });
      EXPECT_TRUE(replaced) << sets[i].second << " was dropped without a later text";
    }
    EXPECT_EQ(w.shown.back().progress, lastProgress);
  }
}
