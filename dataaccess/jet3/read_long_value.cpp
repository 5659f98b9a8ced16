// Memo/OLE reading: inline values, single LVAL rows and LVAL chains (4-byte next pointer + data a
// row). Lengths are capped by the file size and chains are guarded against loops.
#include "dataaccess/jet3/read_long_value.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

[[noreturn]] void badValue(const std::string& what) {
  throw dao::damagedFile("メモ型または OLE オブジェクト型の値が壊れています: " + what);
}

// The bytes of the LVAL row at ptr, copied out of its page.
std::vector<uint8_t> lvalRow(PageSource& source, uint32_t ptr) {
  const uint32_t pageNumber = fmt::pointerPage(ptr);
  if (pageNumber == 0 || pageNumber >= source.pageCount()) {
    badValue("ページ " + std::to_string(pageNumber) + " はファイルの範囲外です。");
  }
  const auto page = source.page(pageNumber);
  const RowSlot slot = rowSlot(*page, pageNumber, fmt::pointerRow(ptr));
  if (slot.deleted()) badValue(rowPlace(pageNumber, fmt::pointerRow(ptr)) + " は削除された行です。");
  return std::vector<uint8_t>(page->begin() + slot.start, page->begin() + slot.end);
}

}  // namespace

uint32_t longValueLength(const uint8_t* field, size_t size) {
  if (size < fmt::kLongValueHeaderSize) badValue("列の値が " + std::to_string(size) + " バイトしかありません。");
  return loadU32(field) & fmt::kLvLengthMask;
}

std::vector<uint8_t> readLongValue(PageSource& source, const uint8_t* field, size_t size) {
  const uint32_t length = longValueLength(field, size);
  const uint32_t kind = loadU32(field) & fmt::kLvKindMask;
  if (uint64_t{length} > uint64_t{source.pageCount()} * fmt::kPageSize) {
    badValue("長さ " + std::to_string(length) + " がファイルの大きさを超えています。");
  }
  const uint32_t first = loadU32(field + 4);
  if (kind == fmt::kLvInline) {
    if (length > size - fmt::kLongValueHeaderSize) badValue("行内の値の長さ " + std::to_string(length) + " が列の値を超えています。");
    return std::vector<uint8_t>(field + fmt::kLongValueHeaderSize, field + fmt::kLongValueHeaderSize + length);
  }
  if (kind == fmt::kLvSingleRow) {
    std::vector<uint8_t> row = lvalRow(source, first);
    if (row.size() < length) badValue("LVAL 行が値の長さより短いです。");
    row.resize(length);
    return row;
  }
  if (kind != 0) badValue("種類が不明です。");
  std::vector<uint8_t> value;
  value.reserve(length);
  std::unordered_set<uint32_t> visited;
  uint32_t ptr = first;
  while (value.size() < length) {
    if (ptr == 0) badValue("LVAL の連鎖が値の長さに届く前に終わっています。");
    if (!visited.insert(ptr).second) badValue("LVAL の連鎖が循環しています (ページ " + std::to_string(fmt::pointerPage(ptr)) + ")。");
    const std::vector<uint8_t> row = lvalRow(source, ptr);
    if (row.size() < fmt::kLvChainPointerSize) badValue("LVAL 行が短すぎます。");
    const size_t take = std::min(row.size() - fmt::kLvChainPointerSize, size_t{length} - value.size());
    value.insert(value.end(), row.begin() + fmt::kLvChainPointerSize, row.begin() + fmt::kLvChainPointerSize + take);
    ptr = loadU32(row.data());
  }
  return value;
}

std::vector<uint32_t> longValuePages(PageSource& source, const uint8_t* field, size_t size) {
  const uint32_t length = longValueLength(field, size);
  const uint32_t kind = loadU32(field) & fmt::kLvKindMask;
  if (kind == fmt::kLvInline) return {};
  const uint32_t first = loadU32(field + 4);
  if (kind == fmt::kLvSingleRow) return {fmt::pointerPage(first)};
  if (kind != 0) badValue("種類が不明です。");
  std::vector<uint32_t> pages;
  std::unordered_set<uint32_t> visited;
  uint64_t covered = 0;
  for (uint32_t ptr = first; covered < length;) {
    if (ptr == 0) badValue("LVAL の連鎖が値の長さに届く前に終わっています。");
    if (!visited.insert(ptr).second) badValue("LVAL の連鎖が循環しています (ページ " + std::to_string(fmt::pointerPage(ptr)) + ")。");
    pages.push_back(fmt::pointerPage(ptr));
    if (fmt::pointerPage(ptr) == 0 || fmt::pointerPage(ptr) >= source.pageCount()) break;
    const std::vector<uint8_t> row = lvalRow(source, ptr);
    if (row.size() < fmt::kLvChainPointerSize) badValue("LVAL 行が短すぎます。");
    covered += row.size() - fmt::kLvChainPointerSize;
    ptr = loadU32(row.data());
  }
  return pages;
}

}  // namespace vellicor::jet3
