// The file layer's promises, the same on every system (file_io_posix.cpp on Linux, file_io_windows.cpp
// under Wine): which opens keep which others out, positioned reads and writes, and the name
// operations a new or replacing database relies on, also under Japanese folder and file names.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"
#include "text/utf8_path.h"

namespace vellicor::jet3 {
namespace {

namespace fs = std::filesystem;

class FileLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = fs::temp_directory_path() / ("vellicor-file-layer-" + std::to_string(random()));
    fs::create_directories(root_);
    // A Japanese folder: every path goes through the layer as UTF-8.
    dir_ = text::utf8FromPath(root_) + "/日本語フォルダ";
    fs::create_directories(text::pathFromUtf8(dir_));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  static void write(const std::string& file, const std::string& bytes) {
    std::ofstream(text::pathFromUtf8(file), std::ios::binary) << bytes;
  }
  static std::string read(const std::string& file) {
    std::ifstream in(text::pathFromUtf8(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static int errnumOfOpen(const std::string& file, OpenMode mode) {
    try {
      openSystemFile(file, mode);
    } catch (const dao::Error& e) {
      return e.number();
    }
    return 0;
  }

  fs::path root_;
  std::string dir_;
};

TEST_F(FileLayerTest, PositionedWritesAndReadsWithZerosPastTheEnd) {
  const std::string file = path("データ.mdb");
  auto f = openSystemFile(file, OpenMode::kCreateNew);
  const std::string a(3000, 'a'), b = "bbbb";
  f->writeAt(0, a.data(), a.size());
  f->writeAt(5000, b.data(), b.size());  // a hole between them
  EXPECT_EQ(f->size(), 5004u);
  std::vector<char> got(12, 'x');
  f->readAt(4996, got.data(), got.size());
  EXPECT_EQ(std::string(got.data(), got.size()), std::string(4, '\0') + "bbbb" + std::string(4, '\0'));
  f->truncate(2048);
  EXPECT_EQ(f->size(), 2048u);
  f->sync();
  f->close();
  EXPECT_EQ(read(file), std::string(2048, 'a'));
  EXPECT_TRUE(fileExists(file));
}

TEST_F(FileLayerTest, AWriterKeepsOutEveryOtherOpenButALook) {
  const std::string file = path("使用中.mdb");
  write(file, std::string(4096, 'z'));
  auto writer = openSystemFile(file, OpenMode::kOpenExclusive);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenExclusive), dao::errnum::kFileInUse);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenShared), dao::errnum::kFileInUse);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenReadOnly), dao::errnum::kFileInUse);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kLockToReplace), dao::errnum::kFileInUse);
  // A look reads what the writer wrote, without waiting for it.
  writer->writeAt(0, "look", 4);
  auto look = openSystemFile(file, OpenMode::kLookOnly);
  char got[4];
  look->readAt(0, got, 4);
  EXPECT_EQ(std::string(got, 4), "look");
  writer->close();
  // The lock goes with the handle.
  auto again = openSystemFile(file, OpenMode::kOpenExclusive);
  again->close();
}

TEST_F(FileLayerTest, ReadersShareAndKeepWritersOut) {
  const std::string file = path("読み取り.mdb");
  write(file, "data");
  auto first = openSystemFile(file, OpenMode::kOpenReadOnly);
  auto second = openSystemFile(file, OpenMode::kOpenReadOnly);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenExclusive), dao::errnum::kFileInUse);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kLockToReplace), dao::errnum::kFileInUse);
  first->close();
  second->close();
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenExclusive), 0);
}

TEST_F(FileLayerTest, OpenFailuresSayWhichKind) {
  const std::string file = path("既存.mdb");
  write(file, "x");
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kCreateNew), dao::errnum::kDatabaseExists);
  EXPECT_EQ(errnumOfOpen(path("ない.mdb"), OpenMode::kOpenExclusive), dao::errnum::kNotAValidPath);
  EXPECT_EQ(errnumOfOpen(dir_, OpenMode::kLookOnly), dao::errnum::kUnrecognizedFormat);  // a folder
  fs::permissions(text::pathFromUtf8(file), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenExclusive), dao::errnum::kCannotOpenFile);
  EXPECT_EQ(errnumOfOpen(file, OpenMode::kOpenReadOnly), 0);
  fs::permissions(text::pathFromUtf8(file), fs::perms::owner_write, fs::perm_options::add);
}

