// The ODBC recordset: executes the statement, describes and maps its columns, fetches rows in
// column-wise bound blocks and turns the buffers of the current row into DAO values.
#include "dataaccess/odbc/odbc_recordset.h"

#include <algorithm>
#include <cstring>

#include "dataaccess/odbc/odbc_diag.h"
#include "dataaccess/odbc/odbc_returned_text.h"
#include "dataaccess/odbc/odbc_text.h"

namespace vellicor::odbc {
namespace {

[[noreturn]] void noCurrentRecord() { throw dao::Error("カレント レコードがありません。", dao::errnum::kNoCurrentRecord); }

[[noreturn]] void truncated(const ColumnShape& c) {
  // The driver described the column narrower than a value it then delivered. Refuse rather than
  // hand out part of the value.
  throw dao::Error("列 " + c.name + " の値が、ドライバが報告した列の長さ (" +
                       std::to_string(c.description.columnSize) + ") を超えています。",
                   kOdbcCallFailed);
}

[[noreturn]] void unreadableRow(const std::string& errorText) {
  throw dao::Error(errorText.empty() ? "行を読み取れませんでした。" : errorText, kOdbcCallFailed);
}

SQLSMALLINT cTypeOf(FetchKind kind) {
  switch (kind) {
    case FetchKind::Text:
    case FetchKind::LongText: return SQL_C_WCHAR;
    case FetchKind::DecimalText: return SQL_C_CHAR;
    case FetchKind::Int16: return SQL_C_SSHORT;
    case FetchKind::Int32: return SQL_C_SLONG;
    case FetchKind::UInt8: return SQL_C_UTINYINT;
    case FetchKind::Bit: return SQL_C_BIT;
    case FetchKind::Float: return SQL_C_FLOAT;
    case FetchKind::Double: return SQL_C_DOUBLE;
    case FetchKind::Timestamp: return SQL_C_TYPE_TIMESTAMP;
    case FetchKind::Time: return SQL_C_TYPE_TIME;
    case FetchKind::Guid: return SQL_C_GUID;
    case FetchKind::Binary:
    case FetchKind::LongBinary: return SQL_C_BINARY;
  }
  return SQL_C_CHAR;
}

template <class T>
T load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Oracle writes 0.5 as ".5"; the exact text keeps its digits but gains the leading zero.
void addLeadingZero(std::string& s) {
  if (!s.empty() && s[0] == '.') s.insert(0, 1, '0');
  else if (s.size() > 1 && s[0] == '-' && s[1] == '.') s.insert(1, 1, '0');
}

std::string decimalText(const char* p, size_t n) {
  std::string s(p, n);
  addLeadingZero(s);
  return s;
}

// The value of kind T that `into` holds, made so when it holds another kind; the storage of one it
// already holds (a string's, a byte vector's) is reused.
template <class T>
T& slotOf(dao::Variant& into) {
  if (auto* held = std::get_if<T>(&into)) return *held;
  return into.emplace<T>();
}

// A bound value of a fixed-size kind, written into `into`.
void decodeFixedInto(const ColumnShape& c, const unsigned char* p, dao::Variant& into) {
  switch (c.mapping.fetch) {
    case FetchKind::Int16: slotOf<int16_t>(into) = load<int16_t>(p); return;
    case FetchKind::Int32: slotOf<int32_t>(into) = load<int32_t>(p); return;
    case FetchKind::UInt8: slotOf<uint8_t>(into) = load<uint8_t>(p); return;
    case FetchKind::Bit: slotOf<bool>(into) = p[0] != 0; return;
    case FetchKind::Float: slotOf<float>(into) = load<float>(p); return;
    case FetchKind::Double: slotOf<double>(into) = load<double>(p); return;
    case FetchKind::Timestamp: {
      const auto ts = load<SQL_TIMESTAMP_STRUCT>(p);
      dao::CivilTime t;
      t.year = ts.year;
      t.month = ts.month;
      t.day = ts.day;
      t.hour = ts.hour;
      t.minute = ts.minute;
      t.second = ts.second;
      t.millisecond = static_cast<int>(ts.fraction / 1000000);  // fraction: nanoseconds
      t.nanosecond = static_cast<int>(ts.fraction % 1000000);
      slotOf<dao::Date>(into) = dao::toOleDate(t);
      return;
    }
    case FetchKind::Time: {
      const auto tm = load<SQL_TIME_STRUCT>(p);
      dao::CivilTime t;
      t.hour = tm.hour;
      t.minute = tm.minute;
      t.second = tm.second;
      slotOf<dao::Date>(into) = dao::toOleDate(t);
      return;
    }
    case FetchKind::Guid: {
      const auto g = load<SQLGUID>(p);
      dao::Guid& out = slotOf<dao::Guid>(into);  // Windows memory layout: the first three parts little-endian
      for (int i = 0; i < 4; ++i) out.bytes[i] = static_cast<uint8_t>(g.Data1 >> (8 * i));
      for (int i = 0; i < 2; ++i) out.bytes[4 + i] = static_cast<uint8_t>(g.Data2 >> (8 * i));
      for (int i = 0; i < 2; ++i) out.bytes[6 + i] = static_cast<uint8_t>(g.Data3 >> (8 * i));
      std::memcpy(out.bytes.data() + 8, g.Data4, 8);
      return;
    }
    default: into = dao::Null{};
  }
}

dao::Variant decodeFixed(const ColumnShape& c, const unsigned char* p) {
  dao::Variant v;
  decodeFixedInto(c, p, v);
  return v;
}

// Length checks of the variable kinds: the value must fit the slot with its terminator, else the
// driver cut it. They return the length of a value that is whole.
size_t textUnits(const ColumnShape& c, SQLLEN ind) {
  if (ind == SQL_NO_TOTAL || ind > c.mapping.bufferBytes - static_cast<SQLLEN>(sizeof(SQLWCHAR))) truncated(c);
  return static_cast<size_t>(ind) / sizeof(SQLWCHAR);
}

size_t decimalLength(const ColumnShape& c, SQLLEN ind) {
  if (ind == SQL_NO_TOTAL || ind > c.mapping.bufferBytes - 1) truncated(c);
  return static_cast<size_t>(ind);
}

size_t binaryLength(const ColumnShape& c, SQLLEN ind) {
  if (ind == SQL_NO_TOTAL || ind > c.mapping.bufferBytes) truncated(c);
  return static_cast<size_t>(ind);
}

// A bound value: `p` points at the row's slot, `ind` is its length/indicator. Written into `into`,
// whose text and bytes keep their storage from value to value.
void decodeBoundInto(const ColumnShape& c, const unsigned char* p, SQLLEN ind, dao::Variant& into) {
  if (ind == SQL_NULL_DATA) {
    if (!dao::isNull(into)) into = dao::Null{};
    return;
  }
  switch (c.mapping.fetch) {
    case FetchKind::Text: {
      const size_t units = textUnits(c, ind);
      std::string& s = slotOf<std::string>(into);
      s.resize(units * 3);  // the most a unit gives, see writeUtf8
      s.resize(writeUtf8(s.data(), reinterpret_cast<const SQLWCHAR*>(p), units));
      return;
    }
    case FetchKind::DecimalText: {
      std::string& s = slotOf<std::string>(into);
      s.assign(reinterpret_cast<const char*>(p), decimalLength(c, ind));
      addLeadingZero(s);
      return;
    }
    case FetchKind::Binary: {
      dao::Bytes& b = slotOf<dao::Bytes>(into);
      b.assign(p, p + binaryLength(c, ind));
      return;
    }
    default: decodeFixedInto(c, p, into);
  }
}

// As decodeBoundInto, as a new value. `scratch` holds three bytes for each UTF-16 unit of the
// widest bound text column: text is converted there first, so the value is allocated once at its
// final length.
dao::Variant decodeBound(const ColumnShape& c, const unsigned char* p, SQLLEN ind, char* scratch) {
  if (ind != SQL_NULL_DATA && c.mapping.fetch == FetchKind::Text) {
    const size_t n = writeUtf8(scratch, reinterpret_cast<const SQLWCHAR*>(p), textUnits(c, ind));
    return dao::Variant(std::in_place_type<std::string>, scratch, n);
  }
  dao::Variant v;
  decodeBoundInto(c, p, ind, v);
  return v;
}

// Rows copied out of the bound buffers: each column's slots and indicators, the row statuses and
// the diagnostics of a failed row, as they were after the fetch.
class OdbcRowBlock final : public dao::RowBlock {
 public:
  explicit OdbcRowBlock(std::shared_ptr<const std::vector<ColumnShape>> shapes)
      : shapes_(std::move(shapes)), data_(shapes_->size()), indicators_(shapes_->size()) {}

