// Printing what an output file holds: its tables with fields, types, sizes and row counts, or the
// rows of one table as tab-separated text.
#pragma once

#include <cstdio>
#include <string>

namespace vellicor::app {

// Opens `file` read-only through the Jet workspace and prints the summary; 0, or 1 after
// printing the failure to err.
int printFileSummary(const std::string& file, std::FILE* out, std::FILE* err);

// One table's rows, a header line of field names first; tab, line feed, carriage return and
// backslash inside values are written as \t \n \r \\.
int printTableRows(const std::string& file, const std::string& table, std::FILE* out, std::FILE* err);

}  // namespace vellicor::app
