// Building one index of a table that holds rows: the entries computed from the rows, sorted in
// bounded memory, checked (unique keys, required fields, keys known exactly) and laid out as new pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellicor::jet3 {

class JetFileReader;
class Pager;
struct TableInfo;

struct IndexBuildRequest {
  std::string name;              // for messages (UTF-8)
  std::vector<size_t> columns;   // positions in the table definition's columns, in key order
  std::vector<bool> ascending;
  uint8_t flags = 0;             // fmt::IndexFlag
};

struct BuiltIndexTree {
  uint32_t root = 0;
  std::vector<uint32_t> pages;   // every page of the tree (for its usage map)
  uint32_t distinctKeys = 0;
};

// Builds the tree from the table's rows as `reader` sees them (the caller commits them first and
// has checked that every key column's type is keyBuilt, column_type.h). The
// pages are new pages of `pager`, written at once (nothing refers to them until the caller records
// the index in the table's definition). Throws dao::Error without leaving pages taken when:
//   - a text value of a key column holds a byte whose General key is not known exactly (in code
//     page 932 every byte from 0x80 on; in 1252 those of 0x80..0x9F), naming the row;
//   - a key column of a required index is Null (the row named);
//   - a unique index meets two rows of one key (the first such pair by the later row, with values);
//   - a key is longer than an index page takes.
// Rows are numbered from 1 in storage order (the order a new table's rows were added).
BuiltIndexTree buildTableIndex(JetFileReader& reader, const TableInfo& table, const IndexBuildRequest& request,
                               Pager& pager);

}  // namespace vellicor::jet3