  const std::vector<ColumnShape>* shapes() const { return shapes_.get(); }

  void fill(const std::vector<ResultColumn>& columns, size_t first, size_t count, const SQLUSMALLINT* status,
            const std::string& errorText) {
    rows_ = count;
    for (size_t i = 0; i < columns.size(); ++i) {
      const size_t width = static_cast<size_t>(columns[i].mapping.bufferBytes);
      const unsigned char* from = columns[i].data.data() + first * width;
      data_[i].assign(from, from + count * width);
      indicators_[i].assign(columns[i].indicator.begin() + static_cast<std::ptrdiff_t>(first),
                            columns[i].indicator.begin() + static_cast<std::ptrdiff_t>(first + count));
    }
    status_.assign(status + first, status + first + count);
    errorText_ = errorText;
    bytes_ = 0;
    for (size_t i = 0; i < data_.size(); ++i) bytes_ += data_[i].capacity() + indicators_[i].capacity() * sizeof(SQLLEN);
  }

  size_t rowCount() const override { return rows_; }
  int columnCount() const override { return static_cast<int>(shapes_->size()); }
  size_t byteSize() const override { return bytes_; }

  void read(size_t row, int column, dao::Variant& into) const override {
    checkRow(row);
    if (column < 0 || static_cast<size_t>(column) >= shapes_->size()) {
      throw dao::Error("この名前または序数に対応する項目がコレクションに見つかりません。", dao::errnum::kItemNotFound);
    }
    readValue(row, static_cast<size_t>(column), into);
  }

