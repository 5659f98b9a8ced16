// The POSIX console: UTF-8 text written as it is, isatty, a poll loop that notices a stop request
// while waiting for an answer, and termios for the prompt without echo.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "app/console.h"

namespace vellicor::app {
namespace {

constexpr int kAnswerPollMs = 100;

}  // namespace

void writeText(std::FILE* stream, std::string_view utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stream); }

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

bool repaintsLines(std::FILE* stream) { return isTerminal(stream); }

bool readTerminalLine(std::string& line, const engine::StopRequest* stop) {
  // Ctrl-C does not break off the terminal's read (the run's calls go on through signals), so
  // the wait looks at the stop request between short waits for input.
  while (stop != nullptr) {
    if (stop->requested()) return false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&p, 1, kAnswerPollMs);
    if (ready > 0 || (ready < 0 && errno != EINTR)) break;
  }
  return static_cast<bool>(std::getline(std::cin, line));
}

std::string readHiddenLine() {
  termios saved{};
  const bool haveTerm = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (haveTerm) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (haveTerm) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return line;
}

}  // namespace vellicor::app
