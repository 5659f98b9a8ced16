// The main window's decisions: what start-up loads, the checks and their order, what the run is
// given and what its end shows, the save dialog's questions, the listing and the dialog's result.
#include "form/main_form.h"

#include <ctime>

#include "engine/conversion_run.h"
#include "engine/run_log.h"
#include "lists/pattern_file.h"

namespace vellicor::form {

MainForm::MainForm(FormSetup setup, MainView& view, SelectionForm& dialog, StatusLines::Now now)
    : setup_(std::move(setup)), view_(view), dialog_(dialog), status_(view, std::move(now)) {}

void MainForm::load() {
  view_.setText(Control::lblSyutokuCount, "");
  view_.setText(Control::cmbDBQ, "");
  view_.setText(Control::txtUID, "");
  view_.setText(Control::txtPass, "");
  view_.setText(Control::lblTable, "");
  view_.setText(Control::lblProgress, "");

  const std::string local = setup_.programDir + "/" + lists::kPatternFileName;
  const lists::PatternFileChoice choice = lists::choosePatternFile(local);
  for (const std::string& m : choice.messages) messageBox(m, "");
  view_.setToolTip(Control::lblSyutoku, choice.tooltip);
  patternFile_ = choice.path;

  setServerList();
  loadPatterns(patternFile_);
  view_.setCurrentIndex(Control::cmbTablesPattern, 0);
  patternChosen();
  view_.setText(Control::txtSyutokuTables, strCurSyutoku);
  selectionTextChanged();
}

void MainForm::setServerList() { view_.setItems(Control::cmbDBQ, lists::readServerList(setup_.oracle)); }

void MainForm::loadPatterns(const std::string& path) {
  const lists::PatternSet set = lists::loadPatterns(path);
  view_.setItems(Control::cmbTablesPattern, set.names);
  strPatterns = set.lists;
  if (set.readFailed) messageBox(lists::kReadFailed, "");
}

void MainForm::patternChosen() {
  const int k = view_.currentIndex(Control::cmbTablesPattern);
  if (k < 0 || k >= static_cast<int>(strPatterns.size())) return;
  view_.setText(Control::txtSyutokuTables, strPatterns[static_cast<size_t>(k)]);
  strCurSyutoku = strPatterns[static_cast<size_t>(k)];
}

void MainForm::selectionTextChanged() {
  view_.setText(Control::lblSyutokuCount, lists::selectionCountText(view_.text(Control::txtSyutokuTables)));
}

// ---- services of the run and the listing ----

void MainForm::setMessage(const std::string& mes) { status_.set(StatusLine::Message, mes); }

void MainForm::setProgress(const std::string& mes) { status_.set(StatusLine::Progress, mes); }

std::string MainForm::selectionText() { return view_.text(Control::txtSyutokuTables); }

int MainForm::sequencesBox() { return view_.checkValue(Control::chkSeq); }

std::string MainForm::getWhereObjectType() {
  return engine::whereObjectType(view_.checkValue(Control::chkTable), view_.checkValue(Control::chkView),
                                 view_.checkValue(Control::chkSynonym));
}

// A box shows over the status lines as they stand: what led to it is on the screen.
void MainForm::messageBox(const std::string& text, const std::string& caption) {
  status_.flush();
  view_.messageBox(text, caption);
}

engine::Answer MainForm::askYesNo(const std::string& text, const std::string& caption) {
  status_.flush();
  return view_.askYesNo(text, caption);
}

// ---- the buttons ----

int16_t MainForm::holdingInput(const Work& work) {
  busy_ = true;
  view_.holdInput(true);
  const int16_t result = runOffWindowThread(view_, *this, status_, work);
  status_.flush();
  view_.holdInput(false);
  busy_ = false;
  return result;
}

bool MainForm::anyKindTicked() {
  return view_.checkValue(Control::chkTable) == 1 || view_.checkValue(Control::chkView) == 1 ||
         view_.checkValue(Control::chkSynonym) == 1;
}

bool MainForm::checkConnectionInputs(const std::string& server, const std::string& user, bool focusUserFirst) {
  if (server.empty()) {
    view_.messageBox("サーバを指定してください。", "DB接続エラー");
    view_.setFocus(Control::cmbDBQ);
    return false;
  }
  if (user.empty()) {
    if (focusUserFirst) view_.setFocus(Control::txtUID);
    view_.messageBox("ユーザを指定してください。", "DB接続エラー");
    view_.setFocus(Control::txtUID);
    return false;
  }
  return true;
}

void MainForm::runClicked() {
  if (busy_) return;
  const std::string server = view_.text(Control::cmbDBQ);
  const std::string user = view_.text(Control::txtUID);
  const std::string pass = view_.text(Control::txtPass);
  const std::string output = view_.text(Control::lblsaveFilename);
  if (!checkConnectionInputs(server, user, false)) return;
  if (output.empty()) {
    view_.messageBox("出力先を指定してください。", "MDBファイル作成エラー");
    return;
  }
  if (!anyKindTicked()) {
    view_.messageBox("対象オブジェクトを１つ以上選択してください。", "");
    return;
  }
  const std::time_t start = std::time(nullptr);
  engine::RunRequest request;
  request.server = server;
  request.user = user;
  request.password = pass;
  request.output = output;
  request.log = output + ".log";
  request.options = setup_.runOptions;
  const int16_t result = holdingInput([&](engine::RunHost& host) { return setup_.run(host, request); });
  const std::time_t end = std::time(nullptr);
  setMessage("処理完了");
  setProgress(engine::formatRunTime(start) + " 開始  " + engine::formatRunTime(end) + " 終了");
  view_.setFocus(Control::cmbDBQ);
  if (closeIfAsked()) return;
  if (result == 0) view_.messageBox("正常終了しました。", "完了通知");
}

void MainForm::saveFileClicked() {
  SaveFileRequest request{"MDB出力先指定", "Access97形式ファイル (*.mdb)", "*.mdb", "mdb",
                          view_.text(Control::lblsaveFilename)};
  for (;;) {
    const std::optional<std::string> chosen = view_.chooseSaveFile(request);
    if (!chosen) return;
    if (engine::outputFileExists(*chosen)) {
      switch (view_.askYesNoCancel("ファイルは既に存在します。よろしいですか？", "ファイル指定")) {
        case engine::Answer::Yes: break;
        case engine::Answer::No: request.initialPath = *chosen; continue;
        case engine::Answer::Cancel: return;
      }
    }
    view_.setText(Control::lblsaveFilename, *chosen);
    view_.setToolTip(Control::lblsaveFilename, *chosen);
    return;
  }
}

void MainForm::selectObjectsClicked() {
  if (busy_) return;
  dialog_.reset();
  const std::string server = view_.text(Control::cmbDBQ);
  const std::string user = view_.text(Control::txtUID);
  const std::string pass = view_.text(Control::txtPass);
  if (!checkConnectionInputs(server, user, true)) return;
  if (!anyKindTicked()) {
    view_.messageBox("対象オブジェクトを１つ以上選択してください。", "");
    return;
  }
  const int16_t listed = getUserObjects(server, user, pass);
  if (closeIfAsked() || listed > 0) return;
  setMessage("");
  setProgress("");
  dialog_.setSyutoku(strCurSyutoku);
  view_.showSelectionDialog();
  if (!dialog_.done) return;
  dialog_.getSyutoku(strCurSyutoku);
  view_.setText(Control::txtSyutokuTables, strCurSyutoku);
}

int16_t MainForm::getUserObjects(const std::string& server, const std::string& user, const std::string& pass) {
  // The names are gathered on the listing's thread and go into the dialog's list at its end,
  // also those listed before a failure.
  std::vector<std::string> names;
  const int16_t result = holdingInput([&](engine::RunHost& host) {
    return setup_.listObjects(host, server, user, pass, [&names](const std::string& name) { names.push_back(name); },
                              setup_.runOptions);
  });
  dialog_.addExport(names);
  return result;
}

bool MainForm::closeIfAsked() {
  if (!closePending_) return false;
  closePending_ = false;
  view_.closeWindow();
  return true;
}

bool MainForm::closeRequested() {
  // Work cannot be left half done: the window closes once it ends.
  if (busy_) {
    closePending_ = true;
    return false;
  }
  dialog_.hide();
  return true;
}

}  // namespace vellicor::form
