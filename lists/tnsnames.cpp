// The server list: parsing TNSNAMES.ORA and finding it below the Oracle client's network
// directory (where the client's settings come from: oracle_home_posix.cpp, oracle_home_windows.cpp).
#include "lists/tnsnames.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <system_error>

#include "lists/text_file.h"
#include "text/ascii.h"
#include "text/utf8_path.h"

namespace vellicor::lists {

namespace fs = std::filesystem;

namespace {

std::string upperAscii(const std::string& s) { return text::asciiUppercase(s); }

long countChar(const std::string& s, char c) {
  long n = 0;
  for (char x : s) n += (x == c);
  return n;
}

// The entry of dir whose name equals name without regard to ASCII letter case; an exact match wins.
std::string entryIgnoringCase(const std::string& dirPath, const std::string& name, bool wantDirectory) {
  const fs::path dir = text::pathFromUtf8(dirPath);
  std::error_code ec;
  auto fits = [&](const fs::path& p) {
    std::error_code e;
    return wantDirectory ? fs::is_directory(p, e) : fs::is_regular_file(p, e);
  };
  if (fits(dir / name)) return text::utf8FromPath(dir / name);
  const std::string wanted = upperAscii(name);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (upperAscii(text::utf8FromPath(it->path().filename())) == wanted && fits(it->path())) {
      return text::utf8FromPath(it->path());
    }
  }
  return "";
}


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
