// A plain-text view of any Jet 3 file through the read side of the engine: its tables with
// fields, types, sizes and row counts, or one table's rows as tab-separated text.
#pragma once

#include <optional>
#include <string>

namespace vellicor::jet3 {

// Without a table: the header values and every user table with its fields and row count. With a
// table: a line of field names, then one line per row; tab, line feed, carriage return and
// backslash inside values appear as \t \n \r \\. Throws dao::Error (Japanese) when the file or
// the table cannot be read.
std::string inspectFile(const std::string& path, const std::optional<std::string>& table = std::nullopt);

}  // namespace vellicor::jet3
