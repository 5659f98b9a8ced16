// The two forms of `vellicor plan`'s answer: a text for the terminal (aligned columns, Japanese
// labels) and one JSON document for scripts. Both say the same.
#pragma once

#include <cstdint>
#include <string>

#include "engine/plan.h"

namespace vellicor::app {

// What the plan was asked, for the heading.
struct PlanHeading {
  std::string server, user, prefix;
  bool allTypes = false;
  bool scan = false;
};

std::string formatPlanText(const engine::RunPlan& plan, const PlanHeading& heading);
std::string formatPlanJson(const engine::RunPlan& plan, const PlanHeading& heading);

// The name of an ODBC SQL type code (SQL_VARCHAR, SQL_TYPE_TIMESTAMP, ...), or "SQL type N".
std::string odbcTypeName(int16_t sqlType);

}  // namespace vellicor::app
