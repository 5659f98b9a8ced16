// A forward-only recordset over one SQL statement. Rows arrive in blocks (column-wise bound
// buffers, several hundred rows a fetch); long columns are read row by row with SQLGetData.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/odbc/odbc_field.h"
#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/odbc/type_map.h"
#include "dataaccess/row_block.h"
#include "dataaccess/source_column.h"

namespace vellicor::odbc {

// What a result column is: its name, its description and its DAO mapping.
struct ColumnShape {
  std::string name;
  ColumnDescription description;
  ColumnMapping mapping;
};

// One result column: its shape and where its values are.
struct ResultColumn : ColumnShape {
  bool bound = false;
  std::vector<unsigned char> data;  // bound: rows x mapping.bufferBytes; otherwise scratch
  std::vector<SQLLEN> indicator;    // bound: one a row
  bool loaded = false;              // unbound: the current row's value has been read
  dao::Variant cached;              // unbound: that value
};

// Blocks: when every column can be bound, the block holds as many rows as fit kBlockBytes, at most
// kMaxBlockRows. When a column must be read with SQLGetData (Memo, Long Binary, unknown types), the
// statement fetches one row at a time, binds the columns before the first such column and reads
// that column and every later one with SQLGetData, in column order, on first access.
// When every column is bound and the driver fetches several rows at once, the rows can also be
// taken a block at a time (dao::BlockSource).
class OdbcRecordset final : public dao::Recordset, public dao::BlockSource, public dao::ColumnDescriptions {
 public:
  static constexpr size_t kBlockBytes = 1 << 20;
  static constexpr SQLULEN kMaxBlockRows = 500;

  // Runs `sql` on the connection; throws dao::Error with the driver's text when it fails.
  OdbcRecordset(std::shared_ptr<Connection> connection, const std::string& sql);
  ~OdbcRecordset() override;
  // The driver holds pointers into this object (bound buffers, row counters): it never moves.
  OdbcRecordset(const OdbcRecordset&) = delete;
  OdbcRecordset& operator=(const OdbcRecordset&) = delete;

  bool eof() const override;
  void moveNext() override;
  dao::Fields& fields() override;
  void addNew() override { refuseWrite(); }
  void update(int, bool) override { refuseWrite(); }
  void close() override;

  // BlockSource
  bool blocksAvailable() const override;
  std::unique_ptr<dao::RowBlock> takeBlock(std::unique_ptr<dao::RowBlock> reuse) override;

  // ColumnDescriptions: the description as SQLDescribeCol gave it, with the driver's type name
  // (asked of the driver on first use).
  std::optional<dao::SourceColumn> sourceColumn(int index) override;

  // For the fields.
  const ResultColumn& column(int index) const { return columns_[static_cast<size_t>(index)]; }
  bool isLong(int index) const { return isLongFetch(column(index).mapping.fetch); }
  dao::Variant value(int index);
  const dao::Variant& longValue(int index);  // read once per row, then served from memory
  SQLULEN blockRows() const { return blockRows_; }

 private:
  void describeColumns();
  void prepareBuffers();
  void fetch();
  void checkOpen() const;
  void checkRow() const;
  void loadThrough(int index);
  dao::Variant readUnbound(ResultColumn& c, int index);
  // Appends the value in pieces; false when it is Null.
  bool readPieces(int index, SQLSMALLINT cType, SQLLEN terminator, std::string& out);

  std::shared_ptr<Connection> connection_;
  std::shared_ptr<Statement> statement_;
  std::vector<ResultColumn> columns_;
  std::shared_ptr<const std::vector<ColumnShape>> shapes_;  // for the blocks handed out
  std::unique_ptr<OdbcFields> fields_;
  int firstUnbound_ = 0;
  int nextUnread_ = 0;
  SQLULEN blockRows_ = 1;
  SQLULEN rowsInBlock_ = 0;
  SQLULEN row_ = 0;
  std::vector<SQLUSMALLINT> rowStatus_;
  std::string rowErrorText_;  // diagnostics of a block with a failed row
  bool eof_ = true;
  std::vector<SQLWCHAR> pieceBuffer_;  // SQLGetData pieces, reused from row to row
  std::vector<char> textScratch_;      // UTF-8 of one bound text value before it becomes a string
  std::vector<std::optional<std::string>> typeNames_;  // the driver's type names, as asked
};

}  // namespace vellicor::odbc
