// One message loop for both forms and their nested modal waits: input held while work runs, tab
// keys handled per form, posted tasks run in order, one-shot timers.
#include "winui/win32_message_loop.h"

namespace vellicor::winui {

namespace {

bool isInputMessage(UINT m) {
  return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
}

}  // namespace

HWND MessageLoop::formOf(HWND w) const {
  if (!w) return nullptr;
  const HWND root = GetAncestor(w, GA_ROOT);
  for (HWND f : forms_) {
    if (f == root) return f;
  }
  return nullptr;
}

bool MessageLoop::isFormInput(const MSG& m) const { return isInputMessage(m.message) && formOf(m.hwnd); }

void MessageLoop::holdInput(bool held) {
  if (!held) {
    // What was clicked or typed during the work is dropped, not replayed.
    MSG m;
    while (PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
           PeekMessageW(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
      if (!formOf(m.hwnd)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
    }
  }
  held_ = held;
}

void MessageLoop::post(HWND owner, std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  PostMessageW(owner, kTaskMessage, 0, 0);
}

void MessageLoop::callLater(HWND owner, int ms, std::function<void()> task) {
  const UINT_PTR id = nextTimer_++;
  timers_[id] = std::move(task);
  SetTimer(owner, id, static_cast<UINT>(ms < 0 ? 0 : ms), nullptr);
}

bool MessageLoop::handle(HWND owner, UINT msg, WPARAM wp) {
  if (msg == kTaskMessage) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return true;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    return true;
  }
  if (msg == WM_TIMER) {
    KillTimer(owner, wp);
    const auto it = timers_.find(wp);
    if (it == timers_.end()) return false;
    std::function<void()> task = std::move(it->second);
    timers_.erase(it);
    task();
    return true;
  }
  return false;
}

bool MessageLoop::dispatchOne() {
  MSG m;
  const BOOL got = GetMessageW(&m, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    quit_ = true;
    quitCode_ = got == 0 ? static_cast<int>(m.wParam) : 1;
    return false;
  }
  // Alt+F4 asks to close as the close box does (the logic defers it while work runs).
  const bool closeKey = m.message == WM_SYSKEYDOWN && m.wParam == VK_F4;
  if (held_ && isFormInput(m) && !closeKey) return true;
  if (HWND form = formOf(m.hwnd); form && IsDialogMessageW(form, &m)) return true;
  TranslateMessage(&m);
  DispatchMessageW(&m);
  return true;
}

bool MessageLoop::runUntil(const bool& done) {
  while (!done && !quit_) {
    if (!dispatchOne()) return false;
  }
  return !quit_;
}

int MessageLoop::run() {
  while (!quit_ && dispatchOne()) {
  }
  return quitCode_;
}

}  // namespace vellicor::winui
