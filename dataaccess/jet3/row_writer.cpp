// Row encoding for Jet 3 data pages. Offsets of variable columns are single bytes; rows of 256
// bytes or more carry a jump table that supplies the high part, read the way every Jet 3 reader
// does: jump byte k names the first entry (variable columns, then the end of data) at or past
// byte 256 * (k + 1), and a final 0xFF dummy is allowed when the trailer alone crosses a boundary.
#include "dataaccess/jet3/row_writer.h"

#include <algorithm>
#include <cstring>

#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {
namespace {

size_t maskBytes(const RowLayout& l) { return (l.rowColumnCount + 7) / 8; }

// Jump bytes for a row whose variable data end at eod; 0 if the row needs none. Sets ok = false
// when the row would need more than one dummy jump byte.
size_t jumpCount(const RowLayout& l, size_t eod, bool& ok) {
  ok = true;
  if (l.varColumns.empty()) return 0;
  const size_t trailer = 1 + l.varColumns.size() + 1 + maskBytes(l);
  size_t jumps = 0;
  for (;;) {
    const size_t length = eod + trailer + jumps;
    const size_t want = (length - 1) / 256;
    if (want <= jumps) break;
    jumps = want;
  }
  if (jumps > eod / 256 + 1) ok = false;
  return jumps;
}

}  // namespace

RowLayout RowLayout::fromDefinition(const TableDefinition& def) {
  RowLayout l;
  uint16_t maxNumber = 0;
  for (const ColumnDef& c : def.columns) {
    Column col;
    col.type = c.type;
    col.number = c.number;
    col.fixed = c.isFixed();
    col.fixedOffset = c.fixedOffset;
    col.length = c.length;
    col.varIndex = c.varIndex;
    if (col.fixed && c.type != fmt::kTypeBoolean) {
      l.fixedSize = std::max<uint16_t>(l.fixedSize, static_cast<uint16_t>(c.fixedOffset + c.length));
    }
    maxNumber = std::max<uint16_t>(maxNumber, static_cast<uint16_t>(c.number + 1));
    l.columns.push_back(col);
  }
  l.rowColumnCount = std::max<uint16_t>(maxNumber, def.maxColumns);
  uint16_t vars = 0;
  for (const Column& c : l.columns)
    if (!c.fixed) vars = std::max<uint16_t>(vars, static_cast<uint16_t>(c.varIndex + 1));
  l.varColumns.assign(vars, 0);
  for (size_t i = 0; i < l.columns.size(); ++i)
    if (!l.columns[i].fixed) l.varColumns[l.columns[i].varIndex] = static_cast<uint16_t>(i);
  return l;
}

size_t encodedRowLength(const RowLayout& l, size_t varBytes) {
  const size_t eod = 1 + l.fixedSize + varBytes;
  bool ok;
  const size_t jumps = jumpCount(l, eod, ok);
  const size_t trailer = l.varColumns.empty() ? 0 : 1 + l.varColumns.size() + jumps + 1;
  return eod + trailer + maskBytes(l);
}

size_t encodeRow(const RowLayout& l, const CellValue* cells, uint8_t* out, size_t capacity) {
  size_t varBytes = 0;
  for (uint16_t ci : l.varColumns)
    if (!cells[ci].isNull) varBytes += cells[ci].size;
  const size_t eod = 1 + l.fixedSize + varBytes;
  bool ok;
  const size_t jumps = jumpCount(l, eod, ok);
  if (!ok) return 0;
  const size_t nvar = l.varColumns.size();
  const size_t mask = maskBytes(l);
  const size_t length = eod + (nvar ? 1 + nvar + jumps + 1 : 0) + mask;
  if (length > capacity) return 0;

  out[0] = static_cast<uint8_t>(l.rowColumnCount);
  std::memset(out + 1, 0, l.fixedSize);
  uint8_t* nullMask = out + length - mask;
  std::memset(nullMask, 0, mask);
  for (size_t i = 0; i < l.columns.size(); ++i) {
    const RowLayout::Column& c = l.columns[i];
    const CellValue& v = cells[i];
    if (c.type == fmt::kTypeBoolean) {
      if (!v.isNull && v.boolValue) nullMask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
      continue;
    }
    if (v.isNull) continue;
    nullMask[c.number / 8] |= static_cast<uint8_t>(1u << (c.number % 8));
    if (c.fixed) std::memcpy(out + 1 + c.fixedOffset, v.fixed, c.length);
  }
  if (nvar == 0) return length;

  // Variable data in slot order; the offset table holds the low bytes, stored last slot first,
  // right after the end-of-data byte.
  size_t pos = 1 + l.fixedSize;
  uint8_t* table = out + eod;  // eod byte, then offsets of slots nvar-1 .. 0
  table[0] = static_cast<uint8_t>(eod & 0xFF);
  uint8_t* countByte = out + length - mask - 1;
  size_t nextJump = 0;  // next boundary index k (boundary 256 * (k + 1)) still to record
  auto recordJumps = [&](size_t entry, size_t offset) {
    while (nextJump < jumps && offset >= 256 * (nextJump + 1)) {
      countByte[-1 - static_cast<ptrdiff_t>(nextJump)] = static_cast<uint8_t>(entry);
      ++nextJump;
    }
  };
  for (size_t v = 0; v < nvar; ++v) {
    const CellValue& cell = cells[l.varColumns[v]];
    table[nvar - v] = static_cast<uint8_t>(pos & 0xFF);
    recordJumps(v, pos);
    if (!cell.isNull && cell.size) {
      std::memcpy(out + pos, cell.data, cell.size);
      pos += cell.size;
    }
  }
  recordJumps(nvar, eod);
  while (nextJump < jumps) {  // the trailer crossed a boundary that no offset reaches
    countByte[-1 - static_cast<ptrdiff_t>(nextJump)] = 0xFF;
    ++nextJump;
  }
  *countByte = static_cast<uint8_t>(nvar);
  return length;
}

}  // namespace vellicor::jet3
