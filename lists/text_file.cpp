// Reading the small text files of the Oracle client and of the pattern lists: decoding and
// splitting into lines.
#include "lists/text_file.h"

#include <fstream>

#include "text/codepage.h"
#include "text/utf8.h"
#include "text/utf8_path.h"

namespace vellicor::lists {

std::string decodeFileText(std::string_view bytes) {
  if (text::isValidUtf8(bytes)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  std::string out;
  text::CodePage::forId(text::kCodePage932).decode(bytes, out);
  return out;
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::optional<std::vector<std::string>> readTextLines(const std::string& path) {
  std::ifstream in(text::pathFromUtf8(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  char chunk[16384];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) bytes.append(chunk, static_cast<size_t>(in.gcount()));
  // A read error (not the end of the file) sets badbit.
  if (in.bad()) return std::nullopt;
  return splitLines(decodeFileText(bytes));
}

}  // namespace vellicor::lists
