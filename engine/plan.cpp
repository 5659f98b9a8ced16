// The plan's steps: the run's connection and object queries, then for every admitted object its
// count, its rows opened (and read, for a scan) and its table planned; every failure is noted on
// its object, as the failure the run would meet there.
#include "engine/plan.h"

#include <map>
#include <memory>

#include "engine/name_fitting.h"
#include "engine/object_name.h"
#include "engine/plan_scan.h"
#include "engine/run_state.h"
#include "engine/sequence_export.h"
#include "lists/syutoku_tables.h"

namespace vellicor::engine {
namespace {

constexpr const char* kFailureCaption = "異常終了";

// The tables of the file as the run meets them: those already in it, then each one the run makes.
// Jet refuses a table whose name has the key of one of them, naming it.
class FileTables {
 public:
  explicit FileTables(const std::vector<std::string>& existing) {
    for (const std::string& name : existing) add(name);
  }
  // The text of Jet's refusal of a table named `name`, or empty.
  std::string refusal(const std::string& name) const {
    const auto it = names_.find(nameKey(name));
    if (it == names_.end()) return {};
    if (it->second == name) return "テーブル '" + name + "' は既に存在します。";
    return "テーブル '" + name + "' は既存のテーブル '" + it->second + "' と同じ名前とみなされるため作成できません。";
  }
  void add(const std::string& name) { names_.emplace(nameKey(name), storedName(name)); }

