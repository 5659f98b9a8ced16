// The name fitting rule: Jet's own name checks decide which names change, its General sort keys
// decide which names clash.
#include "engine/name_fitting.h"

#include <vector>

#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/names.h"
#include "engine/sequence_export.h"
#include "text/codepage.h"
#include "text/utf8.h"

namespace vellicor::engine {
namespace {

const text::CodePage& cp932() { return text::CodePage::forId(text::kCodePage932); }

constexpr char kReplacement = '_';
constexpr char kForbidden[] = {'.', '!', '`', '[', ']'};

bool isForbiddenAscii(unsigned char c) {
  if (c < 0x20) return true;
  for (char f : kForbidden)
    if (c == static_cast<unsigned char>(f)) return true;
  return false;
}

// The characters of a UTF-8 text with their code page 932 length; a character that cannot stand in
// a name is replaced, with its length.
struct NameCharacter {
  std::string utf8;
  size_t bytes = 0;  // in code page 932
};

std::vector<NameCharacter> charactersOf(std::string_view name) {
  std::vector<NameCharacter> out;
  const auto* s = reinterpret_cast<const unsigned char*>(name.data());
  const size_t n = name.size();
  for (size_t i = 0; i < n;) {
    const size_t start = i;
    if (s[i] < 0x80) {
      ++i;
      if (isForbiddenAscii(s[start])) {
        out.push_back({std::string(1, kReplacement), 1});
      } else {
        out.push_back({std::string(name.substr(start, 1)), 1});
      }
      continue;
    }
    const char32_t cp = text::nextUtf8(s, n, i);
    std::string bytes;
    const std::string_view character = name.substr(start, i - start);
    if (cp == text::kInvalidUtf8 || cp932().encode(character, bytes) != 0) {
      out.push_back({std::string(1, kReplacement), 1});
    } else {
      out.push_back({std::string(character), bytes.size()});
    }
  }
  return out;
}

// The first characters of `chars` whose code page bytes fit `limit`.
std::string cut(const std::vector<NameCharacter>& chars, size_t limit) {
  std::string out;
  size_t used = 0;
  for (const NameCharacter& c : chars) {
    if (used + c.bytes > limit) break;
    used += c.bytes;
    out += c.utf8;
  }
  return out;
}

std::vector<NameCharacter> fittedCharacters(std::string_view name) {
  std::vector<NameCharacter> chars = charactersOf(name);
  size_t first = 0;
  while (first < chars.size() && chars[first].utf8 == " ") ++first;
  chars.erase(chars.begin(), chars.begin() + static_cast<std::ptrdiff_t>(first));
  if (chars.empty()) chars.push_back({std::string(1, kReplacement), 1});
  return chars;
}

}  // namespace

std::string nameKey(std::string_view name) {
  std::string bytes;
  cp932().encode(name, bytes);
  std::vector<uint8_t> key;
  jet3::appendTextKeyGeneral(key, bytes, true);
  return std::string(key.begin(), key.end());
}

std::string storedName(std::string_view name) {
  std::string bytes, back;
  cp932().encode(name, bytes);
  cp932().decode(bytes, back);
  return back;
}

bool isNameJetTakes(std::string_view name) { return !jet3::checkName(name, cp932()).has_value(); }

std::string fittedName(std::string_view name) {
  if (isNameJetTakes(name)) return std::string(name);
  return cut(fittedCharacters(name), jet3::fmt::kMaxNameBytes);
}

bool NameScope::isTaken(std::string_view name) const { return keys_.count(nameKey(name)) != 0; }

void NameScope::take(std::string_view name) { keys_.insert(nameKey(name)); }

std::string NameScope::takeFitted(std::string_view name) {
  const std::vector<NameCharacter> chars = fittedCharacters(name);
  std::string candidate = cut(chars, jet3::fmt::kMaxNameBytes);
  for (unsigned suffix = 2; isTaken(candidate); ++suffix) {
    const std::string tail = std::string(1, kReplacement) + std::to_string(suffix);
    candidate = cut(chars, jet3::fmt::kMaxNameBytes - tail.size()) + tail;
  }
  take(candidate);
  return candidate;
}

std::vector<std::string> fitNames(const std::vector<std::string>& names, NameScope& scope) {
  std::vector<std::string> out(names.size());
  std::vector<bool> refused(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    refused[i] = !isNameJetTakes(names[i]);
    if (refused[i]) continue;
    out[i] = names[i];
    scope.take(names[i]);
  }
  for (size_t i = 0; i < names.size(); ++i)
    if (refused[i]) out[i] = scope.takeFitted(names[i]);
  return out;
}

std::vector<std::string> tableNamesFor(const std::vector<std::string>& objectNames, const std::string& suffix,
                                       const std::vector<std::string>& tablesInFile) {
  NameScope tables;
  for (const std::string& name : tablesInFile) tables.take(name);
  tables.take(suffix + kSequenceView);
  std::vector<std::string> targets;
  targets.reserve(objectNames.size());
  for (const std::string& name : objectNames) targets.push_back(suffix + name);
  return fitNames(targets, tables);
}

}  // namespace vellicor::engine
