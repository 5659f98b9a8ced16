// The pattern definition file seltable.dat: its named selection patterns, its reference to a master
// file, and the start-up choice between the local file and the master with the refresh of the local copy.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vellicor::lists {

inline constexpr const char* kPatternFileName = "seltable.dat";
inline constexpr const char* kPatternMarker = "# seltable.dat";
inline constexpr const char* kAllTablesEntry = "全テーブル";
inline constexpr int kMaxPatterns = 20;

// What the pattern box offers: entry 0 is "全テーブル", entry k (1..20) the k-th pattern of the
// file; lists[k] is the selection text of entry k. names and lists always have the same size.
struct PatternSet {
  std::vector<std::string> names{kAllTablesEntry};
  std::vector<std::string> lists{""};
  bool readFailed = false;  // the file exists but could not be read: "読込に失敗しました"
};

// The patterns of the file at path. No file (or a path that cannot be tested), or a file without
// the marker line, gives "全テーブル" alone and no failure. Reading stops at the 21st name line,
// which is not offered.
PatternSet loadPatterns(const std::string& path);

// The patterns of the lines of a pattern file (what loadPatterns does after reading).
PatternSet parsePatterns(const std::vector<std::string>& lines);

struct PatternRef {
  std::string path;        // the last reference line's path, "" when none or no marker line
  bool abandoned = false;  // the existence test itself failed: "読込を中止しました"
};

// The master file that the pattern file at path refers to by a line "@path".
PatternRef getPatternRef(const std::string& path);

// The selection text count shown beside the box: "全て" for the empty text, else the number of
// comma-separated entries followed by " テーブル指定".
std::string selectionCountText(const std::string& selection);

// Messages of the start-up choice, each shown once in a box with the program's title.
inline constexpr const char* kReadAbandoned = "取得パターンの定義ファイルの読込を中止しました。";
inline constexpr const char* kReadFailed = "取得パターンの定義ファイルの読込に失敗しました。";

// Replaces target by a copy of source; false (target unchanged) when that fails.
using FileCopier = std::function<bool(const std::string& source, const std::string& target)>;
bool copyReplacing(const std::string& source, const std::string& target);

struct PatternFileChoice {
  std::string path;                   // the file to load
  std::string tooltip;                // names that file (and the master it was refreshed from)
  std::vector<std::string> messages;  // failures of the reference lookups, in order
};

// Which pattern file to use, from the local file localPath (beside the executable): the local file
// when it refers to nothing; the master it refers to; or, when the master refers to itself, the
// local file refreshed with a copy of the master (the master itself when the copy fails).
PatternFileChoice choosePatternFile(const std::string& localPath, const FileCopier& copy = copyReplacing);

}  // namespace vellicor::lists
