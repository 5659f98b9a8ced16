// The Win32 window's view under Wine: controls at their twips places and in tab order, labels that
// shorten with the whole text kept, combo and list boxes as the logic reads them, tasks and timers
// in order, and input dropped while held. The run and the listing are never started here.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "text/wide_windows.h"
#include "winui/win32_controls.h"
#include "winui/win32_main_window.h"

namespace vellicor::winui {
namespace {

using form::Control;

class Win32ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form::FormSetup setup;
    setup.programDir = "C:\\nonexistent-vellicor-dir";
    window_ = std::make_unique<MainWindow>(std::move(setup), loop_);
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    // The closed window's quit message is not the next test's.
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // The rectangle of c in the main window's client pixels.
  RECT placeOf(Control c) {
    RECT r{};
    GetWindowRect(window_->handle(c), &r);
    MapWindowPoints(nullptr, window_->window(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  void pump() {
    bool done = false;
    window_->post([&] { done = true; });
    window_->pumpMessagesUntil(done);
  }

  MessageLoop loop_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(Win32ViewTest, ControlsSitAtTheirTwipsPlacesInTabOrder) {
  const int dpi = screenDpi();
  RECT client{};
  GetClientRect(window_->window(), &client);
  EXPECT_EQ(client.right, twipsToPixels(6630, dpi));
  EXPECT_EQ(client.bottom, twipsToPixels(5520, dpi));
  // Inside the panel (120 twips from the client's corner, plus its sunken edge), and lblProgress on the window.
  const int inside = twipsToPixels(120, dpi) + GetSystemMetrics(SM_CXEDGE);
  const RECT user = placeOf(Control::txtUID);
  EXPECT_EQ(user.left, inside + twipsToPixels(1800, dpi));
  EXPECT_EQ(user.top, inside + twipsToPixels(600, dpi));
  EXPECT_EQ(user.right - user.left, twipsToPixels(2175, dpi));
  const RECT progress = placeOf(Control::lblProgress);
  EXPECT_EQ(progress.left, twipsToPixels(360, dpi));
  EXPECT_EQ(progress.top, twipsToPixels(5160, dpi));

  // Tab order: the texts (or classes) of the controls that the tab key visits from the server box.
  std::vector<std::string> visited;
  HWND w = window_->handle(Control::cmbDBQ);
  for (int i = 0; i < 13; ++i) {
    wchar_t cls[32]{};
    GetClassNameW(w, cls, 32);
    const std::string caption = windowText(w);
    visited.push_back(_wcsicmp(cls, L"BUTTON") == 0 ? caption : text::narrow(cls));
    w = GetNextDlgTabItem(window_->window(), w, FALSE);
  }
  const std::vector<std::string> expected = {"ComboBox", "Edit", "Edit", "テーブル", "ビュー", "シノニム", "シーケンス",
                                             "ComboBox", "オブジェクト選択", "参照...", "実 行", "Edit", "ComboBox"};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_STRCASEEQ(visited[i].c_str(), expected[i].c_str()) << i;
}

TEST_F(Win32ViewTest, LabelsShortenBoxesKeepTheirTextsAndChecksReadAsValues) {
  const std::string path = "C:\\" + std::string(300, 'd') + "\\出力ファイル.mdb";
  window_->setText(Control::lblsaveFilename, path);
  const std::string shown = windowText(window_->handle(Control::lblsaveFilename));
  EXPECT_NE(shown, path);
  EXPECT_NE(shown.find("…"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - std::string("\\出力ファイル.mdb").size()), "\\出力ファイル.mdb");
  EXPECT_EQ(window_->text(Control::lblsaveFilename), path);
  window_->setText(Control::lblTable, "短い");
  EXPECT_EQ(windowText(window_->handle(Control::lblTable)), "短い");

  window_->setText(Control::cmbDBQ, "手入力");
  window_->setItems(Control::cmbDBQ, {"ORCL", "本番"});
  EXPECT_EQ(window_->text(Control::cmbDBQ), "手入力");
  EXPECT_EQ(window_->items(Control::cmbDBQ), (std::vector<std::string>{"ORCL", "本番"}));
  EXPECT_EQ(window_->items(Control::cmbTablesPattern), std::vector<std::string>{"全テーブル"});
  EXPECT_EQ(window_->currentIndex(Control::cmbTablesPattern), 0);

  EXPECT_EQ(window_->checkValue(Control::chkTable), 1);
  EXPECT_EQ(window_->checkValue(Control::chkView), 0);
  SendMessageW(window_->handle(Control::chkSynonym), BM_SETSTYLE, BS_AUTO3STATE, FALSE);
  SendMessageW(window_->handle(Control::chkSynonym), BM_SETCHECK, BST_INDETERMINATE, 0);
  EXPECT_EQ(window_->checkValue(Control::chkSynonym), 2);
  EXPECT_EQ(window_->form().getWhereObjectType(), " where object_type in ('TABLE')");
}

TEST_F(Win32ViewTest, TasksRunInOrderAndHeldClicksAreDropped) {
  std::vector<int> order;
  bool done = false;
  window_->callLater(30, [&] { order.push_back(3); done = true; });
  window_->post([&] { order.push_back(1); });
  window_->post([&] { order.push_back(2); });
  window_->pumpMessagesUntil(done);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

  // A click on "ビュー" while input is held is dropped; the same click afterwards ticks it.
  HWND view = window_->handle(Control::chkView);
  auto click = [&] {
    PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    pump();
  };
  window_->holdInput(true);
  click();
  window_->holdInput(false);
  EXPECT_EQ(window_->checkValue(Control::chkView), 0);
  click();
  EXPECT_EQ(window_->checkValue(Control::chkView), 1);
}

TEST_F(Win32ViewTest, DialogListsSortAndMoveTheSelectedNames) {
  SelectionDialog& dialog = window_->dialog();
  dialog.form().addExport({"EMP", "BONUS", "DEPT"});
  EXPECT_EQ(dialog.items(Control::lstExport), (std::vector<std::string>{"BONUS", "DEPT", "EMP"}));
  SendMessageW(dialog.listHandle(Control::lstExport), LB_SETSEL, TRUE, 2);
  SendMessageW(dialog.listHandle(Control::lstExport), LB_SETSEL, TRUE, 0);
  EXPECT_EQ(dialog.selection(Control::lstExport), (std::vector<bool>{true, false, true}));
  dialog.form().moveSelected(Control::lstExport);
  EXPECT_EQ(dialog.items(Control::lstExport), std::vector<std::string>{"DEPT"});
  EXPECT_EQ(dialog.items(Control::lstSyutoku), (std::vector<std::string>{"BONUS", "EMP"}));
  dialog.form().accept();
  EXPECT_EQ(dialog.form().syutokutables, "BONUS,EMP");
  EXPECT_TRUE(dialog.form().done);
}

}  // namespace
}  // namespace vellicor::winui
