// Reading the small text files of the Oracle client and of the pattern lists: the bytes of a whole
// file decoded to UTF-8 (UTF-8 when the bytes are valid UTF-8, else code page 932) and split into lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellicor::lists {

// The text of bytes read from a file: UTF-8 as it stands (a leading byte-order mark dropped) when
// the bytes are valid UTF-8, otherwise decoded from code page 932 as written by Windows tools.
std::string decodeFileText(std::string_view bytes);

// Lines of a text: a line ends at CR LF, at a lone CR or at LF; the end is not part of the line and
// the last line may lack it (a text ending in a line end has no empty line after it).
std::vector<std::string> splitLines(std::string_view text);

// The decoded lines of the file at path, or nothing when the file cannot be opened or read.
std::optional<std::vector<std::string>> readTextLines(const std::string& path);

}  // namespace vellicor::lists
