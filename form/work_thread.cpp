// The work's thread and its host: every call but the status texts waits for its answer from the
// window's thread; the window's pump ends with a task that the work posts last.
#include "form/work_thread.h"

#include <exception>
#include <future>
#include <thread>

namespace vellicor::form {

namespace {

class WorkHost : public engine::RunHost {
 public:
  WorkHost(MainView& view, engine::RunHost& window, StatusLines& status)
      : view_(view), window_(window), status_(status) {}

  void setMessage(const std::string& mes) override { status_.setFromRun(StatusLine::Message, mes); }
  void setProgress(const std::string& mes) override { status_.setFromRun(StatusLine::Progress, mes); }
  std::string selectionText() override {
    return onWindow([this] { return window_.selectionText(); });
  }
  int sequencesBox() override {
    return onWindow([this] { return window_.sequencesBox(); });
  }
  std::string getWhereObjectType() override {
    return onWindow([this] { return window_.getWhereObjectType(); });
  }
  void messageBox(const std::string& text, const std::string& caption) override {
    onWindow([&] { window_.messageBox(text, caption); });
  }
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override {
    return onWindow([&] { return window_.askYesNo(text, caption); });
  }

 private:
  // Runs f on the window's thread and waits for its result (or its exception).
  template <typename F>
  auto onWindow(F f) -> decltype(f()) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    view_.post([&task] { task(); });
    return result.get();
  }

  MainView& view_;
  engine::RunHost& window_;
  StatusLines& status_;
};

// The failure's box; the work's end must reach the window even if the box cannot be shown.
void tell(engine::RunHost& host, const std::string& description) {
  try {
    host.messageBox(description, "異常終了");
  } catch (...) {
  }
}

}  // namespace

int16_t runOffWindowThread(MainView& view, engine::RunHost& windowHost, StatusLines& status, const Work& work) {
  WorkHost host(view, windowHost, status);
  bool done = false;
  int16_t result = 1;
  std::thread worker([&] {
    int16_t r = 1;
    // The run and the listing report their own failures; anything that still escapes them ends
    // the work as a failure with its description instead of ending the program.
    try {
      r = work(host);
    } catch (const std::exception& e) {
      tell(host, e.what());
    } catch (...) {
      tell(host, "予期しないエラーが発生しました。");
    }
    view.post([&, r] {
      result = r;
      done = true;
    });
  });
  view.pumpMessagesUntil(done);
  worker.join();
  return result;
}

}  // namespace vellicor::form
