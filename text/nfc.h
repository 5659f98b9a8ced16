// Canonical composition (Unicode NFC) of the stretches of text that hold combining marks, done
// before text is stored in a code page, so that か followed by U+3099 is stored as が, not "か?".
#pragma once

#include <string>
#include <string_view>

namespace vellicor::text {

// True, with out set to the text composed, when composing changes it; false (out untouched) when
// the text holds nothing to compose: the usual case, found in one pass over the text. Only the
// stretches from a starter through the combining marks after it are touched: other characters
// (compatibility ideographs among them) and bytes that are not UTF-8 stay exactly as they are.
bool composeCanonically(std::string_view utf8, std::string& out);

}  // namespace vellicor::text
