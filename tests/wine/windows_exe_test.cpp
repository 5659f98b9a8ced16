// End-to-end runs of the Windows executable (build-win64/app/vellicor.exe) under Wine, through Wine's
// odbc32 to the SQLite and PostgreSQL stand-ins: a completed run with Japanese names into a Japanese
// folder, the unsupported-type stop, connect failures, --append, a kill and a Ctrl-C in the middle of a
// long table. Each file is compared with the Linux build's file from the same source (mdbtools, our reader)
// and passes the whole-file check. Wine's ANSI code page is 932 here (a Japanese locale).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "app/app_harness.h"
#include "text/codepage.h"

namespace vellicor::e2e {
namespace {

namespace fs = std::filesystem;

std::string envOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// The Windows executable under Wine, in the prefix and with the Japanese locale the test command made.
const Program& windowsProgram() {
  static const Program program{{VELLICOR_WINE, VELLICOR_WINDOWS_EXE},
                               {{"WINEDEBUG", "-all"},
                                {"LC_ALL", "ja_JP.UTF-8"},
                                {"LOCPATH", envOrEmpty("VELLICOR_WINE_LOCPATH")},
                                {"WINEPREFIX", envOrEmpty("WINEPREFIX")}}};
  return program;
}

// Text a Windows program wrote to a pipe or a file: code page 932 and CR LF, as UTF-8 with LF.
std::string fromWindows(const std::string& bytes) {
  std::string utf8;
  text::CodePage::forId(text::kCodePage932).decode(bytes, utf8);
  utf8.erase(std::remove(utf8.begin(), utf8.end(), '\r'), utf8.end());
  return utf8;
}

Result decoded(Result r) {
  r.out = fromWindows(r.out);
  r.err = fromWindows(r.err);
  return r;
}

// The log's lines without the two time lines, which differ between runs.
std::vector<std::string> logWithoutTimes(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& l : lines) {
    if (l.rfind("開始日時", 0) != 0 && l.rfind("終了日時", 0) != 0) kept.push_back(l);
  }
  return kept;
}

std::vector<std::string> splitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start) + "<no CRLF>");
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

const std::string kTable = "社員名簿";
const std::string kJapaneseSql =
    "CREATE TABLE \"社員名簿\" (\"社員番号\" INTEGER, \"氏名\" VARCHAR(20), \"部署CODE\" VARCHAR(10), \"ID_カナ\" VARCHAR(10));\n"
    "INSERT INTO \"社員名簿\" VALUES (1, '山田 太郎', 'A01', 'ヤマダ');\n"
    "INSERT INTO \"社員名簿\" VALUES (2, '佐藤 花子', NULL, 'サトウ');\n"
    "INSERT INTO \"社員名簿\" VALUES (3, '～①髙﨑', 'B', 'ﾀｶｻｷ');\n"
    "INSERT INTO USER_OBJECTS VALUES ('社員名簿', 'TABLE', 'VALID', 20);\n";

class WindowsExeTest : public E2ETest {
 protected:
  void SetUp() override {
    E2ETest::SetUp();
    ASSERT_FALSE(envOrEmpty("WINEPREFIX").empty()) << "the test command sets WINEPREFIX (scripts/test.sh)";
  }

  Result runWindows(const std::vector<std::string>& words, const std::map<std::string, std::string>& env = {}) {
    return decoded(runProgram(windowsProgram(), words, env, dir.string()));
  }

  // Both files hold the same tables with the same rows, as mdbtools and our reader see them, and
  // both pass the whole-file check.
  void expectSameFiles(const std::string& windowsFile, const std::string& linuxFile) {
    const auto tables = mdbTables(linuxFile);
    ASSERT_FALSE(tables.empty());
    EXPECT_EQ(mdbTables(windowsFile), tables);
    for (const std::string& t : tables) {
      EXPECT_EQ(mdbRows(windowsFile, t), mdbRows(linuxFile, t)) << t;
      const Result w = runVellicor({"inspect", windowsFile, t});
      const Result l = runVellicor({"inspect", linuxFile, t});
      ASSERT_EQ(w.exitCode, 0) << w.err;
      EXPECT_EQ(w.out.substr(w.out.find('\n')), l.out.substr(l.out.find('\n'))) << t;  // past the file's name
    }
    for (const std::string& f : {windowsFile, linuxFile}) {
      const Result check = runVellicor({"inspect", "--check", f});
      EXPECT_EQ(check.exitCode, 0) << f << "\n" << check.out << check.err;
    }
  }
};

