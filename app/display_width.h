// Columns a text takes on a terminal: East Asian wide and full-width characters take two, the rest
// one (combining marks none), so that tables of Japanese names line up.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vellicor::app {

size_t displayWidth(std::string_view utf8);

// The text followed by blanks up to `width` columns (unchanged when it is already as wide).
std::string padToWidth(std::string_view utf8, size_t width);

}  // namespace vellicor::app
