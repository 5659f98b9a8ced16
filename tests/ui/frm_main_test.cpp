// The main window: start-up variants, the controls and their places, the pattern and server
// boxes, the run command's checks and endings, the save dialog loop and the object listing.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>

#include "ui/fitted_label.h"
#include "ui/frm_syutoku.h"
#include "ui/twips.h"
#include "window_harness.h"

using namespace vellicor;
using namespace vellicor::ui;
using namespace vellicor::ui::test;

namespace {

QStringList boxItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

void choosePattern(frmMain& w, int index) {
  w.cmbTablesPattern->setCurrentIndex(index);
  emit w.cmbTablesPattern->activated(index);
}

// From the run's thread: runs f on the window's thread and waits for it.
template <typename F>
void onWindow(QObject* window, F f) {
  QMetaObject::invokeMethod(window, f, Qt::BlockingQueuedConnection);
}

const std::string kFivePatterns = "# seltable.dat\r\n#営業\r\nemp\r\ndept,bonus\r\n#全部\r\n";

}  // namespace

class FrmMainTest : public QObject {
  Q_OBJECT

 private slots:
  void startupWithoutPatternFile();
  void controlsAtTheirPlacesInTabOrder();
  void startupRefreshesFromMasterNamingItself();
  void startupUsesMasterDirectlyWhenItNamesAnotherFile();
  void startupUsesMasterWhenTheCopyFails();
  void startupReportsUnreachableMaster();
  void startupReportsUnreadablePatternFile();
  void patternChoiceSetsTextAndCount();
  void serverListFillsItemsButNotTheField();
  void runChecksInOrderWithFocus();
  void runPassesInputsAndReportsEachEnding();
  void objectTypeClauseReadsTheBoxesEachTime();
  void statusLinesShowEachStepAndTheLastProgress();
  void inputDuringARunIsDropped();
  void closeDuringAListingHappensAfterIt();
  void realBoxesDuringARunTakeTheirAnswers();
  void failureEscapingTheRunIsReported();
  void saveDialogLoop();
  void longTextsKeepTheirEndAndShowTheWholeAsTooltip();
  void listingChecksAndFailure();
  void listingPreselectsAndAcceptsOrCancels();
};

void FrmMainTest::startupWithoutPatternFile() {
  WindowHarness h;
  auto w = h.open();
  QCOMPARE(w->windowTitle(), QStringLiteral("Vellicor変換"));
  QCOMPARE(w->lblSyutoku->toolTip(),
           QString::fromStdString("採取パターン定義ファイルは" + h.programDir() + "/seltable.dat" + "を参照します。"));
  QCOMPARE(boxItems(w->cmbTablesPattern), QStringList{QStringLiteral("全テーブル")});
  QCOMPARE(w->cmbTablesPattern->currentIndex(), 0);
  QCOMPARE(w->txtSyutokuTables->text(), QString());
  QCOMPARE(w->lblSyutokuCount->text(), QStringLiteral("全て"));
  QCOMPARE(w->cmbDBQ->currentText(), QString());
  QCOMPARE(w->txtUID->text(), QString());
  QCOMPARE(w->txtPass->text(), QString());
  QCOMPARE(w->lblsaveFilename->text(), QString());
  QCOMPARE(w->lblTable->text(), QString());
  QCOMPARE(w->lblProgress->text(), QString());
  QCOMPARE(frmMain::checkValue(w->chkTable), 1);
  QCOMPARE(frmMain::checkValue(w->chkView), 0);
  QCOMPARE(frmMain::checkValue(w->chkSynonym), 0);
  QCOMPARE(frmMain::checkValue(w->chkSeq), 0);
  QCOMPARE(w->txtPass->echoMode(), QLineEdit::Password);
  QVERIFY(h.dialogs->messages.empty());
}

