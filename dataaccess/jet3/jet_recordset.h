// A table recordset of a Jet database: AddNew / field values / AppendChunk / Update for the
// tables appended in this session, and a forward read of any table's rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/long_value_writer.h"
#include "dataaccess/jet3/row_writer.h"
#include "dataaccess/jet3/value_coercion.h"

namespace vellicor::jet3 {

class JetDatabase;
class JetFileReader;
class RowCursor;
class TableWriter;
class JetRecordset;

class JetField : public dao::Field {
 public:
  JetField(JetRecordset& rs, size_t index, std::string name, int16_t type, int32_t size, uint16_t length);
  const std::string& name() const override { return name_; }
  int16_t type() const override { return type_; }
  int32_t size() const override { return size_; }
  dao::Variant value() const override;
  void setValue(const dao::Variant& v) override;
  int64_t fieldSize() const override;
  dao::Bytes getChunk(int64_t offset, int32_t length) const override;
  void appendChunk(const dao::Bytes& piece) override;

  // Pending value of the row being added.
  void clear();
  bool isNull = true;
  bool boolValue = false;
  uint8_t fixed[16] = {};
  std::string bytes;    // Text/Binary bytes, or the long value (OLE raw, Memo code-page bytes)
  std::string pending;  // Memo pieces, UTF-8, converted at Update
  std::string cell;     // the long-value field as the row holds it (header, inline data)
  LongValueChain chain;  // a long value already partly on chain pages
  uint64_t longLength = 0;  // bytes given so far to a Memo (UTF-8) or OLE field
  // Converts what is complete of a Memo's text and moves long-value bytes beyond a few pieces
  // to the file; final says the value is complete (Update).
  void feed(bool final);
  FieldTarget target;

 private:
  const dao::Variant& readValue() const;
  JetRecordset& rs_;
  size_t index_;
  std::string name_;
  int16_t type_;
  int32_t size_;
};

class JetRecordset : public dao::Recordset, public dao::Fields {
 public:
  JetRecordset(JetDatabase& db, const std::string& table, uint32_t tdefPage, int type);
  ~JetRecordset() override;

  // Recordset
  bool eof() const override;
  void moveNext() override;
  dao::Fields& fields() override { return *this; }
  void addNew() override;
  void update(int updateType = dao::dbUpdateRegular, bool force = false) override;
  void close() override;
  // Fields
  int count() const override { return static_cast<int>(fields_.size()); }
  dao::Field& operator[](int index) override;
  dao::Field& operator[](std::string_view name) override;

  bool editing() const { return editing_; }
  JetDatabase& database() { return db_; }
  const std::string& tableName() const { return table_; }
  LongValueWriter& longValuesOf(size_t index);
  // The current row's value of column index (read side), cached for the row.
  const dao::Variant& currentValue(size_t index);
  void checkOpen() const;

 private:
  void storeLongValues(bool allowInline);

  JetDatabase& db_;
  std::string table_;
  uint32_t tdefPage_;
  bool readOnly_;
  TableWriter* writer_ = nullptr;
  std::vector<std::unique_ptr<JetField>> fields_;
  bool editing_ = false;
  bool closed_ = false;
  // Read side
  std::unique_ptr<JetFileReader> reader_;
  std::unique_ptr<RowCursor> cursor_;
  bool atEnd_ = true;
  std::vector<dao::Variant> rowValues_;
  std::vector<bool> rowValueRead_;
  // Write side, reused from row to row
  std::vector<CellValue> cells_;
  std::vector<size_t> variableFields_;  // Text, Binary, Memo, OLE
  std::vector<uint8_t> rowBuffer_;
  std::string conversion_;
};

}  // namespace vellicor::jet3
