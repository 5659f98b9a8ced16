// The pattern definition file seltable.dat: reading its patterns and its reference line, the
// count text of a selection, and the start-up choice of the file with the refresh of the local copy.
#include "lists/pattern_file.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "lists/text_file.h"
#include "text/utf8_path.h"

namespace vellicor::lists {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// Removes blanks (U+0020 and the ideographic space U+3000) from both ends.
std::string trimBlanks(std::string_view s) {
  for (;;) {
    if (!s.empty() && s.front() == ' ') {
      s.remove_prefix(1);
    } else if (s.substr(0, 3) == kIdeographicSpace) {
      s.remove_prefix(3);
    } else {
      break;
    }
  }
  for (;;) {
    if (!s.empty() && s.back() == ' ') {
      s.remove_suffix(1);
    } else if (s.size() >= 3 && s.substr(s.size() - 3) == kIdeographicSpace) {
      s.remove_suffix(3);
    } else {
      break;
    }
  }
  return std::string(s);
}

// Upper case of the Latin letters a-z, half-width and full-width (U+FF41..U+FF5A); Oracle keeps
// unquoted names in upper case in both forms.
std::string upperLatin(std::string s) {
  for (size_t i = 0; i < s.size(); ++i) {
    char& c = s[i];
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (static_cast<unsigned char>(c) == 0xEF && i + 2 < s.size() &&
               static_cast<unsigned char>(s[i + 1]) == 0xBD) {
      // U+FF41..U+FF5A are EF BD 81..EF BD 9A; U+FF21..U+FF3A are EF BC A1..EF BC BA.
      const unsigned char b = static_cast<unsigned char>(s[i + 2]);
      if (b >= 0x81 && b <= 0x9A) {
        s[i + 1] = static_cast<char>(0xBC);
        s[i + 2] = static_cast<char>(b - 0x81 + 0xA1);
      }
      i += 2;
    }
  }
  return s;
}

enum class Presence { Missing, File, Untestable };

// Whether a regular file is at path. Untestable when the test itself fails (a directory on the way
// cannot be searched, a share that cannot be reached).
Presence presence(const std::string& path) {
  if (path.empty()) return Presence::Missing;
  std::error_code ec;
  const fs::file_status st = fs::status(text::pathFromUtf8(path), ec);
  if (ec && st.type() != fs::file_type::not_found) return Presence::Untestable;
  return st.type() == fs::file_type::regular ? Presence::File : Presence::Missing;
}

// A relative reference names a file relative to the file that holds it.
std::string resolveReference(const std::string& ref, const std::string& from) {
  const fs::path p = text::pathFromUtf8(ref);
  if (ref.empty() || p.is_absolute()) return ref;
  return text::utf8FromPath((text::pathFromUtf8(from).parent_path() / p).lexically_normal());
}

std::string refersTo(const std::string& path) {
  return "採取パターン定義ファイルは" + path + "を参照します。";
}

}  // namespace

PatternSet parsePatterns(const std::vector<std::string>& lines) {
  PatternSet set;
  size_t i = 0;
  while (i < lines.size() && lines[i] != kPatternMarker) ++i;
  if (i == lines.size()) return set;
  for (++i; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '#') {
      if (static_cast<int>(set.names.size()) > kMaxPatterns) break;  // a 21st name: stop, not offered
      set.names.push_back(trimBlanks(std::string_view(line).substr(1)));
      set.lists.emplace_back();
    } else {
      std::string& list = set.lists.back();
      if (!list.empty()) list += ',';
      list += upperLatin(line);
    }
  }
  return set;
}

PatternSet loadPatterns(const std::string& path) {
  if (presence(path) != Presence::File) return PatternSet{};
  auto lines = readTextLines(path);
  if (!lines) {
    PatternSet failed;
    failed.readFailed = true;
    return failed;
  }
  return parsePatterns(*lines);
}

PatternRef getPatternRef(const std::string& path) {
  PatternRef ref;
  switch (presence(path)) {
    case Presence::Untestable: ref.abandoned = true; return ref;
    case Presence::Missing: return ref;
    case Presence::File: break;
  }
  // A file that cannot be read is treated as one without a reference.
  auto lines = readTextLines(path);
  if (!lines) return ref;
  std::string found;
  bool marked = false;
  for (const std::string& line : *lines) {
    if (!line.empty() && line[0] == '@') found = trimBlanks(std::string_view(line).substr(1));
    if (line == kPatternMarker) marked = true;
  }
  if (marked) ref.path = resolveReference(found, path);
  return ref;
}

std::string selectionCountText(const std::string& selection) {
  if (selection.empty()) return "全て";
  size_t commas = 0;
  for (char c : selection) commas += (c == ',');
  return std::to_string(commas + 1) + " テーブル指定";
}

bool copyReplacing(const std::string& source, const std::string& target) {
  std::error_code ec;
  fs::path dest = text::pathFromUtf8(target);
  if (fs::is_symlink(dest, ec)) dest = fs::weakly_canonical(dest, ec);
  if (ec) return false;
  // A local copy, or its folder, that its owner made read-only is left alone (also for root,
  // whom the system would let write).
  const auto writable = [](const fs::path& p) {
    std::error_code e;
    const fs::file_status st = fs::status(p, e);
    return e || (st.permissions() & fs::perms::owner_write) != fs::perms::none;
  };
  const fs::path folder = dest.has_parent_path() ? dest.parent_path() : fs::path(".");
  if ((fs::exists(dest, ec) && !writable(dest)) || !writable(folder)) return false;
  // Copy beside the target and rename over it, so a failed copy never leaves a truncated file.
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path temp = dest;
  temp += ".tmp" + std::to_string(stamp);
  if (!fs::copy_file(text::pathFromUtf8(source), temp, fs::copy_options::overwrite_existing, ec)) {
    fs::remove(temp, ec);
    return false;
  }
  fs::rename(temp, dest, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
  }
  return true;
}

PatternFileChoice choosePatternFile(const std::string& localPath, const FileCopier& copy) {
  PatternFileChoice choice;
  auto lookup = [&](const std::string& path) {
    PatternRef ref = getPatternRef(path);
    if (ref.abandoned) choice.messages.push_back(kReadAbandoned);
    return ref.path;
  };
  const std::string master = lookup(localPath);
  if (master.empty()) {
    choice.path = localPath;
    choice.tooltip = refersTo(localPath);
    return choice;
  }
  const std::string masterRef = lookup(master);
  std::error_code ec;
  // A master that names itself is the authoritative copy; a file that names itself as the local
  // file must not be copied onto itself.
  const bool sameFile = fs::equivalent(text::pathFromUtf8(master), text::pathFromUtf8(localPath), ec) && !ec;
  if (masterRef == master && !sameFile && copy(master, localPath)) {
    choice.path = localPath;
    choice.tooltip = "採取パターン定義ファイルは" + localPath + "です。" + master + "から更新されてます。";
    return choice;
  }
  choice.path = master;
  choice.tooltip = refersTo(master);
  return choice;
}

}  // namespace vellicor::lists
