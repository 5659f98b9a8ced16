// Exclusive opens hold an OS lock: a second open, from this process or another, fails with a
// clear message until the first closes; the lock goes away with the process that held it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/file_io.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;

namespace {

// Exit status of a child process that tries an exclusive open: 0 opened, 1 refused, 2 other.
int openInChild(const std::string& file) {
  const pid_t pid = fork();
  if (pid == 0) {
    int code = 2;
    try {
      jetWorkspace()->openDatabase(file, 1)->close();
      code = 0;
    } catch (const dao::Error& e) {
      code = e.description().find("使用中") != std::string::npos ? 1 : 2;
    } catch (...) {
    }
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 3;
}

}  // namespace

TEST(DaoJetLock, SecondExclusiveOpenFailsUntilTheFirstCloses) {
  ScratchDir dir;
  const std::string file = dir.path("locked.mdb");
  auto ws = jetWorkspace();
  auto created = ws->createDatabase(file, dao::dbLangJapanese);
  // Creating holds the lock too.
  EXPECT_EQ(openInChild(file), 1);
  created->close();

  auto first = ws->openDatabase(file, 1);
  try {
    ws->openDatabase(file, 1);
    FAIL() << "second exclusive open succeeded";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("locked.mdb"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("排他"), std::string::npos) << e.description();
  }
  EXPECT_EQ(openInChild(file), 1);
  first->close();
  EXPECT_EQ(openInChild(file), 0);
  ws->openDatabase(file, 1)->close();
}

TEST(DaoJetLock, LockDiesWithTheProcess) {
  ScratchDir dir;
  const std::string file = dir.path("dies.mdb");
  jetWorkspace()->createDatabase(file, dao::dbLangJapanese)->close();
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    auto db = jetWorkspace()->openDatabase(file, 1);
    char c = 1;
    (void)!write(pipeFds[1], &c, 1);
    pause();  // killed below, never closes
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(pipeFds[0], &c, 1), 1);
  EXPECT_EQ(openInChild(file), 1);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_EQ(openInChild(file), 0);
  close(pipeFds[0]);
  close(pipeFds[1]);
}

TEST(DaoJetLock, CreateRefusesAnExistingFile) {
  ScratchDir dir;
  const std::string file = dir.path("exists.mdb");
  auto ws = jetWorkspace();
  ws->createDatabase(file, dao::dbLangJapanese)->close();
  try {
    ws->createDatabase(file, dao::dbLangJapanese);
    FAIL() << "created over an existing file";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("既に存在します"), std::string::npos) << e.description();
  }
  // The existing file was not touched.
  EXPECT_EQ(mdbVersion(file), "JET3");
}

TEST(DaoJetLock, ReadersShareAndKeepWritersOut) {
  ScratchDir dir;
  const std::string file = dir.path("readers.mdb");
  auto ws = jetWorkspace();
  ws->createDatabase(file, dao::dbLangJapanese)->close();
  auto reader1 = ws->openDatabase(file, 0, true);
  auto reader2 = ws->openDatabase(file, 0, true);
  EXPECT_EQ(openInChild(file), 1);
  EXPECT_THROW(ws->openDatabase(file, 0), dao::Error);  // a writer, even without asking for exclusivity
  dao::TableDef td("T");
  td.appendField(td.createField("X", dao::dbLong));
  EXPECT_THROW(reader1->appendTableDef(td), dao::Error);
  reader1->close();
  reader2->close();
  EXPECT_EQ(openInChild(file), 0);
}

namespace {

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void addTable(dao::Database& db, const std::string& name) {
  dao::TableDef td(name);
  td.appendField(td.createField("X", dao::dbLong));
  db.appendTableDef(td);
}

}  // namespace

TEST(DaoJetLock, ReplacingAFileInUseIsRefusedAndLeavesIt) {
  ScratchDir dir;
  const std::string file = dir.path("busy.mdb");
  auto ws = jetWorkspace();
  ws->createDatabase(file, dao::dbLangJapanese)->close();
  for (bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "held by a reader" : "held by a writer");
    auto held = ws->openDatabase(file, readOnly ? 0 : 1, readOnly);
    const std::string before = bytesOf(file);
    try {
      ws->replaceDatabase(file, dao::dbLangJapanese);
      FAIL() << "replaced a file in use";
    } catch (const dao::Error& e) {
      EXPECT_NE(e.description().find("使用中"), std::string::npos) << e.description();
      EXPECT_NE(e.description().find("busy.mdb"), std::string::npos) << e.description();
    }
    EXPECT_EQ(bytesOf(file), before);
    // The run holding it goes on in the same file, not in a deleted one.
    if (!readOnly) addTable(*held, "続き");
    held->close();
  }
  auto db = ws->openDatabase(file, 0, true);
  EXPECT_EQ(db->tableNames(), std::vector<std::string>{"続き"});
  db->close();
  for (const auto& e : std::filesystem::directory_iterator(dir.path(""))) {
    EXPECT_EQ(e.path().filename().string().find(".vellicor-new-"), std::string::npos) << e.path();
  }
}

TEST(DaoJetLock, AReplacedFileIsLockedUntilTheNewOneHasItsName) {
  ScratchDir dir;
  const std::string file = dir.path("old.mdb");
  {
    auto old = jetWorkspace()->createDatabase(file, dao::dbLangJapanese);
    addTable(*old, "古い表");
    old->close();
  }
  { std::ofstream(file + ".vellicor-journal") << "a journal of the old file"; }
  // While the new file is being built, nobody can open the old one.
  int openedWhileBuilding = -1;
  auto ws = jet3::makeJetWorkspace([&](const std::string& p, jet3::OpenMode mode) {
    if (mode == jet3::OpenMode::kCreateNew) openedWhileBuilding = openInChild(file);
    return jet3::openSystemFile(p, mode);
  });
  auto fresh = ws->replaceDatabase(file, dao::dbLangJapanese);
  EXPECT_EQ(openedWhileBuilding, 1) << "the old file could be opened while it was being replaced";
  EXPECT_EQ(openInChild(file), 1) << "the new file is not locked";
  EXPECT_TRUE(fresh->tableNames().empty());
  addTable(*fresh, "新しい表");
  fresh->close();
  EXPECT_FALSE(std::filesystem::exists(file + ".vellicor-journal")) << "the old file's journal stayed";
  auto db = jetWorkspace()->openDatabase(file, 1);
  EXPECT_EQ(db->tableNames(), std::vector<std::string>{"新しい表"});
  db->close();
  // A file marked read-only is replaced too, as deleting it always did.
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  jetWorkspace()->replaceDatabase(file, dao::dbLangJapanese)->close();
  EXPECT_EQ(mdbVersion(file), "JET3");
}
