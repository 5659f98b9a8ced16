// Shortening in the middle: the longest head and tail (halves of the characters kept) around "…"
// that the control still fits; a path keeps its last separator and file name in the tail.
#include "form/text_fit.h"

#include <optional>
#include <vector>

namespace vellicor::form {

namespace {

// The byte offset at which each character of s begins, and s.size() last.
std::vector<size_t> characterStarts(const std::string& s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  starts.push_back(s.size());
  return starts;
}

// The first and last characters of s, `kept` of them in all, around the ellipsis, then suffix.
std::string shortened(const std::string& s, const std::vector<size_t>& starts, size_t kept, const std::string& suffix) {
  const size_t chars = starts.size() - 1;
  const size_t head = (kept + 1) / 2;
  const size_t tail = kept / 2;
  return s.substr(0, starts[head]) + kEllipsis + s.substr(starts[chars - tail]) + suffix;
}

// The shortening of s (then suffix) keeping the most characters that fits; nothing when even
// the ellipsis with the suffix alone does not fit.
std::optional<std::string> shortenMiddle(const std::string& s, const std::string& suffix, const FitsTest& fits) {
  const std::vector<size_t> starts = characterStarts(s);
  const size_t chars = starts.size() - 1;
  if (!fits(shortened(s, starts, 0, suffix))) return std::nullopt;
  // The most characters kept such that the text still fits: fewer characters never widen it.
  size_t lo = 0, hi = chars == 0 ? 0 : chars - 1;
  while (lo < hi) {
    const size_t mid = lo + (hi - lo + 1) / 2;
    if (fits(shortened(s, starts, mid, suffix))) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return shortened(s, starts, lo, suffix);
}

}  // namespace

TextFit textFitOf(Control c) {
  switch (c) {
    case Control::lblTable:
    case Control::lblProgress:
      return TextFit::Middle;
    case Control::lblsaveFilename:
      return TextFit::Path;
    default:
      return TextFit::Cut;
  }
}

std::string fitText(const std::string& text, TextFit fit, const FitsTest& fits) {
  if (fit == TextFit::Cut || fits(text)) return text;
  if (fit == TextFit::Path) {
    const size_t sep = text.find_last_of("/\\");
    if (sep != std::string::npos && sep > 0) {
      if (auto s = shortenMiddle(text.substr(0, sep), text.substr(sep), fits)) return *s;
    }
    // No folder to shorten, or the file name alone is too long: its middle gives way too.
  }
  if (auto s = shortenMiddle(text, "", fits)) return *s;
  return kEllipsis;
}

}  // namespace vellicor::form
