// The fields of an ODBC recordset: name, DAO type and size of each column and the value of the
// current row, read from the recordset's buffers. Fields never write: the source is read-only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/dao.h"

namespace vellicor::odbc {

class OdbcRecordset;

class OdbcField final : public dao::Field {
 public:
  OdbcField(OdbcRecordset& rs, int index) : rs_(&rs), index_(index) {}
  const std::string& name() const override;
  int16_t type() const override;
  int32_t size() const override;
  dao::Variant value() const override;
  void setValue(const dao::Variant& v) override;
  // Memo: the UTF-8 bytes of the text; Long Binary: the bytes. 0 for Null.
  int64_t fieldSize() const override;
  dao::Bytes getChunk(int64_t offset, int32_t length) const override;
  void appendChunk(const dao::Bytes& piece) override;

 private:
  OdbcRecordset* rs_;
  int index_;
};

class OdbcFields final : public dao::Fields {
 public:
  explicit OdbcFields(OdbcRecordset& rs, int count);
  int count() const override { return static_cast<int>(fields_.size()); }
  dao::Field& operator[](int index) override;
  // Names compare without regard to ASCII case, as DAO does.
  dao::Field& operator[](std::string_view name) override;

 private:
  std::vector<OdbcField> fields_;
};

// Error raised by every write on the source side.
[[noreturn]] void refuseWrite();

}  // namespace vellicor::odbc
