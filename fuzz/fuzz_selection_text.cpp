// Fuzz target: the selection text read into the table list (clsSyutokuTables::deSerialize), checked
// against a plain split at the commas, with Find, getItem and serialize on the result.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lists/syutoku_tables.h"

using namespace vellicor::lists;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> expected(1);
  for (char c : text) {
    if (c == ',') expected.emplace_back();
    else expected.back() += c;
  }
  clsSyutokuTables list;
  try {
    list.deSerialize(text);
  } catch (const OverflowError&) {
    if (list.count() != 0) std::abort();  // the list is left cleared
    return 0;
  }
  if (static_cast<size_t>(list.count()) != expected.size()) std::abort();
  for (int16_t i = 1; i <= list.count(); ++i) {
    const std::string& name = expected[static_cast<size_t>(i - 1)];
    if (list.getItem(i) != name) std::abort();
    const int16_t found = list.Find(reduceName(name));
    if (found < 1 || found > i) std::abort();  // the first entry with that reduced name
  }
  if (!list.getItem(static_cast<int16_t>(list.count() + 1)).empty()) std::abort();
  // Serializing and reading back keeps the non-empty names in order.
  clsSyutokuTables again;
  again.deSerialize(list.serialize());
  std::vector<std::string> nonEmpty, backNonEmpty;
  for (const auto& n : expected) if (!n.empty()) nonEmpty.push_back(n);
  for (int16_t i = 1; i <= again.count(); ++i) if (!again.getItem(i).empty()) backNonEmpty.push_back(again.getItem(i));
  if (nonEmpty != backNonEmpty) std::abort();
  return 0;
}