void FrmMainTest::controlsAtTheirPlacesInTabOrder() {
  WindowHarness h;
  auto w = h.open();
  const QRect client = twipsRect(w.get(), 0, 0, 6630, 5520);
  QCOMPARE(w->size(), client.size());
  QCOMPARE(w->picMain->geometry(), twipsRect(w.get(), 120, 120, 6375, 4995));
  QCOMPARE(w->lblProgress->parentWidget(), static_cast<QWidget*>(w.get()));
  QCOMPARE(w->lblProgress->pos(), twipsRect(w.get(), 360, 5160, 5655, 255).topLeft());
  const int b = w->picMain->frameWidth();
  QCOMPARE(w->Command1->geometry(), twipsRect(w.get(), 4680, 4500, 1575, 375).translated(b, b));
  QCOMPARE(w->cmbDBQ->geometry(), twipsRect(w.get(), 1800, 240, 2175, 300).translated(b, b));
  QCOMPARE(w->chkSynonym->geometry(), twipsRect(w.get(), 4560, 1440, 1095, 255).translated(b, b));
  QCOMPARE(w->Label1[3]->pos(), twipsRect(w.get(), 600, 960, 1125, 255).translated(b, b).topLeft());
  // Every label shows its whole line of text.
  for (QLabel* l : w->findChildren<QLabel*>()) QVERIFY2(l->height() >= l->fontMetrics().height(), qPrintable(l->objectName()));

  const QList<QWidget*> expected = {w->cmbDBQ, w->txtUID, w->txtPass, w->chkTable, w->chkView, w->chkSynonym,
                                    w->chkSeq, w->cmbTablesPattern, w->cmdSyutoku, w->cmdSaveFilename,
                                    w->Command1, w->txtSyutokuTables};
  w->cmbDBQ->setFocus();
  QVERIFY(w->cmbDBQ->hasFocus());
  for (int i = 1; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY2(expected[i]->hasFocus(), qPrintable(expected[i]->objectName()));
  }
}

void FrmMainTest::startupRefreshesFromMasterNamingItself() {
  WindowHarness h;
  const std::string master = h.path("share/seltable.dat");
  h.write("prog/seltable.dat", "@" + master + "\r\n# seltable.dat\r\n#古い\r\nold\r\n");
  h.write("share/seltable.dat", "@" + master + "\r\n" + kFivePatterns);
  auto w = h.open();
  const std::string local = h.programDir() + "/seltable.dat";
  QCOMPARE(w->lblSyutoku->toolTip(),
           QString::fromStdString("採取パターン定義ファイルは" + local + "です。" + master + "から更新されてます。"));
  QCOMPARE(w->patternFile(), local);
  QCOMPARE(boxItems(w->cmbTablesPattern), (QStringList{"全テーブル", "営業", "全部"}));
  // The patterns come from the refreshed local copy: it holds the master's text now.
  h.write("share/seltable.dat", "@" + master + "\r\n# seltable.dat\r\n#別\r\n");
  QCOMPARE(lists::loadPatterns(local).names[1], std::string("営業"));
}

void FrmMainTest::startupUsesMasterDirectlyWhenItNamesAnotherFile() {
  for (const std::string& third : {std::string("third/seltable.dat"), std::string("SHARE/seltable.dat")}) {
    WindowHarness h;
    const std::string master = h.path("share/seltable.dat");
    h.write("prog/seltable.dat", "@" + master + "\n# seltable.dat\n#古い\n");
    h.write("share/seltable.dat", "@" + h.path(third) + "\n" + kFivePatterns);
    h.write(third, "# seltable.dat\n#第三\n");
    auto w = h.open();
    QCOMPARE(w->lblSyutoku->toolTip(), QString::fromStdString("採取パターン定義ファイルは" + master + "を参照します。"));
    QCOMPARE(boxItems(w->cmbTablesPattern), (QStringList{"全テーブル", "営業", "全部"}));
    QCOMPARE(lists::loadPatterns(h.programDir() + "/seltable.dat").names[1], std::string("古い"));
  }
}

