// The pre-flight plan of a run (`vellicor plan`): connects as the run does, lists the objects the
// run would admit, counts each one's rows and plans its table as the run would make it, without
// writing anything. It says which objects are copied, skipped or stop the run, and why.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_host.h"
#include "engine/run_options.h"
#include "engine/table_keys.h"
#include "engine/table_plan.h"

namespace vellicor::engine {

struct PlanRequest {
  std::string server;
  std::string user;
  std::string password;
  std::string prefix;  // put before every table's name, as the run's
  RunOptions options;  // connect template, workspaces, stop request, allTypes
  // The tables of the file an appending run would add to (empty for a new file).
  std::vector<std::string> tablesInFile;
  // Read every row too (ColumnPlan::scan); `scanProgress` is told the object and the rows read.
  bool scan = false;
  std::function<void(const std::string& object, int64_t rows, int64_t count)> scanProgress;
};

enum class PlanAction { Copy, Skip, Stop };

struct ObjectPlan {
  std::string name;
  std::string kind;  // OBJECT_TYPE as listed; "SEQUENCES" for the sequence list
  PlanAction action = PlanAction::Copy;
  int64_t rowCount = -1;  // -1: not counted (skipped, or the count failed)
  std::optional<TablePlan> table;  // once its rows could be opened
  // For Stop: the caption and text the run shows ("" = the program's title, for the run's own
  // stops; "異常終了" for a failure).
  std::string stopCaption;
  std::string stopMessage;
  int64_t scannedRows = -1;  // rows read by the scan; -1 when not scanned
  // The indexes the source's keys become (none with RunOptions::noKeys); a key the rows then
  // refuse (a duplicate, text whose key is not known exactly) is left out by the run, with a log line.
  std::vector<KeyPlan> keys;
  std::string keysUnreadable;  // why the source's keys could not be read; empty when they could
};

struct RunPlan {
  bool connected = false;
  std::vector<ObjectPlan> objects;

  size_t count(PlanAction action) const;
  // The first object that stops the run, in the run's order; nullptr when the run completes.
  const ObjectPlan* firstStop() const;
  bool completes() const { return connected && firstStop() == nullptr; }
};

// The plan. A connection that fails is shown through host as the run shows it (the description on
// the message line, then "DB接続に失敗しました。") and gives a plan that is not connected. The
// selection, the kinds and the sequences box are read from host as the run reads them. A stop
// request ends it by throwing RunStopped.
RunPlan planRun(RunHost& host, const PlanRequest& request);

}  // namespace vellicor::engine
