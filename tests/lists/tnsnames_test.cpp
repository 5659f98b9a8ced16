// The server list: which TNSNAMES.ORA entries are offered, how its text is read, and where the
// file is found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lists/tnsnames.h"

namespace fs = std::filesystem;
using vellicor::lists::findTnsNamesFile;
using vellicor::lists::OracleClientEnv;
using vellicor::lists::parseTnsNames;
using vellicor::lists::readServerList;
using Names = std::vector<std::string>;

namespace {

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("vellicor-tns-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

void writeFile(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

}  // namespace

TEST(TnsNamesParse, OneItemPerEntryAndOnlyWithTcpInsideTheEntry) {
  const Names lines = {
      "# ORCL.WORLD =",
      "ORCL.WORLD =",
      "  (DESCRIPTION =",
      "    (ADDRESS_LIST =",
      "        (ADDRESS = (COMMUNITY = tcp.world) (PROTOCOL = TCP) (Host = x) (Port = 1521))",
      "        (ADDRESS = (PROTOCOL = TCP) (Host = y) (Port = 1521))",
      "    ) )",
  };
  EXPECT_EQ(parseTnsNames(lines), Names{"ORCL"});
}

TEST(TnsNamesParse, HeaderKeepsItsCaseAndLeadingBlanks) {
  EXPECT_EQ(parseTnsNames({"orcl.world =", "(DESCRIPTION = (ADDRESS =", "(protocol = tcp)))"}), Names{"orcl"});
  EXPECT_EQ(parseTnsNames({"  dev.World =", "(A =", "(PROTOCOL = TCP))"}), Names{"  dev"});
}

TEST(TnsNamesParse, PendingNamesAndAddressForms) {
  // Without ".WORLD" the header names nothing; a name left pending by an IPC-only entry is listed
  // with the next entry's TCP address.
  const Names pending = {"IPC1.WORLD =", "(DESCRIPTION = (ADDRESS = (PROTOCOL = IPC) (KEY = x)))",
                         "PLAIN =",      "(DESCRIPTION =", "(ADDRESS = (PROTOCOL = TCP) (Host = y)))"};
  EXPECT_EQ(parseTnsNames(pending), Names{"IPC1"});
  EXPECT_TRUE(parseTnsNames({"A.WORLD =", "(D =", "(PROTOCOL=TCP))"}).empty());
  EXPECT_EQ(parseTnsNames({"A.WORLD =", "(D =", "(PROTOCOL = TCPS))"}), Names{"A"});
  // A whole entry on one line: its TCP text is read at depth 0 and not looked at.
  EXPECT_TRUE(parseTnsNames({"A.WORLD = (D = (PROTOCOL = TCP))"}).empty());
  // The same name twice is listed twice.
  EXPECT_EQ(parseTnsNames({"A.WORLD =", "(D =", "(PROTOCOL = TCP))", "A.WORLD =", "(D =", "(PROTOCOL = TCP))"}),
            (Names{"A", "A"}));
}

TEST(TnsNamesParse, CommentsOnlyInTheFirstColumnAndUnbalancedParentheses) {
  // A blank before '#' makes it an ordinary line: its header and parentheses count.
  EXPECT_EQ(parseTnsNames({" # B.WORLD =", "(D =", "(PROTOCOL = TCP))"}), Names{" # B"});
  EXPECT_TRUE(parseTnsNames({"# (", "A.WORLD =", "(D =", "(PROTOCOL = TCP))"}).size() == 1);
  // One ')' too many: the next header lies "inside" and its name is not taken.
  EXPECT_TRUE(parseTnsNames({"X.WORLD =", "(D = (PROTOCOL = IPC)))", "A.WORLD =", "(D =", "(PROTOCOL = TCP))"})
                  .empty());
}

TEST(TnsNamesParse, DepthBeyondSixteenBitsStopsKeepingWhatWasFound) {
  Names lines = {"A.WORLD =", "(D =", "(PROTOCOL = TCP))"};
  lines.push_back(std::string(40000, '('));
  lines.push_back("B.WORLD =");
  lines.push_back(std::string(40000, ')'));
  lines.push_back("C.WORLD =");
  lines.push_back("(D =");
  lines.push_back("(PROTOCOL = TCP))");
  EXPECT_EQ(parseTnsNames(lines), Names{"A"});
}

// The path found names that file (on a case-sensitive file system only under its own letter case).
static bool sameFile(const std::string& found, const fs::path& expected) {
  std::error_code ec;
  return fs::equivalent(found, expected, ec) && !ec;
}

TEST(TnsNamesFile, FoundBelowTheConfiguredDirectoryInAnyLetterCase) {
  TempDir t;
  writeFile(t.path() / "net80/admin/TNSNAMES.ORA", "x");
  writeFile(t.path() / "tnsadmin/tnsnames.ora", "x");
  writeFile(t.path() / "home/network/admin/TnsNames.Ora", "x");
  OracleClientEnv env;
  env.oracleHome = (t.path() / "home").string();
  EXPECT_TRUE(sameFile(findTnsNamesFile(env), t.path() / "home/network/admin/TnsNames.Ora"));
  env.tnsAdmin = (t.path() / "tnsadmin").string();
  EXPECT_TRUE(sameFile(findTnsNamesFile(env), t.path() / "tnsadmin/tnsnames.ora"));
  env.net80 = (t.path() / "net80").string();
  EXPECT_TRUE(sameFile(findTnsNamesFile(env), t.path() / "net80/admin/TNSNAMES.ORA"));
  // The first directory that is set decides, as the client's own lookup does.
  env.net80 = (t.path() / "empty").string();
  EXPECT_EQ(findTnsNamesFile(env), "");
  EXPECT_EQ(findTnsNamesFile(OracleClientEnv{}), "");
}

TEST(TnsNamesFile, ReadsWindowsAndLinuxFiles) {
  TempDir t;
  OracleClientEnv env;
  env.net80 = t.path().string();
  // Code page 932 with CR LF: a comment in Japanese (開発 = 8A 4A 94 AD) and a Japanese alias.
  writeFile(t.path() / "admin/tnsnames.ora",
            "# \x8A\x4A\x94\xAD\r\nDEV.WORLD =\r\n (DESCRIPTION =\r\n  (ADDRESS = (PROTOCOL = TCP)(Host = h))\r\n )\r\n"
            "\x8A\x4A\x94\xAD.world =\r\n (D =\r\n (ADDRESS = (PROTOCOL = TCP)))\r\n");
  EXPECT_EQ(readServerList(env), (Names{"DEV", "開発"}));
  // UTF-8 with LF only, as written on Linux.
  writeFile(t.path() / "admin/tnsnames.ora", "開発.WORLD =\n (D =\n (ADDRESS = (PROTOCOL = TCP)))\n");
  EXPECT_EQ(readServerList(env), Names{"開発"});
  fs::remove(t.path() / "admin/tnsnames.ora");
  EXPECT_TRUE(readServerList(env).empty());
}