void FrmMainTest::startupUsesMasterWhenTheCopyFails() {
  // A read-only local file, then a read-only program folder: the copy fails silently.
  for (bool folder : {false, true}) {
    WindowHarness h;
    const std::string master = h.path("share/seltable.dat");
    const std::string local = h.programDir() + "/seltable.dat";
    h.write("prog/seltable.dat", "@" + master + "\n# seltable.dat\n#古い\n");
    h.write("share/seltable.dat", "@" + master + "\n" + kFivePatterns);
    const QString locked = QString::fromStdString(folder ? h.programDir() : local);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    auto w = h.open();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(w->patternFile(), master);
    QCOMPARE(w->lblSyutoku->toolTip(), QString::fromStdString("採取パターン定義ファイルは" + master + "を参照します。"));
    QCOMPARE(boxItems(w->cmbTablesPattern), (QStringList{"全テーブル", "営業", "全部"}));
    QCOMPARE(lists::loadPatterns(local).names[1], std::string("古い"));
    QVERIFY(h.dialogs->messages.empty());
  }
}

void FrmMainTest::startupReportsUnreachableMaster() {
  WindowHarness h;
  const std::string master = h.path("share/seltable.dat");
  QDir().mkpath(QString::fromStdString(h.path("share")));
  QVERIFY(QFile::link(QString::fromStdString(master), QString::fromStdString(master)));
  h.write("prog/seltable.dat", "@" + master + "\n# seltable.dat\n#古い\n");
  auto w = h.open();
  QCOMPARE(h.dialogs->messages.size(), size_t(1));
  QCOMPARE(h.dialogs->messages[0].text, QStringLiteral("取得パターンの定義ファイルの読込を中止しました。"));
  QCOMPARE(h.dialogs->messages[0].caption, QString());
  QCOMPARE(boxItems(w->cmbTablesPattern), QStringList{"全テーブル"});
}

void FrmMainTest::startupReportsUnreadablePatternFile() {
  if (!QFileInfo(QStringLiteral("/proc/self/mem")).isFile()) QSKIP("no /proc");
  WindowHarness h;
  QDir().mkpath(QString::fromStdString(h.programDir()));
  QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), QString::fromStdString(h.programDir() + "/seltable.dat")));
  auto w = h.open();
  QCOMPARE(h.dialogs->messages.size(), size_t(1));
  QCOMPARE(h.dialogs->messages[0].text, QStringLiteral("取得パターンの定義ファイルの読込に失敗しました。"));
  QCOMPARE(boxItems(w->cmbTablesPattern), QStringList{"全テーブル"});
  QCOMPARE(w->lblSyutokuCount->text(), QStringLiteral("全て"));
}

void FrmMainTest::patternChoiceSetsTextAndCount() {
  WindowHarness h;
  h.write("prog/seltable.dat", kFivePatterns);
  auto w = h.open();
  choosePattern(*w, 1);
  QCOMPARE(w->txtSyutokuTables->text(), QStringLiteral("EMP,DEPT,BONUS"));
  QCOMPARE(w->currentSelection(), std::string("EMP,DEPT,BONUS"));
  QCOMPARE(w->lblSyutokuCount->text(), QStringLiteral("3 テーブル指定"));
  // Typing changes the count but not the current selection; choosing again replaces the typing.
  QTest::keyClick(w->txtSyutokuTables, Qt::Key_End);
  QTest::keyClick(w->txtSyutokuTables, Qt::Key_Comma);
  QCOMPARE(w->lblSyutokuCount->text(), QStringLiteral("4 テーブル指定"));
  QCOMPARE(w->currentSelection(), std::string("EMP,DEPT,BONUS"));
  choosePattern(*w, 1);
  QCOMPARE(w->txtSyutokuTables->text(), QStringLiteral("EMP,DEPT,BONUS"));
  choosePattern(*w, 2);
  QCOMPARE(w->txtSyutokuTables->text(), QString());
  QCOMPARE(w->lblSyutokuCount->text(), QStringLiteral("全て"));
  // A fresh start begins with "全テーブル" again.
  w.reset();
  w = h.open();
  QCOMPARE(w->cmbTablesPattern->currentIndex(), 0);
  QCOMPARE(w->txtSyutokuTables->text(), QString());
}

