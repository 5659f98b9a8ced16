// The object selection dialog (frmSyutoku) as a Win32 window: two sorted list boxes with extended
// selection, the move buttons and the bottom row; what it does is form::SelectionForm's.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "form/selection_form.h"
#include "form/view.h"
#include "winui/win32_message_loop.h"

namespace vellicor::winui {

class SelectionDialog : public form::SelectionView {
 public:
  explicit SelectionDialog(MessageLoop& loop);
  ~SelectionDialog() override;

  form::SelectionForm& form() { return form_; }
  HWND window() const { return hwnd_; }
  HWND listHandle(form::Control c) const { return list(c); }
  // Shows the dialog modally over owner; returns once it is hidden (or the program quits).
  void showModal(HWND owner);

  // form::SelectionView
  void hideDialog() override;
  std::vector<std::string> items(form::Control c) override;
  void setItems(form::Control c, const std::vector<std::string>& entries) override;
  void addItems(form::Control c, const std::vector<std::string>& entries) override;
  std::vector<bool> selection(form::Control c) override;
  void setFocus(form::Control c) override { SetFocus(list(c)); }
  // The dialog has no text boxes, check boxes or combo boxes.
  std::string text(form::Control) override { return {}; }
  void setText(form::Control, const std::string&) override {}
  void setToolTip(form::Control, const std::string&) override {}
  int checkValue(form::Control) override { return 0; }
  int currentIndex(form::Control) override { return -1; }
  void setCurrentIndex(form::Control, int) override {}

 private:
  static LRESULT CALLBACK windowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
  void onCommand(int id, int code);
  HWND list(form::Control c) const { return c == form::Control::lstSyutoku ? lstSyutoku_ : lstExport_; }

  MessageLoop& loop_;
  form::SelectionForm form_;
  HWND hwnd_ = nullptr;
  HWND lstExport_ = nullptr;
  HWND lstSyutoku_ = nullptr;
  bool hidden_ = true;
};

}  // namespace vellicor::winui
