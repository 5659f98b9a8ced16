// The window on a real display (xcb under Xvfb) while a run works: timers and repaints are
// processed, the run's question is a modal box answered on the window's thread, input aimed at
// the window is dropped, and the window system's close meanwhile closes it once the run has ended.
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
  // A box is answered from the keyboard once it is up: No to the question, OK otherwise.
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
  bool visibleAfterClose = false;
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
      // The window system's close, as the close box sends it: it waits for the run's end.
      QCloseEvent close;
      QApplication::sendEvent(w.windowHandle(), &close);
      visibleAfterClose = w.isVisible();
    });
  };
  w.Command1->click();
  ticker.stop();
  answer.stop();
  QVERIFY(ticked);
  QVERIFY(repainted);
  QCOMPARE(reply, engine::Answer::No);
  QCOMPARE(typed, QStringLiteral("scott"));
  QVERIFY(visibleAfterClose);
  QVERIFY(!w.isVisible());
  QCOMPARE(w.lblTable->text(), QStringLiteral("処理完了"));
  // Closed after the run, without the notice.
  QCOMPARE(seen, QStringList{"MDBファイル作成|ファイルは上書きされます。よろしいですか？"});
}

QTEST_MAIN(ResponsiveRunTest)
#include "responsive_run_test.moc"
