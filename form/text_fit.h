// Texts too long for their control: shortened in the middle with "…", keeping a path's file name,
// so that the end of a long object name or path stays readable; the view gives the whole text as tooltip.
#pragma once

#include <functional>
#include <string>

#include "form/controls.h"

namespace vellicor::form {

enum class TextFit {
  Cut,     // the control shows what fits (the text is short by nature)
  Middle,  // the middle gives way: the beginning and the end stay
  Path,    // the middle of the folders gives way: the file name stays whole while it fits
};

inline constexpr const char* kEllipsis = "…";

// How a control fits its text: the status lines in the middle, the output label as a path.
TextFit textFitOf(Control c);

// Whether a text fits the control it is meant for (the view measures with the control's font).
using FitsTest = std::function<bool(const std::string& text)>;

// The text as the control shows it: the whole text when it fits, else the longest shortening of
// the given kind that fits (at least the ellipsis). Cuts fall between characters, never inside one.
std::string fitText(const std::string& text, TextFit fit, const FitsTest& fits);

}  // namespace vellicor::form