void FrmMainTest::serverListFillsItemsButNotTheField() {
  WindowHarness h;
  h.write("net80/admin/TNSNAMES.ORA",
          "ORCL.WORLD =\r\n (DESCRIPTION =\r\n  (ADDRESS = (PROTOCOL = TCP)(Host = h))\r\n )\r\n"
          "dev.world =\r\n (D =\r\n (ADDRESS = (PROTOCOL = TCP)))\r\n");
  h.oracle.net80 = h.path("net80");
  auto w = h.open();
  QCOMPARE(boxItems(w->cmbDBQ), (QStringList{"ORCL", "dev"}));
  QCOMPARE(w->cmbDBQ->currentText(), QString());
  // A name that is not in the list can be typed.
  QTest::keyClicks(w->cmbDBQ, "other");
  QCOMPARE(w->cmbDBQ->currentText(), QStringLiteral("other"));
}

void FrmMainTest::runChecksInOrderWithFocus() {
  WindowHarness h;
  auto w = h.open();
  const auto lastMessage = [&] { return h.dialogs->messages.back(); };

  w->txtPass->setFocus();
  QTest::mouseClick(w->Command1, Qt::LeftButton);
  QCOMPARE(h.dialogs->messages.size(), size_t(1));
  QCOMPARE(lastMessage().text, QStringLiteral("サーバを指定してください。"));
  QCOMPARE(lastMessage().caption, QStringLiteral("DB接続エラー"));
  QVERIFY(w->cmbDBQ->hasFocus());

  w->cmbDBQ->setEditText(QStringLiteral("ORCL"));
  w->Command1->click();
  QCOMPARE(lastMessage().text, QStringLiteral("ユーザを指定してください。"));
  QVERIFY(w->txtUID->hasFocus());

  w->txtUID->setText(QStringLiteral("scott"));
  w->txtPass->setFocus();
  w->Command1->click();
  QCOMPARE(lastMessage().text, QStringLiteral("出力先を指定してください。"));
  QCOMPARE(lastMessage().caption, QStringLiteral("MDBファイル作成エラー"));
  QVERIFY(w->txtPass->hasFocus());

  w->lblsaveFilename->setText(QString::fromStdString(h.path("a.mdb")));
  w->chkTable->setChecked(false);
  w->chkSeq->setChecked(true);
  frmMain::setCheckValue(w->chkView, 2);
  w->Command1->click();
  QCOMPARE(lastMessage().text, QStringLiteral("対象オブジェクトを１つ以上選択してください。"));
  QCOMPARE(lastMessage().caption, QString());
  QCOMPARE(boxCaption(lastMessage().caption), QStringLiteral("Vellicor"));
  QVERIFY(h.runs.empty());
  QCOMPARE(h.dialogs->messages.size(), size_t(4));
}

