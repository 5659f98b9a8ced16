// The main window's decisions through a recording view: the input checks and their focus, what a
// run is given and the order of its questions and end, input held and the window pumped while it
// works off the window's thread, each status message on the screen before its step, closing
// during work, the save loop, the pattern box, and the listing into the dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>

#include "fake_views.h"
#include "support/writer_support.h"
#include "form/main_form.h"

using namespace vellicor;
using namespace vellicor::form;
using namespace vellicor::form::test;

namespace {

struct Window {
  Window() { std::filesystem::create_directories(dir.path("prog")); }

  void write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(dir.path(name)).parent_path());
    std::ofstream(dir.path(name), std::ios::binary) << bytes;
  }
  MainForm& open() {
    FormSetup s;
    s.programDir = dir.path("prog");
    s.run = [this](engine::RunHost& host, const engine::RunRequest& r) -> int16_t {
      requests.push_back(r);
      runThread = std::this_thread::get_id();
      return run ? run(host) : 0;
    };
    s.listObjects = [this](engine::RunHost& host, const std::string&, const std::string&, const std::string&,
                           const std::function<void(const std::string&)>& addName, const engine::RunOptions&) {
      ++listings;
      host.setMessage("テーブル名取得中...");
      for (const std::string& n : listed) addName(n);
      return listResult;
    };
    form = std::make_unique<MainForm>(s, view, dialog, [this] { return view.now(); });
    form->load();
    return *form;
  }
  void fillInputs() {
    view.texts[Control::cmbDBQ] = "ORCL";
    view.texts[Control::txtUID] = "scott";
    view.texts[Control::lblsaveFilename] = dir.path("out.mdb");
  }

  vellicor::testing::ScratchDir dir;
  FakeMainView view;
  FakeSelectionView dialogView;
  SelectionForm dialog{dialogView};
  std::unique_ptr<MainForm> form;
  std::vector<engine::RunRequest> requests;
  std::function<int16_t(engine::RunHost&)> run;
  std::thread::id runThread;
  std::vector<std::string> listed;
  int16_t listResult = 0;
  int listings = 0;
};

using Events = std::vector<std::string>;

}  // namespace

TEST(MainForm, InputChecksInOrderEachWithItsFocus) {
  Window w;
  MainForm& f = w.open();
  w.view.events.clear();
  f.runClicked();
  EXPECT_EQ(w.view.events, (Events{"box DB接続エラー|サーバを指定してください。", "focus cmbDBQ"}));
  w.view.texts[Control::cmbDBQ] = "ORCL";
  w.view.events.clear();
  f.runClicked();
  EXPECT_EQ(w.view.events, (Events{"box DB接続エラー|ユーザを指定してください。", "focus txtUID"}));
  // The listing puts the focus on the user field before its box too.
  w.view.events.clear();
  f.selectObjectsClicked();
  EXPECT_EQ(w.view.events, (Events{"focus txtUID", "box DB接続エラー|ユーザを指定してください。", "focus txtUID"}));
  w.view.texts[Control::txtUID] = " ";  // blanks pass
  w.view.events.clear();
  f.runClicked();
  EXPECT_EQ(w.view.events, (Events{"box MDBファイル作成エラー|出力先を指定してください。"}));
  // Sequences do not count, and a greyed box is not ticked; the box has the program's caption.
  w.view.texts[Control::lblsaveFilename] = w.dir.path("out.mdb");
  w.view.checks = {{Control::chkTable, 0}, {Control::chkView, 2}, {Control::chkSeq, 1}};
  for (auto click : {&MainForm::runClicked, &MainForm::selectObjectsClicked}) {
    w.view.events.clear();
    (f.*click)();
    EXPECT_EQ(w.view.events, (Events{"box |対象オブジェクトを１つ以上選択してください。"}));
  }
  EXPECT_TRUE(w.requests.empty());
  EXPECT_EQ(w.listings, 0);
}

