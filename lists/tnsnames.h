// The server list: the net service names with a TCP address in the Oracle client's TNSNAMES.ORA,
// and where that file lies (the NET80 directory of the client, "admin" below it).
#pragma once

#include <string>
#include <vector>

namespace vellicor::lists {

// The names in file order, each as written in its header line before ".WORLD" (letter case and
// leading blanks kept), listed when a line inside its entry holds "PROTOCOL = TCP". Comment lines
// start with '#' in the first column. Reading stops (keeping what was found) if the nesting of
// parentheses leaves the range of a 16-bit count.
std::vector<std::string> parseTnsNames(const std::vector<std::string>& lines);

// The Oracle client's settings that locate its network directory.
struct OracleClientEnv {
  std::string net80;       // VELLICOR_NET80 (the registry value NET80 on Windows)
  std::string tnsAdmin;    // TNS_ADMIN: the directory that holds TNSNAMES.ORA itself
  std::string oracleHome;  // ORACLE_HOME: the client's home; NET80 is its "network" directory

  // This process's settings (oracle_home_posix.cpp: the environment; oracle_home_windows.cpp: NET80
  // from the registry, the rest from the environment).
  static OracleClientEnv fromProcess();
};

// The path of the service name file, or "" when there is none. The first of these directories that
// is set decides (no fall-through to the next when it holds no file):
//   1. net80 + "/admin"   2. tnsAdmin   3. oracleHome + "/network/admin"
// In that directory the file may be named TNSNAMES.ORA in any letter case; "admin" likewise.
std::string findTnsNamesFile(const OracleClientEnv& env);

// The whole lookup: the names of the file found for env, or none when there is no readable file.
std::vector<std::string> readServerList(const OracleClientEnv& env);

}  // namespace vellicor::lists
