// The run log's file on this system: opening it by a UTF-8 path, and the bytes of one line.
// log_file_posix.cpp (UTF-8), log_file_windows.cpp (the ANSI code page, as Windows tools read text).
#pragma once

#include <cstdio>
#include <string>

namespace vellicor::engine {

// Creates or empties the file (append false), or opens it for appending, creating it if absent;
// binary, so line ends are written as given. nullptr with errno set when it cannot be opened.
std::FILE* openLogFile(const std::string& path, bool append);

// The bytes of one line of the log: the UTF-8 text in the log's encoding, ended by CR LF.
std::string logLineBytes(const std::string& utf8);

}  // namespace vellicor::engine
