// Where the source password comes from: the environment, a file, or a prompt without echo.
#pragma once

#include <optional>
#include <string>

namespace vellicor::app {

// VELLICOR_PASSWORD when set; else the first line of passwordFile; else, when standard input is a
// terminal, a prompt on stderr with echo off; else the empty password. nullopt, after saying why
// on stderr, when the file cannot be read (the command then ends with its usage exit status).
std::optional<std::string> obtainPassword(const std::optional<std::string>& passwordFile);

}  // namespace vellicor::app
