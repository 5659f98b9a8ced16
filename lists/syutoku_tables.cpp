// The table list: entries in insertion order, lookup by reduced name, and the selection text.
// Lengths are counted in characters (UTF-8 code points), as the text box shows them.
#include "lists/syutoku_tables.h"

namespace vellicor::lists {
namespace {

size_t countCharacters(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

}  // namespace

std::string reduceName(std::string_view name) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos) return std::string(name);
  return std::string(name.substr(dot + 1));
}

int16_t clsSyutokuTables::Find(std::string_view strTable) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (reduceName(entries_[i].strSyutokuTable) == strTable) return static_cast<int16_t>(i + 1);
  }
  return -1;
}

void clsSyutokuTables::add(std::string strTable) {
  if (entries_.size() >= static_cast<size_t>(kMaxEntries)) throw OverflowError();
  entries_.push_back(clsSyutokuTable{std::move(strTable)});
}

std::string clsSyutokuTables::getItem(int16_t i) const {
  if (i < 1) throw OutOfRangeError();
  if (static_cast<size_t>(i) > entries_.size()) return {};
  return entries_[static_cast<size_t>(i) - 1].strSyutokuTable;
}

int16_t clsSyutokuTables::del(int16_t i) {
  if (i < 1) throw OutOfRangeError();
  if (static_cast<size_t>(i) > entries_.size()) return 0;
  entries_.erase(entries_.begin() + (i - 1));
  return 1;
}

std::string clsSyutokuTables::serialize() const {
  std::string text;
  for (const clsSyutokuTable& e : entries_) {
    if (!text.empty()) text += ',';
    text += e.strSyutokuTable;
  }
  return text;
}

void clsSyutokuTables::deSerialize(std::string_view strSerialze) {
  clear();
  if (countCharacters(strSerialze) > kMaxTextLength) throw OverflowError();
  std::string current;
  for (char c : strSerialze) {
    if (c == ',') {
      add(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  add(std::move(current));
}

}  // namespace vellicor::lists
