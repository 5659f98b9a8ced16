// Terminal widths after Unicode's East Asian Width: the wide (W) and full-width (F) ranges take
// two columns; ambiguous characters take one, as terminals set up for UTF-8 show them by default.
#include "app/display_width.h"

#include <iterator>

#include "text/utf8.h"

namespace vellicor::app {
namespace {

struct Range {
  char32_t first, last;
};

// The wide and full-width ranges, in order.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

// Marks that combine with the character before them (no column of their own).
constexpr Range kZero[] = {
    {0x0300, 0x036F}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0x3099, 0x309A}, {0xFE00, 0xFE0F},
};

bool in(const Range* begin, const Range* end, char32_t c) {
  for (const Range* r = begin; r != end; ++r) {
    if (c < r->first) return false;
    if (c <= r->last) return true;
  }
  return false;
}

size_t widthOf(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
  if (in(std::begin(kZero), std::end(kZero), c)) return 0;
  return in(std::begin(kWide), std::end(kWide), c) ? 2 : 1;
}

}  // namespace

size_t displayWidth(std::string_view utf8) {
  const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  size_t width = 0;
  for (size_t i = 0; i < n;) {
    if (s[i] < 0x80) {
      width += widthOf(s[i++]);
      continue;
    }
    const char32_t c = text::nextUtf8(s, n, i);
    width += c == text::kInvalidUtf8 ? 1 : widthOf(c);
  }
  return width;
}

std::string padToWidth(std::string_view utf8, size_t width) {
  std::string out(utf8);
  const size_t w = displayWidth(utf8);
  if (w < width) out.append(width - w, ' ');
  return out;
}

}  // namespace vellicor::app
