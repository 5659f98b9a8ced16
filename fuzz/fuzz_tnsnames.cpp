// Fuzz target: the Oracle client's TNSNAMES.ORA read from arbitrary bytes (either encoding).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lists/text_file.h"
#include "lists/tnsnames.h"

using namespace vellicor::lists;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = decodeFileText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<std::string> lines = splitLines(text);
  const std::vector<std::string> names = parseTnsNames(lines);
  // Every name comes from a header line, so there cannot be more names than lines.
  if (names.size() > lines.size()) std::abort();
  return 0;
}
