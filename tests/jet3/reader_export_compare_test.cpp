// Reads every table of every reference file with our reader and compares it value by value with
// what mdb-export (mdbtools) prints for the same table: table list, column names, rows, values.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

using testing::CsvCell;

std::string hex(const dao::Bytes& b) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (uint8_t c : b) {
    s += digits[c >> 4];
    s += digits[c & 15];
  }
  return s;
}

std::string currencyText(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t mag = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "", static_cast<unsigned long long>(mag / 10000),
                static_cast<unsigned long long>(mag % 10000));
  return buf;
}

std::string civilText(const dao::CivilTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return buf;
}

// mdbtools rounds to whole seconds; fromOleDate keeps milliseconds (which the text drops).
bool sameDate(dao::Date d, const std::string& theirs) {
  // mdbtools cannot print days before 1900 and prints this placeholder instead.
  if (d.oa < 2.0 && theirs == "1900-01-00 00:00:00") return true;
  const dao::CivilTime t = dao::fromOleDate(d);
  if (civilText(t) == theirs) return true;
  const double halfSecond = 0.5 / 86400.0;
  return civilText(dao::fromOleDate(dao::Date{d.oa >= 0 ? d.oa + halfSecond : d.oa - halfSecond})) == theirs;
}

bool closeEnough(double ours, const std::string& theirs, double relative) {
  char* end = nullptr;
  const double v = std::strtod(theirs.c_str(), &end);
  if (end == theirs.c_str()) return false;
  return std::fabs(v - ours) <= relative * std::max(1.0, std::fabs(ours));
}

// mdb-export prints binary values as C strings: only the bytes before the first zero byte, and
// NULL when the value starts with a zero byte. This is the most it can confirm of our bytes.
dao::Bytes beforeFirstZero(const dao::Bytes& b) {
  return dao::Bytes(b.begin(), std::find(b.begin(), b.end(), uint8_t{0}));
}

// What mdbtools can print of a text: it stops at a NUL byte (C strings) and prints '?' for the
// five bytes that Windows-1252 leaves undefined (we decode them to U+0081 .. U+009D as Windows does).
std::string asMdbtoolsPrints(std::string text) {
  text = text.substr(0, text.find('\0'));
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char d = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (c == 0xC2 && (d == 0x81 || d == 0x8D || d == 0x8F || d == 0x90 || d == 0x9D)) {
      out += '?';
      ++i;
    } else if (text.compare(i, 3, "\xEF\xBF\xBD") == 0) {
      out += '?';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Empty text when the values agree, otherwise a description of the difference.
std::string difference(const ColumnDef& col, const dao::Variant& ours, const CsvCell& theirs) {
  if (auto* b = std::get_if<dao::Bytes>(&ours)) {
    const std::string full = hex(*b);
    if (col.type == fmt::kTypeBinary) {
      const dao::Bytes prefix = beforeFirstZero(*b);
      if (prefix.empty() ? !theirs : theirs && *theirs == hex(prefix)) return "";
    } else if (theirs && *theirs == full) {
      return "";
    }
    const std::string t = theirs.value_or("<NULL>");
    size_t at = 0;
    while (at < full.size() && at < t.size() && full[at] == t[at]) ++at;
    return "lengths " + std::to_string(full.size() / 2) + "/" + std::to_string(t.size() / 2) + ", first difference at byte " +
           std::to_string(at / 2) + ": ours ..." + full.substr(at, 40) + " theirs ..." + t.substr(at, 40);
  }
  auto show = [&] { return "ours \"" + dao::toDisplayText(ours) + "\" theirs \"" + theirs.value_or("<NULL>") + "\""; };
  if (dao::isNull(ours)) return theirs ? show() : "";
  if (!theirs) return show();
  const std::string& t = *theirs;
  bool same = false;
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) same = t == (v ? "1" : "0");
        else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t>)
          same = t == std::to_string(v);
        else if constexpr (std::is_same_v<T, float>) same = closeEnough(v, t, 1e-6);
        else if constexpr (std::is_same_v<T, double>) same = closeEnough(v, t, 1e-14);
        else if constexpr (std::is_same_v<T, dao::Currency>) same = t == currencyText(v.scaled);
        else if constexpr (std::is_same_v<T, dao::Date>) same = sameDate(v, t);
        else if constexpr (std::is_same_v<T, std::string>) same = t == asMdbtoolsPrints(v);
        else if constexpr (std::is_same_v<T, dao::Bytes>) same = t == hex(v);
        else if constexpr (std::is_same_v<T, dao::Guid>) {
          const auto& g = v.bytes;
          char buf[40];
          std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g[3], g[2],
                        g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
          // With -b hex mdbtools hex-encodes its own GUID text, which also lacks the fourth dash;
          // the dashes are left out of the comparison.
          auto noDashes = [](std::string x) {
            x.erase(std::remove(x.begin(), x.end(), '-'), x.end());
            return x;
          };
          std::string text = t;
          if (!text.empty() && text[0] != '{') {
            text.clear();
            for (size_t i = 0; i + 1 < t.size(); i += 2) text += static_cast<char>(std::stoi(t.substr(i, 2), nullptr, 16));
          }
          same = noDashes(text) == noDashes(buf);
        }
      },
      ours);
  return same ? "" : show();
}

