// The naming rules of Jet 3.5 for tables, fields and indexes, checked on the UTF-8 name and on
// its bytes in the database code page.
#include "dataaccess/jet3/names.h"

#include <cstdio>

#include "text/codepage.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "text/utf8.h"

namespace vellicor::jet3 {
namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr char kForbidden[] = {'.', '!', '`', '[', ']'};

std::string quoted(std::string_view character) { return "'" + std::string(character) + "'"; }

}  // namespace

// The rules are checked on characters, not on code page bytes: a CP932 trail byte may equal '['
// or ']' (0x5B, 0x5D) without being one. In UTF-8 an ASCII byte is always its own character.
std::optional<std::string> checkName(std::string_view utf8Name, const text::CodePage& codePage) {
  if (utf8Name.empty()) return std::string("名前が空です。");

  const auto* s = reinterpret_cast<const unsigned char*>(utf8Name.data());
  const size_t n = utf8Name.size();
  if (s[0] == ' ') return std::string("名前の先頭に空白は使用できません。");
  for (size_t i = 0; i < n;) {
    if (s[i] >= 0x80) {
      if (text::nextUtf8(s, n, i) == text::kInvalidUtf8) return std::string("名前に UTF-8 として正しくないバイト列が含まれています。");
      continue;
    }
    const unsigned char c = s[i++];
    if (c < kFirstPrintable) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", c);
      return "名前に制御文字 (" + std::string(code) + ") が含まれています。";
    }
    for (char f : kForbidden)
      if (c == static_cast<unsigned char>(f))
        return "名前に使用できない文字 " + quoted(std::string_view(&f, 1)) + " が含まれています。";
  }
  // Every character must exist in the code page: a substituted '?' would change the name.
  for (size_t i = 0; i < n;) {
    const size_t start = i;
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    text::nextUtf8(s, n, i);
    std::string bytes;
    const std::string_view character = utf8Name.substr(start, i - start);
    if (codePage.encode(character, bytes) != 0)
      return "名前に、コードページ " + std::to_string(codePage.id()) + " で表せない文字 " + quoted(character) +
             " が含まれています。";
  }

  std::string bytes;
  codePage.encode(utf8Name, bytes);
  if (bytes.size() > fmt::kMaxNameBytes)
    return "名前が長すぎます (" + std::to_string(bytes.size()) + " バイト。上限は " +
           std::to_string(fmt::kMaxNameBytes) + " バイトです)。";
  return std::nullopt;
}

std::vector<uint8_t> nameKey(std::string_view nameBytes) {
  std::vector<uint8_t> key;
  appendTextKeyGeneral(key, nameBytes, true);
  return key;
}

}  // namespace vellicor::jet3
