// Table recordsets of the Jet workspace: the row being added (values coerced as they are set,
// long values assembled from chunks and stored at Update) and the forward read of stored rows.
#include "dataaccess/jet3/jet_recordset.h"

#include <cstring>

#include "dataaccess/jet3/column_type.h"
#include "dataaccess/jet3/format.h"
#include "text/codepage.h"
#include "dataaccess/jet3/jet_database.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/long_value_writer.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/table_writer.h"
#include "text/ascii.h"

namespace vellicor::jet3 {
namespace {

bool isLong(uint8_t type) {
  const ColumnType* t = columnType(type);
  return t != nullptr && t->storage == ColumnStorage::kLongValue;
}

}  // namespace

// ---- JetField ------------------------------------------------------------------------------

JetField::JetField(JetRecordset& rs, size_t index, std::string name, int16_t type, int32_t size, uint16_t length)
    : rs_(rs), index_(index), name_(std::move(name)), type_(type), size_(size) {
  target.type = static_cast<uint8_t>(type);
  target.maxLength = length;
  target.tableName = &rs.tableName();
  target.fieldName = &name_;
}

void JetField::clear() {
  isNull = true;
  boolValue = false;
  std::memset(fixed, 0, sizeof fixed);
  bytes.clear();
  pending.clear();
  chain = LongValueChain{};  // pages of an abandoned value stay unreferenced
  longLength = 0;
}

namespace {

// Length of the longest prefix of s that ends on a whole UTF-8 character.
size_t completeUtf8Prefix(const std::string& s) {
  size_t start = s.size();
  for (int back = 0; back < 4 && start > 0; ++back) {
    const unsigned char c = static_cast<unsigned char>(s[start - 1]);
    --start;
    if ((c & 0xC0) != 0x80) {
      const size_t need = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
      return start + need <= s.size() ? s.size() : start;
    }
  }
  return s.size();  // not UTF-8 at the end: let the converter flag it
}

// Buffered long-value bytes beyond this go to chain pages while the value is still arriving.
constexpr size_t kLongValueSpill = 4 * fmt::kLvMaxPieceOnPage;

}  // namespace

void JetField::feed(bool final) {
  if (target.type == fmt::kTypeMemo && (final || pending.size() > kLongValueSpill)) {
    const size_t cut = final ? pending.size() : completeUtf8Prefix(pending);
    rs_.database().addSubstitutions(rs_.database().codePage().encode(std::string_view(pending).substr(0, cut), bytes));
    pending.erase(0, cut);
  }
  if (bytes.size() > (final ? fmt::kLvMaxPieceOnPage : kLongValueSpill) && (final ? chain.firstPage != 0 : true)) {
    rs_.longValuesOf(index_).spill(chain, bytes);
  }
}

void JetField::setValue(const dao::Variant& v) {
  rs_.checkOpen();
  if (!rs_.editing()) {
    throw dao::Error("テーブル '" + rs_.tableName() + "' のフィールド '" + name_ +
                         "' に値を設定する前に AddNew を呼び出してください。",
                     dao::errnum::kUpdateWithoutAddNew);
  }
  if (dao::isNull(v)) {
    clear();
    return;
  }
  switch (target.type) {
    case fmt::kTypeText: {
      bytes.clear();
      rs_.database().addSubstitutions(coerceText(v, target, rs_.database().codePage(), bytes));
      break;
    }
    case fmt::kTypeMemo:
      clear();
      if (const auto* s = std::get_if<std::string>(&v)) {
        pending.append(*s);
      } else if (std::holds_alternative<dao::Bytes>(v)) {
        refuseValue(target, "型が一致しません (バイナリの値はメモ型のフィールドに格納できません)", dao::errnum::kTypeMismatch);
      } else {
        textOf(v, pending);
      }
      longLength = pending.size();
      feed(false);
      break;
    case fmt::kTypeOle:
      clear();
      coerceBytes(v, target, bytes);
      longLength = bytes.size();
      feed(false);
      break;
    case fmt::kTypeBinary:
      bytes.clear();
      coerceBytes(v, target, bytes);
      break;
    default: coerceFixed(v, target, fixed, &boolValue); break;
  }
  isNull = false;
}

void JetField::appendChunk(const dao::Bytes& piece) {
  rs_.checkOpen();
  if (!rs_.editing()) {
    throw dao::Error("テーブル '" + rs_.tableName() + "' のフィールド '" + name_ +
                         "' に AppendChunk する前に AddNew を呼び出してください。",
                     dao::errnum::kUpdateWithoutAddNew);
  }
  if (!isLong(target.type)) refuseValue(target, "AppendChunk はメモ型と OLE オブジェクト型のフィールドにだけ使えます", dao::errnum::kInvalidFieldType);
  // Memo pieces are UTF-8 and are converted as a whole at Update, so a piece may end inside a
  // character.
  if (longLength + piece.size() > fmt::kLvLengthMask) refuseValue(target, "値が長すぎます (1 GB を超えます)", dao::errnum::kFieldTooSmall);
  std::string& to = target.type == fmt::kTypeMemo ? pending : bytes;
  to.append(reinterpret_cast<const char*>(piece.data()), piece.size());
  longLength += piece.size();
  isNull = false;
  feed(false);
}

dao::Variant JetField::value() const {
  if (!rs_.editing()) return readValue();
  const ColumnType* type = columnType(target.type);
  const bool isBoolean = type != nullptr && type->storage == ColumnStorage::kNullMaskBit;
  if (isNull) return isBoolean ? dao::Variant(false) : dao::Variant(dao::Null{});
  if (isBoolean) return boolValue;
  if (type != nullptr && type->storage == ColumnStorage::kFixed) return type->decodeFixed(fixed);
  switch (target.type) {
    case fmt::kTypeText: {
      std::string s;
      rs_.database().codePage().decode(bytes, s);
      return s;
    }
    default:
      if (chain.firstPage != 0) {
        throw dao::Error("テーブル '" + rs_.tableName() + "' のフィールド '" + name_ +
                             "' の値は書き込み中のため、Update の前には読み出せません。",
                         dao::errnum::kNoCurrentRecord);
      }
      if (target.type == fmt::kTypeMemo) {
        std::string s;
        rs_.database().codePage().decode(bytes, s);
        return s + pending;
      }
      return dao::Bytes(bytes.begin(), bytes.end());
  }
}

const dao::Variant& JetField::readValue() const { return rs_.currentValue(index_); }

int64_t JetField::fieldSize() const {
  if (rs_.editing()) return static_cast<int64_t>(isLong(target.type) ? longLength : bytes.size());
  const dao::Variant& v = readValue();
  if (const auto* s = std::get_if<std::string>(&v)) return static_cast<int64_t>(s->size());
  if (const auto* b = std::get_if<dao::Bytes>(&v)) return static_cast<int64_t>(b->size());
  return 0;
}

dao::Bytes JetField::getChunk(int64_t offset, int32_t length) const {
  if (offset < 0 || length < 0) throw dao::Error("GetChunk の引数が正しくありません。", dao::errnum::kGetChunkArguments);
  const dao::Variant& v = readValue();
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (const auto* s = std::get_if<std::string>(&v)) {
    data = reinterpret_cast<const uint8_t*>(s->data());
    size = s->size();
  } else if (const auto* b = std::get_if<dao::Bytes>(&v)) {
    data = b->data();
    size = b->size();
  }
  if (static_cast<uint64_t>(offset) >= size) return {};
  const size_t n = std::min<size_t>(static_cast<size_t>(length), size - static_cast<size_t>(offset));
  return dao::Bytes(data + offset, data + offset + n);
}

// ---- JetRecordset --------------------------------------------------------------------------

JetRecordset::JetRecordset(JetDatabase& db, const std::string& table, uint32_t tdefPage, int type)
    : db_(db), tdefPage_(tdefPage), readOnly_(type == dao::dbOpenSnapshot || type == dao::dbOpenForwardOnly) {
  writer_ = db.writerFor(tdefPage);
  TableDefinition def;
  if (writer_) {
    def = writer_->definition();
  } else {
    reader_ = std::make_unique<JetFileReader>(db.pager(), db.path());
    def = reader_->readTable(tdefPage).def;
  }
  // The table's own spelling of its name, for messages.
  table_ = table;
  for (size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& c = def.columns[i];
    std::string name;
    db.codePage().decode(c.name, name);
    fields_.push_back(std::make_unique<JetField>(*this, i, std::move(name), static_cast<int16_t>(c.type),
                                                 isLong(c.type) ? 0 : c.length, c.length));
  }
  cells_.resize(fields_.size());
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (!def.columns[i].isFixed()) variableFields_.push_back(i);
  rowBuffer_.resize(fmt::kPageSize);
  rowValues_.resize(fields_.size());
  rowValueRead_.assign(fields_.size(), false);
  // Reading: the rows committed so far, in storage order.
  if (writer_ && writer_->rowCount() == 0) {
    atEnd_ = true;
    return;
  }
  if (writer_ && writer_->uncommitted()) writer_->commit();
  if (!reader_) reader_ = std::make_unique<JetFileReader>(db.pager(), db.path());
  cursor_ = std::make_unique<RowCursor>(*reader_, reader_->readTable(tdefPage));
  atEnd_ = !cursor_->next();
}

JetRecordset::~JetRecordset() = default;

void JetRecordset::checkOpen() const {
  if (closed_) throw dao::Error("レコードセット '" + table_ + "' は既に閉じられています。", dao::errnum::kObjectClosed);
  db_.checkOpen();
}

bool JetRecordset::eof() const { return atEnd_; }

void JetRecordset::moveNext() {
  checkOpen();
  if (atEnd_) throw dao::Error("カレント レコードがありません。", dao::errnum::kNoCurrentRecord);
  atEnd_ = !cursor_->next();
  rowValueRead_.assign(fields_.size(), false);
}

const dao::Variant& JetRecordset::currentValue(size_t index) {
  checkOpen();
  if (atEnd_ || !cursor_) throw dao::Error("カレント レコードがありません。", dao::errnum::kNoCurrentRecord);
  if (!rowValueRead_[index]) {
    rowValues_[index] = cursor_->value(index);
    rowValueRead_[index] = true;
  }
  return rowValues_[index];
}

LongValueWriter& JetRecordset::longValuesOf(size_t index) { return writer_->longValues(index); }

dao::Field& JetRecordset::operator[](int index) {
  if (index < 0 || static_cast<size_t>(index) >= fields_.size()) {
    throw dao::Error("テーブル '" + table_ + "' にフィールド番号 " + std::to_string(index) + " はありません。", dao::errnum::kItemNotFound);
  }
  return *fields_[static_cast<size_t>(index)];
}

dao::Field& JetRecordset::operator[](std::string_view name) {
  for (auto& f : fields_) {
    if (text::equalsIgnoringAsciiCase(f->name(), name)) return *f;
  }
  throw dao::Error("テーブル '" + table_ + "' にフィールド '" + std::string(name) + "' はありません。", dao::errnum::kItemNotFound);
}

void JetRecordset::addNew() {
  checkOpen();
  db_.checkWritable();
  if (readOnly_) throw dao::Error("テーブル '" + table_ + "' のスナップショットには行を追加できません。", dao::errnum::kReadOnly);
  if (!writer_) {
    throw dao::Error("テーブル '" + table_ + "' はこのデータベースを開く前から存在するため、行を追加できません。", dao::errnum::kReadOnly);
  }
  if (writer_->closedToRows()) {
    throw dao::Error("テーブル '" + table_ + "' にはインデックスが作成されたため、行を追加できません。", dao::errnum::kReadOnly);
  }
  for (auto& f : fields_) f->clear();
  editing_ = true;
}

void JetRecordset::update(int /*updateType*/, bool /*force*/) {
  checkOpen();
  if (!editing_) throw dao::Error("テーブル '" + table_ + "' の Update の前に AddNew を呼び出してください。", dao::errnum::kUpdateWithoutAddNew);
  const RowLayout& layout = writer_->layout();
  // Sizes of the variable part, with long values inside the row where they are short enough, and
  // the pages the row may take. Memo text is converted to the code page as a whole here.
  size_t varInline = 0, varOut = 0;
  uint64_t pages = 1;
  for (size_t i : variableFields_) {
    JetField& f = *fields_[i];
    if (f.isNull) continue;
    if (!isLong(f.target.type)) {
      varInline += f.bytes.size();
      varOut += f.bytes.size();
      continue;
    }
    f.feed(true);  // the rest of a Memo's text converted; a spilled value down to its last piece
    const size_t n = f.bytes.size();
    varOut += fmt::kLongValueHeaderSize;
    if (f.chain.firstPage != 0) {  // already a chain: only its last page is still to come
      varInline += fmt::kLongValueHeaderSize;
      continue;
    }
    varInline += fmt::kLongValueHeaderSize + (n <= kLongValueInlineMax ? n : 0);
    if (n > kLongValueInlineMax) {
      pages += n <= fmt::kLvMaxPieceOnPage ? 1 : (n + fmt::kLvMaxPieceOnPage - 1) / fmt::kLvMaxPieceOnPage;
    }
  }
  // A row too long with short long values inside moves them all out to LVAL pages.
  const bool allowInline = encodedRowLength(layout, varInline) <= fmt::kMaxRowSize;
  if (!allowInline) {
    if (encodedRowLength(layout, varOut) > fmt::kMaxRowSize) {
      throw dao::Error("テーブル '" + table_ + "' のレコードが大きすぎるため保存できません (1 レコードは 2012 バイトまで)。", dao::errnum::kRecordTooLarge);
    }
    pages = 1;
    for (size_t i : variableFields_) {
      const JetField& f = *fields_[i];
      if (f.isNull || !isLong(f.target.type)) continue;
      const size_t n = f.bytes.size();
      if (f.chain.firstPage != 0) continue;
      pages += n <= fmt::kLvMaxPieceOnPage ? 1 : (n + fmt::kLvMaxPieceOnPage - 1) / fmt::kLvMaxPieceOnPage;
    }
  }
  // Checked before anything is written, so that a refusal at the size limit leaves nothing behind.
  if (pages > db_.pager().pagesLeftForData()) {
    db_.pager().requirePages(static_cast<uint32_t>(std::min<uint64_t>(pages, UINT32_MAX)));
  }

  for (size_t i = 0; i < fields_.size(); ++i) {
    JetField& f = *fields_[i];
    CellValue& c = cells_[i];
    c.isNull = f.isNull;
    c.boolValue = f.boolValue;
    if (f.target.type == fmt::kTypeText || f.target.type == fmt::kTypeBinary) {
      c.data = reinterpret_cast<const uint8_t*>(f.bytes.data());
      c.size = f.bytes.size();
    } else if (isLong(f.target.type)) {
      if (f.isNull) continue;
      uint8_t header[fmt::kLongValueHeaderSize];
      f.cell.clear();
      if (f.chain.firstPage != 0) {
        writer_->longValues(i).finishChain(f.chain, f.bytes, header);
        f.cell.append(reinterpret_cast<const char*>(header), sizeof header);
      } else if (allowInline && f.bytes.size() <= kLongValueInlineMax) {
        LongValueWriter::inlineHeader(f.bytes.size(), header);
        f.cell.append(reinterpret_cast<const char*>(header), sizeof header);
        f.cell.append(f.bytes);
      } else {
        writer_->longValues(i).store(reinterpret_cast<const uint8_t*>(f.bytes.data()), f.bytes.size(), header);
        f.cell.append(reinterpret_cast<const char*>(header), sizeof header);
      }
      c.data = reinterpret_cast<const uint8_t*>(f.cell.data());
      c.size = f.cell.size();
    } else {
      std::memcpy(c.fixed, f.fixed, sizeof c.fixed);
    }
  }
  const size_t length = encodeRow(layout, cells_.data(), rowBuffer_.data(), fmt::kMaxRowSize);
  if (length == 0) {
    throw dao::Error("テーブル '" + table_ + "' のレコードはこの形式で保存できません (可変長フィールドが多すぎます)。", dao::errnum::kRecordTooLarge);
  }
  writer_->addRow(rowBuffer_.data(), length);
  editing_ = false;
}

void JetRecordset::close() {
  if (closed_) return;
  closed_ = true;
  editing_ = false;
  // The rows added through this recordset are committed now rather than at the database's close,
  // so a table that was finished stays whole whatever fails later in the run.
  if (writer_ && writer_->uncommitted()) {
    try {
      writer_->commit();
    } catch (...) {
      cursor_.reset();
      reader_.reset();
      throw;
    }
  }
  cursor_.reset();
  reader_.reset();
}

}  // namespace vellicor::jet3
