// The object selection dialog's logic (frmSyutoku): the listed objects divided into the
// selectable ones (lstExport) and the ones to acquire (lstSyutoku), pre-selected from a selection
// text and accepted as a new one. The lists sort themselves; the logic only moves entries.
#pragma once

#include <string>
#include <vector>

#include "form/view.h"

namespace vellicor::form {

class SelectionForm {
 public:
  explicit SelectionForm(SelectionView& view) : view_(view) {}

  // Hides the dialog and empties both lists; syutokutables and done keep their values.
  void reset();
  // Hides the dialog, its lists as they are (the main window closes).
  void hide() { view_.hideDialog(); }
  // Adds listed names to the selectable objects.
  void addExport(const std::vector<std::string>& names);
  // Moves to lstSyutoku every selectable name whose reduced form the selection text names.
  void setSyutoku(const std::string& syutokutables);
  // The selection text of the last acceptance.
  void getSyutoku(std::string& syutokutables) const { syutokutables = this->syutokutables; }

  // The user's actions. moveSelected: ">" (source lstExport), "<" (lstSyutoku), and a
  // double-click in source; moveAll: ">>" and "<<". accept: "決 定"; cancel: "キャンセル" and
  // the window's close box.
  void moveSelected(Control source);
  void moveAll(Control source);
  void accept();
  void cancel();

  // The selection text made at the last acceptance, and whether the last use was accepted.
  std::string syutokutables;
  bool done = false;

 private:
  SelectionView& view_;
};

}  // namespace vellicor::form
