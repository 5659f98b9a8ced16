// How one object's table is made, decided before anything of it is written: the field of every
// source column (type mapped, name made to fit, widest Text made Memo while the widest row would
// not fit a page), what the plan notes about each, the lines the run log gets, and the stop or
// failure the table meets. The run creates its tables from this; `vellicor plan` prints it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/source_column.h"

namespace vellicor::engine {

// What a scan of the rows found in one column (`vellicor plan --scan`).
struct ColumnScan {
  int64_t longest = 0;       // bytes of the longest value as stored (text in code page 932); -1: not measured
  int64_t unmappable = 0;    // characters code page 932 cannot hold (stored as '?')
  std::vector<int64_t> unmappableRows;  // the first rows (from 1) that hold such characters
};

struct ColumnPlan {
  std::string sourceName;
  int16_t sourceType = 0;  // the DAO type the source reports
  int32_t sourceSize = 0;
  std::optional<dao::SourceColumn> source;  // the ODBC description, when the source has one
  std::optional<dao::FieldDef> field;       // nullopt: a type the run stops on
  bool renamed = false;
  bool madeLong = false;  // Text made Memo (Binary made Long Binary) for the row limit
  bool fittedToValues = false;  // Memo made Text of the longest value's size (TableOptions::longestText)
  std::vector<std::string> notes;
  std::optional<ColumnScan> scan;
};

struct TablePlan {
  std::string objectName;
  std::string targetName;  // the table's name in the file
  bool renamed = false;    // targetName differs from prefix + object name
  std::vector<ColumnPlan> columns;
  size_t widestRow = 0;    // bytes of the longest row the fields allow (0 when not laid out)
  // Lines the run log gets for this table, after its record count line: its name, each changed
  // field name, each field made long. Empty when nothing changed.
  std::vector<std::string> logLines;
  // The stop the table meets (too many columns, a column type without a field): the message the
  // run shows with the program's title. Empty when none.
  std::string stop;
  // The failure appending the table would raise (a field name Jet refuses that was not made to
  // fit, two fields Jet takes as one, ...), shown with the caption "異常終了". Empty when none.
  std::string failure;

  bool copies() const { return stop.empty() && failure.empty(); }
};

struct TableOptions {
  bool allTypes = false;  // every column type gets a field (see targetFieldFor)
  // From a scan of the rows (--fit-text): per column, bytes of its longest value in code page 932
  // (-1: not measured). A column that would be Memo and whose values all fit Text becomes Text
  // of that size.
  std::vector<int64_t> longestText;
};

// The longest values a scan found, as TableOptions::longestText takes them.
std::vector<int64_t> longestTextOf(const TablePlan& scanned);

// Plans the table of `objectName` named `targetName` (originalName: the name before fitting,
// prefix + object name) from the columns of `rows`.
TablePlan planTable(const std::string& objectName, const std::string& originalName, const std::string& targetName,
                    dao::Recordset& rows, const TableOptions& options);

// The stop message for a table of more columns than Jet 3 holds.
std::string tooManyColumnsText(const std::string& objectName, int columns);
// The stop message for a column whose type gets no field.
std::string unsupportedTypeText(const std::string& objectName, const std::string& column, int16_t type);

}  // namespace vellicor::engine
