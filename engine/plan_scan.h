// The scan of `vellicor plan --scan`: every row of an object read as the run reads it, each value
// converted for its planned field as the run would store it, without writing anything.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dataaccess/dao.h"
#include "engine/run_stop.h"
#include "engine/table_plan.h"

namespace vellicor::engine {

// Rows whose code page 932 substitutions are listed per column.
inline constexpr size_t kListedUnmappableRows = 5;

struct ScanOutcome {
  int64_t rows = 0;
  // The first value the file would refuse (the failure the run would meet there); empty when none.
  std::string refusal;
  int64_t refusalRow = 0;  // its row, from 1
};

// Reads the remaining rows of `rows` into plan's ColumnPlan::scan (the longest value, characters
// code page 932 cannot hold and their first rows). `progress` is called now and then with the rows
// read so far. A stop request ends the scan by throwing RunStopped.
ScanOutcome scanRows(dao::Recordset& rows, TablePlan& plan, const StopRequest* stop,
                     const std::function<void(int64_t)>& progress);

}  // namespace vellicor::engine
