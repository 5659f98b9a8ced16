// Windows: _wgetenv (Unicode values, whatever the ANSI code page) and GetModuleFileNameW.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "app/process_environment.h"
#include "text/wide_windows.h"

namespace vellicor::app {

std::optional<std::string> environmentValue(const char* name) {
  const wchar_t* v = _wgetenv(text::widen(name).c_str());
  if (v == nullptr) return std::nullopt;
  return text::narrow(v);
}

std::string executableDir() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return ".";
    if (n < buffer.size()) {
      std::wstring path(buffer.data(), n);
      const size_t slash = path.find_last_of(L"\\/");
      return slash == std::wstring::npos ? std::string(".") : text::narrow(path.substr(0, slash));
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace vellicor::app
