// Quoting of object names for query texts. Names the server lists in mixed case, with blanks or
// other characters (recycle-bin names, Japanese names) only resolve as quoted identifiers.
#include "engine/object_name.h"

namespace vellicor::engine {

bool isPlainIdentifier(std::string_view name) {
  if (name.empty() || name[0] < 'A' || name[0] > 'Z') return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
    if (!ok) return false;
  }
  return true;
}

std::string quoteObjectName(std::string_view name) {
  if (isPlainIdentifier(name)) return std::string(name);
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace vellicor::engine
