// The status lines' rule on a fake clock (a message goes to the screen at once, progress about 30
// times a second, only replaced texts are dropped) and its delivery from a run's own thread.
#include <gtest/gtest.h>

#include <random>

#include "fake_views.h"
#include "support/writer_support.h"
#include "form/main_form.h"

using namespace vellicor;
using namespace vellicor::form;
using namespace vellicor::form::test;
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

TEST(StatusCoalescer, AMessageIsPaintedAtOnceWithTheProgressOfTheSameMoment) {
  RuleWindow w;
  w.set(StatusLine::Progress, "レコード = 1/2");
  w.advance(5ms);
  w.set(StatusLine::Progress, "レコード = 2/2");  // held for its due time
  ASSERT_EQ(w.shown.size(), 1u);
  w.advance(1ms);
  // The next object's text right after a paint: the count and the open that follow take long,
  // so it is painted before them, taking the held progress along.
  w.set(StatusLine::Message, "テーブル取得中...2/2 DEPT");
  ASSERT_EQ(w.shown.size(), 2u);
  EXPECT_EQ(w.shown[1].message, "テーブル取得中...2/2 DEPT");
  EXPECT_EQ(w.shown[1].progress, "レコード = 2/2");
  w.advance(1s);
  EXPECT_EQ(w.shown.size(), 2u) << "the timer finds everything on the screen";
  // A paint asked for and not yet made takes the texts set in between.
  EXPECT_EQ(w.rule.set(StatusLine::Progress, "a", w.now), Request::PaintNow);
  EXPECT_EQ(w.rule.set(StatusLine::Message, "b", w.now), Request::None);
  EXPECT_EQ(w.rule.set(StatusLine::Progress, "c", w.now), Request::None);
  const auto s = w.rule.paintRequested(w.now);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->message + s->progress, "bc");
  EXPECT_EQ(s->sequence, w.rule.sequence());
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
      if (message) {
        ASSERT_GT(w.shown.size(), before);
        EXPECT_EQ(w.shown.back().message, text);
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

namespace {

// A main form whose run is given as a function, with the fake window's clock.
struct RunWindow {
  RunWindow() {
    FormSetup s;
    s.programDir = dir.path("prog");
    s.run = [this](engine::RunHost& host, const engine::RunRequest&) { return run(host); };
    form = std::make_unique<MainForm>(s, view, dialog, [this] { return view.now(); });
    form->load();
    view.texts[Control::cmbDBQ] = "ORCL";
    view.texts[Control::txtUID] = "scott";
    view.texts[Control::lblsaveFilename] = dir.path("a.mdb");
  }
  vellicor::testing::ScratchDir dir;
  FakeMainView view;
  FakeSelectionView dialogView;
  SelectionForm dialog{dialogView};
  std::function<int16_t(engine::RunHost&)> run;
  std::unique_ptr<MainForm> form;
};

}  // namespace

TEST(StatusLines, FromTheRunsThreadEachMessageIsOnTheScreenBeforeItsStep) {
  RunWindow w;
  std::vector<std::string> onScreenAtStep;
  std::vector<std::string> progressSet;
  w.run = [&](engine::RunHost& host) {
    for (int object = 1; object <= 20; ++object) {
      const std::string text = "テーブル取得中..." + std::to_string(object) + "/20 T" + std::to_string(object);
      host.setMessage(text);
      onScreenAtStep.push_back(w.view.lastPainted(Control::lblTable));  // the step: count, open
      for (int row = 1; row <= 300; ++row) {
        progressSet.push_back("レコード = " + std::to_string(row) + "/300");
        host.setProgress(progressSet.back());
      }
    }
    return 0;
  };
  w.form->runClicked();
  ASSERT_EQ(onScreenAtStep.size(), 20u);
  for (int object = 1; object <= 20; ++object) {
    EXPECT_EQ(onScreenAtStep[static_cast<size_t>(object) - 1],
              "テーブル取得中..." + std::to_string(object) + "/20 T" + std::to_string(object));
  }
  // Progress texts were painted in the order set, the run's last one before the end texts.
  std::vector<std::string> progress = w.view.paints(Control::lblProgress);
  ASSERT_GE(progress.size(), 2u);
  progress.pop_back();  // the end's times
  EXPECT_EQ(progress.back(), progressSet.back());
  auto from = progressSet.begin();
  for (const std::string& p : progress) {
    if (p.empty()) continue;  // before the first progress text
    from = std::find(from, progressSet.end(), p);
    ASSERT_NE(from, progressSet.end()) << p;
  }
  EXPECT_EQ(w.view.lastPainted(Control::lblTable), "処理完了");
  EXPECT_FALSE(w.view.offThreadCall);
}
