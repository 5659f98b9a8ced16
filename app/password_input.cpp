// Reading the password: environment variable, file (first line, without its line end), or the
// terminal with echo switched off and restored afterwards.
#include "app/password_input.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace vellicor::app {

std::optional<std::string> obtainPassword(const std::optional<std::string>& passwordFile, std::string& error) {
  if (const char* env = std::getenv("VELLICOR_PASSWORD")) return std::string(env);
  if (passwordFile) {
    std::ifstream in(*passwordFile, std::ios::binary);
    if (!in) {
      error = "パスワードファイル '" + *passwordFile + "' を読めません。";
      return std::nullopt;
    }
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  if (!::isatty(STDIN_FILENO)) return std::string();

  std::fputs("パスワード: ", stderr);
  std::fflush(stderr);
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
  std::fputs("\n", stderr);
  return line;
}

}  // namespace vellicor::app
