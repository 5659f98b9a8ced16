// The selection dialog's logic: the pre-selection by reduced names, the moves (the lists keep
// their own order), acceptance as a selection text, cancelling, and a reset that keeps the result.
#include <gtest/gtest.h>

#include "fake_views.h"
#include "form/selection_form.h"

using namespace vellicor::form;
using namespace vellicor::form::test;
using Names = std::vector<std::string>;

TEST(SelectionForm, PreselectsMovesAndAcceptsOrCancels) {
  FakeSelectionView v;
  SelectionForm d(v);
  d.addExport({"EMP", "DEPT", "BONUS", "HR.SAL", "C"});
  d.setSyutoku("EMP,OWNER1.DEPT,NOSUCH,emp,SAL,SAL");
  EXPECT_EQ(v.lists[Control::lstSyutoku], (Names{"DEPT", "EMP", "HR.SAL"}));
  EXPECT_EQ(v.lists[Control::lstExport], (Names{"BONUS", "C"}));
  d.moveSelected(Control::lstExport);  // nothing selected: no change
  EXPECT_EQ(v.lists[Control::lstExport].size(), 2u);
  v.select(Control::lstSyutoku, {"EMP", "DEPT"});
  d.moveSelected(Control::lstSyutoku);
  EXPECT_EQ(v.lists[Control::lstExport], (Names{"BONUS", "C", "DEPT", "EMP"}));
  d.moveAll(Control::lstExport);
  EXPECT_TRUE(v.lists[Control::lstExport].empty());
  v.select(Control::lstSyutoku, {"C"});
  d.moveSelected(Control::lstSyutoku);
  d.accept();
  EXPECT_TRUE(d.done);
  EXPECT_EQ(d.syutokutables, "BONUS,DEPT,EMP,HR.SAL");
  EXPECT_EQ(v.hides, 1);
  // Cancelling after moves keeps the last accepted text; a reset empties the lists, not the result.
  d.moveAll(Control::lstSyutoku);
  d.cancel();
  EXPECT_FALSE(d.done);
  d.reset();
  EXPECT_TRUE(v.lists[Control::lstExport].empty() && v.lists[Control::lstSyutoku].empty());
  std::string text;
  d.getSyutoku(text);
  EXPECT_EQ(text, "BONUS,DEPT,EMP,HR.SAL");
  // The empty text names one empty name, which only a listed name reducing to "" matches;
  // accepting an empty right list gives the empty text (every object).
  d.addExport({"EMP", "X."});
  d.setSyutoku("");
  EXPECT_EQ(v.lists[Control::lstSyutoku], Names{"X."});
  d.moveAll(Control::lstSyutoku);
  d.accept();
  EXPECT_EQ(d.syutokutables, "");
}
