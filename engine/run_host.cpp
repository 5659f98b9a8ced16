// The object-type clause built from the three kind boxes.
// Only the value 1 counts as ticked; the clause always begins with one blank.
#include "engine/run_host.h"

namespace vellicor::engine {

std::string whereObjectType(int chkTable, int chkView, int chkSynonym) {
  std::string list;
  if (chkTable == 1) list += "'TABLE'";
  if (chkView == 1) {
    if (!list.empty()) list += ",";
    list += "'VIEW'";
  }
  if (chkSynonym == 1) {
    if (!list.empty()) list += ",";
    list += "'SYNONYM'";
  }
  if (list.empty()) return " where rownum<0";
  return " where object_type in (" + list + ")";
}

}  // namespace vellicor::engine
