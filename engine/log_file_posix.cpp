// POSIX: the log is UTF-8 with CR LF line ends, opened with fopen.
#include "engine/log_file.h"

namespace vellicor::engine {

std::FILE* openLogFile(const std::string& path, bool append) { return std::fopen(path.c_str(), append ? "ab" : "wb"); }

std::string logLineBytes(const std::string& utf8) { return utf8 + "\r\n"; }

}  // namespace vellicor::engine
