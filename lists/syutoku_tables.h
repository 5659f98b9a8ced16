// The table list: an ordered list of object names and its comma-joined text form (the selection
// text), with the name reduction that drops an owner qualifier before comparing.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vellicor::lists {

// Raised when a count or position would not fit the list's 16-bit limits.
class OverflowError : public std::overflow_error {
 public:
  OverflowError() : std::overflow_error("オーバーフローしました。") {}
};

// Raised for a position below 1.
class OutOfRangeError : public std::out_of_range {
 public:
  OutOfRangeError() : std::out_of_range("インデックスが有効範囲にありません。") {}
};

// Everything after the first '.', or the whole name when it has none ("OWNER.EMP" -> "EMP").
std::string reduceName(std::string_view name);

// One entry: the object name exactly as supplied.
class clsSyutokuTable {
 public:
  std::string strSyutokuTable;
};

class clsSyutokuTables {
 public:
  static constexpr int16_t kMaxEntries = 32766;
  static constexpr size_t kMaxTextLength = 32765;

  // Position (1-based) of the first entry whose reduced name equals strTable exactly; -1 if none.
  int16_t Find(std::string_view strTable) const;
  // Appends an entry; throws OverflowError beyond kMaxEntries.
  void add(std::string strTable);
  // Name at position i; empty when i > count(); OutOfRangeError when i < 1.
  std::string getItem(int16_t i) const;
  int16_t count() const { return static_cast<int16_t>(entries_.size()); }
  // Removes position i and returns 1; returns 0 when i > count(); OutOfRangeError when i < 1.
  int16_t del(int16_t i);
  // Names joined by ','; a comma is written only once the text is non-empty.
  std::string serialize() const;
  // Clears, then reads the names of a comma-separated text: every ',' and the end of the text
  // close one entry, so "" gives one empty entry. OverflowError when the text is longer than
  // kMaxTextLength characters (the list is left cleared).
  void deSerialize(std::string_view strSerialze);
  void clear() { entries_.clear(); }

 private:
  std::vector<clsSyutokuTable> entries_;
};

}  // namespace vellicor::lists
