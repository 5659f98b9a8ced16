// The state one conversion run shares with its steps (object copy, table creation, sequence
// list): the host, the two databases, the log, the position and the recordsets a copy holds open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "dataaccess/dao.h"
#include "engine/run_host.h"
#include "engine/run_log.h"
#include "engine/run_stop.h"

namespace vellicor::engine {

struct RunState {
  RunHost& host;
  dao::Database& source;
  dao::Database& output;
  RunLog& log;
  bool logflag = false;
  std::string suffix;
  int64_t position = 1;
  int64_t objectCount = 0;
  // Open only while one object is copied; closed by the failure handling when a copy fails.
  std::unique_ptr<dao::Recordset> sourceRows;
  std::unique_ptr<dao::Recordset> targetRows;
  const StopRequest* stop = nullptr;  // looked at before every row and every object
  // The object being copied: whether its table is in the file yet, and its rows stored so far.
  bool tableMade = false;
  int64_t rowsStored = 0;
  bool allTypes = false;  // every column type gets a field (RunOptions::allTypes)
  bool fitText = false;   // RunOptions::fitText
  bool keys = true;       // the source's keys become indexes (RunOptions::noKeys off)
  std::string owner;      // the connected user: whose schema's keys are read
  // Table names that differ from suffix + object name (made to fit), by object name.
  std::map<std::string, std::string> tableNames;

  std::string targetNameOf(const std::string& objectName) const {
    const auto it = tableNames.find(objectName);
    return it != tableNames.end() ? it->second : suffix + objectName;
  }
};

// Thrown after the unsupported-type message has been shown; the run then closes everything.
class UnsupportedTypeStop : public std::runtime_error {
 public:
  explicit UnsupportedTypeStop(const std::string& text) : std::runtime_error(text) {}
};

// "テーブル取得中..." + position + "/" + count + " " + name.
std::string objectStatusText(int64_t position, int64_t count, const std::string& objectName);

// A value as a whole number (counts come back as integers, decimals or digit texts depending on the
// driver); throws dao::Error for anything else.
int64_t valueAsCount(const dao::Variant& v);

// Closes and releases p if it is open, swallowing a failure to close: used on the way out of a
// failure, where the first failure is the one reported.
template <typename T>
void closeQuietly(std::unique_ptr<T>& p) {
  std::unique_ptr<T> held = std::move(p);
  if (!held) return;
  try {
    held->close();
  } catch (...) {
  }
}

// The text shown for a failure: a data-access error's description, else what() of the exception.
std::string describe(const std::exception& e);

// A value as text (names are texts; anything else in its display form).
std::string valueAsText(const dao::Variant& v);

}  // namespace vellicor::engine
