// The main window's logic (frmMain): start-up, the run command with its checks, the save dialog
// loop, the object listing and its dialog, the pattern and server boxes, the status lines, and
// input held while work runs off the window's thread. The view only shows and reports events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_host.h"
#include "form/form_setup.h"
#include "form/selection_form.h"
#include "form/status_lines.h"
#include "form/view.h"
#include "form/work_thread.h"

namespace vellicor::form {

class MainForm : public engine::RunHost {
 public:
  MainForm(FormSetup setup, MainView& view, SelectionForm& dialog,
           StatusLines::Now now = StatusClock::now);

  // The window's events.
  void load();                  // Form_Load: the start-up steps, before the window is first shown
  void runClicked();            // Command1 "実 行"
  void saveFileClicked();       // cmdSaveFilename "参照..."
  void selectObjectsClicked();  // cmdSyutoku "オブジェクト選択"
  void patternChosen();         // cmbTablesPattern: an entry became the chosen one
  void selectionTextChanged();  // txtSyutokuTables: its text changed
  // The window is asked to close: true to close now; false while work runs, and the window
  // then closes once the work has ended.
  bool closeRequested();

  // The run's and the listing's services, on the window's thread.
  void setMessage(const std::string& mes) override;
  void setProgress(const std::string& mes) override;
  std::string selectionText() override;
  int sequencesBox() override;
  std::string getWhereObjectType() override;
  void messageBox(const std::string& text, const std::string& caption) override;
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override;

  // The current selection text (strCurSyutoku) and the pattern file in use.
  const std::string& currentSelection() const { return strCurSyutoku; }
  const std::string& patternFile() const { return patternFile_; }
  const FormSetup& setup() const { return setup_; }

 private:
  void setServerList();
  void loadPatterns(const std::string& path);
  int16_t getUserObjects(const std::string& server, const std::string& user, const std::string& pass);
  // Shows the box for the first connection input that is missing; false when one is.
  bool checkConnectionInputs(const std::string& server, const std::string& user, bool focusUserFirst);
  bool anyKindTicked();
  // Runs work off the window's thread with the window's input held.
  int16_t holdingInput(const Work& work);
  // Closes the window if that was asked for while it was busy; true when it did.
  bool closeIfAsked();

  FormSetup setup_;
  MainView& view_;
  SelectionForm& dialog_;
  StatusLines status_;
  std::string strCurSyutoku;
  std::vector<std::string> strPatterns;
  std::string patternFile_;
  bool busy_ = false;
  bool closePending_ = false;
};

}  // namespace vellicor::form
