// Shared pieces of the fuzz targets: a scratch file per fuzzing process for the targets that read
// from a path, and the rule that only dao::Error may escape from code that reads untrusted input.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace vellicor::fuzz {

// A path in /dev/shm (or /tmp) private to this process, rewritten for every input.
inline const std::string& scratchPath(const char* suffix) {
  static const std::string path = [&] {
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(dir) + "/vellicor-fuzz-" + std::to_string(getpid()) + suffix;
  }();
  return path;
}

inline void writeScratch(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// A failure that is not the documented error type is a finding: report it and abort so that
// libFuzzer keeps the input.
[[noreturn]] inline void unexpected(const char* what, const std::exception* e) {
  std::fprintf(stderr, "unexpected exception from %s: %s\n", what, e ? e->what() : "(not a std::exception)");
  std::abort();
}

}  // namespace vellicor::fuzz
