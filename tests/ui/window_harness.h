// A main window built for a test: its program directory in a temporary folder, the boxes answered
// by the test, and a recording run and listing in place of the engine.
#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fake_dialogs.h"
#include "lists/pattern_file.h"
#include "ui/frm_main.h"

namespace vellicor::ui::test {

struct RunCall {
  std::string dbq, user, pass, filename, logfile, suffix;
  bool logflag = false, newMDB = false;
  std::string selection, where;
  int sequences = 0;
};

class WindowHarness {
 public:
  WindowHarness() : dialogs(std::make_shared<FakeDialogs>()) {}

  std::string programDir() const { return dir.path().toStdString() + "/prog"; }
  std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const {
    const std::string p = path(name);
    QDir().mkpath(QString::fromStdString(p.substr(0, p.rfind('/'))));
    std::ofstream(p, std::ios::binary) << bytes;
  }

  WindowSetup setup() {
    QDir().mkpath(QString::fromStdString(programDir()));
    WindowSetup s;
    s.programDir = programDir();
    s.oracle = oracle;
    s.dialogs = dialogs;
    s.run = [this](engine::RunHost& host, const engine::RunRequest& r) {
      runs.push_back({r.server, r.user, r.password, r.output, r.log, r.prefix, r.writeLog, r.newFile,
                      host.selectionText(), host.getWhereObjectType(), host.sequencesBox()});
      if (duringRun) duringRun(host);
      return runResult;
    };
    s.listObjects = [this](engine::RunHost& host, const std::string&, const std::string&, const std::string&,
                           const std::function<void(const std::string&)>& addName, const engine::RunOptions&) {
      ++listCalls;
      host.setMessage("テーブル名取得中...");
      if (listHook) listHook();
      for (const std::string& n : listed) addName(n);
      return listResult;
    };
    return s;
  }

  // A shown, active window whose start-up ran with the files written so far.
  std::unique_ptr<frmMain> open() {
    auto w = std::make_unique<frmMain>(setup());
    w->show();
    QApplication::setActiveWindow(w.get());
    [[maybe_unused]] bool active = QTest::qWaitForWindowActive(w.get());
    return w;
  }

  QTemporaryDir dir;
  std::shared_ptr<FakeDialogs> dialogs;
  lists::OracleClientEnv oracle;
  std::vector<RunCall> runs;
  int16_t runResult = 0;
  std::function<void(engine::RunHost&)> duringRun;
  std::vector<std::string> listed;
  int16_t listResult = 0;
  int listCalls = 0;
  std::function<void()> listHook;
};

}  // namespace vellicor::ui::test
