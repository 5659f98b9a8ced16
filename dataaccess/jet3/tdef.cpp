// Encoding and decoding of the logical TDEF stream: table header, column descriptors and names,
// real and logical index blocks, logical index names, long-value column maps, terminator.
#include "dataaccess/jet3/tdef.h"

#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

[[noreturn]] void malformed(const std::string& what) {
  throw dao::damagedFile("テーブル定義 (TDEF) が壊れています: " + what);
}

// A bounds-checked cursor over the stream, limited to tdef_len.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t end, size_t pos) : data_(data), end_(end), pos_(pos) {}
  size_t pos() const { return pos_; }
  size_t left() const { return end_ - pos_; }
  void need(size_t n, const char* what) const {
    if (n > left()) malformed(std::string(what) + " がテーブル定義の長さを超えています。");
  }
  uint8_t u8(const char* what) {
    need(1, what);
    return data_[pos_++];
  }
  uint16_t u16(const char* what) {
    need(2, what);
    uint16_t v = loadU16(data_ + pos_);
    pos_ += 2;
    return v;
  }
  uint32_t u32(const char* what) {
    need(4, what);
    uint32_t v = loadU32(data_ + pos_);
    pos_ += 4;
    return v;
  }
  std::string name(const char* what) {
    const uint8_t n = u8(what);
    need(n, what);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }

 private:
  const uint8_t* data_;
  size_t end_;
  size_t pos_;
};

void putName(std::vector<uint8_t>& out, const std::string& name) {
  if (name.size() > 255) {
    throw dao::formatLimit("名前が長すぎるためテーブル定義に書き込めません (" + std::to_string(name.size()) + " バイト)。");
  }
  out.push_back(static_cast<uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
}

}  // namespace

uint16_t TableDefinition::variableColumnCount() const {
  uint16_t n = 0;
  for (const ColumnDef& c : columns) {
    if (!c.isFixed()) ++n;
  }
  return n;
}

std::vector<uint8_t> encodeTdef(const TableDefinition& def) {
  if (def.columns.size() > fmt::kMaxColumns) {
    throw dao::formatLimit("列が多すぎるためテーブル定義に書き込めません (" + std::to_string(def.columns.size()) + " 列)。");
  }
  std::vector<uint8_t> out;
  out.reserve(fmt::kTdefHeaderSize + def.columns.size() * (fmt::kColumnDescriptorSize + 16) + 64);
  out.push_back(fmt::kPageTdef);
  out.push_back(fmt::kPageMarker);
  out.push_back('V');
  out.push_back('C');
  putU32(out, 0);  // next TDEF page: the pager fills it in
  putU32(out, 0);  // tdef_len, patched below
  putU32(out, def.rowCount);
  putU32(out, def.autonumber);
  putU8(out, def.tableType);
  putU16(out, def.maxColumns);
  putU16(out, def.variableColumnCount());
  putU16(out, static_cast<uint16_t>(def.columns.size()));
  putU32(out, static_cast<uint32_t>(def.logicalIndexes.size()));
  putU32(out, static_cast<uint32_t>(def.realIndexes.size()));
  putU32(out, def.ownedMap);
  putU32(out, def.freeMap);
  for (const RealIndexDef& ri : def.realIndexes) {
    putU32(out, ri.unknownBefore);
    putU32(out, ri.distinctKeys);
  }
  for (const ColumnDef& c : def.columns) {
    putU8(out, c.type);
    putU16(out, c.number);
    putU16(out, c.varIndex);
    putU16(out, c.numberAgain);
    putU16(out, c.unknown7);
    putU16(out, c.sortOrder);
    putU16(out, c.codePage);
    putU8(out, c.flags);
    putU16(out, c.fixedOffset);
    putU16(out, c.length);
  }
  for (const ColumnDef& c : def.columns) putName(out, c.name);
  for (const RealIndexDef& ri : def.realIndexes) {
    for (const IndexColumn& ic : ri.columns) {
      putU16(out, ic.column);
      putU8(out, ic.order);
    }
    putU32(out, ri.usageMap);
    putU32(out, ri.rootPage);
    putU8(out, ri.flags);
  }
  for (const LogicalIndexDef& li : def.logicalIndexes) {
    putU32(out, li.number);
    putU32(out, li.realIndex);
    putU8(out, li.otherTableType);
    putU32(out, li.otherIndex);
    putU32(out, li.otherTablePage);
    putU8(out, li.cascadeUpdates);
    putU8(out, li.cascadeDeletes);
    putU8(out, li.type);
  }
  for (const LogicalIndexDef& li : def.logicalIndexes) putName(out, li.name);
  for (const LongValueMaps& lv : def.longValueMaps) {
    putU16(out, lv.column);
    putU32(out, lv.ownedMap);
    putU32(out, lv.freeMap);
  }
  putU16(out, fmt::kTdefTerminator);
  storeU32(&out[fmt::kTdefLength], static_cast<uint32_t>(out.size()));
  return out;
}

