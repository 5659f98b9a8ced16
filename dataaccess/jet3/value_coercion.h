// Conversion of a DAO value to what a Jet 3 field stores, as DAO converts values assigned to Jet
// fields: numbers to the field's type with range checks, text to numbers and dates where it
// parses, anything printable to text. Refusals throw dao::Error naming the table and field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dataaccess/error.h"
#include "dataaccess/variant.h"

namespace vellicor::text {
class CodePage;
}

namespace vellicor::jet3 {


struct FieldTarget {
  uint8_t type = 0;        // fmt::ColumnType
  uint16_t maxLength = 0;  // Text/Binary: bytes
  const std::string* tableName = nullptr;
  const std::string* fieldName = nullptr;
};

// Fixed-size types: writes the stored bytes (little-endian) into out (16 bytes room); for
// Boolean sets *boolValue instead. Dispatches to the type's coercion (column_type.h).
void coerceFixed(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* boolValue);

// The coercion of each fixed type, as column_type.cpp lists them.
void coerceBoolean(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceByte(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceInteger(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceLong(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceCurrency(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceSingle(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceDouble(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceDate(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);
void coerceGuid(const dao::Variant& v, const FieldTarget& f, uint8_t* out, bool* flag);

// Text and Memo: appends the code-page bytes of the value's text to out; returns the number of
// characters the code page could not hold. Text checks the length limit.
size_t coerceText(const dao::Variant& v, const FieldTarget& f, const text::CodePage& cp, std::string& out);

// Binary and Long Binary: appends the value's bytes to out. Binary checks the length limit.
void coerceBytes(const dao::Variant& v, const FieldTarget& f, std::string& out);

// The text form that a non-text value takes in a Text or Memo field (UTF-8).
void textOf(const dao::Variant& v, std::string& out);

// "テーブル 'T' のフィールド 'F' に値を格納できません: <cause>"
[[noreturn]] void refuseValue(const FieldTarget& f, const std::string& cause, int number = dao::errnum::kDataTypeConversion);

// OLE date limits of Jet: 100-01-01 00:00:00 .. 9999-12-31 23:59:59.
bool dateInRange(double oa);

}  // namespace vellicor::jet3
