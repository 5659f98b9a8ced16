// Windows: the log is in the ANSI code page (932 on a Japanese system) with CR LF line ends, opened
// with _wfopen so that Japanese folder and file names work whatever the code page.
#include "engine/log_file.h"

#include "text/wide_windows.h"

namespace vellicor::engine {

std::FILE* openLogFile(const std::string& path, bool append) {
  return _wfopen(text::widen(path).c_str(), append ? L"ab" : L"wb");
}

std::string logLineBytes(const std::string& utf8) { return text::toAnsiCodePage(utf8) + "\r\n"; }

}  // namespace vellicor::engine
