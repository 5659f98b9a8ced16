// The real modal boxes and dialogs: Qt message boxes with the buttons named in Japanese, the
// widget-based save-file dialog and the modal run of a form.
#include "ui/dialogs.h"

#include <QAbstractButton>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace vellicor::ui {

QString boxCaption(const QString& caption) {
  return caption.isEmpty() ? QString::fromUtf8(engine::kProgramTitle) : caption;
}

namespace {

QMessageBox::StandardButton ask(QWidget* parent, const QString& text, const QString& caption,
                                QMessageBox::StandardButtons buttons) {
  QMessageBox box(QMessageBox::NoIcon, boxCaption(caption), text, buttons, parent);
  box.setWindowModality(Qt::ApplicationModal);
  if (auto* b = box.button(QMessageBox::Ok)) b->setText(QStringLiteral("OK"));
  if (auto* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("はい(&Y)"));
  if (auto* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("いいえ(&N)"));
  if (auto* b = box.button(QMessageBox::Cancel)) b->setText(QStringLiteral("キャンセル"));
  box.setEscapeButton(buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel
                      : buttons.testFlag(QMessageBox::No)   ? QMessageBox::No
                                                            : QMessageBox::Ok);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

engine::Answer answerOf(QMessageBox::StandardButton b) {
  switch (b) {
    case QMessageBox::Yes: return engine::Answer::Yes;
    case QMessageBox::No: return engine::Answer::No;
    default: return engine::Answer::Cancel;
  }
}

}  // namespace

void QtDialogs::message(QWidget* parent, const QString& text, const QString& caption) {
  ask(parent, text, caption, QMessageBox::Ok);
}

engine::Answer QtDialogs::askYesNo(QWidget* parent, const QString& text, const QString& caption) {
  // A box closed without an answer counts as No.
  const engine::Answer a = answerOf(ask(parent, text, caption, QMessageBox::Yes | QMessageBox::No));
  return a == engine::Answer::Yes ? a : engine::Answer::No;
}

engine::Answer QtDialogs::askYesNoCancel(QWidget* parent, const QString& text, const QString& caption) {
  return answerOf(ask(parent, text, caption, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
}

std::optional<QString> QtDialogs::chooseSaveFile(QWidget* parent, const SaveFileRequest& request) {
  QFileDialog dialog(parent, request.title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilter(request.filterDescription.contains(request.filterPattern)
                           ? request.filterDescription
                           : request.filterDescription + " (" + request.filterPattern + ")");
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.initialPath.isEmpty()) {
    // Opened in the folder of the initial name, or the nearest one that still exists (the dialog
    // would otherwise take a vanished folder's path as a name relative to the current folder).
    const QFileInfo initial(request.initialPath);
    QString folder = initial.absolutePath();
    while (!QDir(folder).exists()) {
      const QString parent = QFileInfo(folder).path();
      if (parent == folder) break;
      folder = parent;
    }
    dialog.setDirectory(folder);
    dialog.selectFile(initial.fileName());
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return files.first();
}

void QtDialogs::showModal(QDialog& dialog) {
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.exec();
}

}  // namespace vellicor::ui
