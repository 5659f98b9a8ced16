// The dialog's moves, pre-selection and ways out. A source list is refilled with the entries it
// keeps (already in order) rather than losing entries one at a time, which is quadratic on lists
// of thousands of names.
#include "form/selection_form.h"

#include <string_view>
#include <unordered_set>

#include "lists/syutoku_tables.h"

namespace vellicor::form {

namespace {

Control otherList(Control list) { return list == Control::lstExport ? Control::lstSyutoku : Control::lstExport; }

}  // namespace

void SelectionForm::reset() {
  view_.hideDialog();
  view_.setItems(Control::lstExport, {});
  view_.setItems(Control::lstSyutoku, {});
}

void SelectionForm::addExport(const std::vector<std::string>& names) { view_.addItems(Control::lstExport, names); }

void SelectionForm::moveSelected(Control source) {
  const std::vector<std::string> entries = view_.items(source);
  const std::vector<bool> selected = view_.selection(source);
  std::vector<std::string> moved, kept;
  for (size_t p = 0; p < entries.size(); ++p) (p < selected.size() && selected[p] ? moved : kept).push_back(entries[p]);
  if (moved.empty()) return;
  view_.addItems(otherList(source), moved);
  view_.setItems(source, kept);
}

void SelectionForm::moveAll(Control source) {
  const std::vector<std::string> entries = view_.items(source);
  if (entries.empty()) return;
  view_.addItems(otherList(source), entries);
  view_.setItems(source, {});
}

void SelectionForm::setSyutoku(const std::string& text) {
  // The names of the text, reduced as the table list's Find reduces them: every comma ends a name.
  std::unordered_set<std::string> wanted;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ',') {
      wanted.insert(lists::reduceName(std::string_view(text).substr(start, i - start)));
      start = i + 1;
    }
  }
  std::vector<std::string> chosen, kept;
  for (std::string& name : view_.items(Control::lstExport)) {
    (wanted.count(lists::reduceName(name)) ? chosen : kept).push_back(std::move(name));
  }
  if (chosen.empty()) return;
  view_.addItems(Control::lstSyutoku, chosen);
  view_.setItems(Control::lstExport, kept);
}

void SelectionForm::accept() {
  // The names of the right list in its order, joined as the table list serializes them (a comma
  // only once the text is non-empty). Joined here directly: the listing may supply one name more
  // than a table list holds.
  std::string text;
  for (const std::string& name : view_.items(Control::lstSyutoku)) {
    if (!text.empty()) text += ',';
    text += name;
  }
  syutokutables = std::move(text);
  done = true;
  view_.hideDialog();
}

void SelectionForm::cancel() {
  done = false;
  view_.hideDialog();
}

}  // namespace vellicor::form