  void readRow(size_t row, std::vector<dao::Variant>& into) const override {
    checkRow(row);
    into.resize(shapes_->size());
    for (size_t k = 0; k < into.size(); ++k) readValue(row, k, into[k]);
  }

 private:
  void checkRow(size_t row) const {
    if (row >= rows_) noCurrentRecord();
    if (status_[row] == SQL_ROW_ERROR) unreadableRow(errorText_);
  }

  void readValue(size_t row, size_t k, dao::Variant& into) const {
    const ColumnShape& c = (*shapes_)[k];
    decodeBoundInto(c, data_[k].data() + row * static_cast<size_t>(c.mapping.bufferBytes), indicators_[k][row], into);
  }

  std::shared_ptr<const std::vector<ColumnShape>> shapes_;
  std::vector<std::vector<unsigned char>> data_;
  std::vector<std::vector<SQLLEN>> indicators_;
  std::vector<SQLUSMALLINT> status_;
  std::string errorText_;
  size_t rows_ = 0;
  size_t bytes_ = 0;
};

}  // namespace

OdbcRecordset::OdbcRecordset(std::shared_ptr<Connection> connection, const std::string& sql)
    : connection_(std::move(connection)), statement_(connection_->newStatement()) {
  SQLHSTMT stmt = statement_->handle();
  WideString text = toWide(sql);
  SQLRETURN rc = SQLExecDirectW(stmt, text.data(), SQL_NTS);
  if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, stmt, "SQLExecDirect");
  describeColumns();
  fields_ = std::make_unique<OdbcFields>(*this, static_cast<int>(columns_.size()));
  if (columns_.empty()) return;  // a statement without a result set: no rows
  prepareBuffers();
  fetch();
}

OdbcRecordset::~OdbcRecordset() { close(); }