TEST(MainForm, RunWorksOffTheWindowThreadAskingItsQuestionsThere) {
  Window w;
  MainForm& f = w.open();
  w.fillInputs();
  w.view.texts[Control::cmbDBQ] = " orcl ";
  w.view.texts[Control::txtSyutokuTables] = "EMP,DEPT";
  w.view.checks[Control::chkView] = 1;
  w.view.checks[Control::chkSeq] = 1;
  w.view.yesNo = {Answer::No};
  std::string seen;
  Answer answer = Answer::Yes;
  w.run = [&](engine::RunHost& host) {
    seen = host.selectionText() + "|" + host.getWhereObjectType() + "|" + std::to_string(host.sequencesBox());
    answer = host.askYesNo("ファイルは上書きされます。よろしいですか？", "MDBファイル作成");
    host.messageBox("注意", "");
    return int16_t{0};
  };
  w.view.events.clear();
  f.runClicked();
  ASSERT_EQ(w.requests.size(), 1u);
  const engine::RunRequest& r = w.requests[0];
  EXPECT_EQ(r.server, " orcl ");
  EXPECT_EQ(r.user, "scott");
  EXPECT_EQ(r.password, "");
  EXPECT_EQ(r.log, w.dir.path("out.mdb") + ".log");
  EXPECT_TRUE(r.writeLog && r.newFile);
  EXPECT_EQ(r.prefix, "");
  EXPECT_EQ(seen, "EMP,DEPT| where object_type in ('TABLE','VIEW')|1");
  EXPECT_EQ(answer, Answer::No);
  // The run had a thread of its own, the window pumped meanwhile and answered on its own thread.
  EXPECT_NE(w.runThread, w.view.windowThread);
  EXPECT_EQ(w.view.pumps, 1);
  EXPECT_FALSE(w.view.offThreadCall);
  EXPECT_EQ(w.view.events, (Events{"hold", "ask MDBファイル作成|ファイルは上書きされます。よろしいですか？", "box |注意",
                                   "release", "focus cmbDBQ", "box 完了通知|正常終了しました。"}));
  EXPECT_EQ(w.view.texts[Control::lblTable], "処理完了");
  static const std::regex times(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d 開始  \d{4}/\d\d/\d\d \d\d:\d\d:\d\d 終了)");
  EXPECT_TRUE(std::regex_match(w.view.texts[Control::lblProgress], times)) << w.view.texts[Control::lblProgress];

  // A failed run, and a failure escaping the run: the same end without the notice.
  w.run = [](engine::RunHost&) { return int16_t{1}; };
  w.view.events.clear();
  f.runClicked();
  EXPECT_EQ(w.view.events, (Events{"hold", "release", "focus cmbDBQ"}));
  w.run = [](engine::RunHost&) -> int16_t { throw std::runtime_error("ディスクがいっぱいです。"); };
  w.view.events.clear();
  w.view.texts[Control::lblTable] = "";
  f.runClicked();
  EXPECT_EQ(w.view.events, (Events{"hold", "box 異常終了|ディスクがいっぱいです。", "release", "focus cmbDBQ"}));
  EXPECT_EQ(w.view.texts[Control::lblTable], "処理完了");
}

TEST(MainForm, FromTheRunsThreadEachMessageIsOnTheScreenBeforeItsStep) {
  Window w;
  w.open();
  w.fillInputs();
  std::vector<std::string> messagesSet, onScreenAtStep, progressSet;
  w.run = [&](engine::RunHost& host) {
    for (int object = 1; object <= 20; ++object) {
      messagesSet.push_back("テーブル取得中..." + std::to_string(object) + "/20 T" + std::to_string(object));
      host.setMessage(messagesSet.back());
      onScreenAtStep.push_back(w.view.lastPainted(Control::lblTable));  // the step: count, open
      for (int row = 1; row <= 300; ++row) {
        progressSet.push_back("レコード = " + std::to_string(row) + "/300");
        host.setProgress(progressSet.back());
      }
    }
    return 0;
  };
  w.form->runClicked();
  EXPECT_EQ(onScreenAtStep, messagesSet);
  // Progress texts were painted in the order set, the run's last one before the end texts.
  std::vector<std::string> progress = w.view.paints(Control::lblProgress);
  ASSERT_GE(progress.size(), 2u);
  progress.pop_back();  // the end's times
  EXPECT_EQ(progress.back(), progressSet.back());
  auto from = progressSet.begin();
  for (const std::string& p : progress) {
    if (p.empty()) continue;  // before the first progress text
    from = std::find(from, progressSet.end(), p);
    ASSERT_NE(from, progressSet.end()) << p;
  }
  EXPECT_EQ(w.view.lastPainted(Control::lblTable), "処理完了");
  EXPECT_FALSE(w.view.offThreadCall);
}

