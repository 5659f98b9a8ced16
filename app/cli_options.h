// The command line's words: which command, its flags and values, and the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellicor::app {

struct CliOptions {
  std::string command;              // run, plan, list, inspect, demo
  std::vector<std::string> positional;
  std::string server, user, output;
  bool tables = true, views = false, synonyms = false, sequences = false;
  std::optional<std::string> select;
  std::optional<std::string> pattern;
  std::optional<std::string> patternFile;
  std::optional<std::string> log;
  bool noLog = false, append = false, yes = false, quiet = false;
  bool check = false;  // inspect: the whole-file check
  bool allTypes = false;  // run, plan: every column type gets a field
  bool json = false;      // plan: one JSON document
  bool scan = false;      // plan: read every row too
  bool help = false;      // --help, -h: the command's usage on stdout
  bool keepGoing = false;  // run: leave out objects that cannot be copied and go on
  bool fitText = false;    // run, plan --scan: Memo made Text where every value fits
  bool noKeys = false;     // run, plan: no indexes for the source's keys
  std::string prefix;
  std::optional<std::string> connect;
  std::optional<std::string> passwordFile;
};

// Parses argv[1..]; on a word it does not know, or a flag without its value, returns nullopt and
// sets error.
std::optional<CliOptions> parseCli(int argc, char** argv, std::string& error);

// Every command's usage, and the notes on the password and the connect template.
const char* usageText();
// One command's usage with the same notes; empty for a word that is not a command.
std::string commandUsage(const std::string& command);
// "vellicor VERSION".
std::string versionText();

}  // namespace vellicor::app
