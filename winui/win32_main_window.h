// The main window (frmMain) as a Win32 window: its controls at their places, their events handed
// to the window's logic (form::MainForm), and the controls, boxes and thread as the logic sees them.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "form/form_setup.h"
#include "form/main_form.h"
#include "form/view.h"
#include "winui/win32_controls.h"
#include "winui/win32_message_loop.h"
#include "winui/win32_selection_dialog.h"

namespace vellicor::winui {

class MainWindow : public form::MainView {
 public:
  // Builds the window and runs its start-up steps (Form_Load); show() shows it.
  MainWindow(form::FormSetup setup, MessageLoop& loop);
  ~MainWindow() override;

  void show();
  HWND window() const { return hwnd_; }
  form::MainForm& form() { return *form_; }
  SelectionDialog& dialog() { return dialog_; }
  // The control that stands for c (nullptr for the dialog's lists).
  HWND handle(form::Control c) const { return control(c); }

  // form::ControlView
  std::string text(form::Control c) override;
  void setText(form::Control c, const std::string& text) override;
  void setToolTip(form::Control c, const std::string& text) override { labels_.setToolTip(control(c), text); }
  int checkValue(form::Control c) override;
  void setFocus(form::Control c) override;
  std::vector<std::string> items(form::Control c) override;
  void setItems(form::Control c, const std::vector<std::string>& entries) override;
  void addItems(form::Control c, const std::vector<std::string>& entries) override;
  std::vector<bool> selection(form::Control c) override { return dialog_.selection(c); }
  int currentIndex(form::Control c) override;
  void setCurrentIndex(form::Control c, int index) override;

  // form::MainView
  void messageBox(const std::string& text, const std::string& caption) override;
  form::Answer askYesNo(const std::string& text, const std::string& caption) override;
  form::Answer askYesNoCancel(const std::string& text, const std::string& caption) override;
  std::optional<std::string> chooseSaveFile(const form::SaveFileRequest& request) override;
  void showSelectionDialog() override { dialog_.showModal(hwnd_); }
  void closeWindow() override { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }
  void holdInput(bool held) override { loop_.holdInput(held); }
  void paintNow(form::Control c) override;
  void post(std::function<void()> task) override { loop_.post(hwnd_, std::move(task)); }
  void callLater(int ms, std::function<void()> task) override { loop_.callLater(hwnd_, ms, std::move(task)); }
  void pumpMessagesUntil(const bool& done) override { loop_.runUntil(done); }

 private:
  static LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
  void onCommand(int id, int code);
  void buildControls();
  HWND control(form::Control c) const;
  int box(const std::string& text, const std::string& caption, UINT type);

  MessageLoop& loop_;
  SelectionDialog dialog_;
  HWND hwnd_ = nullptr;
  std::map<int, HWND> controls_;  // by control id
  FittedLabels labels_{nullptr};
  std::unique_ptr<form::MainForm> form_;
};

}  // namespace vellicor::winui
