// Paths between the program's UTF-8 text and std::filesystem, whose narrow strings are in the ANSI
// code page on Windows: a path goes into and comes out of std::filesystem through these two.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vellicor::text {

inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
  const std::u8string s = path.u8string();
  return std::string(s.begin(), s.end());
}

}  // namespace vellicor::text