void OdbcRecordset::describeColumns() {
  SQLHSTMT stmt = statement_->handle();
  SQLSMALLINT count = 0;
  check(SQLNumResultCols(stmt, &count), SQL_HANDLE_STMT, stmt, "SQLNumResultCols");
  columns_.resize(static_cast<size_t>(count));
  firstUnbound_ = count;
  for (SQLSMALLINT i = 0; i < count; ++i) {
    ResultColumn& c = columns_[static_cast<size_t>(i)];
    SQLSMALLINT nullable = 0;
    check(callForText<SQLSMALLINT>(
              [&](SQLWCHAR* name, size_t capacity, SQLSMALLINT* length) {
                return SQLDescribeColW(stmt, static_cast<SQLUSMALLINT>(i + 1), name,
                                       static_cast<SQLSMALLINT>(capacity), length, &c.description.sqlType,
                                       &c.description.columnSize, &c.description.decimalDigits, &nullable);
              },
              c.name),
          SQL_HANDLE_STMT, stmt, "SQLDescribeCol");
    SQLLEN isUnsigned = SQL_FALSE;
    if (SQL_SUCCEEDED(SQLColAttributeW(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_DESC_UNSIGNED,
                                       nullptr, 0, nullptr, &isUnsigned))) {
      c.description.isUnsigned = isUnsigned == SQL_TRUE;
    }
    c.mapping = mapColumn(c.description);
    if (isLongFetch(c.mapping.fetch) && firstUnbound_ == count) firstUnbound_ = i;
  }
  shapes_ = std::make_shared<const std::vector<ColumnShape>>(columns_.begin(), columns_.end());
}

void OdbcRecordset::prepareBuffers() {
  SQLHSTMT stmt = statement_->handle();
  const int count = static_cast<int>(columns_.size());
  blockRows_ = 1;
  if (firstUnbound_ == count) {
    size_t rowBytes = 0;
    for (const auto& c : columns_) rowBytes += static_cast<size_t>(c.mapping.bufferBytes) + sizeof(SQLLEN);
    blockRows_ = std::clamp<SQLULEN>(kBlockBytes / std::max<size_t>(rowBytes, 1), 1, kMaxBlockRows);
  }
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
  if (!SQL_SUCCEEDED(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE,
                                     reinterpret_cast<SQLPOINTER>(blockRows_), 0))) {
    blockRows_ = 1;  // the driver fetches one row at a time only
  } else {
    // The driver may have lowered the size (01S02): use what it took.
    SQLULEN taken = 0;
    if (SQL_SUCCEEDED(SQLGetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &taken, 0, nullptr)) && taken >= 1 &&
        taken <= blockRows_) {
      blockRows_ = taken;
    } else if (taken > blockRows_) {
      // More rows than the buffers hold would be written past them: fall back to single rows.
      blockRows_ = 1;
      check(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows_), 0),
            SQL_HANDLE_STMT, stmt, "SQLSetStmtAttr");
    }
  }
  rowStatus_.assign(blockRows_, SQL_ROW_SUCCESS);
  check(SQLSetStmtAttrW(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &rowsInBlock_, 0), SQL_HANDLE_STMT, stmt,
        "SQLSetStmtAttr");
  check(SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0), SQL_HANDLE_STMT, stmt,
        "SQLSetStmtAttr");

  for (int i = 0; i < count; ++i) {
    ResultColumn& c = columns_[static_cast<size_t>(i)];
    c.bound = i < firstUnbound_;
    if (c.bound) {
      c.data.assign(blockRows_ * static_cast<size_t>(c.mapping.bufferBytes), 0);
      c.indicator.assign(blockRows_, SQL_NULL_DATA);
      check(SQLBindCol(stmt, static_cast<SQLUSMALLINT>(i + 1), cTypeOf(c.mapping.fetch), c.data.data(),
                       c.mapping.bufferBytes, c.indicator.data()),
            SQL_HANDLE_STMT, stmt, "SQLBindCol");
    } else if (!isLongFetch(c.mapping.fetch)) {
      c.data.assign(static_cast<size_t>(std::max<SQLLEN>(c.mapping.bufferBytes, 16)), 0);
    }
  }
  pieceBuffer_.resize(8192);
  size_t widestText = 0;
  for (const auto& c : columns_) {
    if (c.bound && c.mapping.fetch == FetchKind::Text) widestText = std::max<size_t>(widestText, static_cast<size_t>(c.mapping.bufferBytes));
  }
  textScratch_.resize(widestText / sizeof(SQLWCHAR) * 3 + 1);
}

