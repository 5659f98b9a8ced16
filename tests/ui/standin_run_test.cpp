// The window over the real engine and a SQLite stand-in source: a run ending each way (completed,
// declined overwrite, connection failure, creation failure) and the object listing into the dialog.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/odbc_script.h"
#include "ui/frm_syutoku.h"
#include "window_harness.h"

using namespace vellicor;
using namespace vellicor::ui;
using namespace vellicor::ui::test;

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE USER_OBJECTS (OBJECT_NAME VARCHAR2(128), OBJECT_TYPE VARCHAR2(23));
CREATE TABLE USER_SEQUENCES (SEQUENCE_NAME VARCHAR2(128), LAST_NUMBER INTEGER);
CREATE TABLE EMP (EMPNO INTEGER, ENAME VARCHAR2(20));
CREATE TABLE DEPT (DEPTNO INTEGER, DNAME VARCHAR2(20));
INSERT INTO EMP VALUES (7369, '鈴木');
INSERT INTO EMP VALUES (7499, 'ALLEN');
INSERT INTO DEPT VALUES (10, '経理');
INSERT INTO USER_OBJECTS VALUES ('EMP', 'TABLE');
INSERT INTO USER_OBJECTS VALUES ('DEPT', 'TABLE');
INSERT INTO USER_OBJECTS VALUES ('EMP_IDX', 'INDEX');
)sql";

constexpr const char* kTemplate = "Driver=SQLite3;Database=%DBQ%";

// A harness whose window runs and lists through the engine against a fresh SQLite source.
struct StandIn {
  StandIn() {
    source = h.path("source.sqlite");
    odbc::executeScript(std::string("Driver=SQLite3;Database=") + source, kSchema);
  }

  std::unique_ptr<frmMain> open() {
    WindowSetup s = WindowSetup::fromProcess(h.programDir());
    WindowSetup test = h.setup();
    s.programDir = test.programDir;
    s.oracle = {};
    s.dialogs = h.dialogs;
    s.runOptions.connectTemplate = kTemplate;
    auto w = std::make_unique<frmMain>(s);
    w->show();
    w->cmbDBQ->setEditText(QString::fromStdString(source));
    w->txtUID->setText(QStringLiteral("demo"));
    return w;
  }

  std::vector<std::string> tablesOf(const std::string& mdb) {
    auto ws = dao::DBEngine::instance().createWorkspace("", "admin", "", dao::dbUseJet);
    auto db = ws->openDatabase(mdb);
    std::vector<std::string> names = db->tableNames();
    db->close();
    ws->close();
    std::sort(names.begin(), names.end());
    return names;
  }

  WindowHarness h;
  std::string source;
};

}  // namespace

class StandInRunTest : public QObject {
  Q_OBJECT

 private slots:
  void completedRunCopiesTheSelectedObjects();
  void declinedOverwriteEndsNormallyAndLeavesTheFile();
  void connectionFailureShowsItsMessageAndNoNotice();
  void creationFailureShowsItsMessageAndNoNotice();
  void listingFillsTheDialogFromTheSource();
};

void StandInRunTest::completedRunCopiesTheSelectedObjects() {
  StandIn s;
  auto w = s.open();
  const std::string out = s.h.path("out/hr.mdb");
  QDir().mkpath(QString::fromStdString(s.h.path("out")));
  w->lblsaveFilename->setText(QString::fromStdString(out));
  w->txtSyutokuTables->setText(QStringLiteral("EMP"));
  w->Command1->click();
  QCOMPARE(s.h.dialogs->messages.size(), size_t(1));
  QCOMPARE(s.h.dialogs->messages[0].text, QStringLiteral("正常終了しました。"));
  QCOMPARE(w->lblTable->text(), QStringLiteral("処理完了"));
  QVERIFY(QFile::exists(QString::fromStdString(out + ".log")));
  QCOMPARE(s.tablesOf(out), std::vector<std::string>{"EMP"});

  // The same file again: the run asks before it replaces it; Yes copies every object this time.
  w->txtSyutokuTables->clear();
  s.h.dialogs->yesNo = {engine::Answer::Yes};
  w->Command1->click();
  QCOMPARE(s.h.dialogs->questions.size(), size_t(1));
  QCOMPARE(s.h.dialogs->questions[0].text, QStringLiteral("ファイルは上書きされます。よろしいですか？"));
  QCOMPARE(s.h.dialogs->messages.size(), size_t(2));
  QCOMPARE(s.tablesOf(out), (std::vector<std::string>{"DEPT", "EMP"}));
}

