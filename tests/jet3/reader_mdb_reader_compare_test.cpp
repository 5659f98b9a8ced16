// Second independent check of the reader: every table of every reference file against npm
// mdb-reader, for what mdbtools cannot print whole (binary values with zero bytes, days before
// 1900) and for exact numbers. Text is only checked for presence (mdb-reader assumes cp1252).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

struct DumpedTable {
  std::vector<std::vector<std::string>> rows;
  std::string error;
};

std::map<std::string, DumpedTable> dumpWithMdbReader(const std::string& path) {
  const std::string cmd = "NODE_PATH=" + testing::shellQuote(std::string(VELLICOR_SOURCE_DIR) + "/tests/node/node_modules") +
                          " node " + testing::shellQuote(std::string(VELLICOR_SOURCE_DIR) + "/tests/support/mdb_reader_dump.js") +
                          " " + testing::shellQuote(path);
  int code = 0;
  const std::string out = testing::runCommand(cmd, &code);
  EXPECT_EQ(code, 0) << cmd;
  std::map<std::string, DumpedTable> tables;
  DumpedTable* current = nullptr;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::vector<std::string> parts;
    for (size_t a = start, b; a <= end; a = b + 1) {
      b = out.find('\t', a);
      if (b == std::string::npos || b > end) b = end;
      parts.push_back(out.substr(a, b - a));
    }
    if (parts[0] == "T" && parts.size() >= 2) current = &tables[parts[1]];
    else if (parts[0] == "E" && parts.size() >= 3) tables[parts[1]].error = parts[2];
    else if (parts[0] == "R" && current) current->rows.emplace_back(parts.begin() + 1, parts.end());
    start = end + 1;
  }
  return tables;
}

std::string lowerHex(const dao::Bytes& b) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (uint8_t c : b) {
    s += d[c >> 4];
    s += d[c & 15];
  }
  return s;
}

// Currency text ("-12.5000") as the amount times 10,000.
bool parseCurrency(const std::string& t, int64_t& scaled) {
  size_t i = 0;
  const bool negative = !t.empty() && t[0] == '-';
  if (negative) ++i;
  int64_t whole = 0, frac = 0;
  int fracDigits = 0;
  for (; i < t.size() && t[i] != '.'; ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    whole = whole * 10 + (t[i] - '0');
  }
  if (i < t.size()) ++i;
  for (; i < t.size() && fracDigits < 4; ++i, ++fracDigits) frac = frac * 10 + (t[i] - '0');
  while (fracDigits++ < 4) frac *= 10;
  scaled = (whole * 10000 + frac) * (negative ? -1 : 1);
  return true;
}

bool sameCell(const dao::Variant& ours, const std::string& cell) {
  if (cell.empty()) return false;
  const char tag = cell[0];
  const std::string t = cell.substr(1);
  if (tag == 'N') return dao::isNull(ours);
  if (tag == 'S') return std::holds_alternative<std::string>(ours);
  if (auto* b = std::get_if<bool>(&ours)) return tag == 'B' && t == (*b ? "1" : "0");
  if (auto* v = std::get_if<uint8_t>(&ours)) return tag == 'I' && t == std::to_string(*v);
  if (auto* v = std::get_if<int16_t>(&ours)) return tag == 'I' && t == std::to_string(*v);
  if (auto* v = std::get_if<int32_t>(&ours)) return tag == 'I' && t == std::to_string(*v);
  if (auto* v = std::get_if<float>(&ours)) return tag == 'F' && std::strtod(t.c_str(), nullptr) == static_cast<double>(*v);
  if (auto* v = std::get_if<double>(&ours)) return tag == 'F' && std::strtod(t.c_str(), nullptr) == *v;
  if (auto* v = std::get_if<dao::Currency>(&ours)) {
    int64_t scaled = 0;
    return tag == 'C' && parseCurrency(t, scaled) && scaled == v->scaled;
  }
  if (auto* v = std::get_if<dao::Date>(&ours)) {
    // mdb-reader maps the stored double linearly onto the time line (days since 1899-12-30 UTC),
    // which gives back the stored number whatever the sign.
    constexpr double kEpochMs = -2209161600000.0;
    return tag == 'D' && std::fabs(v->oa * 86400000.0 + kEpochMs - std::strtod(t.c_str(), nullptr)) <= 1.0;
  }
  if (auto* v = std::get_if<dao::Bytes>(&ours)) return tag == 'X' && t == lowerHex(*v);
  if (auto* v = std::get_if<dao::Guid>(&ours)) {
    const auto& g = v->bytes;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", g[3], g[2], g[1],
                  g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
    return tag == 'G' && t == buf;
  }
  return false;
}

TEST(ReaderMdbReaderCompare, EveryTableMatchesMdbReaderValueByValue) {
  size_t tables = 0, rows = 0, binaryWithZero = 0, failedThere = 0;
  for (const std::string& path : testing::referenceFiles()) {
    SCOPED_TRACE(path);
    const auto dumped = dumpWithMdbReader(path);
    JetFileReader reader(path);
    for (const auto& [name, theirs] : dumped) {
      SCOPED_TRACE("table " + name);
      if (!theirs.error.empty()) {  // mdb-reader could not read it; our comparison with mdbtools covers it
        ++failedThere;
        continue;
      }
      RowCursor cursor(reader, reader.table(name));
      std::vector<bool> used(theirs.rows.size(), false);
      auto matches = [&](const std::vector<dao::Variant>& values, size_t i) {
        if (theirs.rows[i].size() != values.size()) return false;
        for (size_t c = 0; c < values.size(); ++c) {
          if (!sameCell(values[c], theirs.rows[i][c])) return false;
        }
        return true;
      };
      size_t n = 0;
      while (cursor.next()) {
        const std::vector<dao::Variant> values = cursor.values();
        bool found = n < used.size() && !used[n] && matches(values, n);
        if (found) used[n] = true;
        for (size_t i = 0; i < used.size() && !found; ++i) {
          if (!used[i] && matches(values, i)) used[i] = found = true;
        }
        if (!found) {
          std::string first;
          if (n < theirs.rows.size()) {
            for (size_t c = 0; c < values.size() && c < theirs.rows[n].size(); ++c) {
              if (!sameCell(values[c], theirs.rows[n][c])) {
                first = "column " + std::to_string(c) + ": ours " + dao::toDisplayText(values[c]).substr(0, 60) +
                        " theirs " + theirs.rows[n][c].substr(0, 60);
                break;
              }
            }
          }
          ADD_FAILURE() << cursor.place() << " has no equal row in mdb-reader's output; " << first;
        }
        for (const dao::Variant& v : values) {
          if (auto* b = std::get_if<dao::Bytes>(&v); b && std::find(b->begin(), b->end(), 0) != b->end()) ++binaryWithZero;
        }
        ++n;
      }
      EXPECT_EQ(n, theirs.rows.size());
      rows += n;
      ++tables;
    }
  }
  EXPECT_GT(tables, 80u);
  EXPECT_LE(failedThere, 5u);
  EXPECT_GT(binaryWithZero, 100u);
  std::printf("compared %zu tables, %zu rows, %zu binary values with zero bytes; mdb-reader failed on %zu tables\n",
              tables, rows, binaryWithZero, failedThere);
}

}  // namespace
}  // namespace vellicor::jet3
