// The command line's words: which command, its flags and values, and the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellicor::app {

struct CliOptions {
  std::string command;              // run, list, inspect, demo
  std::vector<std::string> positional;
  std::string server, user, output;
  bool tables = true, views = false, synonyms = false, sequences = false;
  std::optional<std::string> select;
  std::optional<std::string> pattern;
  std::optional<std::string> patternFile;
  std::optional<std::string> log;
  bool noLog = false, append = false, yes = false, quiet = false;
  bool check = false;      // inspect: the whole-file check
  bool keepGoing = false;  // run: leave out objects that cannot be copied and go on
  std::string prefix;
  std::optional<std::string> connect;
  std::optional<std::string> passwordFile;
};

// Parses argv[1..]; on a word it does not know, or a flag without its value, returns nullopt and
// sets error.
std::optional<CliOptions> parseCli(int argc, char** argv, std::string& error);

const char* usageText();

}  // namespace vellicor::app
