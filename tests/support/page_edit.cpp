// Byte-level edits of Jet 3 pages and usage maps for the damage tests.
#include "support/page_edit.h"

#include <fstream>
#include <stdexcept>

#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/read_le.h"
#include "support/mdbtools_support.h"

namespace vellicor::testing {

namespace fmt = jet3::fmt;
using jet3::loadU16;
using jet3::loadU32;

PageEdit::PageEdit(const std::string& path) : bytes_(readWholeFile(path)) {}

void PageEdit::save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

uint8_t* PageEdit::at(uint32_t page, size_t offset) {
  if ((size_t{page} + 1) * fmt::kPageSize > bytes_.size()) throw std::runtime_error("page outside the file");
  return bytes_.data() + size_t{page} * fmt::kPageSize + offset;
}

uint8_t* PageEdit::mapRow(uint32_t rowPointer) {
  const uint32_t page = fmt::pointerPage(rowPointer);
  return at(page, loadU16(at(page, fmt::kDataRowTable + 2 * fmt::pointerRow(rowPointer))) & fmt::kRowOffsetMask);
}

std::pair<uint8_t*, uint8_t> PageEdit::bit(uint8_t* row, uint32_t page) {
  if (row[0] == fmt::kMapInline) {
    const uint32_t start = loadU32(row + 1);
    if (page < start) throw std::runtime_error("page below the map row's range");
    const uint32_t i = page - start;
    return {row + fmt::kMapInlineHeader + i / 8, static_cast<uint8_t>(1u << (i % 8))};
  }
  const uint32_t bitmap = loadU32(row + 1 + 4 * (page / fmt::kBitmapPageBits));
  if (bitmap == 0) throw std::runtime_error("no bitmap page for the page's window");
  const uint32_t i = page % fmt::kBitmapPageBits;
  return {at(bitmap, fmt::kBitmapPageHeader + i / 8), static_cast<uint8_t>(1u << (i % 8))};
}

bool PageEdit::member(uint8_t* row, uint32_t page) {
  auto [byte, mask] = bit(row, page);
  return (*byte & mask) != 0;
}

void PageEdit::setMember(uint8_t* row, uint32_t page, bool on) {
  auto [byte, mask] = bit(row, page);
  *byte = static_cast<uint8_t>(on ? (*byte | mask) : (*byte & ~mask));
}

}  // namespace vellicor::testing