TEST_F(WindowsExeTest, JapaneseNamesIntoAJapaneseFolderGiveTheFileLinuxGives) {
  const std::string source = makeSqliteSource(dir, kJapaneseSql);
  fs::create_directories(dir / "日本語フォルダ");
  const std::string windowsFile = path("日本語フォルダ/出力 ファイル.mdb");
  const std::vector<std::string> words = {"--connect", kSqliteTemplate, "--views", "--synonyms", "--sequences", "--quiet"};
  std::vector<std::string> run = {"run", "-s", source, "-u", "demo", "-o", windowsFile};
  run.insert(run.end(), words.begin(), words.end());
  const Result w = runWindows(run, {{"VELLICOR_PASSWORD", "x"}});
  ASSERT_EQ(w.exitCode, 0) << w.out << w.err;
  EXPECT_EQ(w.err, "[完了通知] 正常終了しました。\n");

  const std::string linuxFile = path("linux.mdb");
  run[6] = linuxFile;
  const Result l = runVellicor(run, {{"VELLICOR_PASSWORD", "x"}});
  ASSERT_EQ(l.exitCode, 0) << l.out << l.err;
  expectSameFiles(windowsFile, linuxFile);
  const auto tables = mdbTables(windowsFile);
  EXPECT_NE(std::find(tables.begin(), tables.end(), kTable), tables.end());

  // The log: code page 932 with CR LF on Windows, UTF-8 with CR LF on Linux, the same lines.
  const std::string windowsLog = readText(windowsFile + ".log");
  const std::vector<std::string> windowsLines = splitLines(windowsLog);
  std::vector<std::string> decodedLines;
  for (const std::string& line : windowsLines) decodedLines.push_back(fromWindows(line));
  auto linuxLines = logLines(linuxFile + ".log");
  for (std::string& line : linuxLines) {
    if (line.rfind("データベース= ", 0) == 0) line = "データベース= demo@" + source;
  }
  EXPECT_EQ(logWithoutTimes(decodedLines), logWithoutTimes(linuxLines));
  EXPECT_NE(std::find(decodedLines.begin(), decodedLines.end(), "テーブル " + kTable + " レコード件数 = 3 件"),
            decodedLines.end());
  EXPECT_EQ(windowsLog.find("社員"), std::string::npos) << "the log is not UTF-8 on Windows";

  // The Windows build's own reader reads its file as the Linux build's reader does.
  const Result wi = runWindows({"inspect", windowsFile, kTable});
  const Result li = runVellicor({"inspect", windowsFile, kTable});
  ASSERT_EQ(wi.exitCode, 0) << wi.err;
  EXPECT_EQ(wi.out.substr(wi.out.find('\n')), li.out.substr(li.out.find('\n')));
  const Result wc = runWindows({"inspect", "--check", windowsFile});
  EXPECT_EQ(wc.exitCode, 0) << wc.out << wc.err;
}

TEST_F(WindowsExeTest, PostgreSqlSourceAndAppendGiveTheFileLinuxGives) {
  if (pg().templ.empty()) GTEST_SKIP() << "the PostgreSQL stand-in could not be started";
  const std::map<std::string, std::string> password = {{"VELLICOR_PASSWORD", pg().password}};
  auto twoRuns = [&](const std::string& out, bool windows) {
    const std::vector<std::string> first = {"run", "-s", pg().server, "-u", pg().user, "-o", out, "--connect", pg().templ,
                                            "--select", "DEPARTMENTS,Emp,order lines", "--quiet"};
    std::vector<std::string> second = first;
    second[10] = "DEPARTMENTS";
    second.insert(second.end(), {"--append", "--prefix", "B_"});
    for (const auto& words : {first, second}) {
      const Result r = windows ? runWindows(words, password) : runVellicor(words, password);
      ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
  };
  fs::create_directories(dir / "追加");
  const std::string windowsFile = path("追加/pg.mdb"), linuxFile = path("linux.mdb");
  twoRuns(windowsFile, true);
  twoRuns(linuxFile, false);
  EXPECT_EQ(mdbTables(windowsFile), (std::vector<std::string>{"B_DEPARTMENTS", "DEPARTMENTS", "Emp", "order lines"}));
  expectSameFiles(windowsFile, linuxFile);
  // The same table again into the same file: the append of its definition fails, as on Linux.
  const Result again = runWindows({"run", "-s", pg().server, "-u", pg().user, "-o", windowsFile, "--connect", pg().templ,
                                   "--select", "DEPARTMENTS", "--append", "--prefix", "B_"},
                                  password);
  EXPECT_EQ(again.exitCode, 1) << again.out << again.err;
  EXPECT_EQ(runVellicor({"inspect", "--check", windowsFile}).exitCode, 0);
}

TEST_F(WindowsExeTest, UnsupportedTypeStopsTheRunAsOnLinux) {
  if (pg().templ.empty()) GTEST_SKIP() << "the PostgreSQL stand-in could not be started";
  const std::string schema = "vellicor_wine_e2e";
  static std::once_flag once;
  std::call_once(once, [&] {
    pg().psql("select pg_advisory_lock(4244); create schema if not exists " + schema + "; create table if not exists " +
              schema + ".guid_keys (id integer, k uuid); select pg_advisory_unlock(4244);");
  });
  const std::string out = path("stop.mdb"), linuxOut = path("linux.mdb");
  std::vector<std::string> words = {"run", "-s", pg().server, "-u", pg().user, "-o", out, "--connect",
                                    pg().templateInSchema(schema), "--select", "GUID_KEYS"};
  const Result r = runWindows(words, {{"VELLICOR_PASSWORD", pg().password}});
  words[6] = linuxOut;
  const Result l = runVellicor(words, {{"VELLICOR_PASSWORD", pg().password}});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_EQ(r.exitCode, l.exitCode);
  EXPECT_NE(r.err.find("[Vellicor] GUID_KEYSテーブルkの型(15)はサポートされていません。"), std::string::npos) << r.err;
  EXPECT_EQ(r.err, l.err);
  EXPECT_TRUE(mdbTables(out).empty());
  EXPECT_EQ(runVellicor({"inspect", "--check", out}).exitCode, 0);
  // The log as the Linux build leaves it (no time lines), in code page 932.
  std::vector<std::string> lines;
  for (const std::string& line : splitLines(readText(out + ".log"))) lines.push_back(fromWindows(line));
  auto linuxLines = logLines(linuxOut + ".log");
  ASSERT_FALSE(linuxLines.empty());
  linuxLines.erase(linuxLines.begin());  // the database line names the output's source alike; compared below
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), linuxLines);
  EXPECT_EQ(logWithoutTimes(lines), lines);
  EXPECT_EQ(lines.at(1), "テーブル GUID_KEYS レコード件数 = 0 件");
}

