// The console host. Row progress arrives once per row; a terminal repaints it at most ten times a
// second with the rate and the time left, plain output prints the last row count of each object.
#include "app/console_host.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

namespace vellicor::app {
namespace {

constexpr auto kRepaintInterval = std::chrono::milliseconds(100);
constexpr int kAnswerPollMs = 100;

bool isRowProgress(const std::string& mes) {
  return mes.rfind("レコード = ", 0) == 0 && mes.find('/') != std::string::npos;
}

std::string formatDuration(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char buf[32];
  if (s >= 3600) {
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%02ld:%02ld", s / 60, s % 60);
  }
  return buf;
}

}  // namespace

ConsoleHost::ConsoleHost(Settings s, std::FILE* out, std::FILE* err) : s_(std::move(s)), out_(out), err_(err) {}

ConsoleHost::~ConsoleHost() {
  flush();
  endLiveLine();
  std::fflush(out_);
}

void ConsoleHost::endLiveLine() {
  if (liveLineOpen_) {
    std::fputs("\n", out_);
    liveLineOpen_ = false;
  }
}

void ConsoleHost::flush() {
  if (!havePending_) return;
  havePending_ = false;
  if (s_.quiet) return;
  if (s_.live) {
    paintLive();
  } else {
    std::fprintf(out_, "%s\n", pending_.c_str());
  }
  std::fflush(out_);
}

void ConsoleHost::paintLive() {
  std::string line = pending_;
  const double elapsed = std::chrono::duration<double>(Clock::now() - objectStart_).count();
  if (copied_ > 0 && elapsed > 0.05) {
    const double rate = static_cast<double>(copied_) / elapsed;
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %.0f 件/秒", rate);
    line += buf;
    if (count_ > copied_ && rate > 0) line += "  残り " + formatDuration(static_cast<double>(count_ - copied_) / rate);
  }
  std::fprintf(out_, "\r\x1b[K%s", line.c_str());
  liveLineOpen_ = true;
  lastPaint_ = Clock::now();
}

void ConsoleHost::setMessage(const std::string& mes) {
  flush();
  if (s_.quiet) return;
  endLiveLine();
  // The run sets an object's status twice (before and after its row count); plain output, where
  // lines stay, says it once. A terminal shows every status, as before.
  if (!mes.empty() && (s_.live || mes != lastMessage_)) std::fprintf(out_, "%s\n", mes.c_str());
  lastMessage_ = mes;
  std::fflush(out_);
}

void ConsoleHost::setProgress(const std::string& mes) {
  if (isRowProgress(mes)) {
    pending_ = mes;
    havePending_ = true;
    return;  // painted by recordProgress, which follows with the numbers
  }
  flush();
  if (s_.quiet || mes.empty()) return;
  if (s_.live) {
    std::fprintf(out_, "\r\x1b[K%s", mes.c_str());
    liveLineOpen_ = true;
  } else {
    std::fprintf(out_, "%s\n", mes.c_str());
  }
  objectStart_ = Clock::now();
  copied_ = 0;
  std::fflush(out_);
}

void ConsoleHost::recordProgress(int64_t copied, int64_t count) {
  copied_ = copied;
  count_ = count;
  if (!havePending_ || s_.quiet) return;
  const auto now = Clock::now();
  if (s_.live) {
    if (now - lastPaint_ >= kRepaintInterval) {
      havePending_ = false;
      paintLive();
      std::fflush(out_);
    }
  } else if (now - lastPaint_ >= std::chrono::seconds(10)) {
    // Plain output: a line now and then on long tables, and always the last count.
    lastPaint_ = now;
    havePending_ = false;
    std::fprintf(out_, "%s\n", pending_.c_str());
    std::fflush(out_);
  }
}

void ConsoleHost::messageBox(const std::string& text, const std::string& caption) {
  flush();
  endLiveLine();
  std::fflush(out_);
  std::fprintf(err_, "[%s] %s\n", caption.empty() ? engine::kProgramTitle : caption.c_str(), text.c_str());
  std::fflush(err_);
}

bool ConsoleHost::readAnswer(std::string& answer) {
  // Ctrl-C does not break off the terminal's read (the run's calls go on through signals), so
  // the wait looks at the stop request between short waits for input.
  while (s_.stop != nullptr) {
    if (s_.stop->requested()) {
      std::fputs("\n", err_);
      return false;
    }
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&p, 1, kAnswerPollMs);
    if (ready > 0 || (ready < 0 && errno != EINTR)) break;
  }
  return static_cast<bool>(std::getline(std::cin, answer));
}

engine::Answer ConsoleHost::askYesNo(const std::string& text, const std::string& caption) {
  flush();
  endLiveLine();
  std::fflush(out_);
  const char* shown = caption.empty() ? engine::kProgramTitle : caption.c_str();
  switch (s_.overwrite) {
    case OverwritePolicy::Yes:
      std::fprintf(err_, "[%s] %s はい (--yes)\n", shown, text.c_str());
      return engine::Answer::Yes;
    case OverwritePolicy::No:
      std::fprintf(err_, "[%s] %s いいえ (--yes の指定がありません)\n", shown, text.c_str());
      return engine::Answer::No;
    case OverwritePolicy::Ask:
      break;
  }
  std::fprintf(err_, "[%s] %s [y/N] ", shown, text.c_str());
  std::fflush(err_);
  std::string answer;
  if (!readAnswer(answer)) return engine::Answer::No;
  return (answer == "y" || answer == "Y" || answer == "yes" || answer == "はい") ? engine::Answer::Yes
                                                                                 : engine::Answer::No;
}

}  // namespace vellicor::app