void FrmMainTest::runPassesInputsAndReportsEachEnding() {
  WindowHarness h;
  auto w = h.open();
  w->cmbDBQ->setEditText(QStringLiteral(" orcl "));
  w->txtUID->setText(QStringLiteral("scott"));
  w->lblsaveFilename->setText(QStringLiteral("/out/a.mdb"));
  w->txtSyutokuTables->setText(QStringLiteral("EMP,DEPT"));
  w->chkSeq->setChecked(true);
  h.duringRun = [](engine::RunHost& host) { host.setMessage("テーブル取得中...1/2 EMP"); };
  w->txtUID->setFocus();
  w->Command1->click();
  QCOMPARE(h.runs.size(), size_t(1));
  const RunCall& c = h.runs[0];
  QCOMPARE(c.dbq, std::string(" orcl "));
  QCOMPARE(c.user, std::string("scott"));
  QCOMPARE(c.pass, std::string());
  QCOMPARE(c.filename, std::string("/out/a.mdb"));
  QCOMPARE(c.logfile, std::string("/out/a.mdb.log"));
  QVERIFY(c.logflag && c.newMDB);
  QCOMPARE(c.suffix, std::string());
  QCOMPARE(c.selection, std::string("EMP,DEPT"));
  QCOMPARE(c.sequences, 1);
  QCOMPARE(c.where, std::string(" where object_type in ('TABLE')"));
  QCOMPARE(w->lblTable->text(), QStringLiteral("処理完了"));
  static const QRegularExpression times(
      QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d 開始  \\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d 終了$"));
  QVERIFY2(times.match(w->lblProgress->text()).hasMatch(), qPrintable(w->lblProgress->text()));
  QVERIFY(w->cmbDBQ->hasFocus());
  QCOMPARE(h.dialogs->messages.size(), size_t(1));
  QCOMPARE(h.dialogs->messages[0].text, QStringLiteral("正常終了しました。"));
  QCOMPARE(h.dialogs->messages[0].caption, QStringLiteral("完了通知"));

  // A failed run: no notice, the same end texts.
  h.runResult = 1;
  w->lblTable->clear();
  w->Command1->click();
  QCOMPARE(h.runs.size(), size_t(2));
  QCOMPARE(h.dialogs->messages.size(), size_t(1));
  QCOMPARE(w->lblTable->text(), QStringLiteral("処理完了"));
  QVERIFY(times.match(w->lblProgress->text()).hasMatch());
}

void FrmMainTest::objectTypeClauseReadsTheBoxesEachTime() {
  WindowHarness h;
  auto w = h.open();
  QCOMPARE(w->getWhereObjectType(), std::string(" where object_type in ('TABLE')"));
  w->chkView->setChecked(true);
  w->chkSynonym->setChecked(true);
  QCOMPARE(w->getWhereObjectType(), std::string(" where object_type in ('TABLE','VIEW','SYNONYM')"));
  frmMain::setCheckValue(w->chkTable, 2);
  w->chkView->setChecked(false);
  QCOMPARE(w->getWhereObjectType(), std::string(" where object_type in ('SYNONYM')"));
  w->chkSynonym->setChecked(false);
  w->chkSeq->setChecked(true);
  QCOMPARE(w->getWhereObjectType(), std::string(" where rownum<0"));
}

namespace {

// Counts the paints of a label and remembers the text it showed at the last one.
class PaintSpy : public QObject {
 public:
  explicit PaintSpy(QLabel* l) : label(l) { l->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      painted = label->text();
    }
    return false;
  }
  QLabel* label;
  int paints = 0;
  QString painted;
};

}  // namespace

void FrmMainTest::statusLinesShowEachStepAndTheLastProgress() {
  WindowHarness h;
  auto w = h.open();
  QApplication::processEvents();
  PaintSpy message(w->lblTable), progress(w->lblProgress);
  QString messageAtStep, progressShown;
  int burstPaints = -1;
  h.duringRun = [&](engine::RunHost& host) {
    // A burst of progress texts is painted far fewer times than it has texts.
    for (int n = 1; n <= 5000; ++n) host.setProgress("レコード = " + std::to_string(n) + "/5000");
    onWindow(w.get(), [&] { burstPaints = progress.paints; });
    // The next object's text is on the screen when its step begins.
    host.setMessage("テーブル取得中...2/2 DEPT");
    onWindow(w.get(), [&] { messageAtStep = message.painted; });
    // The last text of a burst reaches the screen without a further call.
    host.setProgress("レコード = 7/9");
    for (int i = 0; i < 6000 && progressShown != QStringLiteral("レコード = 7/9"); ++i) {
      QThread::msleep(10);
      onWindow(w.get(), [&] { progressShown = progress.painted; });
    }
  };
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  w->lblsaveFilename->setText("/out/a.mdb");
  w->Command1->click();
  QVERIFY2(burstPaints >= 0 && burstPaints < 5000, qPrintable(QString::number(burstPaints)));
  QCOMPARE(messageAtStep, QStringLiteral("テーブル取得中...2/2 DEPT"));
  QCOMPARE(progressShown, QStringLiteral("レコード = 7/9"));
  // The end texts are on the screen.
  QCOMPARE(message.painted, QStringLiteral("処理完了"));
  QCOMPARE(progress.painted, w->lblProgress->text());
  QVERIFY(progress.painted.endsWith(QStringLiteral(" 終了")));

  // Outside a run a text is painted at once.
  w->setMessage("");
  QCOMPARE(w->lblTable->text(), QString());
  QCOMPARE(message.painted, QString());
}