// How JetDatabase::create makes a new file: built under a temporary name, kept open, published.
TEST_F(FileLayerTest, PublishingGivesTheOpenFileItsNameAndNeverReplaces) {
  const std::string building = path("新規.mdb.vellicor-new-1"), target = path("新規.mdb");
  auto f = openSystemFile(building, OpenMode::kCreateNew);
  f->writeAt(0, "complete", 8);
  f->sync();
  bool taken = true;
  EXPECT_EQ(publishNewFile(building, target, &taken), std::nullopt);
  EXPECT_FALSE(taken);
  EXPECT_EQ(removeFile(building), std::nullopt);  // a name already gone counts as removed
  // The handle writes on under the new name, still keeping writers out.
  f->writeAt(8, " and more", 9);
  EXPECT_EQ(errnumOfOpen(target, OpenMode::kOpenExclusive), dao::errnum::kFileInUse);
  f->close();
  EXPECT_EQ(read(target), "complete and more");

  // A name that is taken stays as it is, and the new file keeps its own name.
  const std::string other = path("別.mdb.vellicor-new-2");
  auto g = openSystemFile(other, OpenMode::kCreateNew);
  g->writeAt(0, "other", 5);
  EXPECT_NE(publishNewFile(other, target, &taken), std::nullopt);
  EXPECT_TRUE(taken);
  g->writeAt(5, "!", 1);
  g->close();
  EXPECT_EQ(read(target), "complete and more");
  EXPECT_EQ(read(other), "other!");
}

// How JetDatabase::create replaces a file: the old one locked, the new one built and renamed over it.
TEST_F(FileLayerTest, ReplacingTakesTheLockedFilesNameWhole) {
  const std::string target = path("置換.mdb"), building = path("置換.mdb.vellicor-new-3");
  write(target, "old contents");
  auto held = openSystemFile(target, OpenMode::kLockToReplace);
  EXPECT_EQ(errnumOfOpen(target, OpenMode::kOpenExclusive), dao::errnum::kFileInUse);
  auto f = openSystemFile(building, OpenMode::kCreateNew);
  f->writeAt(0, "new", 3);
  f->sync();
  EXPECT_EQ(renameReplacing(building, target), std::nullopt);
  held->close();
  f->writeAt(3, " file", 5);
  EXPECT_EQ(errnumOfOpen(target, OpenMode::kOpenReadOnly), dao::errnum::kFileInUse);
  f->close();
  EXPECT_EQ(read(target), "new file");
  EXPECT_FALSE(fileExists(building));
}

TEST_F(FileLayerTest, RemovingAndRenamingClosedFiles) {
  const std::string a = path("ジャーナル"), b = path("ジャーナル.foreign-1");
  auto j = openSystemFile(a, OpenMode::kCreateJournal);
  j->writeAt(0, "journal", 7);
  j->close();
  // A journal is created anew, emptied.
  auto again = openSystemFile(a, OpenMode::kCreateJournal);
  EXPECT_EQ(again->size(), 0u);
  again->writeAt(0, "j2", 2);
  again->close();
  syncDirectoryOf(a);
  EXPECT_EQ(renameReplacing(a, b), std::nullopt);
  EXPECT_FALSE(fileExists(a));
  EXPECT_EQ(read(b), "j2");
  EXPECT_EQ(removeFile(b), std::nullopt);
  EXPECT_FALSE(fileExists(b));
  EXPECT_EQ(removeFile(b), std::nullopt);
  EXPECT_NE(processNumber(), 0u);
}

}  // namespace
}  // namespace vellicor::jet3
