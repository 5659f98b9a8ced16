// What a caller can choose about a run or a listing beyond the arguments the window passes: the
// connect template, the engine that makes the workspaces, and how a run ended in detail.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "dataaccess/dao.h"
#include "engine/run_stop.h"

namespace vellicor::engine {

using WorkspaceFactory = std::function<std::unique_ptr<dao::Workspace>(
    const std::string& name, const std::string& user, const std::string& password, int useType)>;

struct RunOptions {
  // Connect string template with %DBQ%, %UID% and %PWD%; empty: the Oracle ODBC driver's string.
  std::string connectTemplate;
  // Makes the run's workspaces; empty: the process-wide DBEngine.
  WorkspaceFactory createWorkspace;
  // Looked at between rows and between objects: once set, the run keeps the rows copied so far,
  // closes everything and ends Interrupted. Null: the run cannot be stopped.
  const StopRequest* stop = nullptr;
  // An object that cannot be copied (a query the server rejects, a value or type the file cannot
  // hold) is left out and the run goes on with the next; the run then ends CompletedLeavingOut.
  bool keepGoing = false;
  // Every column type gets a field (binary, times, GUIDs, intervals and the driver's own types);
  // off: a column of such a type stops the run.
  bool allTypes = false;
  // Each table's rows are scanned before it is made: a column that would be Memo and whose values
  // all fit Text (255 bytes in code page 932) becomes Text of the longest value's size.
  bool fitText = false;
  // Every table stays a heap: the source's primary keys and unique indexes are not made indexes.
  bool noKeys = false;
};

// What a run is asked to do: the source, the output file and its log, and the caller's options.
// The window asks for a new file with its log beside it and no prefix.
struct RunRequest {
  std::string server;    // the net service name (DBQ of the connect string)
  std::string user;
  std::string password;
  std::string output;    // the .mdb file
  std::string log;       // the run log's path
  bool writeLog = true;
  bool newFile = true;   // create the output anew (after asking before replacing); false: append
  std::string prefix;    // put before every target table's name
  RunOptions options;
};

// The end a run reached. oracle2mdb folds these into 0 (Completed, Declined) and 1 (the rest).
enum class RunEnding {
  Completed,
  Declined,          // the user did not want the existing output file replaced
  ConnectFailed,
  CreateFailed,
  OpenFailed,
  UnsupportedType,
  Failed,            // any other failure, shown with the caption "異常終了"
  Interrupted,       // stopped on request (RunOptions::stop): the rows copied are in the file
  CompletedLeavingOut,  // RunOptions::keepGoing: every object done but those left out (listed in a box)
};

// What the hosts say, and the log's last line, when a run ended Interrupted.
inline constexpr const char kInterruptedText[] = "処理を中断しました。";

// The workspace factory to use: the given one or the process-wide engine.
WorkspaceFactory workspaceFactoryOf(const RunOptions& opts);

// The connect string for a server, user and password under the options' template.
std::string connectStringOf(const RunOptions& opts, const std::string& dbq, const std::string& user,
                            const std::string& pass);

}  // namespace vellicor::engine