void FrmMainTest::inputDuringARunIsDropped() {
  WindowHarness h;
  auto w = h.open();
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  w->lblsaveFilename->setText("/out/a.mdb");
  QWidget* button = w->Command1;
  const QPoint at = button->rect().center();
  h.duringRun = [&](engine::RunHost&) {
    if (h.runs.size() > 1) return;
    // A second click on "実 行" and a key for the user field, queued while the run holds the thread.
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, button->mapToGlobal(at),
                                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, button->mapToGlobal(at),
                                                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    QCoreApplication::postEvent(w->txtUID, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x"));
    onWindow(w.get(), [&] { w->close(); });
  };
  w->Command1->click();
  QApplication::processEvents();
  QCOMPARE(h.runs.size(), size_t(1));
  QCOMPARE(w->txtUID->text(), QStringLiteral("scott"));
  // The close asked for during the run happens once it is over, without the notice.
  QVERIFY(!w->isVisible());
  QVERIFY(h.dialogs->messages.empty());

}

void FrmMainTest::closeDuringAListingHappensAfterIt() {
  WindowHarness h;
  auto w = h.open();
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  h.listed = {"EMP"};
  h.listHook = [&w] { onWindow(w.get(), [&w] { w->close(); }); };
  w->cmdSyutoku->click();
  QCOMPARE(h.listCalls, 1);
  QVERIFY(!w->isVisible());
  QCOMPARE(h.dialogs->modalShows, 0);
}

void FrmMainTest::realBoxesDuringARunTakeTheirAnswers() {
  WindowHarness h;
  WindowSetup s = h.setup();
  s.dialogs = std::make_shared<QtDialogs>();
  frmMain w(s);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.cmbDBQ->setEditText("ORCL");
  w.txtUID->setText("scott");
  w.lblsaveFilename->setText("/out/a.mdb");
  // Each box is answered from the keyboard once it is up: No to the question, OK to the rest.
  QStringList seen;
  QTimer answer;
  QPointer<QMessageBox> answered;
  int waited = 0;
  bool forced = false;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box && box == answered && ++waited > 100) {  // the key did not reach the box: fail, not hang
      forced = true;
      box->done(QMessageBox::Cancel);
    }
    if (!box || box == answered) return;
    waited = 0;
    answered = box;
    seen << box->windowTitle() + "|" + box->text();
    QTest::keyClick(box, box->text().contains(QStringLiteral("よろしいですか")) ? Qt::Key_N : Qt::Key_Return);
  });
  answer.start(20);
  engine::Answer reply = engine::Answer::Yes;
  h.duringRun = [&](engine::RunHost& host) {
    reply = host.askYesNo("ファイルは上書きされます。よろしいですか？", "MDBファイル作成");
  };
  w.Command1->click();
  answer.stop();
  QVERIFY(!forced);
  QCOMPARE(reply, engine::Answer::No);
  QCOMPARE(seen, (QStringList{"MDBファイル作成|ファイルは上書きされます。よろしいですか？", "完了通知|正常終了しました。"}));
}

void FrmMainTest::failureEscapingTheRunIsReported() {
  WindowHarness h;
  auto w = h.open();
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  w->lblsaveFilename->setText("/out/a.mdb");
  h.duringRun = [](engine::RunHost&) { throw std::runtime_error("ディスクがいっぱいです。"); };
  w->Command1->click();
  QCOMPARE(h.dialogs->messages.size(), size_t(1));
  QCOMPARE(h.dialogs->messages[0].text, QStringLiteral("ディスクがいっぱいです。"));
  QCOMPARE(h.dialogs->messages[0].caption, QStringLiteral("異常終了"));
  QCOMPARE(w->lblTable->text(), QStringLiteral("処理完了"));
}

