// Field and Fields of the ODBC recordset. Long values are served in chunks from the copy the
// recordset reads once per row; nothing here talks to the driver directly.
#include "dataaccess/odbc/odbc_field.h"

#include <algorithm>

#include "dataaccess/odbc/odbc_recordset.h"
#include "text/ascii.h"

namespace vellicor::odbc {

void refuseWrite() {
  throw dao::Error("データベースまたはオブジェクトは読み取り専用なので、更新できません。", dao::errnum::kReadOnly);
}

const std::string& OdbcField::name() const { return rs_->column(index_).name; }
int16_t OdbcField::type() const { return rs_->column(index_).mapping.daoType; }
int32_t OdbcField::size() const { return rs_->column(index_).mapping.size; }
dao::Variant OdbcField::value() const { return rs_->value(index_); }
void OdbcField::setValue(const dao::Variant&) { refuseWrite(); }
void OdbcField::appendChunk(const dao::Bytes&) { refuseWrite(); }

namespace {

// The bytes of a value as the chunk calls see them.
std::string_view bytesOf(const dao::Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* b = std::get_if<dao::Bytes>(&v))
    return {reinterpret_cast<const char*>(b->data()), b->size()};
  return {};
}

}  // namespace

int64_t OdbcField::fieldSize() const {
  if (rs_->isLong(index_)) return static_cast<int64_t>(bytesOf(rs_->longValue(index_)).size());
  return static_cast<int64_t>(bytesOf(rs_->value(index_)).size());
}

dao::Bytes OdbcField::getChunk(int64_t offset, int32_t length) const {
  if (offset < 0 || length < 0) throw dao::Error("引数が無効です。", dao::errnum::kInvalidArgument);
  dao::Variant shortValue;
  std::string_view all;
  if (rs_->isLong(index_)) {
    all = bytesOf(rs_->longValue(index_));
  } else {
    shortValue = rs_->value(index_);
    all = bytesOf(shortValue);
  }
  if (static_cast<uint64_t>(offset) >= all.size()) return {};
  const size_t n = std::min<size_t>(static_cast<size_t>(length), all.size() - static_cast<size_t>(offset));
  const auto* p = reinterpret_cast<const uint8_t*>(all.data()) + offset;
  return dao::Bytes(p, p + n);
}

OdbcFields::OdbcFields(OdbcRecordset& rs, int count) {
  fields_.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) fields_.emplace_back(rs, i);
}

dao::Field& OdbcFields::operator[](int index) {
  if (index < 0 || index >= count()) {
    throw dao::Error("この名前または序数に対応する項目がコレクションに見つかりません。", dao::errnum::kItemNotFound);
  }
  return fields_[static_cast<size_t>(index)];
}

dao::Field& OdbcFields::operator[](std::string_view name) {
  for (auto& f : fields_) {
    if (text::equalsIgnoringAsciiCase(f.name(), name)) return f;
  }
  throw dao::Error("この名前または序数に対応する項目がコレクションに見つかりません。(" + std::string(name) + ")", dao::errnum::kItemNotFound);
}

}  // namespace vellicor::odbc