TableDefinition decodeTdef(const std::vector<uint8_t>& stream) {
  if (stream.size() < fmt::kTdefHeaderSize) malformed("見出しが短すぎます。");
  if (stream[0] != fmt::kPageTdef) malformed("テーブル定義ページではありません。");
  const uint32_t length = loadU32(&stream[fmt::kTdefLength]);
  if (length < fmt::kTdefHeaderSize + 2 || length > stream.size()) {
    malformed("記録された長さ " + std::to_string(length) + " が不正です。");
  }
  // The terminator ends the stream; it is not part of what the cursor parses.
  if (loadU16(&stream[length - 2]) != fmt::kTdefTerminator) malformed("終端 (FF FF) がありません。");
  Cursor cur(stream.data(), length - 2, fmt::kTdefRowCount);

  TableDefinition def;
  def.rowCount = cur.u32("行数");
  def.autonumber = cur.u32("オートナンバー");
  def.tableType = cur.u8("テーブルの種類");
  def.maxColumns = cur.u16("最大列数");
  const uint16_t varColumns = cur.u16("可変長列数");
  const uint16_t columnCount = cur.u16("列数");
  const uint32_t logicalCount = cur.u32("インデックス数");
  const uint32_t realCount = cur.u32("実インデックス数");
  def.ownedMap = cur.u32("使用ページ表");
  def.freeMap = cur.u32("空きページ表");

  // Check the counts against what the stream can hold before reserving anything.
  if (static_cast<uint64_t>(realCount) * (fmt::kTdefRealIndexCountSize + fmt::kRealIndexBlockSize) +
          static_cast<uint64_t>(columnCount) * (fmt::kColumnDescriptorSize + 1) +
          static_cast<uint64_t>(logicalCount) * (fmt::kLogicalIndexBlockSize + 1) >
      cur.left()) {
    malformed("列数 " + std::to_string(columnCount) + "、インデックス数 " + std::to_string(logicalCount) + "/" +
              std::to_string(realCount) + " がテーブル定義の長さに収まりません。");
  }
  if (columnCount > fmt::kMaxColumns) malformed("列数 " + std::to_string(columnCount) + " が多すぎます。");

  def.realIndexes.resize(realCount);
  for (RealIndexDef& ri : def.realIndexes) {
    ri.unknownBefore = cur.u32("インデックスの見出し");
    ri.distinctKeys = cur.u32("インデックスのキー数");
  }
  def.columns.resize(columnCount);
  for (ColumnDef& c : def.columns) {
    c.type = cur.u8("列の記述");
    c.number = cur.u16("列の記述");
    c.varIndex = cur.u16("列の記述");
    c.numberAgain = cur.u16("列の記述");
    c.unknown7 = cur.u16("列の記述");
    c.sortOrder = cur.u16("列の記述");
    c.codePage = cur.u16("列の記述");
    c.flags = cur.u8("列の記述");
    c.fixedOffset = cur.u16("列の記述");
    c.length = cur.u16("列の記述");
  }
  for (ColumnDef& c : def.columns) c.name = cur.name("列名");
  if (def.variableColumnCount() != varColumns) {
    malformed("可変長列数 " + std::to_string(varColumns) + " が列の記述 (" +
              std::to_string(def.variableColumnCount()) + ") と一致しません。");
  }
  // Slots and offsets that point outside the row would make row layouts built from this
  // definition index past their own tables.
  for (const ColumnDef& c : def.columns) {
    if (!c.isFixed() && c.varIndex >= varColumns) {
      malformed("可変長列の番号 " + std::to_string(c.varIndex) + " が可変長列数 " + std::to_string(varColumns) +
                " を超えています。");
    }
    if (c.isFixed() && static_cast<uint32_t>(c.fixedOffset) + c.length > fmt::kPageSize) {
      malformed("固定長列の位置 " + std::to_string(c.fixedOffset) + " と長さ " + std::to_string(c.length) +
                " が行に収まりません。");
    }
  }
  for (RealIndexDef& ri : def.realIndexes) {
    for (IndexColumn& ic : ri.columns) {
      ic.column = cur.u16("インデックスの列");
      ic.order = cur.u8("インデックスの列");
    }
    ri.usageMap = cur.u32("インデックスの使用ページ表");
    ri.rootPage = cur.u32("インデックスのルート ページ");
    ri.flags = cur.u8("インデックスのフラグ");
  }
  def.logicalIndexes.resize(logicalCount);
  for (LogicalIndexDef& li : def.logicalIndexes) {
    li.number = cur.u32("インデックスの記述");
    li.realIndex = cur.u32("インデックスの記述");
    li.otherTableType = cur.u8("インデックスの記述");
    li.otherIndex = cur.u32("インデックスの記述");
    li.otherTablePage = cur.u32("インデックスの記述");
    li.cascadeUpdates = cur.u8("インデックスの記述");
    li.cascadeDeletes = cur.u8("インデックスの記述");
    li.type = cur.u8("インデックスの記述");
    if (li.realIndex >= realCount) {
      malformed("インデックス " + std::to_string(li.number) + " が存在しない実インデックス " +
                std::to_string(li.realIndex) + " を指しています。");
    }
  }
  for (LogicalIndexDef& li : def.logicalIndexes) li.name = cur.name("インデックス名");
  if (cur.left() % fmt::kLongValueMapEntrySize != 0) {
    malformed("長い値の列の使用ページ表の長さが不正です。");
  }
  def.longValueMaps.resize(cur.left() / fmt::kLongValueMapEntrySize);
  for (LongValueMaps& lv : def.longValueMaps) {
    lv.column = cur.u16("長い値の列");
    lv.ownedMap = cur.u32("長い値の使用ページ表");
    lv.freeMap = cur.u32("長い値の空きページ表");
  }
  return def;
}

}  // namespace vellicor::jet3