void FrmMainTest::saveDialogLoop() {
  WindowHarness h;
  h.write("exists.mdb", "x");
  const QString exists = QString::fromStdString(h.path("exists.mdb"));
  const QString fresh = QString::fromStdString(h.path("new.mdb"));
  auto w = h.open();

  // Cancelled at the first showing: nothing changes.
  w->lblsaveFilename->setText(QStringLiteral("/prev/a.mdb"));
  h.dialogs->saveAnswers = {std::nullopt};
  w->cmdSaveFilename->click();
  QCOMPARE(w->lblsaveFilename->text(), QStringLiteral("/prev/a.mdb"));
  const SaveFileRequest& r = h.dialogs->saveRequests.at(0);
  QCOMPARE(r.title, QStringLiteral("MDB出力先指定"));
  QCOMPARE(r.filterDescription, QStringLiteral("Access97形式ファイル (*.mdb)"));
  QCOMPARE(r.filterPattern, QStringLiteral("*.mdb"));
  QCOMPARE(r.defaultSuffix, QStringLiteral("mdb"));
  QCOMPARE(r.initialPath, QStringLiteral("/prev/a.mdb"));

  // An existing file, No, then a new name: the dialog reopens on the existing name.
  h.dialogs->saveRequests.clear();
  h.dialogs->saveAnswers = {exists, fresh};
  h.dialogs->yesNoCancel = {engine::Answer::No};
  w->cmdSaveFilename->click();
  QCOMPARE(h.dialogs->saveRequests.size(), size_t(2));
  QCOMPARE(h.dialogs->saveRequests[1].initialPath, exists);
  QCOMPARE(h.dialogs->questions.size(), size_t(1));
  QCOMPARE(h.dialogs->questions[0].text, QStringLiteral("ファイルは既に存在します。よろしいですか？"));
  QCOMPARE(h.dialogs->questions[0].caption, QStringLiteral("ファイル指定"));
  QCOMPARE(w->lblsaveFilename->text(), fresh);

  // An existing file and Cancel keeps the previous path; Yes takes it.
  h.dialogs->saveAnswers = {exists};
  h.dialogs->yesNoCancel = {engine::Answer::Cancel};
  w->cmdSaveFilename->click();
  QCOMPARE(w->lblsaveFilename->text(), fresh);
  h.dialogs->saveAnswers = {exists};
  h.dialogs->yesNoCancel = {engine::Answer::Yes};
  w->cmdSaveFilename->click();
  QCOMPARE(w->lblsaveFilename->text(), exists);
  QCOMPARE(h.dialogs->questions.size(), size_t(3));
}

void FrmMainTest::longTextsKeepTheirEndAndShowTheWholeAsTooltip() {
  WindowHarness h;
  auto w = h.open();
  const QString path = QStringLiteral("/srv/共有/営業部/二〇二四年度/月次集計/全社員/出力先フォルダ/さらに深いフォルダ/hr_月次.mdb");
  const QString name = QStringLiteral("テーブル取得中...12/310 ") + QString(60, QLatin1Char('N')) + QStringLiteral("_END");
  w->lblsaveFilename->setText(path);
  w->setMessage(name.toStdString());
  for (QLabel* l : {w->lblsaveFilename, w->lblTable}) {
    auto* fitted = dynamic_cast<FittedLabel*>(l);
    QVERIFY(fitted);
    const QString shown = fitted->shownText();
    QVERIFY2(shown.contains(QStringLiteral("…")), qPrintable(shown));
    QVERIFY(shown.endsWith(l == w->lblTable ? QStringLiteral("NN_END") : QStringLiteral("/hr_月次.mdb")));
    QCOMPARE(l->text(), l == w->lblTable ? name : path);  // what the logic reads stays whole
    QHelpEvent tip(QEvent::ToolTip, l->rect().center(), l->mapToGlobal(l->rect().center()));
    QApplication::sendEvent(l, &tip);
    QCOMPARE(QToolTip::text(), l->text());
    QToolTip::hideText();
  }
  // A text that fits is shown whole.
  w->setMessage("テーブル取得中...1/2 EMP");
  QCOMPARE(static_cast<FittedLabel*>(w->lblTable)->shownText(), QStringLiteral("テーブル取得中...1/2 EMP"));
  // The run is given the whole path.
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  w->Command1->click();
  QCOMPARE(QString::fromStdString(h.runs.at(0).filename), path);
}

