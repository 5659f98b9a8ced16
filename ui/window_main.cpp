// The window program: the application object, the Japanese texts of Qt's own dialogs, the main
// window, and the screenshots of the main window and of the selection dialog.
#include "ui/window_main.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QDir>
#include <QLibraryInfo>
#include <QListWidget>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/frm_main.h"
#include "ui/frm_syutoku.h"

namespace vellicor::ui {

namespace {

// Grabs the window as it is laid out on the screen.
bool savePicture(QWidget& w, const QString& path) {
  w.show();
  w.raise();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return w.grab().save(path, "PNG");
}

// The main window with a few inputs, and the selection dialog filled by the listing when a source
// is given (VELLICOR_SCREENSHOT_DBQ and VELLICOR_SCREENSHOT_UID), else with sample names.
int takeScreenshots(const QString& dir, const std::string& programDir) {
  QDir().mkpath(dir);
  WindowSetup setup = WindowSetup::fromProcess(programDir);
  frmMain w(setup);
  const char* dbq = std::getenv("VELLICOR_SCREENSHOT_DBQ");
  const char* uid = std::getenv("VELLICOR_SCREENSHOT_UID");
  const char* pwd = std::getenv("VELLICOR_SCREENSHOT_PWD");
  // Sample inputs; the listing below reads the source named in the environment.
  w.cmbDBQ->setEditText(QStringLiteral("ORCL"));
  w.txtUID->setText(QStringLiteral("scott"));
  w.txtPass->setText(QStringLiteral("tiger"));
  w.lblsaveFilename->setText(QStringLiteral("/data/out/hr.mdb"));
  w.setMessage("テーブル取得中...3/14 EMP");
  w.setProgress("レコード = 1200/5000");
  if (!savePicture(w, QDir(dir).filePath(QStringLiteral("main.png")))) return 1;

  frmSyutoku& dialog = w.syutokuDialog();
  dialog.reset();
  bool listed = false;
  if (dbq && uid) {
    listed = setup.listObjects(w, dbq, uid, pwd ? pwd : "",
                               [&dialog](const std::string& n) { dialog.addExport(QString::fromStdString(n)); },
                               setup.runOptions) == 0;
    if (!listed) std::fprintf(stderr, "screenshot: the listing failed; sample names are shown\n");
  }
  if (!listed) {
    dialog.reset();
    for (const char* n : {"EMP", "DEPT", "BONUS", "SALGRADE", "社員マスタ", "V_EMP_DEPT", "PROJECTS"}) {
      dialog.addExport(QString::fromUtf8(n));
    }
  }
  dialog.setSyutoku("EMP,DEPT,EMPLOYEES,DEPARTMENTS");
  if (dialog.lstExport->count() > 0) dialog.lstExport->item(0)->setSelected(true);
  const bool ok = savePicture(dialog, QDir(dir).filePath(QStringLiteral("dialog.png")));
  dialog.hide();
  return ok ? 0 : 1;
}

}  // namespace

}  // namespace vellicor::ui

int runWindow(int argc, char** argv) {
  using namespace vellicor::ui;
#if !defined(_WIN32) && !defined(__APPLE__)
  // Without a display Qt gives up by aborting the process; say what is missing instead.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fputs("画面に接続できないため、ウィンドウを開けません（DISPLAY が設定されていません）。\n"
               "コマンドラインから使うには: vellicor run | list | inspect | demo ...\n",
               stderr);
    return 2;
  }
#endif
  QApplication app(argc, argv);
  QTranslator qtTexts;
  if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&qtTexts);
  }
  const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
  if (const QString dir = qEnvironmentVariable("VELLICOR_SCREENSHOT_DIR"); !dir.isEmpty()) {
    return takeScreenshots(dir, programDir);
  }
  frmMain w(WindowSetup::fromProcess(programDir));
  w.show();
  return app.exec();
}
