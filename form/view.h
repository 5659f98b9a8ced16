// What the form logic asks of a window, in plain C++: its controls, its boxes and dialogs, and its
// thread (tasks, a timer, the message pump). The Qt window implements it; a Win32 window can too.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_host.h"
#include "form/controls.h"

namespace vellicor::form {

using engine::Answer;

// The controls of one form. Every call is made on the window's thread.
class ControlView {
 public:
  virtual ~ControlView() = default;

  // The text of a text box, of a combo box's edit field, or a label's caption. A label whose
  // textFitOf() is not Cut shows a text that does not fit as fitText() shortens it, with the
  // whole text as its tooltip; text() still gives the whole text.
  virtual std::string text(Control c) = 0;
  virtual void setText(Control c, const std::string& text) = 0;
  virtual void setToolTip(Control c, const std::string& text) = 0;
  // A check box: 0 clear, 1 ticked, 2 greyed.
  virtual int checkValue(Control c) = 0;
  virtual void setFocus(Control c) = 0;

  // The entries of a combo box or a list box, in the control's order. A sorted list box puts
  // entries at their sorted places. Replacing the entries of a combo box leaves its edit field as it was.
  virtual std::vector<std::string> items(Control c) = 0;
  virtual void setItems(Control c, const std::vector<std::string>& items) = 0;
  virtual void addItems(Control c, const std::vector<std::string>& items) = 0;
  // A list box: whether each entry is selected, in entry order.
  virtual std::vector<bool> selection(Control c) = 0;
  // A combo box: the chosen entry, -1 for none.
  virtual int currentIndex(Control c) = 0;
  virtual void setCurrentIndex(Control c, int index) = 0;
};

// What the save-file dialog is asked for. It never asks about replacing a file itself.
struct SaveFileRequest {
  std::string title;
  std::string filterDescription;  // "Access97形式ファイル (*.mdb)"
  std::string filterPattern;      // "*.mdb"
  std::string defaultSuffix;      // appended to a name typed without an extension
  std::string initialPath;
};

// The main window.
class MainView : public ControlView {
 public:
  // Modal boxes over the window, with an OK button, Yes/No, or Yes/No/Cancel; an empty caption
  // shows the program's title. A box closed without an answer gives No, or Cancel where offered.
  virtual void messageBox(const std::string& text, const std::string& caption) = 0;
  virtual Answer askYesNo(const std::string& text, const std::string& caption) = 0;
  virtual Answer askYesNoCancel(const std::string& text, const std::string& caption) = 0;
  // The full path chosen, or nothing when the user cancelled or the dialog failed.
  virtual std::optional<std::string> chooseSaveFile(const SaveFileRequest& request) = 0;
  // Shows the selection dialog modally over the window; returns once it is hidden.
  virtual void showSelectionDialog() = 0;
  // Closes the window (and with it the program).
  virtual void closeWindow() = 0;
  // While held, clicks and keys aimed at the window are dropped (not replayed afterwards); the
  // window still paints and its own boxes still take answers.
  virtual void holdInput(bool held) = 0;
  // Paints the control now, without waiting for the message loop.
  virtual void paintNow(Control c) = 0;

  // The window's thread. post may be called from any thread: task runs on the window's thread
  // in the order posted. callLater runs task on the window's thread after about ms milliseconds.
  virtual void post(std::function<void()> task) = 0;
  virtual void callLater(int ms, std::function<void()> task) = 0;
  // Processes the window's messages (posted tasks, paints, input, timers) until a task has set done.
  virtual void pumpMessagesUntil(const bool& done) = 0;
};

// The selection dialog.
class SelectionView : public ControlView {
 public:
  // Hides the dialog: its modal showing ends.
  virtual void hideDialog() = 0;
};

}  // namespace vellicor::form