struct Totals {
  size_t tables = 0, rows = 0, values = 0, longValues = 0, reordered = 0;
};

void compareTable(JetFileReader& reader, const CatalogEntry& entry, Totals& totals) {
  SCOPED_TRACE("table " + entry.name);
  const TableInfo info = reader.table(entry.name);
  const std::string& path = reader.path();
  const auto withHeader = testing::mdbExport(path, entry.name, "CP1252", true);
  ASSERT_FALSE(withHeader.empty());
  const testing::CsvRow& names = withHeader.front();
  ASSERT_EQ(names.size(), info.def.columns.size());
  for (size_t c = 0; c < names.size(); ++c) EXPECT_EQ(names[c].value_or(""), info.def.columns[c].name);

  // mdbtools reads a redirected row where its bytes are, we read it where its slot is: the same
  // rows, a different order. So each row of ours is matched with an unused row of theirs, trying
  // the same position first.
  const size_t theirCount = withHeader.size() - 1;
  std::vector<bool> used(theirCount, false);
  auto rowDifference = [&](RowCursor& cursor, const std::vector<dao::Variant>& values, size_t i) {
    const testing::CsvRow& theirs = withHeader[i + 1];
    if (theirs.size() != values.size()) return std::string("column count ") + std::to_string(theirs.size());
    for (size_t c = 0; c < values.size(); ++c) {
      const std::string diff = difference(info.def.columns[c], values[c], theirs[c]);
      if (!diff.empty()) return cursor.place() + " column " + info.def.columns[c].name + ": " + diff;
    }
    return std::string();
  };
  RowCursor cursor(reader, info);
  size_t row = 0, reordered = 0;
  while (cursor.next()) {
    ASSERT_LT(row, theirCount) << "we read more rows than mdb-export";
    const std::vector<dao::Variant> values = cursor.values();
    std::string diff = used[row] ? "used" : rowDifference(cursor, values, row);
    if (diff.empty()) {
      used[row] = true;
    } else {
      bool found = false;
      for (size_t i = 0; i < theirCount && !found; ++i) {
        if (!used[i] && rowDifference(cursor, values, i).empty()) used[i] = found = true;
      }
      EXPECT_TRUE(found) << "no row of mdb-export matches; same position: " << diff;
      ++reordered;
    }
    for (size_t c = 0; c < values.size(); ++c) {
      const uint8_t type = info.def.columns[c].type;
      if ((type == fmt::kTypeMemo || type == fmt::kTypeOle) && !dao::isNull(values[c])) ++totals.longValues;
    }
    totals.values += values.size();
    ++row;
  }
  EXPECT_EQ(row, theirCount) << "mdb-export printed a different number of rows";
  EXPECT_EQ(row, info.def.rowCount) << "rows read differ from the TDEF row count";
  totals.reordered += reordered;
  totals.rows += row;
  ++totals.tables;
}

TEST(ReaderExportCompare, EveryTableOfEveryReferenceFileMatchesMdbExport) {
  Totals totals;
  for (const std::string& path : testing::referenceFiles()) {
    SCOPED_TRACE(path);
    JetFileReader reader(path);
    // The user table list equals mdb-tables' list (which leaves out the system tables).
    std::set<std::string> ours, theirs;
    for (const CatalogEntry& e : reader.userTables()) ours.insert(e.name);
    const std::string listed = testing::runCommand("MDB_JET3_CHARSET=CP1252 mdb-tables -1 " + testing::shellQuote(path));
    for (size_t start = 0, end; start < listed.size(); start = end + 1) {
      end = listed.find('\n', start);
      if (end == std::string::npos) end = listed.size();
      if (end > start) theirs.insert(listed.substr(start, end - start));
    }
    EXPECT_EQ(ours, theirs);
    for (const CatalogEntry& e : reader.catalog()) {
      if (e.isLocalTable()) compareTable(reader, e, totals);
    }
  }
  // Sanity of the sweep itself: all files, nwind's tables and long values were seen.
  EXPECT_GT(totals.tables, 80u);
  EXPECT_GT(totals.rows, 3000u);
  EXPECT_GT(totals.longValues, 100u);
  EXPECT_GT(totals.reordered, 0u);  // nwind's redirected rows were met
  std::printf("compared %zu tables, %zu rows (%zu matched out of order), %zu values (%zu long values)\n", totals.tables,
              totals.rows, totals.reordered, totals.values, totals.longValues);
}

}  // namespace
}  // namespace vellicor::jet3
