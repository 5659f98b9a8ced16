// Reading the password: environment variable, file (first line, without its line end), or the
// terminal with echo switched off and restored afterwards (console.h).
#include "app/password_input.h"

#include <cstdio>
#include <fstream>

#include "app/console.h"
#include "app/process_environment.h"
#include "text/utf8_path.h"

namespace vellicor::app {

std::optional<std::string> obtainPassword(const std::optional<std::string>& passwordFile) {
  if (auto env = environmentValue("VELLICOR_PASSWORD")) return *env;
  if (passwordFile) {
    std::ifstream in(text::pathFromUtf8(*passwordFile), std::ios::binary);
    if (!in) {
      writeText(stderr, "パスワードファイル '" + *passwordFile + "' を読めません。\n");
      return std::nullopt;
    }
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  if (!isTerminal(stdin)) return std::string();

  writeText(stderr, "パスワード: ");
  std::fflush(stderr);
  const std::string line = readHiddenLine();
  writeText(stderr, "\n");
  return line;
}

}  // namespace vellicor::app
