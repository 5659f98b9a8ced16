// The conversion run's steps, its three early failure endings, the stop on request and the failure
// handling that closes the recordsets, databases, workspaces and the log in a fixed order.
#include "engine/conversion_run.h"

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/name_fitting.h"
#include "engine/record_copy.h"
#include "engine/run_log.h"
#include "engine/run_state.h"
#include "engine/sequence_export.h"
#include "lists/syutoku_tables.h"
#include "text/utf8_path.h"

namespace vellicor::engine {
namespace {

template <typename T>
void closeNow(std::unique_ptr<T>& p) {
  std::unique_ptr<T> held = std::move(p);
  if (held) held->close();
}

// Everything a run opens, released in the order the failure handling prescribes.
struct RunResources {
  std::unique_ptr<dao::Workspace> odbcWorkspace;
  std::unique_ptr<dao::Workspace> jetWorkspace;
  std::unique_ptr<dao::Database> source;
  std::unique_ptr<dao::Database> output;
  std::unique_ptr<dao::Recordset> objectList;
  RunLog log;

  void closeAll(RunState* state) {
    if (state != nullptr) {
      closeQuietly(state->sourceRows);
      closeQuietly(state->targetRows);
    }
    closeQuietly(objectList);
    closeQuietly(output);
    closeQuietly(source);
    closeQuietly(jetWorkspace);
    closeQuietly(odbcWorkspace);
    log.close();
  }
};

}  // namespace

bool outputFileExists(const std::string& path) {
  const std::filesystem::path p = text::pathFromUtf8(path);
  const std::string base = text::utf8FromPath(p.filename());
  if (!base.empty() && base[0] == '.') return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

namespace {

// Whether a failure while copying one object leaves the rest of the run possible: the source
// refused or failed a query, the file refused a value, a row or a type. A failing disk or a
// damaged output file ends the run.
bool leavesTheRunPossible(const dao::Error& e) {
  return !dao::isFileFailure(e);
}

}  // namespace

RunEnding runConversion(RunHost& host, const RunRequest& request) {
  const std::string& dbq = request.server;
  const std::string& user = request.user;
  const std::string& pass = request.password;
  const std::string& filename = request.output;
  const std::string& logfile = request.log;
  const bool logflag = request.writeLog;
  const bool newMDB = request.newFile;
  const std::string& suffix = request.prefix;
  const RunOptions& opts = request.options;
  const WorkspaceFactory createWorkspace = workspaceFactoryOf(opts);
  RunResources res;

  // 1-2. Connect: every call is attempted; only the latest failure is kept.
  host.setMessage("Oracle接続中..." + user + "@" + dbq);
  std::string connectFailure;
  bool connectFailed = false;
  try {
    res.odbcWorkspace = createWorkspace("ODBC-D", "", "", dao::dbUseODBC);  // the source's ODBC workspace
  } catch (const std::exception& e) {
    connectFailed = true;
    connectFailure = describe(e);
  }
  try {
    res.jetWorkspace = createWorkspace("", "admin", "", dao::dbUseJet);  // the output's Jet workspace
  } catch (const std::exception& e) {
    connectFailed = true;
    connectFailure = describe(e);
  }
  if (res.odbcWorkspace) {
    try {
      res.source = res.odbcWorkspace->openDatabase("", dao::dbDriverNoPrompt, true,
                                                   connectStringOf(opts, dbq, user, pass));  // the source connection
    } catch (const std::exception& e) {
      connectFailed = true;
      connectFailure = describe(e);
    }
  }
  if (connectFailed) {
    host.setMessage(connectFailure);
    host.messageBox("DB接続に失敗しました。", "");
    res.closeAll(nullptr);
    return RunEnding::ConnectFailed;
  }
  // A stop asked for before the output file is touched leaves it as it is.
  auto stopRequested = [&opts] { return opts.stop != nullptr && opts.stop->requested(); };
  if (stopRequested()) {
    res.closeAll(nullptr);
    return RunEnding::Interrupted;
  }

  // 3. A new output file, after asking before an existing one is replaced.
  if (newMDB) {
    if (outputFileExists(filename) &&
        host.askYesNo("ファイルは上書きされます。よろしいですか？", "MDBファイル作成") != Answer::Yes) {
      res.closeAll(nullptr);
      return stopRequested() ? RunEnding::Interrupted : RunEnding::Declined;
    }
    if (stopRequested()) {
      res.closeAll(nullptr);
      return RunEnding::Interrupted;
    }
    host.setMessage("");
    try {
      // An existing file is replaced only once the new one is complete, and not at all while
      // another run has it open.
      std::unique_ptr<dao::Database> created =
          outputFileExists(filename) ? res.jetWorkspace->replaceDatabase(filename, dao::dbLangJapanese)
                                     : res.jetWorkspace->createDatabase(filename, dao::dbLangJapanese);  // a new file, Japanese locale
      created->close();  // closed at once
    } catch (const std::exception& e) {
      host.setMessage(describe(e));  // why: a file in use, a folder that cannot be written
      host.messageBox("MDBファイルの作成に失敗しました。", "MDBファイル作成エラー");
      res.closeAll(nullptr);
      return RunEnding::CreateFailed;
    }
  }

  // 4. Open it exclusively for the whole run.
  try {
    res.output = res.jetWorkspace->openDatabase(filename, 1);  // and opened exclusively
  } catch (const std::exception& e) {
    host.setMessage(describe(e));  // why: a file in use, damaged or cut short (naming the table and page)
    host.messageBox("MDBファイルのオープンに失敗しました。", "MDBファイルオープンエラー");
    res.closeAll(nullptr);
    return RunEnding::OpenFailed;
  }
  // What the open found and set right on its own (a journal of another file, set aside).
  if (const std::string notice = res.output->openingNotice(); !notice.empty()) host.messageBox(notice, "");

  std::unique_ptr<RunState> state;
  try {
    if (logflag) res.log.open(logfile, !newMDB);  // 5
    const std::time_t start = std::time(nullptr);  // 6

    // Named, so that a field added to RunState cannot take another's value by position.
    state = std::make_unique<RunState>(RunState{.host = host,
                                                .source = *res.source,
                                                .output = *res.output,
                                                .log = res.log,
                                                .logflag = logflag,
                                                .suffix = suffix,
                                                .sourceRows = nullptr,
                                                .targetRows = nullptr,
                                                .stop = opts.stop,
                                                .allTypes = opts.allTypes,
                                                .fitText = opts.fitText,
                                                .keys = !opts.noKeys,
                                                .owner = user,
                                                .tableNames = {}});

    {  // 7
      std::unique_ptr<dao::Recordset> counted =
          res.source->openRecordset("select count(*) from user_objects " + host.getWhereObjectType());  // how many objects
      state->objectCount = valueAsCount(counted->fields()[0].value());
      counted->close();
    }
    res.objectList = res.source->openRecordset("select * from user_objects " + host.getWhereObjectType());  // and which
    state->position = 1;
    host.setMessage("テーブル名取得中...");
    if (logflag) res.log.writeDatabaseLine(user, dbq);

    std::vector<std::string> leftOut;  // objects a run that keeps going left out, and why
    const std::string selection = host.selectionText();
    lists::clsSyutokuTables selected;
    selected.deSerialize(selection);

    // The whole list is read first: a name Jet refuses is made to fit clear of every name that
    // needs no change, wherever in the list that name comes.
    std::vector<std::string> objectNames;
    std::vector<bool> admitted;
    std::vector<std::string> admittedNames;
    while (!res.objectList->eof()) {
      objectNames.push_back(valueAsText(res.objectList->fields()["OBJECT_NAME"].value()));
      admitted.push_back(selection.empty() || selected.Find(objectNames.back()) >= 0);
      if (admitted.back()) admittedNames.push_back(objectNames.back());
      res.objectList->moveNext();
    }
    const std::vector<std::string> targets = tableNamesFor(admittedNames, suffix, res.output->tableNames());
    for (size_t i = admittedNames.size(); i-- > 0;) {
      if (targets[i] != suffix + admittedNames[i]) state->tableNames[admittedNames[i]] = targets[i];
    }

    for (size_t i = 0; i < objectNames.size(); ++i) {
      checkStop(opts.stop);
      const std::string& objectName = objectNames[i];
      host.setMessage(objectStatusText(state->position, state->objectCount, objectName));
      if (!admitted[i]) {
        if (logflag) res.log.writeSkipLine(objectName);
        host.setProgress("スキップ");
      } else if (!opts.keepGoing) {
        copyObject(*state, objectName);
      } else {
        state->tableMade = false;
        state->rowsStored = 0;
        std::optional<std::string> why;
        try {
          copyObject(*state, objectName);
        } catch (const UnsupportedTypeStop& e) {
          why = e.what();
        } catch (const dao::Error& e) {
          if (!leavesTheRunPossible(e)) throw;
          why = describe(e);
        }
        if (why) {
          // What was opened for the object is let go; rows stored before the failure stay.
          closeQuietly(state->sourceRows);
          closeQuietly(state->targetRows);
          if (state->tableMade) {
            *why += " (テーブル " + state->targetNameOf(objectName) + " は " + std::to_string(state->rowsStored) + " 件を書き込んだ作成途中のまま残っています)";
          }
          host.messageBox("オブジェクト " + objectName + " を除外しました: " + *why, "除外");
          if (logflag) res.log.writeLeftOutLine(objectName, *why);
          leftOut.push_back(objectName + ": " + *why);
        }
      }
      ++state->position;
    }

    if (host.sequencesBox() == 1) exportSequences(*state);  // 14

    // 15. Close in order.
    host.setMessage("Oracleクローズ...");
    closeNow(res.objectList);
    host.setMessage("MDBクローズ...");
    host.setProgress("");
    const uint64_t substituted = res.output->substitutedCharacters();
    closeNow(res.output);
    closeNow(res.source);
    closeNow(res.jetWorkspace);
    closeNow(res.odbcWorkspace);

    // 16. The time lines, then the log is closed.
    const std::time_t end = std::time(nullptr);
    if (logflag) {
      res.log.writeTimeLines(start, end);
      res.log.close();
    }
    if (substituted > 0) {
      host.messageBox("出力ファイルの文字コード(シフトJIS)で表せない文字が " + std::to_string(substituted) +
                          " 文字あり、「?」に置き換えました。",
                      "");
    }
    if (!leftOut.empty()) {
      std::string list;
      for (const std::string& o : leftOut) list += "\n" + o;
      host.messageBox("次の " + std::to_string(leftOut.size()) + " 個のオブジェクトを除外して終了しました。" + list, "完了通知");
      return RunEnding::CompletedLeavingOut;
    }
    return RunEnding::Completed;
  } catch (const UnsupportedTypeStop& stop) {
    res.log.writeStopLine(stop.what());
    res.closeAll(state.get());
    return RunEnding::UnsupportedType;
  } catch (const RunStopped&) {
    // Stopped on request: what was copied is kept. The output is closed as at the end of a run
    // (its close commits the rows; a failure there is a failure of the run), everything else as
    // after a failure, and the log without the time lines.
    try {
      if (state) {
        closeQuietly(state->sourceRows);
        closeNow(state->targetRows);
      }
      closeQuietly(res.objectList);
      closeNow(res.output);
    } catch (const std::exception& e) {
      host.messageBox(describe(e), "異常終了");
      res.log.writeStopLine(describe(e));
      res.closeAll(state.get());
      return RunEnding::Failed;
    }
    res.log.writeStopLine(kInterruptedText);
    res.closeAll(state.get());
    return RunEnding::Interrupted;
  } catch (const std::exception& e) {
    host.messageBox(describe(e), "異常終了");
    res.log.writeStopLine(describe(e));
    res.closeAll(state.get());
    return RunEnding::Failed;
  }
}

int16_t oracle2mdb(RunHost& host, const RunRequest& request) {
  const RunEnding ending = runConversion(host, request);
  return (ending == RunEnding::Completed || ending == RunEnding::Declined) ? 0 : 1;
}

}  // namespace vellicor::engine