TEST_F(WindowsExeTest, ConnectFailuresEndAsOnLinuxAndTouchNothing) {
  const std::string out = path("none.mdb");
  auto expectLikeLinux = [&](const std::vector<std::string>& words, const std::string& password, const std::string& said) {
    const Result w = runWindows(words, {{"VELLICOR_PASSWORD", password}});
    const Result l = runVellicor(words, {{"VELLICOR_PASSWORD", password}});
    EXPECT_EQ(w.exitCode, 1) << w.out << w.err;
    EXPECT_EQ(w.exitCode, l.exitCode);
    EXPECT_EQ(w.err, "[Vellicor] DB接続に失敗しました。\n");
    EXPECT_EQ(w.err, l.err);
    EXPECT_NE(w.out.find(said), std::string::npos) << w.out;  // the driver's own description
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".log"));
  };
  // A SQLite file that is not there (NoCreat: the driver does not make one).
  expectLikeLinux({"run", "-s", path("absent.sqlite"), "-u", "demo", "-o", out, "--connect",
                   "Driver=SQLite3;Database=%DBQ%;NoCreat=1;"},
                  "x", "connect failed");
  if (!pg().templ.empty()) {
    expectLikeLinux({"run", "-s", pg().server, "-u", pg().user, "-o", out, "--connect", pg().templ},
                    pg().password + "-wrong", "password");
  }
  // Wrong usage is told before anything is opened, with the status of Linux.
  const Result usage = runWindows({"run", "-u", "demo", "-o", out});
  EXPECT_EQ(usage.exitCode, 2);
  EXPECT_EQ(usage.err, "[DB接続エラー] サーバを指定してください。\n");
}