void OdbcRecordset::fetch() {
  SQLHSTMT stmt = statement_->handle();
  rowsInBlock_ = 0;
  row_ = 0;
  rowErrorText_.clear();
  const SQLRETURN rc = SQLFetch(stmt);
  if (rc == SQL_NO_DATA) {
    eof_ = true;
    return;
  }
  check(rc, SQL_HANDLE_STMT, stmt, "SQLFetch");
  if (rc == SQL_SUCCESS_WITH_INFO) {
    for (SQLULEN r = 0; r < rowsInBlock_; ++r) {
      if (rowStatus_[r] == SQL_ROW_ERROR) {
        rowErrorText_ = diagnosticText(SQL_HANDLE_STMT, stmt);
        break;
      }
    }
  }
  if (blockRows_ == 1 && rowsInBlock_ == 0) rowsInBlock_ = 1;  // drivers that leave the count unset
  eof_ = rowsInBlock_ == 0;
  nextUnread_ = firstUnbound_;
  for (size_t i = static_cast<size_t>(firstUnbound_); i < columns_.size(); ++i) {
    columns_[i].loaded = false;
    columns_[i].cached = dao::Null{};
  }
  checkRow();
}

void OdbcRecordset::checkOpen() const {
  if (!statement_ || !statement_->isOpen()) {
    throw dao::Error("オブジェクトは無効か、既に閉じられています。", dao::errnum::kObjectClosed);
  }
}

void OdbcRecordset::checkRow() const {
  if (!eof_ && row_ < rowsInBlock_ && rowStatus_.size() > row_ && rowStatus_[row_] == SQL_ROW_ERROR) {
    unreadableRow(rowErrorText_);
  }
}

bool OdbcRecordset::eof() const {
  checkOpen();
  return eof_;
}

void OdbcRecordset::moveNext() {
  checkOpen();
  if (eof_) noCurrentRecord();
  if (++row_ < rowsInBlock_) {
    checkRow();
    return;
  }
  fetch();
}

dao::Fields& OdbcRecordset::fields() {
  checkOpen();
  return *fields_;
}

void OdbcRecordset::close() {
  if (statement_) statement_->close();
}

bool OdbcRecordset::blocksAvailable() const {
  // A driver that fetches one row at a time gives one-row blocks, which cost more to hand over
  // than the values they hold: such rows are better read one by one.
  return !columns_.empty() && firstUnbound_ == static_cast<int>(columns_.size()) && blockRows_ > 1;
}

std::unique_ptr<dao::RowBlock> OdbcRecordset::takeBlock(std::unique_ptr<dao::RowBlock> reuse) {
  checkOpen();
  if (eof_) noCurrentRecord();
  if (!blocksAvailable()) throw dao::Error("この結果セットの行はブロック単位では読み取れません。", kOdbcCallFailed);
  std::unique_ptr<OdbcRowBlock> block;
  if (auto* mine = dynamic_cast<OdbcRowBlock*>(reuse.get()); mine && mine->shapes() == shapes_.get()) {
    reuse.release();
    block.reset(mine);
  } else {
    block = std::make_unique<OdbcRowBlock>(shapes_);
  }
  block->fill(columns_, static_cast<size_t>(row_), static_cast<size_t>(rowsInBlock_ - row_), rowStatus_.data(),
              rowErrorText_);
  row_ = rowsInBlock_ - 1;
  return block;
}

dao::Variant OdbcRecordset::value(int index) {
  checkOpen();
  if (eof_) noCurrentRecord();
  ResultColumn& c = columns_[static_cast<size_t>(index)];
  if (c.bound) {
    const size_t r = static_cast<size_t>(row_);
    return decodeBound(c, c.data.data() + r * static_cast<size_t>(c.mapping.bufferBytes), c.indicator[r],
                       textScratch_.data());
  }
  loadThrough(index);
  return c.cached;
}

const dao::Variant& OdbcRecordset::longValue(int index) {
  checkOpen();
  if (eof_) noCurrentRecord();
  loadThrough(index);
  return columns_[static_cast<size_t>(index)].cached;
}

