// Tests of the console host: plain output prints each object's last row count once, a live
// terminal line is repainted at most ten times a second and always ends on the last text, and
// the overwrite question is answered by policy, or No when Ctrl-C comes while it waits.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "app/console_host.h"

namespace vellicor::app {
namespace {

std::string contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

void copyRows(ConsoleHost& host, int count) {
  host.setProgress("レコード = " + std::to_string(count));
  for (int i = 1; i <= count; ++i) {
    host.setProgress("レコード = " + std::to_string(i) + "/" + std::to_string(count));
    host.recordProgress(i, count);
  }
}

TEST(ConsoleHost, PlainOutputShowsTheLastCountOfEachObject) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  {
    ConsoleHost host(ConsoleHost::Settings{}, out, err);
    host.setMessage("テーブル取得中...1/2 A");
    copyRows(host, 3);
    host.setMessage("テーブル取得中...2/2 B");
    copyRows(host, 2);
    host.messageBox("正常終了しました。", "完了通知");
    host.messageBox("x", "");
  }
  EXPECT_EQ(contents(out),
            "テーブル取得中...1/2 A\nレコード = 3\nレコード = 1/3\nレコード = 3/3\n"
            "テーブル取得中...2/2 B\nレコード = 2\nレコード = 2/2\n");
  EXPECT_EQ(contents(err), "[完了通知] 正常終了しました。\n[Vellicor] x\n");
  std::fclose(out);
  std::fclose(err);
}

TEST(ConsoleHost, PlainOutputDoesNotRepeatTheStatusJustShown) {
  std::FILE* out = std::tmpfile();
  {
    ConsoleHost host(ConsoleHost::Settings{}, out, out);
    host.setMessage("テーブル取得中...1/2 A");
    host.setProgress("レコード = 2");
    host.setMessage("テーブル取得中...1/2 A");  // set again after the row count: no new line
    copyRows(host, 2);
    host.setMessage("テーブル取得中...2/2 A");
    host.setMessage("テーブル取得中...1/2 A");  // the same text after another one is shown again
  }
  EXPECT_EQ(contents(out), "テーブル取得中...1/2 A\nレコード = 2\nレコード = 2\nレコード = 1/2\nレコード = 2/2\n"
                           "テーブル取得中...2/2 A\nテーブル取得中...1/2 A\n");
  std::fclose(out);
}

TEST(ConsoleHost, LiveLineIsThrottledAndEndsOnTheLastText) {
  std::FILE* out = std::tmpfile();
  ConsoleHost::Settings s;
  s.live = true;
  {
    ConsoleHost host(s, out, out);
    host.setMessage("テーブル取得中...1/1 BIG");
    host.setProgress("レコード = 200000");
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 200000; ++i) {
      host.setProgress("レコード = " + std::to_string(i) + "/200000");
      host.recordProgress(i, 200000);
      if (i % 50000 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(120));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    host.setMessage("Oracleクローズ...");
    const std::string text = contents(out);
    size_t paints = 0;
    for (size_t at = text.find("\r\x1b[K"); at != std::string::npos; at = text.find("\r\x1b[K", at + 1)) ++paints;
    EXPECT_LE(paints, 2 + static_cast<size_t>(seconds * 10) + 1) << seconds;
    EXPECT_GE(paints, 3u);
    EXPECT_NE(text.find("レコード = 200000/200000"), std::string::npos);
    EXPECT_NE(text.find("件/秒"), std::string::npos);
    EXPECT_NE(text.find("\nOracleクローズ...\n"), std::string::npos);
  }
  std::fclose(out);
}

TEST(ConsoleHost, OverwriteQuestionFollowsThePolicy) {
  std::FILE* out = std::tmpfile();
  ConsoleHost::Settings s;
  s.overwrite = OverwritePolicy::Yes;
  EXPECT_EQ(ConsoleHost(s, out, out).askYesNo("q", "c"), engine::Answer::Yes);
  s.overwrite = OverwritePolicy::No;
  EXPECT_EQ(ConsoleHost(s, out, out).askYesNo("q", "c"), engine::Answer::No);
  std::fclose(out);
}

TEST(ConsoleHost, CtrlCWhileTheQuestionWaitsAnswersNo) {
  // Standard input is a pipe nobody writes to, as a terminal where nobody types: the wait for
  // the answer must end when the stop is asked for. (Should it not, "y" is typed after a while,
  // and the answer comes back Yes.)
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int savedStdin = ::dup(STDIN_FILENO);
  ::dup2(fds[0], STDIN_FILENO);
  std::FILE* out = std::tmpfile();
  engine::StopRequest stop;
  ConsoleHost::Settings s;
  s.overwrite = OverwritePolicy::Ask;
  s.stop = &stop;
  std::atomic<bool> answered{false};
  std::thread user([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.request();
    for (int i = 0; i < 200 && !answered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!answered) (void)!::write(fds[1], "y\n", 2);
  });
  const engine::Answer a = ConsoleHost(s, out, out).askYesNo("上書きしますか？", "c");
  answered = true;
  user.join();
  EXPECT_EQ(a, engine::Answer::No);
  ::dup2(savedStdin, STDIN_FILENO);
  ::close(savedStdin);
  ::close(fds[0]);
  ::close(fds[1]);
  std::cin.clear();
  std::fclose(out);
}

}  // namespace
}  // namespace vellicor::app
