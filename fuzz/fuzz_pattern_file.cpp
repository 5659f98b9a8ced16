// Fuzz target: the pattern definition file (seltable.dat) read from arbitrary bytes, and the count
// text of every selection it yields.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lists/pattern_file.h"
#include "lists/text_file.h"

using namespace vellicor::lists;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = decodeFileText(std::string_view(reinterpret_cast<const char*>(data), size));
  const PatternSet set = parsePatterns(splitLines(text));
  if (set.names.size() != set.lists.size() || set.names.empty()) std::abort();
  if (set.names.size() > static_cast<size_t>(kMaxPatterns) + 1) std::abort();
  if (set.names[0] != kAllTablesEntry) std::abort();
  for (const std::string& list : set.lists) (void)selectionCountText(list);
  return 0;
}
