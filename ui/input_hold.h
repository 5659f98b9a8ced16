// Holding a window's input while long work runs on the user-interface thread: clicks and keys
// aimed at the window during the work are dropped, not replayed once it ends.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace vellicor::ui {

class InputHold : public QObject {
 public:
  // Starts holding the input of window (its own boxes and dialogs stay usable).
  explicit InputHold(QWidget* window);
  // Delivers what is still queued, dropping the held input, then lets input through again.
  ~InputHold() override;

  InputHold(const InputHold&) = delete;
  InputHold& operator=(const InputHold&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> window_;
};

}  // namespace vellicor::ui
