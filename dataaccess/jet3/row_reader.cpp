// Jet 3 row decoding: column count byte, fixed area, variable data located through the reversed
// one-byte offset table and the jump table of long rows, and the trailing null mask.
#include "dataaccess/jet3/row_reader.h"

#include <cstring>

#include "dataaccess/dao.h"
#include "text/codepage.h"
#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/read_long_value.h"

namespace vellicor::jet3 {
namespace {

[[noreturn]] void badRow(const std::string& place, const std::string& what) {
  throw dao::damagedFile(place + " のデータが壊れています: " + what);
}

}  // namespace

std::vector<FieldBytes> splitRow(const TableDefinition& def, const uint8_t* row, size_t size,
                                 const std::string& place) {
  if (size < 1) badRow(place, "行が空です。");
  const size_t rowColumns = row[0];
  const size_t maskSize = (rowColumns + 7) / 8;
  if (size < 1 + maskSize) badRow(place, "null マスクが行に収まりません。");
  const uint8_t* mask = row + size - maskSize;
  auto bit = [&](uint16_t number) { return number < rowColumns && (mask[number / 8] >> (number % 8) & 1) != 0; };

  // Variable area: offsets of the row's variable columns and of the end of the variable data.
  std::vector<size_t> offsets;
  size_t rowVariable = 0;
  size_t varAreaEnd = size - maskSize;  // fixed data may not run into the trailer
  if (def.variableColumnCount() > 0) {
    if (size < 2 + maskSize) badRow(place, "可変長列の数が行に収まりません。");
    const size_t countPos = size - maskSize - 1;
    rowVariable = row[countPos];
    const size_t jumps = (size - 1) / 256;
    if (countPos < jumps + 1 + rowVariable + 1) badRow(place, "可変長列のオフセット表が行に収まりません。");
    const size_t firstOffsetPos = countPos - jumps - 1;
    const size_t eodPos = firstOffsetPos - rowVariable;
    // A trailer that pushed the row over a 256-byte boundary leaves one dummy jump byte.
    const size_t usedJumps = (eodPos / 256 < jumps) ? jumps - 1 : jumps;
    offsets.resize(rowVariable + 1);
    size_t jumpsUsed = 0;
    for (size_t i = 0; i <= rowVariable; ++i) {
      while (jumpsUsed < usedJumps && row[countPos - 1 - jumpsUsed] == i) ++jumpsUsed;
      offsets[i] = row[firstOffsetPos - i] + 256 * jumpsUsed;
      if (offsets[i] > eodPos || offsets[i] < 1 || (i > 0 && offsets[i] < offsets[i - 1])) {
        badRow(place, "可変長列 " + std::to_string(i) + " のオフセット " + std::to_string(offsets[i]) + " が不正です。");
      }
    }
    varAreaEnd = offsets.empty() ? eodPos : offsets.front();
  }

  std::vector<FieldBytes> fields(def.columns.size());
  for (size_t c = 0; c < def.columns.size(); ++c) {
    const ColumnDef& col = def.columns[c];
    FieldBytes& f = fields[c];
    f.present = bit(col.number);
    if (col.type == fmt::kTypeBoolean || !f.present) continue;
    if (col.isFixed()) {
      const size_t start = 1 + size_t{col.fixedOffset};
      if (start + col.length > varAreaEnd) {
        badRow(place, "固定長列 (列番号 " + std::to_string(col.number) + ") が行に収まりません。");
      }
      f.data = row + start;
      f.size = col.length;
    } else if (col.varIndex < rowVariable) {
      f.data = row + offsets[col.varIndex];
      f.size = offsets[col.varIndex + 1] - offsets[col.varIndex];
    } else {
      f.present = false;  // a column added after this row was written
    }
  }
  return fields;
}

dao::Variant decodeField(const ColumnDef& column, const FieldBytes& field, PageSource& source,
                         const text::CodePage& codePage, const std::string& place) {
  const ColumnType* type = columnType(column.type);
  if (type != nullptr && type->storage == ColumnStorage::kNullMaskBit) return field.present;
  if (!field.present) return dao::Null{};
  const uint8_t* p = field.data;
  const std::string_view bytes(reinterpret_cast<const char*>(p), field.size);
  if (type == nullptr) return dao::Bytes(p, p + field.size);  // types Jet 3 does not define
  switch (type->storage) {
    case ColumnStorage::kFixed:
      if (field.size < type->width) {
        std::string name;
        codePage.decode(column.name, name);
        badRow(place, "列 \"" + name + "\" の値が " + std::to_string(field.size) + " バイトしかありません。");
      }
      return type->decodeFixed(p);
    case ColumnStorage::kVariable:
      if (type->text) {
        std::string text;
        codePage.decode(bytes, text);
        return text;
      }
      return dao::Bytes(p, p + field.size);
    case ColumnStorage::kLongValue: {
      std::vector<uint8_t> whole = readLongValue(source, p, field.size);
      if (!type->text) return dao::Bytes(std::move(whole));
      std::string text;
      codePage.decode(std::string_view(reinterpret_cast<const char*>(whole.data()), whole.size()), text);
      return text;
    }
    case ColumnStorage::kNullMaskBit: break;
  }
  return field.present;
}

}  // namespace vellicor::jet3