TEST_F(WindowsExeTest, KilledInTheMiddleOfALongTableRollsBackOnTheNextOpen) {
  const std::string source = largeSource();
  // Past the first bitmap page of the table's usage map (its pages reach the second one's range),
  // and in the middle of a commit: killed while its journal is whole and its pages are being
  // written. A kill may also fall while the journal is still being written (the file is then as
  // before the commit, and the journal is not taken); the run is tried again then, a few times.
  constexpr uintmax_t kPastFirstBitmapPage = uintmax_t{16352} * 2048;
  constexpr int kAttempts = 5;
  std::string out, journal;
  bool interrupted = false;
  for (int attempt = 0; attempt < kAttempts && !interrupted; ++attempt) {
    out = path("killed" + std::to_string(attempt) + ".mdb");
    journal = out + ".vellicor-journal";
    auto run = startProgram(windowsProgram(), {"run", "-s", source, "-u", "demo", "-o", out, "--connect",
                                               kSqliteTemplate, "--select", "BIGT", "--quiet"},
                            {{"VELLICOR_PASSWORD", "x"}});
    const bool caught = waitUntil(
        [&] {
          std::error_code ec;
          const uintmax_t size = fs::file_size(out, ec);
          return !ec && size > kPastFirstBitmapPage && fs::exists(journal);
        },
        run.get());
    ASSERT_TRUE(caught) << "the run ended before a commit of a long table: " << finish(*run).err;
    ::kill(run->pid, SIGKILL);
    EXPECT_EQ(finish(*run).exitCode, -SIGKILL);
    // Whatever the moment, the file reads whole; our reader reads it as before an interrupted commit.
    const Result before = runVellicor({"inspect", "--check", out});
    EXPECT_EQ(before.exitCode, 0) << before.out << before.err;
    interrupted = before.out.find("中断") != std::string::npos;
  }
  ASSERT_TRUE(interrupted) << "no kill of " << kAttempts << " fell inside a commit's page writes";
  ASSERT_TRUE(fs::exists(journal));

  // The next open for writing (an append by the Windows build) puts the pages back, then adds.
  const Result append = runWindows({"run", "-s", source, "-u", "demo", "-o", out, "--connect", kSqliteTemplate,
                                    "--select", "DEPARTMENTS", "--append", "--quiet"},
                                   {{"VELLICOR_PASSWORD", "x"}});
  ASSERT_EQ(append.exitCode, 0) << append.out << append.err;
  EXPECT_FALSE(fs::exists(journal));
  const Result check = runVellicor({"inspect", "--check", out});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  const auto tables = mdbTables(out);
  EXPECT_NE(std::find(tables.begin(), tables.end(), "DEPARTMENTS"), tables.end());
  EXPECT_EQ(mdbRows(out, "DEPARTMENTS").size(), 4u);
  if (std::find(tables.begin(), tables.end(), "BIGT") != tables.end()) {
    // The rows committed before the kill, no more, as mdbtools and our reader count them.
    int code = 0;
    const std::string counted =
        vellicor::testing::runCommand("mdb-count " + vellicor::testing::shellQuote(out) + " BIGT", &code);
    ASSERT_EQ(code, 0);
    const long rows = std::stol(counted);
    EXPECT_LT(rows, kLargeRows);
    const Result summary = runVellicor({"inspect", out});
    EXPECT_NE(summary.out.find("テーブル BIGT (" + std::to_string(rows) + " 行"), std::string::npos) << summary.out;
  }
}

// Wine turns SIGINT into the console's Ctrl-C event: the run stops at its next row as on Linux.
TEST_F(WindowsExeTest, CtrlCStopsALongTableWithTheRowsSoFar) {
  const std::string source = largeSource();
  const std::string out = path("中断.mdb");
  auto run = startProgram(windowsProgram(), {"run", "-s", source, "-u", "demo", "-o", out, "--connect", kSqliteTemplate,
                                             "--select", "BIGT"},
                          {{"VELLICOR_PASSWORD", "x"}});
  constexpr uintmax_t kSomeRows = uintmax_t{8} << 20;
  ASSERT_TRUE(waitUntil(
      [&] {
        std::error_code ec;
        const uintmax_t size = fs::file_size(out, ec);
        return !ec && size > kSomeRows;
      },
      run.get()))
      << finish(*run).err;
  ::kill(run->pid, SIGINT);
  const Result& r = finish(*run);
  EXPECT_EQ(r.exitCode, 130) << fromWindows(r.out) << fromWindows(r.err);
  EXPECT_NE(fromWindows(r.err).find("[中断] 処理を中断しました。"), std::string::npos) << fromWindows(r.err);
  const Result check = runVellicor({"inspect", "--check", out});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  int code = 0;
  const long rows = std::stol(vellicor::testing::runCommand("mdb-count " + vellicor::testing::shellQuote(out) + " BIGT", &code));
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, kLargeRows);
  // The log is closed whole, without its time lines, after the line of the table being copied.
  std::vector<std::string> lines;
  for (const std::string& line : splitLines(readText(out + ".log"))) lines.push_back(fromWindows(line));
  EXPECT_EQ(logWithoutTimes(lines), lines);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "テーブル BIGT レコード件数 = " + std::to_string(kLargeRows) + " 件"),
            lines.end());
  // The file takes an append, as on Linux.
  const Result more = runWindows({"run", "-s", source, "-u", "demo", "-o", out, "--connect", kSqliteTemplate,
                                  "--select", "DEPARTMENTS", "--append", "--quiet"},
                                 {{"VELLICOR_PASSWORD", "x"}});
  EXPECT_EQ(more.exitCode, 0) << more.out << more.err;
  EXPECT_EQ(mdbTables(out), (std::vector<std::string>{"BIGT", "DEPARTMENTS"}));
  EXPECT_EQ(runVellicor({"inspect", "--check", out}).exitCode, 0);
}

}  // namespace
}  // namespace vellicor::e2e
