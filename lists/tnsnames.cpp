// The server list: parsing TNSNAMES.ORA and finding it below the Oracle client's network
// directory (the registry on Windows, the environment elsewhere).
#include "lists/tnsnames.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

#include "lists/text_file.h"
#include "text/ascii.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <cstring>
#endif

namespace vellicor::lists {

namespace fs = std::filesystem;

namespace {

std::string upperAscii(const std::string& s) { return text::asciiUppercase(s); }

long countChar(const std::string& s, char c) {
  long n = 0;
  for (char x : s) n += (x == c);
  return n;
}

std::string envValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// The entry of dir whose name equals name without regard to ASCII letter case; an exact match wins.
std::string entryIgnoringCase(const fs::path& dir, const std::string& name, bool wantDirectory) {
  std::error_code ec;
  auto fits = [&](const fs::path& p) {
    std::error_code e;
    return wantDirectory ? fs::is_directory(p, e) : fs::is_regular_file(p, e);
  };
  if (fits(dir / name)) return (dir / name).string();
  const std::string wanted = upperAscii(name);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (upperAscii(it->path().filename().string()) == wanted && fits(it->path())) {
      return it->path().string();
    }
  }
  return "";
}

#ifdef _WIN32
// The string value NET80 of HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE, or "".
std::string registryNet80() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return "";
  }
  char buffer[250] = {};
  DWORD length = sizeof buffer;
  const LONG rc = RegQueryValueExA(key, "NET80", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return "";
  std::string ansi(buffer, strnlen(buffer, std::min<size_t>(length, sizeof buffer)));
  // The value is in the ANSI code page; the program works in UTF-8.
  int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring w(wide, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), w.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}
#endif

}  // namespace

std::vector<std::string> parseTnsNames(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  long depth = 0;  // parentheses opened before the current line
  std::string name;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == '#') continue;
    const std::string upper = upperAscii(line);
    if (depth != 0) {
      if (upper.find("PROTOCOL = TCP") != std::string::npos && !name.empty()) {
        names.push_back(name);
        name.clear();
      }
    } else {
      // ".WORLD" is ASCII, so its byte position in the upper-cased copy is its position in line.
      const size_t p = upper.find(".WORLD");
      if (p != std::string::npos) name = line.substr(0, p);
    }
    depth += countChar(line, '(') - countChar(line, ')');
    if (depth > std::numeric_limits<int16_t>::max() || depth < std::numeric_limits<int16_t>::min()) {
      break;
    }
  }
  return names;
}

OracleClientEnv OracleClientEnv::fromProcess() {
  OracleClientEnv env;
#ifdef _WIN32
  env.net80 = registryNet80();
#else
  env.net80 = envValue("VELLICOR_NET80");
#endif
  env.tnsAdmin = envValue("TNS_ADMIN");
  env.oracleHome = envValue("ORACLE_HOME");
  return env;
}

std::string findTnsNamesFile(const OracleClientEnv& env) {
  std::string adminDir;
  if (!env.net80.empty()) {
    adminDir = entryIgnoringCase(env.net80, "admin", true);
  } else if (!env.tnsAdmin.empty()) {
    adminDir = env.tnsAdmin;
  } else if (!env.oracleHome.empty()) {
    const std::string network = entryIgnoringCase(env.oracleHome, "network", true);
    if (!network.empty()) adminDir = entryIgnoringCase(network, "admin", true);
  }
  if (adminDir.empty()) return "";
  return entryIgnoringCase(adminDir, "tnsnames.ora", false);
}

std::vector<std::string> readServerList(const OracleClientEnv& env) {
  const std::string path = findTnsNamesFile(env);
  if (path.empty()) return {};
  auto lines = readTextLines(path);
  if (!lines) return {};
  return parseTnsNames(*lines);
}

}  // namespace vellicor::lists
