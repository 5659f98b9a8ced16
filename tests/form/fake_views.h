// Views that record what the form logic asks of them: control texts and paints, boxes answered
// from queues, and a window thread (the test's own) with posted tasks and timers on a fake clock.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "form/status_lines.h"
#include "form/view.h"

namespace vellicor::form::test {

// The controls of a form as plain values; list boxes keep their entries sorted.
template <typename Base>
class FakeControls : public Base {
 public:
  std::string text(Control c) override { return texts[c]; }
  void setText(Control c, const std::string& t) override { texts[c] = t; }
  void setToolTip(Control c, const std::string& t) override { tooltips[c] = t; }
  int checkValue(Control c) override { return checks[c]; }
  void setFocus(Control c) override {
    events.push_back(std::string("focus ") + (c == Control::cmbDBQ ? "cmbDBQ" : c == Control::txtUID ? "txtUID" : "?"));
  }
  std::vector<std::string> items(Control c) override { return lists[c]; }
  void setItems(Control c, const std::vector<std::string>& entries) override {
    lists[c].clear();
    addItems(c, entries);
    selected[c].assign(lists[c].size(), false);
  }
  void addItems(Control c, const std::vector<std::string>& entries) override {
    auto& l = lists[c];
    l.insert(l.end(), entries.begin(), entries.end());
    if (c == Control::lstExport || c == Control::lstSyutoku) std::stable_sort(l.begin(), l.end());
    selected[c].assign(l.size(), false);  // the moved entries are not selected
  }
  std::vector<bool> selection(Control c) override { return selected[c]; }
  int currentIndex(Control c) override { return current.count(c) ? current[c] : -1; }
  void setCurrentIndex(Control c, int index) override { current[c] = index; }

  void select(Control c, const std::vector<std::string>& names) {
    for (size_t i = 0; i < lists[c].size(); ++i) {
      selected[c][i] = std::find(names.begin(), names.end(), lists[c][i]) != names.end();
    }
  }

  std::map<Control, std::string> texts, tooltips;
  std::map<Control, int> checks{{Control::chkTable, 1}};
  std::map<Control, std::vector<std::string>> lists;
  std::map<Control, std::vector<bool>> selected;
  std::map<Control, int> current;
  std::vector<std::string> events;  // boxes, questions, focus, holds, dialogs, closing, in order
};

class FakeSelectionView : public FakeControls<SelectionView> {
 public:
  void hideDialog() override { ++hides; }
  int hides = 0;
};

class FakeMainView : public FakeControls<MainView> {
 public:
  // The fake clock of the status lines: it moves only when a timer fires.
  StatusClock::time_point now() const { return StatusClock::time_point(std::chrono::milliseconds(clockMs.load())); }

  void messageBox(const std::string& t, const std::string& caption) override {
    onWindowThread();
    events.push_back("box " + caption + "|" + t);
  }
  Answer askYesNo(const std::string& t, const std::string& caption) override {
    onWindowThread();
    events.push_back("ask " + caption + "|" + t);
    return next(yesNo, Answer::No);
  }
  Answer askYesNoCancel(const std::string& t, const std::string& caption) override {
    events.push_back("ask3 " + caption + "|" + t);
    return next(yesNoCancel, Answer::Cancel);
  }
  std::optional<std::string> chooseSaveFile(const SaveFileRequest& r) override {
    saveRequests.push_back(r);
    if (saveAnswers.empty()) return std::nullopt;
    auto a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
  }
  void showSelectionDialog() override {
    events.push_back("dialog");
    if (onDialog) onDialog();
  }
  void closeWindow() override { events.push_back("close"); }
  void holdInput(bool held) override { events.push_back(held ? "hold" : "release"); }
  void paintNow(Control c) override {
    std::lock_guard<std::mutex> lock(mutex_);
    painted[c].push_back(texts[c]);
  }
  // What a control showed at its last paint (safe from the run's thread).
  std::string lastPainted(Control c) {
    std::lock_guard<std::mutex> lock(mutex_);
    return painted[c].empty() ? std::string() : painted[c].back();
  }
  std::vector<std::string> paints(Control c) {
    std::lock_guard<std::mutex> lock(mutex_);
    return painted[c];
  }

  void post(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posted_.push_back(std::move(task));
    }
    wake_.notify_all();
  }
  void callLater(int ms, std::function<void()> task) override {
    onWindowThread();
    timers_.push_back({clockMs.load() + ms, std::move(task)});
  }
  // Runs posted tasks in order; when none is waiting, the earliest timer fires (the clock moves
  // on to it); with neither, waits for a post.
  void pumpMessagesUntil(const bool& done) override {
    ++pumps;
    while (!done) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!posted_.empty()) {
        auto task = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        task();
      } else if (!timers_.empty()) {
        auto first = std::min_element(timers_.begin(), timers_.end(),
                                      [](const auto& a, const auto& b) { return a.first < b.first; });
        auto timer = std::move(*first);
        timers_.erase(first);
        lock.unlock();
        clockMs = std::max(clockMs.load(), timer.first);
        timer.second();
      } else {
        wake_.wait(lock);
      }
    }
  }

  std::deque<Answer> yesNo, yesNoCancel;
  std::deque<std::optional<std::string>> saveAnswers;
  std::vector<SaveFileRequest> saveRequests;
  std::function<void()> onDialog;
  std::atomic<int64_t> clockMs{1000};
  int pumps = 0;
  std::thread::id windowThread = std::this_thread::get_id();
  bool offThreadCall = false;  // a box or timer was asked for from another thread

 private:
  void onWindowThread() {
    if (std::this_thread::get_id() != windowThread) offThreadCall = true;
  }
  static Answer next(std::deque<Answer>& q, Answer fallback) {
    if (q.empty()) return fallback;
    const Answer a = q.front();
    q.pop_front();
    return a;
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> posted_;
  std::vector<std::pair<int64_t, std::function<void()>>> timers_;
  std::map<Control, std::vector<std::string>> painted;
};

}  // namespace vellicor::form::test
