// The object selection dialog: pre-selection, the four moves and double-click, acceptance,
// cancelling (also by the close box) and the keys that must not end it.
#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelection>
#include <algorithm>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QMouseEvent>
#include <QTest>

#include "ui/frm_syutoku.h"
#include "ui/twips.h"

using vellicor::ui::frmSyutoku;
using vellicor::ui::twipsRect;

namespace {

QStringList items(const QListWidget* l) {
  QStringList s;
  for (int i = 0; i < l->count(); ++i) s << l->item(i)->text();
  return s;
}

void select(QListWidget* l, const QStringList& names) {
  for (int i = 0; i < l->count(); ++i) l->item(i)->setSelected(names.contains(l->item(i)->text()));
}

// A double-click with Ctrl held, as the window system delivers it: press, release, double-click,
// release. Ctrl keeps the other selected entries selected.
void ctrlDoubleClick(QListWidget* list, QPoint at) {
  QWidget* v = list->viewport();
  const QPoint global = v->mapToGlobal(at);
  const auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, global, Qt::LeftButton, buttons, Qt::ControlModifier);
    QApplication::sendEvent(v, &e);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, Qt::NoButton);
}

void fill(frmSyutoku& d, const QStringList& names) {
  d.reset();
  for (const QString& n : names) d.addExport(n);
}

}  // namespace

class FrmSyutokuTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndCaptions();
  void preselectionReducesListedNamesOnly();
  void movesKeepBothListsSorted();
  void doubleClickMovesEverySelectedEntry();
  void acceptAndCancel();
  void closeBoxCountsAsCancelAndEscapeDoesNothing();
  void resetEmptiesTheListsButKeepsTheResult();
  void largestListingMovesQuickly();
};

void FrmSyutokuTest::layoutAndCaptions() {
  frmSyutoku d;
  QCOMPARE(d.windowTitle(), QStringLiteral("オブジェクト選択"));
  QCOMPARE(d.size(), twipsRect(&d, 0, 0, 11055, 4965).size());
  QCOMPARE(d.lstExport->geometry(), twipsRect(&d, 120, 480, 5055, 3840));
  QCOMPARE(d.cmdToSyutokuAll->geometry(), twipsRect(&d, 5280, 1320, 495, 255));
  // The four move buttons from top to bottom.
  QVERIFY(d.cmdToSyutokuAll->y() < d.cmdToSyutoku->y());
  QVERIFY(d.cmdToSyutoku->y() < d.cmdToExport->y());
  QVERIFY(d.cmdToExport->y() < d.cmdToExportAll->y());
  QCOMPARE(d.lstExport->selectionMode(), QAbstractItemView::ExtendedSelection);
  QVERIFY(!d.cmdAccpet->isDefault() && !d.cmdAccpet->autoDefault());
}

void FrmSyutokuTest::preselectionReducesListedNamesOnly() {
  frmSyutoku d;
  fill(d, {"EMP", "DEPT", "BONUS"});
  d.setSyutoku("EMP,OWNER1.DEPT,NOSUCH");
  QCOMPARE(items(d.lstSyutoku), (QStringList{"DEPT", "EMP"}));
  QCOMPARE(items(d.lstExport), QStringList{"BONUS"});
  d.cmdAccpet->click();
  QCOMPARE(d.syutokutables, std::string("DEPT,EMP"));

  fill(d, {"EMP", "DEPT"});
  d.setSyutoku("");
  QVERIFY(items(d.lstSyutoku).isEmpty());
  d.setSyutoku("emp");
  QVERIFY(items(d.lstSyutoku).isEmpty());
  // A listed name with an owner is matched by its reduced form; a text name twice moves it once.
  fill(d, {"HR.EMP", "X.", "DEPT"});
  d.setSyutoku("EMP,EMP, DEPT");
  QCOMPARE(items(d.lstSyutoku), QStringList{"HR.EMP"});
  // An empty name in the text matches a listed name whose reduced form is empty.
  d.setSyutoku("A,,B");
  QCOMPARE(items(d.lstSyutoku), (QStringList{"HR.EMP", "X."}));
}

void FrmSyutokuTest::movesKeepBothListsSorted() {
  frmSyutoku d;
  fill(d, {"C", "A", "B", "D"});
  QCOMPARE(items(d.lstExport), (QStringList{"A", "B", "C", "D"}));
  d.cmdToSyutoku->click();  // nothing selected: no change
  QCOMPARE(items(d.lstExport).size(), 4);
  select(d.lstExport, {"D", "B"});
  d.cmdToSyutoku->click();
  QCOMPARE(items(d.lstExport), (QStringList{"A", "C"}));
  QCOMPARE(items(d.lstSyutoku), (QStringList{"B", "D"}));
  QVERIFY(d.lstSyutoku->selectedItems().isEmpty());
  d.cmdToSyutokuAll->click();
  QCOMPARE(items(d.lstSyutoku), (QStringList{"A", "B", "C", "D"}));
  QVERIFY(items(d.lstExport).isEmpty());
  select(d.lstSyutoku, {"C"});
  d.cmdToExport->click();
  QCOMPARE(items(d.lstExport), QStringList{"C"});
  d.cmdToExportAll->click();
  QCOMPARE(items(d.lstExport), (QStringList{"A", "B", "C", "D"}));
  QVERIFY(items(d.lstSyutoku).isEmpty());
}

