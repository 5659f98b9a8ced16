// POSIX: getenv (the program's text is UTF-8, as the environment is taken to be) and /proc/self/exe.
#include <cstdlib>
#include <filesystem>

#include "app/process_environment.h"

namespace vellicor::app {

std::optional<std::string> environmentValue(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr) return std::nullopt;
  return std::string(v);
}

std::string executableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace vellicor::app
