// The keys of a copied table: the source's primary key and unique indexes made into Jet indexes
// over the table's fields (within Jet 3's limits), and their build once the rows are in the file.
#pragma once

#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "engine/table_plan.h"

namespace vellicor::engine {

struct RunState;

struct KeyPlan {
  std::string sourceName;  // the constraint or index as the source names it
  dao::IndexDef index;     // as the file gets it: Jet's name, the fields' names in the file
  std::string leftOut;     // why it is not made (Japanese); empty when it is
};

// The indexes for the source's keys of a planned table, in the source's order: the primary key as
// "PrimaryKey" (primary, unique, required), each unique index under its name made to fit (unique,
// Nulls ignored). Left out, with the reason: a key over a column the table has no field for (an
// expression, a column not copied), over a field whose keys are not known exactly (Memo, Long
// Binary, Binary, GUID), of more than 10 fields, and every key past Jet's 32 of a table.
std::vector<KeyPlan> planKeys(const std::vector<dao::IndexDef>& sourceKeys, const TablePlan& table);

// The source's keys of one object, or none when the source cannot tell (a failing catalog call
// is not the copy's failure: `why` gets the description).
std::vector<dao::IndexDef> sourceKeysOf(dao::Database& source, const std::string& objectName, const std::string& owner,
                                        std::string* why);

// The log line of a key the plan leaves out.
std::string keyLeftOutLine(const std::string& targetTable, const KeyPlan& key);

// Builds the planned keys of a table whose rows are all in the file. A key the engine refuses for
// the table's data (a duplicate, a text key not known exactly, a Null in the primary key) is left
// out with a log line naming the row; a failing disk or a damaged file ends the copy as any write
// does.
void buildKeys(RunState& run, const std::string& objectName, const TablePlan& table);

}  // namespace vellicor::engine