TEST(MainForm, ClicksAndClosingDuringWorkWaitForItsEnd) {
  Window w;
  MainForm& f = w.open();
  w.fillInputs();
  bool closedAtOnce = true;
  w.run = [&](engine::RunHost&) {
    // What the window's thread does meanwhile: another click, then the close box.
    std::promise<void> handled;
    w.view.post([&] {
      f.runClicked();
      f.selectObjectsClicked();
      closedAtOnce = f.closeRequested();
      handled.set_value();
    });
    handled.get_future().wait();
    return int16_t{0};
  };
  w.view.events.clear();
  f.runClicked();
  EXPECT_EQ(w.requests.size(), 1u);
  EXPECT_EQ(w.listings, 0);
  EXPECT_FALSE(closedAtOnce);
  // The window closes once the run has ended, without the notice.
  EXPECT_EQ(w.view.events, (Events{"hold", "release", "focus cmbDBQ", "close"}));
  // The same for the listing; then, with nothing running, the window closes at once.
  w.listed = {"EMP"};
  w.view.events.clear();
  w.form->selectObjectsClicked();
  EXPECT_EQ(w.listings, 1);
  EXPECT_EQ(std::count(w.view.events.begin(), w.view.events.end(), "dialog"), 1);
  const int hides = w.dialogView.hides;
  EXPECT_TRUE(f.closeRequested());
  EXPECT_EQ(w.dialogView.hides, hides + 1) << "the hidden dialog goes with the window";
}

TEST(MainForm, SaveDialogLoop) {
  Window w;
  MainForm& f = w.open();
  w.write("exists.mdb", "x");
  const std::string exists = w.dir.path("exists.mdb"), fresh = w.dir.path("new.mdb");
  w.view.texts[Control::lblsaveFilename] = "/prev/a.mdb";
  // An existing file, No: the dialog opens again on that name; then a new name is taken at once.
  w.view.saveAnswers = {exists, fresh};
  w.view.yesNoCancel = {Answer::No};
  f.saveFileClicked();
  ASSERT_EQ(w.view.saveRequests.size(), 2u);
  const SaveFileRequest& first = w.view.saveRequests[0];
  EXPECT_EQ(first.title + "|" + first.filterDescription + "|" + first.filterPattern + "|" + first.defaultSuffix,
            "MDB出力先指定|Access97形式ファイル (*.mdb)|*.mdb|mdb");
  EXPECT_EQ(first.initialPath, "/prev/a.mdb");
  EXPECT_EQ(w.view.saveRequests[1].initialPath, exists);
  EXPECT_EQ(w.view.events.back(), "ask3 ファイル指定|ファイルは既に存在します。よろしいですか？");
  EXPECT_EQ(w.view.texts[Control::lblsaveFilename], fresh);
  EXPECT_EQ(w.view.tooltips[Control::lblsaveFilename], fresh);
  // Cancel in the question, or in the dialog, keeps the path; Yes takes the existing file.
  w.view.saveAnswers = {exists, std::nullopt};
  w.view.yesNoCancel = {Answer::Cancel};
  f.saveFileClicked();
  f.saveFileClicked();
  EXPECT_EQ(w.view.texts[Control::lblsaveFilename], fresh);
  w.view.saveAnswers = {exists};
  w.view.yesNoCancel = {Answer::Yes};
  f.saveFileClicked();
  EXPECT_EQ(w.view.texts[Control::lblsaveFilename], exists);
}

