// The object selection dialog's window: its controls at their places and their events; what the
// dialog does is form::SelectionForm's.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "form/selection_form.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vellicor::ui {

class frmSyutoku : public QDialog {
  Q_OBJECT

 public:
  explicit frmSyutoku(QWidget* parent = nullptr);
  ~frmSyutoku() override;

  // The dialog's logic, which the main window's logic drives.
  form::SelectionForm& form() { return *form_; }

  // The logic's operations, for callers that hold the window.
  void reset() { form_->reset(); }
  void addExport(const QString& name) { form_->addExport({name.toStdString()}); }
  void setSyutoku(const std::string& syutokutables) { form_->setSyutoku(syutokutables); }
  void getSyutoku(std::string& syutokutables) const { form_->getSyutoku(syutokutables); }

  QListWidget* lstExport;
  QListWidget* lstSyutoku;
  QPushButton* cmdCancel;
  QPushButton* cmdAccpet;
  QPushButton* cmdToSyutoku;
  QPushButton* cmdToExport;
  QPushButton* cmdToSyutokuAll;
  QPushButton* cmdToExportAll;
  QLabel* Label1;
  QLabel* Label2;

 private:
  class View;
  std::unique_ptr<View> view_;
  std::unique_ptr<form::SelectionForm> form_;

 public:
  // The selection text made at the last acceptance, and whether the last use was accepted.
  const std::string& syutokutables;
  const bool& done;

 public slots:
  void cmdAccpet_Click() { form_->accept(); }
  void cmdCancel_Click() { form_->cancel(); }
  // Closing the window with its close box counts as "キャンセル".
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vellicor::ui
