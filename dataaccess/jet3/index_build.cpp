// One index built over a table's rows: a scan computes the entries (refusing keys not known
// exactly and Nulls in required fields), the sorter orders them, and the tree writer lays out the
// pages while the merge looks for duplicate keys.
#include "dataaccess/jet3/index_build.h"

#include <algorithm>
#include <limits>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/entry_sorter.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/index_page.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/pager.h"
#include "text/codepage.h"

namespace vellicor::jet3 {
namespace {

constexpr uint16_t kCodePageWestern = 1252;
// Bytes of code page 1252 whose General keys are not confirmed by Jet's own files (the letters
// and signs between 0x80 and 0x9F); from 0xA0 on they are Latin-1's and known.
constexpr uint8_t kWesternUnknownFirst = 0x80, kWesternUnknownLast = 0x9F;
constexpr uint8_t kFirstNonAscii = 0x80;

std::string recordText(uint32_t number) { return std::to_string(number) + " 件目のレコード"; }

// The first byte of a text whose General key is not known exactly, or -1.
int unknownKeyByte(const FieldBytes& f, uint16_t codePage) {
  for (size_t i = 0; i < f.size; ++i) {
    const uint8_t b = f.data[i];
    const bool unknown = codePage == kCodePageWestern ? (b >= kWesternUnknownFirst && b <= kWesternUnknownLast)
                                                      : b >= kFirstNonAscii;
    if (unknown) return b;
  }
  return -1;
}

std::string columnNameOf(const JetFileReader& reader, const ColumnDef& c) {
  std::string name;
  reader.codePage().decode(c.name, name);
  return name;
}

// "ID=10, NAME=abc" for the key columns of the row numbered `number`.
std::string keyValuesOf(JetFileReader& reader, const TableInfo& table, const IndexBuildRequest& request,
                        uint32_t number) {
  RowCursor cursor(reader, table);
  for (uint32_t n = 1; cursor.next(); ++n) {
    if (n != number) continue;
    std::string text;
    for (size_t k = 0; k < request.columns.size(); ++k) {
      if (k) text += ", ";
      const size_t c = request.columns[k];
      const dao::Variant v = cursor.value(c);
      text += columnNameOf(reader, table.def.columns[c]) + "=" + (dao::isNull(v) ? "Null" : dao::toDisplayText(v));
    }
    return text;
  }
  return {};
}

// Gives back pages handed out for an index that is then abandoned.
class PagesTaken {
 public:
  explicit PagesTaken(Pager& pager) : pager_(pager) {}
  ~PagesTaken() {
    if (!kept_)
      for (uint32_t p : pages_) pager_.release(p);
  }
  uint32_t take() {
    pages_.push_back(pager_.allocate());
    return pages_.back();
  }
  void keep() { kept_ = true; }
  const std::vector<uint32_t>& pages() const { return pages_; }

 private:
  Pager& pager_;
  std::vector<uint32_t> pages_;
  bool kept_ = false;
};

}  // namespace

BuiltIndexTree buildTableIndex(JetFileReader& reader, const TableInfo& table, const IndexBuildRequest& request,
                               Pager& pager) {
  const TableDefinition& def = table.def;
  const bool unique = (request.flags & fmt::kIndexUnique) != 0;
  const bool required = (request.flags & fmt::kIndexRequired) != 0;
  const bool ignoreNulls = (request.flags & fmt::kIndexIgnoreNulls) != 0;
  const uint16_t codePage = reader.codePage().id();
  const std::string what = "テーブル '" + table.name + "' にインデックス '" + request.name + "' を作成できません: ";

  // 1. The entries, from the rows in storage order.
  EntrySorter sorter;
  {
    RowCursor cursor(reader, table);
    std::vector<uint8_t> entry;
    uint32_t number = 0;
    while (cursor.next()) {
      ++number;
      entry.clear();
      bool allNull = true;
      for (size_t k = 0; k < request.columns.size(); ++k) {
        const ColumnDef& col = def.columns[request.columns[k]];
        const FieldBytes& f = cursor.fields()[request.columns[k]];
        const bool present = f.present || col.type == fmt::kTypeBoolean;
        if (present) allNull = false;
        if (!present && required) {
          throw dao::Error(what + "フィールド '" + columnNameOf(reader, col) + "' が Null です (" + recordText(number) + ")。",
                           dao::errnum::kNullInIndex);
        }
        if (present && col.type == fmt::kTypeText) {
          if (const int b = unknownKeyByte(f, codePage); b >= 0) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            throw dao::Error(what + "フィールド '" + columnNameOf(reader, col) + "' の値に、一般の並べ替え順でのキーが確定していない文字 (バイト " +
                                 hex + ") があります (" + recordText(number) + ")。",
                             dao::errnum::kNotSupported);
          }
        }
        appendColumnKey(entry, col, f, request.ascending[k]);
      }
      if (allNull && ignoreNulls) continue;
      if (entry.size() > kIndexMaxKeyBytes) {
        throw dao::formatLimit(what + "キーが長すぎます (" + std::to_string(entry.size()) + " バイト、上限 " +
                               std::to_string(kIndexMaxKeyBytes) + " バイト、" + recordText(number) + ")。");
      }
      // A file of 1 GB has fewer pages than the pointer's 3 bytes hold.
      appendRowPointer(entry, fmt::pointerPage(cursor.rowPointer()), fmt::pointerRow(cursor.rowPointer()));
      sorter.add(entry.data(), entry.size(), number);
    }
  }
  sorter.finish();

  // 2. The tree, written while the merge runs; equal keys next to each other are duplicates. The
  // duplicate reported is the pair whose later row comes first in the table.
  PagesTaken taken(pager);
  IndexTreeWriter writer(table.tdefPage, [&taken] { return taken.take(); },
                         [&pager](uint32_t number, const Page& bytes) { pager.write(number, bytes.data()); });
  std::vector<uint8_t> groupKey;
  uint32_t groupFirst = 0, groupSecond = 0;  // the two smallest row numbers of the current key
  uint32_t dupFirst = 0, dupSecond = std::numeric_limits<uint32_t>::max();
  uint64_t distinct = 0;
  auto closeGroup = [&] {
    if (groupSecond != 0 && groupSecond < dupSecond) {
      dupFirst = groupFirst;
      dupSecond = groupSecond;
    }
  };
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  uint32_t number = 0;
  bool duplicate = false;
  while (sorter.next(bytes, size, number)) {
    const size_t keySize = size - kIndexRowPointerBytes;
    if (distinct == 0 || keySize != groupKey.size() || !std::equal(bytes, bytes + keySize, groupKey.begin())) {
      closeGroup();
      groupKey.assign(bytes, bytes + keySize);
      groupFirst = number;
      groupSecond = 0;
      ++distinct;
    } else {
      if (number < groupFirst) {
        groupSecond = groupFirst;
        groupFirst = number;
      } else if (groupSecond == 0 || number < groupSecond) {
        groupSecond = number;
      }
      duplicate = duplicate || unique;
    }
    if (!duplicate) writer.add(bytes, size);
  }
  closeGroup();
  if (duplicate) {
    throw dao::Error(what + "値が重複しています: " + keyValuesOf(reader, table, request, dupSecond) + " (" +
                         std::to_string(dupFirst) + " 件目と " + recordText(dupSecond) + ")。",
                     dao::errnum::kDuplicateKey);
  }
  BuiltIndexTree built;
  built.root = writer.finish();
  built.pages = taken.pages();
  built.distinctKeys = static_cast<uint32_t>(distinct);
  taken.keep();
  return built;
}

}  // namespace vellicor::jet3
