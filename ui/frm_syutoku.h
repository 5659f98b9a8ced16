// The object selection dialog: the listed objects divided into the selectable ones (left) and the
// ones to acquire (right), pre-selected from a selection text and accepted as a new one.
#pragma once

#include <QDialog>
#include <string>


class QLabel;
class QListWidget;
class QPushButton;

namespace vellicor::ui {

class frmSyutoku : public QDialog {
  Q_OBJECT

 public:
  explicit frmSyutoku(QWidget* parent = nullptr);

  // Empties both lists and the working list (the dialog is hidden and starts again empty);
  // syutokutables and done keep their values.
  void reset();
  // Adds a listed name to the selectable objects.
  void addExport(const QString& name);
  // Moves every selectable name whose reduced form the selection text names to the right list.
  void setSyutoku(const std::string& syutokutables);
  // The selection text of the last acceptance.
  void getSyutoku(std::string& syutokutables) const { syutokutables = this->syutokutables; }

  // The selection text made at the last acceptance, and whether the last use was accepted.
  std::string syutokutables;
  bool done = false;

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

 public slots:
  void cmdAccpet_Click();
  void cmdCancel_Click();
  // Closing the window with its close box counts as "キャンセル".
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  static void moveSelected(QListWidget* source, QListWidget* target);
  static void moveAll(QListWidget* source, QListWidget* target);
};

}  // namespace vellicor::ui
