// Fuzz target: the connect string built from arbitrary server, user and password values, parsed
// back by the rules of ODBC (attributes split at ';', {braced} values with '}}' for '}'): every
// value comes back unchanged and no value adds or ends an attribute.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "dataaccess/odbc/connect_string.h"

using vellicor::odbc::buildConnectString;

namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// SQLDriverConnect's reading of a connect string; false when it is malformed.
bool parseConnectString(const std::string& s, Attributes& out) {
  size_t i = 0;
  while (i < s.size()) {
    const size_t eq = s.find_first_of("=;", i);
    if (eq == std::string::npos || s[eq] != '=') {
      // A keyword without a value ("ODBC") runs to the next ';'.
      const size_t end = s.find(';', i);
      out.emplace_back(s.substr(i, end - i), "");
      if (end == std::string::npos) return true;
      i = end + 1;
      continue;
    }
    std::string key = s.substr(i, eq - i);
    i = eq + 1;
    std::string value;
    if (i < s.size() && s[i] == '{') {
      ++i;
      for (;;) {
        if (i >= s.size()) return false;  // unterminated brace
        if (s[i] == '}') {
          if (i + 1 < s.size() && s[i + 1] == '}') {
            value += '}';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += s[i++];
      }
      if (i < s.size() && s[i] != ';') return false;  // text after the closing brace
    } else {
      const size_t end = s.find(';', i);
      value = s.substr(i, end == std::string::npos ? std::string::npos : end - i);
      i = end == std::string::npos ? s.size() : end;
      // Drivers drop blanks around an unbraced value.
      const size_t first = value.find_first_not_of(" \t");
      value = first == std::string::npos ? "" : value.substr(first, value.find_last_not_of(" \t") - first + 1);
    }
    out.emplace_back(std::move(key), std::move(value));
    if (i < s.size()) ++i;  // the ';'
  }
  return true;
}

[[noreturn]] void fail(const char* what, const std::string& cs) {
  std::fprintf(stderr, "%s: %s\n", what, cs.c_str());
  std::abort();
}

void check(const std::string& cs, const Attributes& want) {
  Attributes got;
  if (!parseConnectString(cs, got)) fail("malformed connect string", cs);
  if (got != want) fail("attributes differ", cs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Three values separated by NUL bytes (a NUL cannot travel through SQLDriverConnect's text).
  std::vector<std::string> v(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      if (v.size() == 3) break;
      v.emplace_back();
    } else {
      v.back() += static_cast<char>(data[i]);
    }
  }
  v.resize(3);
  check(buildConnectString(v[0], v[1], v[2], ""),
        {{"ODBC", ""}, {"Driver", "Oracle ODBC Driver"}, {"DBQ", v[0]}, {"UID", v[1]}, {"PWD", v[2]}});
  check(buildConnectString(v[0], v[1], v[2], "Driver=SQLite3;Database=%DBQ%"),
        {{"Driver", "SQLite3"}, {"Database", v[0]}});
  check(buildConnectString(v[0], v[1], v[2], "DSN=x;UID=%UID%;PWD=%PWD%;"),
        {{"DSN", "x"}, {"UID", v[1]}, {"PWD", v[2]}});
  return 0;
}
