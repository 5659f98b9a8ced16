// The window thread's message loop: tab and arrow keys between a form's controls (IsDialogMessage),
// the user's input to a busy window dropped, tasks posted from other threads and timers.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace vellicor::winui {

class MessageLoop {
 public:
  // Forms whose controls take tab, arrow and Enter keys as a dialog's do.
  void addForm(HWND form) { forms_.push_back(form); }
  // While held, clicks and keys aimed at the forms are dropped; releasing drops those still queued.
  void holdInput(bool held);

  // Runs task on the window thread (from any thread), in the order posted, through owner's
  // messages; owner's window procedure passes them to handle().
  void post(HWND owner, std::function<void()> task);
  void callLater(HWND owner, int ms, std::function<void()> task);
  // A message of owner's window procedure: true when it was a task or a timer of this loop.
  bool handle(HWND owner, UINT msg, WPARAM wp);

  // Processes messages until done is set, or until the program quits (false then; the quit
  // message is left for the outer loop).
  bool runUntil(const bool& done);
  // Processes messages until the program quits; returns the quit message's code.
  int run();

 private:
  bool dispatchOne();  // false at WM_QUIT
  bool isFormInput(const MSG& m) const;
  HWND formOf(HWND w) const;

  std::vector<HWND> forms_;
  bool held_ = false;
  int quitCode_ = 0;
  bool quit_ = false;
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR nextTimer_ = 1;
};

// The private message that carries a posted task.
inline constexpr UINT kTaskMessage = WM_APP + 1;

}  // namespace vellicor::winui
