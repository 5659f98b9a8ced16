// The main window: its controls at their places and fonts, and their events handed to the
// window's logic (form::MainForm), which decides everything the window does.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "engine/run_host.h"
#include "form/main_form.h"
#include "ui/window_setup.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vellicor::ui {

class InputHold;
class frmSyutoku;

class frmMain : public QWidget, public engine::RunHost {
  Q_OBJECT

 public:
  // Builds the window and runs its start-up steps (Form_Load); the caller shows it.
  explicit frmMain(WindowSetup setup, QWidget* parent = nullptr);
  ~frmMain() override;

  // The services of the run and the listing, on the window's thread.
  void setMessage(const std::string& mes) override { form_->setMessage(mes); }
  void setProgress(const std::string& mes) override { form_->setProgress(mes); }
  std::string selectionText() override { return form_->selectionText(); }
  int sequencesBox() override { return form_->sequencesBox(); }
  std::string getWhereObjectType() override { return form_->getWhereObjectType(); }
  void messageBox(const std::string& text, const std::string& caption) override { form_->messageBox(text, caption); }
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override {
    return form_->askYesNo(text, caption);
  }

  // The current selection text and the pattern file in use.
  const std::string& currentSelection() const { return form_->currentSelection(); }
  const std::string& patternFile() const { return form_->patternFile(); }
  frmSyutoku& syutokuDialog() { return *syutoku_; }

  // The check box value as the run reads it: 0 clear, 1 ticked, 2 greyed.
  static int checkValue(const QCheckBox* box);
  static void setCheckValue(QCheckBox* box, int value);

  QFrame* picMain;
  QComboBox* cmbDBQ;
  QLineEdit* txtUID;
  QLineEdit* txtPass;
  QCheckBox* chkTable;
  QCheckBox* chkView;
  QCheckBox* chkSynonym;
  QCheckBox* chkSeq;
  QComboBox* cmbTablesPattern;
  QPushButton* cmdSyutoku;
  QPushButton* cmdSaveFilename;
  QPushButton* Command1;
  QLineEdit* txtSyutokuTables;
  QLabel* lblProgress;      // a text too long is shortened in the middle (FittedLabel)
  QLabel* lblsaveFilename;  // likewise, keeping the file name
  std::array<QLabel*, 4> Label1;
  QLabel* lblSyutoku;
  QLabel* lblSyutokuCount;
  QLabel* Label2;
  QLabel* lblTable;         // a text too long is shortened in the middle (FittedLabel)

 public slots:
  void Command1_Click() { form_->runClicked(); }
  void cmdSaveFilename_Click() { form_->saveFileClicked(); }
  void cmdSyutoku_Click() { form_->selectObjectsClicked(); }
  void cmbTablesPattern_Click() { form_->patternChosen(); }
  void txtSyutokuTables_Change() { form_->selectionTextChanged(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class View;

  void buildControls();

  std::shared_ptr<Dialogs> dialogs_;
  std::unique_ptr<frmSyutoku> syutoku_;
  std::unique_ptr<InputHold> inputHold_;
  std::unique_ptr<View> view_;
  std::unique_ptr<form::MainForm> form_;
};

}  // namespace vellicor::ui
