// The modal boxes and dialogs of the window: messages, questions, the save-file dialog and the
// modal showing of a form, behind one interface so that tests can answer them.
#pragma once

#include <QString>
#include <optional>

#include "engine/run_host.h"

class QDialog;
class QWidget;

namespace vellicor::ui {

// What the save-file dialog is asked for.
struct SaveFileRequest {
  QString title;
  QString filterDescription;  // e.g. "Access97形式ファイル (*.mdb)"
  QString filterPattern;      // e.g. "*.mdb"
  QString defaultSuffix;      // appended to a name typed without an extension
  QString initialPath;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A box with an OK button and no icon; an empty caption shows the program's title.
  virtual void message(QWidget* parent, const QString& text, const QString& caption) = 0;
  virtual engine::Answer askYesNo(QWidget* parent, const QString& text, const QString& caption) = 0;
  virtual engine::Answer askYesNoCancel(QWidget* parent, const QString& text, const QString& caption) = 0;
  // The full path chosen, or nothing when the user cancelled or the dialog failed. The dialog
  // itself never asks about replacing an existing file.
  virtual std::optional<QString> chooseSaveFile(QWidget* parent, const SaveFileRequest& request) = 0;
  // Shows dialog modally and returns once it is hidden.
  virtual void showModal(QDialog& dialog) = 0;
};

// The real boxes: QMessageBox with Japanese button texts, QFileDialog, QDialog::exec.
class QtDialogs : public Dialogs {
 public:
  void message(QWidget* parent, const QString& text, const QString& caption) override;
  engine::Answer askYesNo(QWidget* parent, const QString& text, const QString& caption) override;
  engine::Answer askYesNoCancel(QWidget* parent, const QString& text, const QString& caption) override;
  std::optional<QString> chooseSaveFile(QWidget* parent, const SaveFileRequest& request) override;
  void showModal(QDialog& dialog) override;
};

// The caption of a box: the given one, or the program's title when it is empty.
QString boxCaption(const QString& caption);

}  // namespace vellicor::ui