void StandInRunTest::declinedOverwriteEndsNormallyAndLeavesTheFile() {
  StandIn s;
  auto w = s.open();
  s.h.write("old.mdb", "not a database");
  w->lblsaveFilename->setText(QString::fromStdString(s.h.path("old.mdb")));
  s.h.dialogs->yesNo = {engine::Answer::No};
  w->Command1->click();
  QCOMPARE(s.h.dialogs->questions.size(), size_t(1));
  QCOMPARE(s.h.dialogs->messages.size(), size_t(1));
  QCOMPARE(s.h.dialogs->messages[0].text, QStringLiteral("正常終了しました。"));
  QFile f(QString::fromStdString(s.h.path("old.mdb")));
  QVERIFY(f.open(QIODevice::ReadOnly));
  QCOMPARE(f.readAll(), QByteArray("not a database"));
  QVERIFY(!QFile::exists(QString::fromStdString(s.h.path("old.mdb.log"))));
}

void StandInRunTest::connectionFailureShowsItsMessageAndNoNotice() {
  StandIn s;
  auto w = s.open();
  w->cmbDBQ->setEditText(QString::fromStdString(s.h.path("no/such/dir/source.sqlite")));
  w->lblsaveFilename->setText(QString::fromStdString(s.h.path("a.mdb")));
  w->Command1->click();
  QCOMPARE(s.h.dialogs->messages.size(), size_t(1));
  QCOMPARE(s.h.dialogs->messages[0].text, QStringLiteral("DB接続に失敗しました。"));
  QCOMPARE(boxCaption(s.h.dialogs->messages[0].caption), QStringLiteral("Vellicor"));
  QCOMPARE(w->lblTable->text(), QStringLiteral("処理完了"));
  QVERIFY(!QFile::exists(QString::fromStdString(s.h.path("a.mdb"))));
}

void StandInRunTest::creationFailureShowsItsMessageAndNoNotice() {
  StandIn s;
  auto w = s.open();
  w->lblsaveFilename->setText(QString::fromStdString(s.h.path("missing-dir/a.mdb")));
  w->Command1->click();
  QCOMPARE(s.h.dialogs->messages.size(), size_t(1));
  QCOMPARE(s.h.dialogs->messages[0].text, QStringLiteral("MDBファイルの作成に失敗しました。"));
  QCOMPARE(s.h.dialogs->messages[0].caption, QStringLiteral("MDBファイル作成エラー"));
}

void StandInRunTest::listingFillsTheDialogFromTheSource() {
  StandIn s;
  auto w = s.open();
  w->txtSyutokuTables->setText(QStringLiteral("typed"));
  QStringList listed;
  s.h.dialogs->onModal = [&](QDialog& d) {
    auto& dlg = static_cast<frmSyutoku&>(d);
    for (int i = 0; i < dlg.lstExport->count(); ++i) listed << dlg.lstExport->item(i)->text();
    dlg.cmdToSyutokuAll->click();
    dlg.cmdAccpet->click();
  };
  w->cmdSyutoku->click();
  QCOMPARE(listed, (QStringList{"DEPT", "EMP"}));
  QCOMPARE(w->currentSelection(), std::string("DEPT,EMP"));
  QCOMPARE(w->txtSyutokuTables->text(), QStringLiteral("DEPT,EMP"));
  QCOMPARE(w->lblTable->text(), QString());

  // A source that cannot be reached: no dialog, the connection message.
  w->cmbDBQ->setEditText(QString::fromStdString(s.h.path("no/such/dir/x.sqlite")));
  w->cmdSyutoku->click();
  QCOMPARE(s.h.dialogs->modalShows, 1);
  QCOMPARE(s.h.dialogs->messages.back().text, QStringLiteral("DB接続に失敗しました。"));
  QCOMPARE(w->currentSelection(), std::string("DEPT,EMP"));
}

QTEST_MAIN(StandInRunTest)
#include "standin_run_test.moc"
