// The table of Jet 3 column types and the fixed types' stored-byte decoders and index keys.
#include "dataaccess/jet3/column_type.h"

#include <cstring>

#include "dataaccess/error.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/row_reader.h"
#include "dataaccess/jet3/tdef.h"
#include "dataaccess/jet3/value_coercion.h"

namespace vellicor::jet3 {
namespace {

float loadSingle(const uint8_t* p) {
  const uint32_t bits = loadU32(p);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

double loadDouble(const uint8_t* p) {
  const uint64_t bits = loadU64(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

dao::Variant byteValue(const uint8_t* p) { return p[0]; }
dao::Variant integerValue(const uint8_t* p) { return static_cast<int16_t>(loadU16(p)); }
dao::Variant longValue(const uint8_t* p) { return static_cast<int32_t>(loadU32(p)); }
dao::Variant currencyValue(const uint8_t* p) { return dao::Currency{static_cast<int64_t>(loadU64(p))}; }
dao::Variant singleValue(const uint8_t* p) { return loadSingle(p); }
dao::Variant doubleValue(const uint8_t* p) { return loadDouble(p); }
dao::Variant dateValue(const uint8_t* p) { return dao::Date{loadDouble(p)}; }
dao::Variant guidValue(const uint8_t* p) {
  dao::Guid g;
  std::memcpy(g.bytes.data(), p, g.bytes.size());
  return g;
}

void byteKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) { appendByteKey(k, p[0], asc); }
void integerKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) {
  appendIntegerKey(k, static_cast<int16_t>(loadU16(p)), asc);
}
void longKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) {
  appendLongKey(k, static_cast<int32_t>(loadU32(p)), asc);
}
void currencyKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) {
  appendCurrencyKey(k, static_cast<int64_t>(loadU64(p)), asc);
}
void singleKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) { appendSingleKey(k, loadSingle(p), asc); }
void doubleKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) { appendDoubleKey(k, loadDouble(p), asc); }
void guidKey(std::vector<uint8_t>& k, const uint8_t* p, bool asc) {
  uint8_t g[16];
  std::memcpy(g, p, sizeof g);
  appendGuidKey(k, g, asc);
}

using S = ColumnStorage;
// code, DAO type, storage, width, text, keyable, keyBuilt, decode, encode, key
constexpr ColumnType kTypes[] = {
    {fmt::kTypeBoolean, dao::dbBoolean, S::kNullMaskBit, 1, false, true, true, nullptr, coerceBoolean, nullptr},
    {fmt::kTypeByte, dao::dbByte, S::kFixed, 1, false, true, true, byteValue, coerceByte, byteKey},
    {fmt::kTypeInteger, dao::dbInteger, S::kFixed, 2, false, true, true, integerValue, coerceInteger, integerKey},
    {fmt::kTypeLong, dao::dbLong, S::kFixed, 4, false, true, true, longValue, coerceLong, longKey},
    {fmt::kTypeCurrency, dao::dbCurrency, S::kFixed, 8, false, true, true, currencyValue, coerceCurrency, currencyKey},
    {fmt::kTypeSingle, dao::dbSingle, S::kFixed, 4, false, true, true, singleValue, coerceSingle, singleKey},
    {fmt::kTypeDouble, dao::dbDouble, S::kFixed, 8, false, true, true, doubleValue, coerceDouble, doubleKey},
    {fmt::kTypeDate, dao::dbDate, S::kFixed, 8, false, true, true, dateValue, coerceDate, doubleKey},
    {fmt::kTypeBinary, dao::dbBinary, S::kVariable, 0, false, true, false, nullptr, nullptr, nullptr},
    {fmt::kTypeText, dao::dbText, S::kVariable, 0, true, true, true, nullptr, nullptr, nullptr},
    {fmt::kTypeOle, dao::dbLongBinary, S::kLongValue, 0, false, false, false, nullptr, nullptr, nullptr},
    {fmt::kTypeMemo, dao::dbMemo, S::kLongValue, 0, true, false, false, nullptr, nullptr, nullptr},
    {fmt::kTypeGuid, dao::dbGUID, S::kFixed, 16, false, true, false, guidValue, coerceGuid, guidKey},
};

}  // namespace

const ColumnType* columnType(uint8_t code) {
  for (const ColumnType& t : kTypes)
    if (t.code == code) return &t;
  return nullptr;
}

const ColumnType* columnTypeOfDao(int16_t daoType) {
  for (const ColumnType& t : kTypes)
    if (t.daoType == daoType) return &t;
  return nullptr;
}

void appendColumnKey(std::vector<uint8_t>& key, const ColumnDef& col, const FieldBytes& f, bool ascending) {
  const ColumnType* t = columnType(col.type);
  if (t != nullptr && t->storage == ColumnStorage::kNullMaskBit) {
    appendBooleanKey(key, f.present, ascending);
    return;
  }
  if (!f.present) {
    appendNullKey(key, ascending);
    return;
  }
  if (t == nullptr || !t->keyable) return;
  const std::string_view bytes(reinterpret_cast<const char*>(f.data), f.size);
  switch (t->storage) {
    case ColumnStorage::kFixed:
      if (f.size < t->width) throw dao::damagedFile("列番号 " + std::to_string(col.number) + " の値が短すぎます。");
      t->appendFixedKey(key, f.data, ascending);
      return;
    case ColumnStorage::kVariable:
      if (t->text) {
        appendTextKeyGeneral(key, bytes, ascending);
      } else {
        appendBinaryKey(key, bytes, ascending);
      }
      return;
    default: return;
  }
}

}  // namespace vellicor::jet3
