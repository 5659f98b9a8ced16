// The main window: every input of a run, the two status lines, the pattern and server boxes, and
// the buttons that list the objects, choose the output file and start the run.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/run_host.h"
#include "ui/status_line.h"
#include "ui/window_setup.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vellicor::ui {

class frmSyutoku;

class frmMain : public QWidget, public engine::RunHost {
  Q_OBJECT

 public:
  // Builds the window and runs its start-up steps (Form_Load); the caller shows it.
  explicit frmMain(WindowSetup setup, QWidget* parent = nullptr);
  ~frmMain() override;

  // The services of the run and the listing.
  void setMessage(const std::string& mes) override;
  void setProgress(const std::string& mes) override;
  std::string selectionText() override;
  int sequencesBox() override;
  std::string getWhereObjectType() override;
  void messageBox(const std::string& text, const std::string& caption) override;
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override;

  // The current selection text.
  const std::string& currentSelection() const { return strCurSyutoku; }
  // The pattern file in use and the lists behind the pattern box.
  const std::string& patternFile() const { return patternFile_; }
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
  QLabel* lblProgress;
  QLabel* lblsaveFilename;
  std::array<QLabel*, 4> Label1;
  QLabel* lblSyutoku;
  QLabel* lblSyutokuCount;
  QLabel* Label2;
  QLabel* lblTable;

 public slots:
  void Command1_Click();
  void cmdSaveFilename_Click();
  void cmdSyutoku_Click();
  void cmbTablesPattern_Click();
  void txtSyutokuTables_Change();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void Form_Load();
  void setServerList();
  void loadPatterns(const std::string& path);
  int16_t getUserObjects(const std::string& server, const std::string& user, const std::string& pass);
  // Shows the box for the first connection input that is missing; false when one is.
  bool checkConnectionInputs(const QString& server, const QString& user, bool focusUserFirst);
  bool anyKindTicked() const;
  // Repaints both status lines if they changed since their last repaint.
  void flushStatus();
  // Runs work with the window's input held; a close asked for meanwhile happens afterwards.
  int16_t holdingInput(const std::function<int16_t()>& work);
  // Closes the window if that was asked for while it was busy; true when it did.
  bool closeIfAsked();

  WindowSetup setup_;
  std::unique_ptr<frmSyutoku> syutoku_;
  StatusLine message_;
  StatusLine progress_;
  std::string strCurSyutoku;
  std::vector<std::string> strPatterns;
  std::string patternFile_;
  bool busy_ = false;
  bool closePending_ = false;
};

}  // namespace vellicor::ui
