// The console host. Row progress arrives once per row; a terminal repaints it at most ten times a
// second with the rate and the time left, plain output prints the last row count of each object.
#include "app/console_host.h"

#include "app/console.h"

namespace vellicor::app {
namespace {

constexpr auto kRepaintInterval = std::chrono::milliseconds(100);

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
    writeText(out_, "\n");
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
    writeText(out_, pending_ + "\n");
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
  writeText(out_, "\r\x1b[K" + line);
  liveLineOpen_ = true;
  lastPaint_ = Clock::now();
}

void ConsoleHost::setMessage(const std::string& mes) {
  flush();
  if (s_.quiet) return;
  endLiveLine();
  // The run sets an object's status twice (before and after its row count); plain output, where
  // lines stay, says it once. A terminal shows every status, as before.
  if (!mes.empty() && (s_.live || mes != lastMessage_)) writeText(out_, mes + "\n");
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
    writeText(out_, "\r\x1b[K" + mes);
    liveLineOpen_ = true;
  } else {
    writeText(out_, mes + "\n");
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
    writeText(out_, pending_ + "\n");
    std::fflush(out_);
  }
}

void ConsoleHost::messageBox(const std::string& text, const std::string& caption) {
  flush();
  endLiveLine();
  std::fflush(out_);
  writeText(err_, "[" + (caption.empty() ? std::string(engine::kProgramTitle) : caption) + "] " + text + "\n");
  std::fflush(err_);
}

bool ConsoleHost::readAnswer(std::string& answer) {
  if (readTerminalLine(answer, s_.stop)) return true;
  if (s_.stop != nullptr && s_.stop->requested()) writeText(err_, "\n");
  return false;
}

engine::Answer ConsoleHost::askYesNo(const std::string& text, const std::string& caption) {
  flush();
  endLiveLine();
  std::fflush(out_);
  const std::string shown = caption.empty() ? std::string(engine::kProgramTitle) : caption;
  switch (s_.overwrite) {
    case OverwritePolicy::Yes:
      writeText(err_, "[" + shown + "] " + text + " はい (--yes)\n");
      return engine::Answer::Yes;
    case OverwritePolicy::No:
      writeText(err_, "[" + shown + "] " + text + " いいえ (--yes の指定がありません)\n");
      return engine::Answer::No;
    case OverwritePolicy::Ask:
      break;
  }
  writeText(err_, "[" + shown + "] " + text + " [y/N] ");
  std::fflush(err_);
  std::string answer;
  if (!readAnswer(answer)) return engine::Answer::No;
  return (answer == "y" || answer == "Y" || answer == "yes" || answer == "はい") ? engine::Answer::Yes
                                                                                 : engine::Answer::No;
}

}  // namespace vellicor::app
