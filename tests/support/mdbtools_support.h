// Test helpers around the independent readers: run a command and capture its output, parse the
// CSV that mdb-export prints, and list the reference Access 97 files.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vellicor::testing {

// Runs a shell command and returns its standard output; exitCode (if given) receives the exit
// status. Throws std::runtime_error when the command cannot be started.
std::string runCommand(const std::string& command, int* exitCode = nullptr);

// Quotes a path or word for the shell (single quotes).
std::string shellQuote(const std::string& s);

// One CSV cell: nullopt for an empty unquoted cell (how mdb-export prints NULL), otherwise the text
// (quoted cells with "" unescaped).
using CsvCell = std::optional<std::string>;
using CsvRow = std::vector<CsvCell>;

// Parses mdb-export output (comma delimiter unless given, double-quote quoting, quoted cells may
// contain line breaks). Rows end at '\n' outside quotes (a preceding '\r' is dropped).
std::vector<CsvRow> parseCsv(const std::string& text, char delimiter = ',');

// mdb-export of one table with the options the comparisons use: no header row, dates as
// "%Y-%m-%d %H:%M:%S", binary as hex, text in the given charset (MDB_JET3_CHARSET).
// withHeader keeps the first line (column names).
std::vector<CsvRow> mdbExport(const std::string& file, const std::string& table,
                              const std::string& charset = "CP1252", bool withHeader = false);

// The reference files (full paths), sorted by name.
std::vector<std::string> referenceFiles();

// Whole contents of a file (throws std::runtime_error when it cannot be read).
std::vector<unsigned char> readWholeFile(const std::string& path);

// The lines of a run log without their CR LF ends; a last line without CR LF gets "<no CRLF>"
// appended so that tests see the missing end.
std::vector<std::string> logLines(const std::string& path);

}  // namespace vellicor::testing
