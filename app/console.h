// The console of this system: text out in the encoding the reader expects, whether a stream is a
// terminal, and lines typed in (with or without echo). console_posix.cpp, console_windows.cpp.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "engine/run_stop.h"

namespace vellicor::app {

// Writes UTF-8 text to stream (stdout, stderr, or a file in tests). POSIX: as it is. Windows: as
// Unicode to a console, in the system's ANSI code page to a pipe or a file.
void writeText(std::FILE* stream, std::string_view utf8);

// Whether stream (stdin, stdout or stderr) is an interactive terminal or console.
bool isTerminal(std::FILE* stream);

// Whether stream is a terminal that repaints a line in place ("\r" and the erase-line sequence);
// on Windows this switches the console's virtual terminal processing on.
bool repaintsLines(std::FILE* stream);

// One line typed on the terminal (UTF-8, without its line end). Gives up with false at the end of
// input, or when stop (if given) is requested while it waits.
bool readTerminalLine(std::string& line, const engine::StopRequest* stop);

// One line typed on the terminal with echo off (the password); the echo is restored afterwards.
std::string readHiddenLine();

}  // namespace vellicor::app