 private:
  std::map<std::string, std::string> names_;
};

void stopWith(ObjectPlan& o, const std::string& caption, const std::string& message) {
  o.action = PlanAction::Stop;
  o.stopCaption = caption;
  o.stopMessage = message;
}

// Counts, opens and plans one object as copyObject would copy it.
void planObject(ObjectPlan& o, const std::string& originalName, const std::string& targetName, dao::Database& source,
                FileTables& tables, const PlanRequest& request) {
  const std::string queryName = quoteObjectName(o.name);
  std::unique_ptr<dao::Recordset> rows;
  try {
    {
      std::unique_ptr<dao::Recordset> counted = source.openRecordset("select count(*) from " + queryName);
      o.rowCount = valueAsCount(counted->fields()[0].value());
      counted->close();
    }
    rows = source.openRecordset("select * from " + queryName, dao::dbOpenSnapshot);
    TableOptions options;
    options.allTypes = request.options.allTypes;
    o.table = planTable(o.name, originalName, targetName, *rows, options);
    if (!o.table->stop.empty()) {
      stopWith(o, "", o.table->stop);
    } else if (!o.table->failure.empty()) {
      stopWith(o, kFailureCaption, o.table->failure);
    } else if (const std::string refused = tables.refusal(targetName); !refused.empty()) {
      stopWith(o, kFailureCaption, refused);
    } else {
      tables.add(targetName);
      if (!request.options.noKeys)
        o.keys = planKeys(sourceKeysOf(source, o.name, request.user, &o.keysUnreadable), *o.table);
      if (request.scan) {
        auto progress = [&](int64_t read) {
          if (request.scanProgress) request.scanProgress(o.name, read, o.rowCount);
        };
        const ScanOutcome scanned = scanRows(*rows, *o.table, request.options.stop, progress);
        o.scannedRows = scanned.rows;
        if (request.options.fitText) {
          // The table as a --fit-text run makes it from these values.
          options.longestText = longestTextOf(*o.table);
          TablePlan fitted = planTable(o.name, originalName, targetName, *rows, options);
          for (size_t k = 0; k < fitted.columns.size() && k < o.table->columns.size(); ++k)
            fitted.columns[k].scan = o.table->columns[k].scan;
          o.table = std::move(fitted);
        }
        if (!scanned.refusal.empty()) stopWith(o, kFailureCaption, scanned.refusal);
      }
    }
    std::unique_ptr<dao::Recordset> done = std::move(rows);
    done->close();
  } catch (const RunStopped&) {
    closeQuietly(rows);
    throw;
  } catch (const std::exception& e) {
    closeQuietly(rows);
    stopWith(o, kFailureCaption, describe(e));
  }
}

}  // namespace

size_t RunPlan::count(PlanAction action) const {
  size_t n = 0;
  for (const ObjectPlan& o : objects) n += o.action == action ? 1 : 0;
  return n;
}

const ObjectPlan* RunPlan::firstStop() const {
  for (const ObjectPlan& o : objects)
    if (o.action == PlanAction::Stop) return &o;
  return nullptr;
}

RunPlan planRun(RunHost& host, const PlanRequest& request) {
  RunPlan plan;
  const RunOptions& opts = request.options;
  host.setMessage("Oracle接続中..." + request.user + "@" + request.server);
  std::unique_ptr<dao::Workspace> workspace;
  std::unique_ptr<dao::Database> source;
  try {
    workspace = workspaceFactoryOf(opts)("ODBC-D", "", "", dao::dbUseODBC);
    source = workspace->openDatabase("", dao::dbDriverNoPrompt, true,
                                     connectStringOf(opts, request.server, request.user, request.password));
  } catch (const std::exception& e) {
    host.setMessage(describe(e));
    host.messageBox("DB接続に失敗しました。", "");
    closeQuietly(workspace);
    return plan;
  }
  plan.connected = true;

  std::unique_ptr<dao::Recordset> list;
  try {
    list = source->openRecordset("select * from user_objects " + host.getWhereObjectType());
    host.setMessage("テーブル名取得中...");
    const std::string selection = host.selectionText();
    lists::clsSyutokuTables selected;
    selected.deSerialize(selection);
    std::vector<std::string> admitted;
    while (!list->eof()) {
      checkStop(opts.stop);
      ObjectPlan o;
      o.name = valueAsText(list->fields()["OBJECT_NAME"].value());
      try {
        o.kind = valueAsText(list->fields()["OBJECT_TYPE"].value());
      } catch (const dao::Error&) {
        // A dictionary without the column: the kind stays unknown.
      }
      if (!selection.empty() && selected.Find(o.name) < 0) {
        o.action = PlanAction::Skip;
      } else {
        admitted.push_back(o.name);
      }
      plan.objects.push_back(std::move(o));
      list->moveNext();
    }
    closeQuietly(list);

    const std::vector<std::string> targets = tableNamesFor(admitted, request.prefix, request.tablesInFile);
    std::map<std::string, std::string> targetOf;
    for (size_t i = admitted.size(); i-- > 0;) targetOf[admitted[i]] = targets[i];
    FileTables tables(request.tablesInFile);
    int64_t position = 0;
    for (ObjectPlan& o : plan.objects) {
      ++position;
      if (o.action == PlanAction::Skip) continue;
      checkStop(opts.stop);
      host.setMessage(objectStatusText(position, static_cast<int64_t>(plan.objects.size()), o.name));
      planObject(o, request.prefix + o.name, targetOf[o.name], *source, tables, request);
    }
    if (host.sequencesBox() == 1) {
      ObjectPlan o;
      o.name = kSequenceView;
      o.kind = "SEQUENCES";
      planObject(o, request.prefix + o.name, request.prefix + o.name, *source, tables, request);
      plan.objects.push_back(std::move(o));
    }
  } catch (const RunStopped&) {
    closeQuietly(list);
    closeQuietly(source);
    closeQuietly(workspace);
    throw;
  } catch (const std::exception& e) {
    // The object list itself failed: the run fails there too, before any object.
    closeQuietly(list);
    ObjectPlan o;
    o.name = "user_objects";
    stopWith(o, kFailureCaption, describe(e));
    plan.objects.insert(plan.objects.begin(), std::move(o));
  }
  closeQuietly(source);
  closeQuietly(workspace);
  return plan;
}

}  // namespace vellicor::engine
