// The pattern definition file: the patterns it offers, its reference line, the count text and the
// start-up choice between the local file and its master.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lists/pattern_file.h"

namespace fs = std::filesystem;
using namespace vellicor::lists;
using Lines = std::vector<std::string>;

namespace {

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("vellicor-pat-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

void writeFile(const std::string& p, const std::string& bytes) {
  fs::create_directories(fs::path(p).parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string readFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(PatternParse, NamedPatternsAndTheirLists) {
  const PatternSet set = parsePatterns({"# seltable.dat", "#営業", "emp", "dept,bonus", "#全部"});
  EXPECT_EQ(set.names, (Lines{"全テーブル", "営業", "全部"}));
  EXPECT_EQ(set.lists, (Lines{"", "EMP,DEPT,BONUS", ""}));
  EXPECT_FALSE(set.readFailed);
}

TEST(PatternParse, NamesTrimmedListsKeptAsWritten) {
  const PatternSet set = parsePatterns({"# seltable.dat", "#  経理 ", "#\xE3\x80\x80人事\xE3\x80\x80", "a, b",
                                        "", "c", "@x", "# seltable.dat"});
  EXPECT_EQ(set.names, (Lines{"全テーブル", "経理", "人事", "seltable.dat"}));
  // The space after the comma stays, the empty line is an empty name, "@" lines are list lines.
  EXPECT_EQ(set.lists[2], "A, B,,C,@X");
  EXPECT_EQ(selectionCountText(set.lists[2]), "5 テーブル指定");
}

TEST(PatternParse, MarkerMustMatchExactly) {
  EXPECT_EQ(parsePatterns({"#seltable.dat", "#A", "x"}).names.size(), 1u);
  EXPECT_EQ(parsePatterns({"# seltable.dat ", "#A", "x"}).names.size(), 1u);
  EXPECT_EQ(parsePatterns({"# SELTABLE.DAT", "#A", "x"}).names.size(), 1u);
  EXPECT_EQ(parsePatterns({"#seltable.dat", "# seltable.dat", "#A", "x"}).names.size(), 2u);
}

TEST(PatternParse, LinesBeforeTheFirstNameBelongToAllTables) {
  const PatternSet set = parsePatterns({"@m", "# seltable.dat", "emp", "dept", "#A", "x"});
  EXPECT_EQ(set.lists[0], "EMP,DEPT");
  EXPECT_EQ(set.lists[1], "X");
}

TEST(PatternParse, UpperCasesHalfAndFullWidthLatinOnly) {
  EXPECT_EQ(parsePatterns({"# seltable.dat", "#A", "emp_ａｂｚ_社員ß"}).lists[1], "EMP_ＡＢＺ_社員ß");
}

TEST(PatternParse, TwentyPatternsAtMost) {
  Lines lines = {"# seltable.dat"};
  for (int i = 1; i <= 25; ++i) {
    lines.push_back("#P" + std::to_string(i));
    lines.push_back("t" + std::to_string(i));
  }
  const PatternSet set = parsePatterns(lines);
  ASSERT_EQ(set.names.size(), 21u);
  ASSERT_EQ(set.lists.size(), 21u);
  EXPECT_EQ(set.names[20], "P20");
  EXPECT_EQ(set.lists[20], "T20");
}

TEST(PatternLoad, FilesOnDisk) {
  TempDir t;
  EXPECT_EQ(loadPatterns(t.file("none.dat")).names, Lines{"全テーブル"});
  EXPECT_FALSE(loadPatterns(t.file("none.dat")).readFailed);
  // A directory is not a pattern file.
  EXPECT_EQ(loadPatterns(t.file("")).names, Lines{"全テーブル"});
  // Code page 932 with CR LF (営業 = 89 63 8B C6), lone CR, UTF-8 with a byte-order mark, LF only.
  writeFile(t.file("sjis.dat"), "# seltable.dat\r\n#\x89\x63\x8B\xC6\r\nemp\r\ndept");
  EXPECT_EQ(loadPatterns(t.file("sjis.dat")).names, (Lines{"全テーブル", "営業"}));
  EXPECT_EQ(loadPatterns(t.file("sjis.dat")).lists[1], "EMP,DEPT");
  writeFile(t.file("cr.dat"), "# seltable.dat\r#A\remp\r");
  EXPECT_EQ(loadPatterns(t.file("cr.dat")).lists, (Lines{"", "EMP"}));
  writeFile(t.file("bom.dat"), "\xEF\xBB\xBF# seltable.dat\n#営業\nemp\n");
  EXPECT_EQ(loadPatterns(t.file("bom.dat")).names, (Lines{"全テーブル", "営業"}));
}

TEST(PatternLoad, ReadErrorIsReported) {
  // A file that exists and opens but cannot be read: the kernel's view of our own memory.
  if (!fs::is_regular_file("/proc/self/mem")) GTEST_SKIP() << "no /proc";
  const PatternSet set = loadPatterns("/proc/self/mem");
  EXPECT_TRUE(set.readFailed);
  EXPECT_EQ(set.names, Lines{"全テーブル"});
  EXPECT_EQ(getPatternRef("/proc/self/mem").path, "");
}

TEST(PatternRefLookup, ReferenceLines) {
  TempDir t;
  writeFile(t.file("two.dat"), "@/first/seltable.dat\n@  /second/seltable.dat \n# seltable.dat\n#A\n");
  EXPECT_EQ(getPatternRef(t.file("two.dat")).path, "/second/seltable.dat");
  writeFile(t.file("after.dat"), "# seltable.dat\n#A\n@/late/seltable.dat\n");
  EXPECT_EQ(getPatternRef(t.file("after.dat")).path, "/late/seltable.dat");
  EXPECT_EQ(loadPatterns(t.file("after.dat")).lists[1], "@/LATE/SELTABLE.DAT");
  writeFile(t.file("nomarker.dat"), "@/m/seltable.dat\n#A\n");
  EXPECT_EQ(getPatternRef(t.file("nomarker.dat")).path, "");
  writeFile(t.file("noref.dat"), "# seltable.dat\n");
  EXPECT_EQ(getPatternRef(t.file("noref.dat")).path, "");
  // A relative reference names a file beside the one that holds it.
  writeFile(t.file("sub/rel.dat"), "@../master/seltable.dat\n# seltable.dat\n");
  EXPECT_EQ(getPatternRef(t.file("sub/rel.dat")).path, t.file("master/seltable.dat"));
  const PatternRef missing = getPatternRef(t.file("missing.dat"));
  EXPECT_EQ(missing.path, "");
  EXPECT_FALSE(missing.abandoned);
}

TEST(PatternRefLookup, AnExistenceTestThatFailsAbandonsTheLookup) {
  TempDir t;
  fs::create_symlink(t.file("loop-b"), t.file("loop-a"));
  fs::create_symlink(t.file("loop-a"), t.file("loop-b"));
  const PatternRef ref = getPatternRef(t.file("loop-a"));
  EXPECT_TRUE(ref.abandoned);
  EXPECT_EQ(ref.path, "");
  EXPECT_FALSE(loadPatterns(t.file("loop-a")).readFailed);
}

TEST(PatternCount, CommasCountEntries) {
  EXPECT_EQ(selectionCountText(""), "全て");
  EXPECT_EQ(selectionCountText("EMP"), "1 テーブル指定");
  EXPECT_EQ(selectionCountText("EMP,DEPT,"), "3 テーブル指定");
  EXPECT_EQ(selectionCountText("EMP，DEPT"), "1 テーブル指定");
}

class PatternChoice : public ::testing::Test {
 protected:
  std::string local() const { return t.file("prog/seltable.dat"); }
  std::string master() const { return t.file("share/seltable.dat"); }
  TempDir t;
};

TEST_F(PatternChoice, MasterNamingItselfRefreshesTheLocalCopy) {
  writeFile(local(), "@" + master() + "\n# seltable.dat\n#OLD\n");
  const std::string content = "@" + master() + "\n# seltable.dat\n#NEW\nemp\n";
  writeFile(master(), content);
  const PatternFileChoice c = choosePatternFile(local());
  EXPECT_EQ(c.path, local());
  EXPECT_EQ(c.tooltip, "採取パターン定義ファイルは" + local() + "です。" + master() + "から更新されてます。");
  EXPECT_EQ(readFile(local()), content);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(local()).parent_path()), fs::directory_iterator()), 1)
      << "no temporary file is left behind";
}

TEST_F(PatternChoice, LocalFileNamingItselfIsNotCopiedOntoItself) {
  const std::string content = "@" + local() + "\n# seltable.dat\n#SELF\nemp\n";
  writeFile(local(), content);
  const PatternFileChoice c = choosePatternFile(local());
  EXPECT_EQ(c.path, local());
  EXPECT_EQ(readFile(local()), content);
}

TEST(PatternCopy, ReplacesOrLeavesTheTargetWhole) {
  TempDir t;
  writeFile(t.file("src"), "new content");
  writeFile(t.file("dst"), "old");
  EXPECT_TRUE(copyReplacing(t.file("src"), t.file("dst")));
  EXPECT_EQ(readFile(t.file("dst")), "new content");
  EXPECT_FALSE(copyReplacing(t.file("src"), t.file("nodir/dst")));
  EXPECT_FALSE(copyReplacing(t.file("missing"), t.file("dst")));
  EXPECT_EQ(readFile(t.file("dst")), "new content");
  // A read-only target, or a read-only folder, is not replaced.
  fs::permissions(t.file("dst"), fs::perms::owner_read);
  EXPECT_FALSE(copyReplacing(t.file("src"), t.file("dst")));
  fs::permissions(t.file("dst"), fs::perms::owner_read | fs::perms::owner_write);
  writeFile(t.file("ro/dst"), "old");
  fs::permissions(t.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(copyReplacing(t.file("src"), t.file("ro/dst")));
  fs::permissions(t.file("ro"), fs::perms::owner_all);
  EXPECT_EQ(readFile(t.file("ro/dst")), "old");
}
