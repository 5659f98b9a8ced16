// The window on a real display (xcb under Xvfb) while a run works: timers and repaints are
// processed, the run's question is a modal box answered on the window's thread, input aimed at
// the window is dropped, and the window closed meanwhile closes once the run has ended.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "window_harness.h"

using namespace vellicor;
using namespace vellicor::ui;
using namespace vellicor::ui::test;

namespace {

// The generous wait of a run for something the window is to do: far longer than it ever takes,
// so that a window that does not do it fails the test instead of hanging it.
constexpr int kWaitMs = 60000;

// Releases a semaphore at every paint of a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted.release();
    return false;
  }
  QSemaphore painted;
};

template <typename F>
void onWindow(QObject* window, F f) {
  QMetaObject::invokeMethod(window, f, Qt::BlockingQueuedConnection);
}

}  // namespace

class ResponsiveRunTest : public QObject {
  Q_OBJECT

 private slots:
  void windowKeepsWorkingWhileTheRunWaitsOnItsSource();
  void closingDuringARunClosesOnceItEnds();
};

void ResponsiveRunTest::windowKeepsWorkingWhileTheRunWaitsOnItsSource() {
  WindowHarness h;
  WindowSetup s = h.setup();
  s.dialogs = std::make_shared<QtDialogs>();
  frmMain w(s);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.cmbDBQ->setEditText("ORCL");
  w.txtUID->setText("scott");
  w.lblsaveFilename->setText("/out/a.mdb");

  QSemaphore ticks;
  QTimer ticker;
  connect(&ticker, &QTimer::timeout, [&] { ticks.release(); });
  ticker.start(10);
  PaintCounter paints(w.lblSyutokuCount);
  // The boxes are answered from the keyboard once they are up: No to the question, OK otherwise.
  QPointer<QMessageBox> answered;
  QStringList seen;
  QTimer answer;
  connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == answered || !box->isVisible()) return;
    answered = box;
    seen << box->windowTitle() + "|" + box->text();
    QTest::keyClick(box, box->text().contains(QStringLiteral("よろしいですか")) ? Qt::Key_N : Qt::Key_Return);
  });
  answer.start(20);

  bool ticked = false, repainted = false;
  engine::Answer reply = engine::Answer::Yes;
  QString typed;
  h.duringRun = [&](engine::RunHost& host) {
    // A source that takes its time: the run waits while the window's timer keeps firing and a
    // repaint asked for now is made.
    ticks.acquire(ticks.available());
    ticked = ticks.tryAcquire(5, kWaitMs);
    paints.painted.acquire(paints.painted.available());
    QMetaObject::invokeMethod(w.lblSyutokuCount, [&] { w.lblSyutokuCount->update(); }, Qt::QueuedConnection);
    repainted = paints.painted.tryAcquire(1, kWaitMs);
    // The question is a modal box on the window's thread; a click on the window meanwhile is dropped.
    reply = host.askYesNo("ファイルは上書きされます。よろしいですか？", "MDBファイル作成");
    onWindow(&w, [&] {
      QTest::keyClicks(w.txtUID, "x");
      typed = w.txtUID->text();
    });
  };
  w.Command1->click();
  ticker.stop();
  answer.stop();
  QVERIFY(ticked);
  QVERIFY(repainted);
  QCOMPARE(reply, engine::Answer::No);
  QCOMPARE(typed, QStringLiteral("scott"));
  QCOMPARE(w.lblTable->text(), QStringLiteral("処理完了"));
  QCOMPARE(seen, (QStringList{"MDBファイル作成|ファイルは上書きされます。よろしいですか？", "完了通知|正常終了しました。"}));
}

void ResponsiveRunTest::closingDuringARunClosesOnceItEnds() {
  WindowHarness h;
  auto w = h.open();
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  w->lblsaveFilename->setText("/out/a.mdb");
  bool visibleAfterClose = false;
  h.duringRun = [&](engine::RunHost& host) {
    host.setMessage("テーブル取得中...1/1 EMP");
    // The window system's close, as the close box sends it.
    onWindow(w.get(), [&] {
      QCloseEvent close;
      QApplication::sendEvent(w->windowHandle(), &close);
      visibleAfterClose = w->isVisible();
    });
    for (int row = 1; row <= 1000; ++row) host.setProgress("レコード = " + std::to_string(row) + "/1000");
  };
  w->Command1->click();
  QVERIFY(visibleAfterClose);
  QCOMPARE(h.runs.size(), size_t(1));
  QVERIFY(!w->isVisible());
  QVERIFY(h.dialogs->messages.empty());  // no notice after a close
}

QTEST_MAIN(ResponsiveRunTest)
#include "responsive_run_test.moc"
