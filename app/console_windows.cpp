// The Windows console: WriteConsoleW and ReadConsoleW for Unicode on a console, the ANSI code page
// for pipes and files, virtual terminal processing for the live line, SetConsoleMode for no echo.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <iostream>
#include <iterator>

#include "app/console.h"
#include "text/wide_windows.h"

namespace vellicor::app {
namespace {

HANDLE handleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

bool consoleMode(HANDLE h, DWORD& mode) { return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode); }

void trimLineEnd(std::wstring& text) {
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
}

}  // namespace

void writeText(std::FILE* stream, std::string_view utf8) {
  const HANDLE h = handleOf(stream);
  DWORD mode = 0;
  if (!consoleMode(h, mode)) {
    const std::string ansi = text::toAnsiCodePage(utf8);
    std::fwrite(ansi.data(), 1, ansi.size(), stream);
    return;
  }
  std::fflush(stream);  // what went through the stream before comes first
  const std::wstring wide = text::widen(utf8);
  constexpr size_t kChunk = 8192;
  for (size_t done = 0; done < wide.size();) {
    const DWORD n = static_cast<DWORD>(std::min(kChunk, wide.size() - done));
    DWORD written = 0;
    if (!WriteConsoleW(h, wide.data() + done, n, &written, nullptr) || written == 0) return;
    done += written;
  }
}

bool isTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return consoleMode(handleOf(stream), mode);
}

bool repaintsLines(std::FILE* stream) {
  const HANDLE h = handleOf(stream);
  DWORD mode = 0;
  if (!consoleMode(h, mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool readTerminalLine(std::string& line, const engine::StopRequest* stop) {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!consoleMode(in, mode)) {
    std::string ansi;
    if (!std::getline(std::cin, ansi)) return false;
    if (!ansi.empty() && ansi.back() == '\r') ansi.pop_back();
    line = text::fromAnsiCodePage(ansi);
    return true;
  }
  // Ctrl-C ends a console read with nothing read (the stop handler runs on its own thread).
  std::wstring typed;
  for (;;) {
    if (stop != nullptr && stop->requested()) return false;
    wchar_t buffer[256];
    DWORD got = 0;
    if (!ReadConsoleW(in, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr) || got == 0) return false;
    typed.append(buffer, got);
    if (typed.find(L'\n') != std::wstring::npos) break;
  }
  if (stop != nullptr && stop->requested()) return false;
  trimLineEnd(typed);
  line = text::narrow(typed);
  return true;
}

std::string readHiddenLine() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  const bool console = consoleMode(in, mode);
  if (console) SetConsoleMode(in, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::string line;
  readTerminalLine(line, nullptr);
  if (console) SetConsoleMode(in, mode);
  return line;
}

}  // namespace vellicor::app