void OdbcRecordset::loadThrough(int index) {
  // SQLGetData must go in column order: read everything up to `index` that is still unread.
  while (nextUnread_ <= index) {
    ResultColumn& c = columns_[static_cast<size_t>(nextUnread_)];
    c.cached = readUnbound(c, nextUnread_);
    c.loaded = true;
    ++nextUnread_;
  }
}

bool OdbcRecordset::readPieces(int index, SQLSMALLINT cType, SQLLEN terminator, std::string& out) {
  SQLHSTMT stmt = statement_->handle();
  const SQLLEN capacity = static_cast<SQLLEN>(pieceBuffer_.size() * sizeof(SQLWCHAR));
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt, static_cast<SQLUSMALLINT>(index + 1), cType, pieceBuffer_.data(),
                                    capacity, &ind);
    if (rc == SQL_NO_DATA) return true;
    check(rc, SQL_HANDLE_STMT, stmt, "SQLGetData");
    if (ind == SQL_NULL_DATA) return false;
    const bool more = rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || ind > capacity - terminator);
    const size_t n = more ? static_cast<size_t>(capacity - terminator) : static_cast<size_t>(ind);
    out.append(reinterpret_cast<const char*>(pieceBuffer_.data()), n);
    if (!more) return true;
  }
}

dao::Variant OdbcRecordset::readUnbound(ResultColumn& c, int index) {
  const FetchKind kind = c.mapping.fetch;
  const bool textual = kind == FetchKind::Text || kind == FetchKind::LongText;
  if (textual || kind == FetchKind::Binary || kind == FetchKind::LongBinary || kind == FetchKind::DecimalText) {
    const SQLSMALLINT cType = cTypeOf(kind);
    const SQLLEN terminator = cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : cType == SQL_C_CHAR ? 1 : 0;
    std::string raw;
    if (!readPieces(index, cType, terminator, raw)) return dao::Null{};
    if (textual) {
      std::string s;
      s.reserve(raw.size());
      appendUtf8(s, reinterpret_cast<const SQLWCHAR*>(raw.data()), raw.size() / sizeof(SQLWCHAR));
      return s;
    }
    if (kind == FetchKind::DecimalText) return decimalText(raw.data(), raw.size());
    return dao::Bytes(raw.begin(), raw.end());
  }
  SQLHSTMT stmt = statement_->handle();
  SQLLEN ind = 0;
  check(SQLGetData(stmt, static_cast<SQLUSMALLINT>(index + 1), cTypeOf(kind), c.data.data(),
                   static_cast<SQLLEN>(c.data.size()), &ind),
        SQL_HANDLE_STMT, stmt, "SQLGetData");
  if (ind == SQL_NULL_DATA) return dao::Null{};
  return decodeFixed(c, c.data.data());
}

std::optional<dao::SourceColumn> OdbcRecordset::sourceColumn(int index) {
  if (index < 0 || static_cast<size_t>(index) >= columns_.size()) return std::nullopt;
  const ColumnDescription& d = columns_[static_cast<size_t>(index)].description;
  dao::SourceColumn c;
  c.sqlType = d.sqlType;
  c.columnSize = d.columnSize;
  c.decimalDigits = d.decimalDigits;
  c.isUnsigned = d.isUnsigned;
  typeNames_.resize(columns_.size());
  std::optional<std::string>& name = typeNames_[static_cast<size_t>(index)];
  if (!name && statement_ && statement_->isOpen()) {
    // A driver that cannot name the type leaves the name empty; the description stands without it.
    SQLHSTMT stmt = statement_->handle();
    std::string text;
    const SQLRETURN rc = callForText<SQLSMALLINT>(
        [&](SQLWCHAR* buffer, size_t capacity, SQLSMALLINT* length) {
          return SQLColAttributeW(stmt, static_cast<SQLUSMALLINT>(index + 1), SQL_DESC_TYPE_NAME, buffer,
                                  static_cast<SQLSMALLINT>(capacity * sizeof(SQLWCHAR)), length, nullptr);
        },
        text);
    name = SQL_SUCCEEDED(rc) ? text : std::string();
  }
  if (name) c.typeName = *name;
  return c;
}

}  // namespace vellicor::odbc
