// The real boxes and the save dialog: the default extension, the folder a vanished initial path
// opens in, a cancel, and the captions and Japanese buttons of the message boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/dialogs.h"

using vellicor::engine::Answer;
using vellicor::ui::QtDialogs;
using vellicor::ui::SaveFileRequest;

namespace {

// Runs act on the modal dialog or box once it is up.
void whenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start(10);
}

SaveFileRequest request(const QString& initial) {
  return {QStringLiteral("MDB出力先指定"), QStringLiteral("Access97形式ファイル (*.mdb)"), QStringLiteral("*.mdb"),
          QStringLiteral("mdb"), initial};
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void saveDialogAppendsTheExtensionInTheNearestFolder() {
    QTemporaryDir dir;
    QString shownName, shownFolder, title;
    whenModal([&](QWidget* w) {
      auto* fd = qobject_cast<QFileDialog*>(w);
      QVERIFY(fd);
      title = fd->windowTitle();
      auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      shownName = name->text();
      shownFolder = fd->directory().absolutePath();
      name->setText(QStringLiteral("hr2"));
      QMetaObject::invokeMethod(fd, "accept");
    });
    QtDialogs d;
    const auto chosen = d.chooseSaveFile(nullptr, request(dir.path() + "/gone/deeper/hr.mdb"));
    QCOMPARE(title, QStringLiteral("MDB出力先指定"));
    QCOMPARE(shownName, QStringLiteral("hr.mdb"));
    QCOMPARE(shownFolder, dir.path());
    QVERIFY(chosen.has_value());
    QCOMPARE(*chosen, dir.path() + "/hr2.mdb");
  }

  void saveDialogCancelled() {
    whenModal([](QWidget* w) { QMetaObject::invokeMethod(w, "reject"); });
    QtDialogs d;
    QVERIFY(!d.chooseSaveFile(nullptr, request(QString())).has_value());
  }

  void boxesShowTheTitleAndJapaneseButtons() {
    QString caption, ok;
    whenModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      caption = box->windowTitle();
      ok = box->button(QMessageBox::Ok)->text();
      box->button(QMessageBox::Ok)->click();
    });
    QtDialogs d;
    d.message(nullptr, QStringLiteral("正常終了しました。"), QString());
    QCOMPARE(caption, QStringLiteral("Vellicor"));
    QCOMPARE(ok, QStringLiteral("OK"));

    QStringList buttons;
    whenModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      for (QAbstractButton* b : box->buttons()) buttons << b->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(d.askYesNoCancel(nullptr, QStringLiteral("ファイルは既に存在します。よろしいですか？"),
                              QStringLiteral("ファイル指定")),
             Answer::Cancel);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"いいえ(&N)", "はい(&Y)", "キャンセル"}));

    // A Yes/No box closed without an answer counts as No.
    whenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(d.askYesNo(nullptr, QStringLiteral("ファイルは上書きされます。よろしいですか？"), QString()), Answer::No);
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
