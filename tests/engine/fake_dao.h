// An in-memory stand-in for the data access model, for unit tests of the run's call order, texts
// and failure endings: scripted source queries, an output database kept in memory, and a call log.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "engine/run_host.h"
#include "engine/run_options.h"

namespace vellicor::fake {

struct Column {
  std::string name;
  int16_t type = dao::dbText;
  int32_t size = 0;
};

struct Table {
  std::vector<Column> columns;
  std::vector<std::vector<dao::Variant>> rows;
};

// Everything the fakes share: the source's answers, the output files, injected failures and the log
// of calls in the order they were made.
struct World {
  std::map<std::string, Table> queries;          // SQL text -> result
  std::map<std::string, std::string> rejected;   // SQL text -> description of the failure
  std::map<std::string, std::map<std::string, Table>> files;  // output path -> its tables
  std::vector<std::string> calls;
  std::string failConnect;       // non-empty: the ODBC OpenDatabase fails with this description
  bool failJetWorkspace = false;
  bool failCreate = false;
  int failUpdateAtRow = 0;       // 1-based row of the output whose Update fails (0: never)
  int failMoveNextAtRow = 0;     // 1-based source row whose MoveNext fails, as a lost connection
  size_t blockRows = 0;          // > 0: source rows are also handed out in blocks of this many
  int failBlockReadAtRow = 0;    // 1-based source row that a block cannot read, as a row the driver lost
  int blocksTaken = 0;
  uint64_t substituted = 0;
  std::vector<std::pair<int64_t, int32_t>> chunkRequests;

  // A source table reachable by "select count(*) from NAME" and "select * from NAME".
  void addSourceObject(const std::string& queryName, Table t);
  // The user_objects rows for the clause, and their count.
  void setObjectList(const std::string& clause, const std::vector<std::string>& names);

  engine::WorkspaceFactory factory();
};

// A host that records what the run shows and answers from settings.
class RecordingHost : public engine::RunHost {
 public:
  std::vector<std::string> events;  // "msg:", "prog:", "box:<caption>|<text>", "ask:<caption>|<text>"
  std::string selection;
  int chkTable = 1, chkView = 0, chkSynonym = 0, chkSeq = 0;
  engine::Answer answer = engine::Answer::No;

  void setMessage(const std::string& mes) override { events.push_back("msg:" + mes); }
  void setProgress(const std::string& mes) override { events.push_back("prog:" + mes); }
  std::string selectionText() override { return selection; }
  int sequencesBox() override { return chkSeq; }
  std::string getWhereObjectType() override { return engine::whereObjectType(chkTable, chkView, chkSynonym); }
  void messageBox(const std::string& text, const std::string& caption) override {
    events.push_back("box:" + caption + "|" + text);
  }
  engine::Answer askYesNo(const std::string& text, const std::string& caption) override {
    events.push_back("ask:" + caption + "|" + text);
    return answer;
  }

  std::vector<std::string> only(const std::string& prefix) const;
};

}  // namespace vellicor::fake