void FrmMainTest::listingChecksAndFailure() {
  WindowHarness h;
  auto w = h.open();
  w->cmdSyutoku->click();
  QCOMPARE(h.dialogs->messages.back().text, QStringLiteral("サーバを指定してください。"));
  QVERIFY(w->cmbDBQ->hasFocus());
  w->cmbDBQ->setEditText("ORCL");
  w->cmdSyutoku->click();
  QCOMPARE(h.dialogs->messages.back().text, QStringLiteral("ユーザを指定してください。"));
  QCOMPARE(h.dialogs->messages.back().caption, QStringLiteral("DB接続エラー"));
  QVERIFY(w->txtUID->hasFocus());
  w->txtUID->setText("scott");
  w->chkTable->setChecked(false);
  w->chkSeq->setChecked(true);
  w->cmdSyutoku->click();
  QCOMPARE(h.dialogs->messages.back().text, QStringLiteral("対象オブジェクトを１つ以上選択してください。"));
  QCOMPARE(h.listCalls, 0);

  // A failed listing shows no dialog and leaves the selection and the message line alone.
  w->chkTable->setChecked(true);
  h.listResult = 1;
  h.listed = {"EMP"};
  w->cmdSyutoku->click();
  QCOMPARE(h.listCalls, 1);
  QCOMPARE(h.dialogs->modalShows, 0);
  QCOMPARE(w->lblTable->text(), QStringLiteral("テーブル名取得中..."));
  QCOMPARE(w->currentSelection(), std::string());
}

void FrmMainTest::listingPreselectsAndAcceptsOrCancels() {
  WindowHarness h;
  h.write("prog/seltable.dat", "# seltable.dat\n#P\nemp,owner1.dept,nosuch\n");
  auto w = h.open();
  choosePattern(*w, 1);
  w->cmbDBQ->setEditText("ORCL");
  w->txtUID->setText("scott");
  h.listed = {"EMP", "DEPT", "BONUS"};
  QStringList left, right;
  h.dialogs->onModal = [&](QDialog& d) {
    auto& dlg = static_cast<frmSyutoku&>(d);
    left.clear();
    right.clear();
    for (int i = 0; i < dlg.lstExport->count(); ++i) left << dlg.lstExport->item(i)->text();
    for (int i = 0; i < dlg.lstSyutoku->count(); ++i) right << dlg.lstSyutoku->item(i)->text();
    dlg.lstExport->item(0)->setSelected(true);
    dlg.cmdToSyutoku->click();
    dlg.cmdAccpet->click();
  };
  w->lblTable->setText("x");
  w->cmdSyutoku->click();
  QCOMPARE(h.dialogs->modalShows, 1);
  QCOMPARE(left, QStringList{"BONUS"});
  QCOMPARE(right, (QStringList{"DEPT", "EMP"}));
  QCOMPARE(w->currentSelection(), std::string("BONUS,DEPT,EMP"));
  QCOMPARE(w->txtSyutokuTables->text(), QStringLiteral("BONUS,DEPT,EMP"));
  QCOMPARE(w->lblSyutokuCount->text(), QStringLiteral("3 テーブル指定"));
  QCOMPARE(w->lblTable->text(), QString());

  // The next listing starts afresh, pre-selected from the accepted text; cancelling and the
  // close box both leave the selection as it was.
  h.dialogs->onModal = [&](QDialog& d) {
    auto& dlg = static_cast<frmSyutoku&>(d);
    right.clear();
    for (int i = 0; i < dlg.lstSyutoku->count(); ++i) right << dlg.lstSyutoku->item(i)->text();
    dlg.cmdToExportAll->click();
    dlg.cmdCancel->click();
  };
  w->cmdSyutoku->click();
  QCOMPARE(right, (QStringList{"BONUS", "DEPT", "EMP"}));
  QCOMPARE(w->currentSelection(), std::string("BONUS,DEPT,EMP"));
  h.dialogs->onModal = [&](QDialog& d) {
    static_cast<frmSyutoku&>(d).cmdToExportAll->click();
    d.close();
  };
  w->cmdSyutoku->click();
  QCOMPARE(w->currentSelection(), std::string("BONUS,DEPT,EMP"));
  QCOMPARE(w->txtSyutokuTables->text(), QStringLiteral("BONUS,DEPT,EMP"));
}

QTEST_MAIN(FrmMainTest)
#include "frm_main_test.moc"
