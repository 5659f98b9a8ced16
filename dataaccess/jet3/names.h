// The naming rules that Jet 3.5 applies to tables and fields: length, forbidden characters,
// leading blanks and control characters. Names are checked in the database code page's bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

namespace vellicor::text {
class CodePage;
}

namespace vellicor::jet3 {


// Empty when the name is valid; otherwise the cause, in Japanese (for example
// "名前に使用できない文字 '.' が含まれています。"). The length limit is 64 bytes of the code page.
std::optional<std::string> checkName(std::string_view utf8Name, const text::CodePage& codePage);

// The General sort key of a name in the code page's bytes: names with equal keys are one name to
// Jet (tables of a file, fields or indexes of a table).
std::vector<uint8_t> nameKey(std::string_view nameBytes);

}  // namespace vellicor::jet3