void FrmSyutokuTest::doubleClickMovesEverySelectedEntry() {
  frmSyutoku d;
  fill(d, {"A", "B", "C"});
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  // A selected, then a Ctrl double-click on C: its first click adds C, and both move.
  select(d.lstExport, {"A"});
  const QRect r = d.lstExport->visualItemRect(d.lstExport->item(2));
  ctrlDoubleClick(d.lstExport, r.center());
  QCOMPARE(items(d.lstSyutoku), (QStringList{"A", "C"}));
  QCOMPARE(items(d.lstExport), QStringList{"B"});
  select(d.lstSyutoku, {});
  ctrlDoubleClick(d.lstSyutoku, d.lstSyutoku->visualItemRect(d.lstSyutoku->item(0)).center());
  QCOMPARE(items(d.lstExport), (QStringList{"A", "B"}));
}

void FrmSyutokuTest::acceptAndCancel() {
  frmSyutoku d;
  fill(d, {"A", "B"});
  d.cmdAccpet->click();
  QVERIFY(d.done);
  QCOMPARE(d.syutokutables, std::string());
  d.cmdToSyutokuAll->click();
  d.cmdAccpet->click();
  std::string text;
  d.getSyutoku(text);
  QCOMPARE(text, std::string("A,B"));
  d.cmdToExportAll->click();
  d.cmdCancel->click();
  QVERIFY(!d.done);
  QCOMPARE(d.syutokutables, std::string("A,B"));
}

void FrmSyutokuTest::closeBoxCountsAsCancelAndEscapeDoesNothing() {
  frmSyutoku d;
  fill(d, {"A"});
  d.cmdToSyutokuAll->click();
  d.cmdAccpet->click();
  QVERIFY(d.done);
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QTest::keyClick(&d, Qt::Key_Escape);
  QVERIFY(d.isVisible());
  QVERIFY(d.done);
  d.close();
  QVERIFY(!d.isVisible());
  QVERIFY(!d.done);
  QCOMPARE(d.syutokutables, std::string("A"));
}

void FrmSyutokuTest::resetEmptiesTheListsButKeepsTheResult() {
  frmSyutoku d;
  fill(d, {"A", "B"});
  select(d.lstExport, {"A"});
  d.cmdToSyutoku->click();
  d.cmdAccpet->click();
  d.reset();
  QVERIFY(items(d.lstExport).isEmpty() && items(d.lstSyutoku).isEmpty());
  QVERIFY(d.done);
  QCOMPARE(d.syutokutables, std::string("A"));
}

void FrmSyutokuTest::largestListingMovesQuickly() {
  // 32767 names, every other one selected: a move that took entries out one at a time, or asked
  // each entry for its selection, would take minutes here.
  frmSyutoku d;
  const int n = 32767;
  QStringList names;
  std::string text;
  for (int i = 0; i < n; ++i) {
    names << QStringLiteral("T%1").arg(i, 5, 10, QLatin1Char('0'));
    if (i % 3 == 0) text += (text.empty() ? "" : ",") + ("OWNER." + names.back()).toStdString();
  }
  QElapsedTimer t;
  t.start();
  for (const QString& name : names) d.addExport(name);
  d.setSyutoku(text);
  QCOMPARE(d.lstSyutoku->count(), (n + 2) / 3);
  QItemSelection every;
  for (int p = 0; p < d.lstExport->count(); p += 2) {
    const QModelIndex i = d.lstExport->model()->index(p, 0);
    every.append(QItemSelectionRange(i, i));
  }
  d.lstExport->selectionModel()->select(every, QItemSelectionModel::ClearAndSelect);
  d.cmdToSyutoku->click();
  QCOMPARE(d.lstSyutoku->count() + d.lstExport->count(), n);
  QCOMPARE(d.lstExport->count(), (n - (n + 2) / 3) / 2);
  d.cmdAccpet->click();
  QCOMPARE(std::count(d.syutokutables.begin(), d.syutokutables.end(), ','), d.lstSyutoku->count() - 1);
  QVERIFY2(t.elapsed() < 10000, qPrintable(QString::number(t.elapsed())));
}

QTEST_MAIN(FrmSyutokuTest)
#include "frm_syutoku_test.moc"
