// Text at the Win32 border (Windows builds only): the program's UTF-8 as UTF-16 for the wide calls,
// and the system's ANSI code page for pipes, files and logs that Windows tools read.
#pragma once

#include <string>
#include <string_view>

namespace vellicor::text {

// UTF-8 -> UTF-16; ill-formed input becomes U+FFFD.
std::wstring widen(std::string_view utf8);
// UTF-16 -> UTF-8; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view wide);
// UTF-8 -> the ANSI code page (GetACP: 932 on a Japanese system); what it cannot hold becomes '?'.
std::string toAnsiCodePage(std::string_view utf8);
// The ANSI code page -> UTF-8.
std::string fromAnsiCodePage(std::string_view ansi);
// The system's text for a Win32 error code, UTF-8, without the trailing line end ("" if none).
std::string systemErrorText(unsigned long code);

}  // namespace vellicor::text