TEST(MainForm, PatternBoxAtStartAndOnChoice) {
  Window w;
  w.write("prog/seltable.dat", "# seltable.dat\r\n#営業\r\nemp\r\ndept,bonus\r\n#全部\r\n");
  w.view.texts[Control::cmbDBQ] = "typed before start";
  MainForm& f = w.open();
  EXPECT_EQ(w.view.texts[Control::cmbDBQ], "");
  EXPECT_EQ(w.view.lists[Control::cmbTablesPattern], (Events{"全テーブル", "営業", "全部"}));
  EXPECT_EQ(w.view.tooltips[Control::lblSyutoku],
            "採取パターン定義ファイルは" + w.dir.path("prog/seltable.dat") + "を参照します。");
  EXPECT_EQ(w.view.currentIndex(Control::cmbTablesPattern), 0);
  EXPECT_EQ(w.view.texts[Control::lblSyutokuCount], "全て");

  w.view.setCurrentIndex(Control::cmbTablesPattern, 1);
  f.patternChosen();
  f.selectionTextChanged();  // the view reports the change of text
  EXPECT_EQ(w.view.texts[Control::txtSyutokuTables], "EMP,DEPT,BONUS");
  EXPECT_EQ(f.currentSelection(), "EMP,DEPT,BONUS");
  EXPECT_EQ(w.view.texts[Control::lblSyutokuCount], "3 テーブル指定");
  // Typing counts, but leaves the current selection; the run reads the typed text.
  w.view.texts[Control::txtSyutokuTables] = "EMP,DEPT,BONUS,";
  f.selectionTextChanged();
  EXPECT_EQ(w.view.texts[Control::lblSyutokuCount], "4 テーブル指定");
  EXPECT_EQ(f.currentSelection(), "EMP,DEPT,BONUS");
  EXPECT_EQ(f.selectionText(), "EMP,DEPT,BONUS,");
  w.view.setCurrentIndex(Control::cmbTablesPattern, 2);
  f.patternChosen();
  EXPECT_EQ(w.view.texts[Control::txtSyutokuTables], "");
  EXPECT_EQ(f.currentSelection(), "");
}

TEST(MainForm, ListingFillsTheDialogPreselectedAndTakesItsResult) {
  Window w;
  MainForm& f = w.open();
  w.fillInputs();
  w.view.texts[Control::txtSyutokuTables] = "EMP,OWNER1.DEPT,NOSUCH";
  // The current selection comes from the last pattern choice or acceptance, not from typing.
  w.dialogView.lists[Control::lstExport] = {"OLD"};
  w.listed = {"EMP", "DEPT", "BONUS"};
  Events left, right;
  w.view.onDialog = [&] {
    left = w.dialogView.lists[Control::lstExport];
    right = w.dialogView.lists[Control::lstSyutoku];
    w.dialogView.select(Control::lstExport, {"BONUS", "EMP"});
    w.dialog.moveSelected(Control::lstExport);
    w.dialog.accept();
  };
  f.selectObjectsClicked();
  EXPECT_EQ(left, (Events{"BONUS", "DEPT", "EMP"})) << "the dialog starts afresh";
  EXPECT_EQ(right, Events{});
  EXPECT_EQ(f.currentSelection(), "BONUS,EMP");
  EXPECT_EQ(w.view.texts[Control::txtSyutokuTables], "BONUS,EMP");
  EXPECT_EQ(w.view.texts[Control::lblTable], "");
  // The next listing pre-selects the accepted text; cancelling keeps it.
  w.view.onDialog = [&] {
    right = w.dialogView.lists[Control::lstSyutoku];
    w.dialog.moveAll(Control::lstSyutoku);
    w.dialog.cancel();
  };
  f.selectObjectsClicked();
  EXPECT_EQ(right, (Events{"BONUS", "EMP"}));
  EXPECT_EQ(f.currentSelection(), "BONUS,EMP");
  // A failed listing shows no dialog; what it listed before failing is in the list.
  w.listResult = 1;
  w.view.events.clear();
  f.selectObjectsClicked();
  EXPECT_EQ(std::count(w.view.events.begin(), w.view.events.end(), "dialog"), 0);
  EXPECT_EQ(w.dialogView.lists[Control::lstExport], (Events{"BONUS", "DEPT", "EMP"}));
  EXPECT_EQ(w.view.texts[Control::lblTable], "テーブル名取得中...");
  EXPECT_EQ(f.currentSelection(), "BONUS,EMP");
}
