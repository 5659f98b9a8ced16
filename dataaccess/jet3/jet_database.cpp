// Creating and opening Jet 3 database files, appending table definitions (with the checks Jet
// 3.5 makes) and closing with everything committed.
#include "dataaccess/jet3/jet_database.h"

#include <algorithm>
#include <optional>
#include <cstring>

#include "dataaccess/jet3/catalog.h"
#include "dataaccess/jet3/column_type.h"
#include "text/codepage.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/header.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_recordset.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/jet3/names.h"
#include "dataaccess/jet3/open_checks.h"
#include "dataaccess/jet3/page_claims.h"
#include "dataaccess/jet3/pager.h"
#include "dataaccess/jet3/row_writer.h"
#include "dataaccess/jet3/table_definition.h"
#include "dataaccess/jet3/table_writer.h"

namespace vellicor::jet3 {
namespace {

uint16_t codePageOfLocale(const std::string& locale) {
  const size_t at = locale.find("CP=");
  if (at == std::string::npos) return fmt::kCodePage1252;
  unsigned long cp = std::strtoul(locale.c_str() + at + 3, nullptr, 10);
  if (cp != fmt::kCodePage932 && cp != fmt::kCodePage1252) {
    throw dao::Error("ロケール '" + locale + "' のコードページ " + std::to_string(cp) + " には対応していません。", dao::errnum::kInvalidSql);
  }
  return static_cast<uint16_t>(cp);
}

// The pages that the tables of the file at path (read through reader) refer to and the global map
// shows free. A file whose tables refer to pages past its end (a file cut short, say by an
// interrupted copy: it still reads, with its last pages as zeros) or to structures that cannot be
// read is refused, naming the table and the page.
std::vector<uint32_t> pagesMarkedFree(const std::string& path, JetFileReader& reader, const Pager& pager) {
  const PageClaims claims = collectPageClaims(reader);
  for (const PageClaim& c : claims.claims) {
    if (c.page < reader.pageCount()) continue;
    const std::string& table = claims.tableName(c.tdefPage);
    throw dao::Error("ファイル '" + path + "' は途中で切れています (" + (table.empty() ? "" : "テーブル '" + table + "' の") +
                         pageRoleName(c.role) + "のページ " + std::to_string(c.page) + " がファイルの外にあります)。",
                     dao::errnum::kDatabaseCorrupt);
  }
  if (!claims.faults.empty()) {
    throw dao::Error("データベース '" + path + "' は壊れています: " + claims.faults.front().description, dao::errnum::kDatabaseCorrupt);
  }
  std::vector<uint32_t> lost;
  for (const PageClaim& c : claims.claims)
    if (!pager.inUse(c.page)) lost.push_back(c.page);
  std::sort(lost.begin(), lost.end());
  lost.erase(std::unique(lost.begin(), lost.end()), lost.end());
  return lost;
}

}  // namespace

JetDatabase::~JetDatabase() {
  try {
    close();
  } catch (...) {
    // The destructor of an abandoned database must not throw; close() reports failures.
  }
}

std::unique_ptr<JetDatabase> JetDatabase::create(const std::string& path, const std::string& locale,
                                                 const FileOpener& opener, bool replaceExisting) {
  const uint16_t cp = codePageOfLocale(locale);
  // The file replaced, locked until the new one has taken its name: no other run can have it
  // open meanwhile, nor open it.
  std::unique_ptr<FileIo> replaced;
  if (fileExists(path)) {
    if (!replaceExisting) throw dao::Error("データベース '" + path + "' は既に存在します。", dao::errnum::kDatabaseExists);
    replaced = opener(path, OpenMode::kLockToReplace);
  }
  // The new file is built under a temporary name beside the target and linked (or renamed over
  // the file it replaces) to the target name only when it is complete, so that a process that
  // dies while creating leaves no half-made database under the name (at most the temporary file).
  // The lock taken on the temporary file stays with the file after the link.
  const std::string building = path + ".vellicor-new-" + std::to_string(processNumber());
  // A journal left beside a name that holds no database belongs to a file that is gone.
  if (!replaced) removeFile(journalPath(path));
  std::unique_ptr<FileIo> file = opener(building, OpenMode::kCreateNew);
  std::unique_ptr<JetDatabase> db(new JetDatabase());
  db->path_ = path;
  db->codePage_ = &text::CodePage::forId(cp);
  try {
    // The sort order is always General (0x0409), whatever the locale asks for. Jet finds tables by
    // name through the MSysObjects ParentIdName index, whose text keys must match the sort order
    // written here; the keys of the Japanese sort order come from Windows itself and cannot be
    // computed here, while General keys of the names Oracle gives are known exactly. The code page
    // of the locale (932 for Japanese) is kept for all text.
    DatabaseHeader h;
    h.sortOrder = fmt::kSortGeneral;
    h.codePage = cp;
    const HeaderPage page0 = encodeHeader(h);
    file->writeAt(0, page0.data(), page0.size());
    db->pager_ = std::make_unique<Pager>(std::move(file), 2);
    db->catalog_ = Catalog::create(*db->pager_, cp, oleNow());
    db->pager_->sync();
    if (replaced) {
      // The replaced file's journal goes with it, then the new file takes the name.
      removeFile(journalPath(path));
      if (auto why = renameReplacing(building, path)) {
        throw dao::Error("データベース '" + path + "' を置き換えられません: " + *why + "。", dao::errnum::kNotAValidPath);
      }
      replaced->close();
    } else {
      bool taken = false;
      if (auto why = publishNewFile(building, path, &taken)) {
        if (taken) throw dao::Error("データベース '" + path + "' は既に存在します。", dao::errnum::kDatabaseExists);
        throw dao::Error("データベース '" + path + "' を作成できません: " + *why + "。", dao::errnum::kNotAValidPath);
      }
    }
    db->pager_->enableJournal(path, opener);
  } catch (...) {
    if (db->pager_) {
      db->pager_->close();
    } else {
      file->close();
    }
    db->closed_ = true;
    removeFile(building);
    throw;
  }
  removeFile(building);
  return db;
}

std::unique_ptr<JetDatabase> JetDatabase::open(const std::string& path, bool exclusive, bool readOnly,
                                               const FileOpener& opener) {
  std::unique_ptr<FileIo> file =
      opener(path, readOnly ? OpenMode::kOpenReadOnly : exclusive ? OpenMode::kOpenExclusive : OpenMode::kOpenShared);
  DatabaseHeader h;
  uint64_t size = 0;
  try {
    const CheckedFile checked = checkJetFile(*file, path);
    h = checked.header;
    size = uint64_t{checked.pageCount} * fmt::kPageSize;
  } catch (...) {
    file->close();
    throw;
  }
  // The object model has no password to check against.
  if (h.hasPassword()) {
    file->close();
    throw dao::Error("データベース '" + path + "' はパスワードで保護されているため開けません。", dao::errnum::kNotAValidPassword);
  }
  // A commit that was interrupted is rolled back first (a read-only open reads the old pages from
  // the journal instead).
  std::optional<Journal> hot;
  std::string notice;
  try {
    if (!readOnly) {
      if (recoverInterruptedCommit(path, *file, &notice)) size = file->size() / fmt::kPageSize * fmt::kPageSize;
    } else {
      hot = readHotJournal(path, size / fmt::kPageSize, [&file](uint32_t page, uint8_t* out) {
        file->readAt(uint64_t{page} * fmt::kPageSize, out, fmt::kPageSize);
      });
    }
  } catch (...) {
    file->close();
    throw;
  }
  std::unique_ptr<JetDatabase> db(new JetDatabase());
  db->path_ = path;
  db->readOnly_ = readOnly;
  db->openingNotice_ = notice;
  db->codePage_ = &text::CodePage::forId(h.codePage);
  db->pager_ = std::make_unique<Pager>(std::move(file), static_cast<uint32_t>(size / fmt::kPageSize));
  try {
    if (hot) {
      db->pager_->overlay(*hot);
    } else if (!readOnly) {
      db->pager_->enableJournal(path, opener);
    }
    db->pager_->loadGlobalMap();
    JetFileReader reader(*db->pager_, path);
    db->catalog_ = Catalog::load(*db->pager_, reader);
    // Before anything is written, every page a table refers to must be in the file and in use:
    // new pages are handed out from the pages the global map shows free.
    const std::vector<uint32_t> lost = pagesMarkedFree(path, reader, *db->pager_);
    if (!lost.empty() && !readOnly) {
      // Pages that are there and only marked free (a commit of an earlier version interrupted, or
      // its journal lost) are marked in use again, in a commit of their own.
      db->pager_->markInUse(lost);
      db->pager_->commitMap();
    }
  } catch (...) {
    db->pager_->close();
    db->closed_ = true;
    throw;
  }
  return db;
}

void JetDatabase::checkOpen() const {
  if (closed_) throw dao::Error("データベース '" + path_ + "' は既に閉じられています。", dao::errnum::kObjectClosed);
}

void JetDatabase::checkWritable() const {
  checkOpen();
  if (readOnly_) throw dao::Error("データベース '" + path_ + "' は読み取り専用で開かれています。", dao::errnum::kReadOnly);
}

uint32_t JetDatabase::findTable(const std::string& utf8Name) const {
  std::string bytes;
  codePage_->encode(utf8Name, bytes);
  const CatalogObject* o = catalog_->tableByKey(bytes);
  return o && o->type == fmt::kObjTypeTable ? static_cast<uint32_t>(o->id) : 0;
}

TableWriter* JetDatabase::writerFor(uint32_t tdefPage) {
  auto it = writers_.find(tdefPage);
  return it == writers_.end() ? nullptr : it->second.get();
}

void JetDatabase::appendTableDef(const dao::TableDef& def) {
  checkWritable();
  const std::string& table = def.name();
  if (auto bad = checkName(table, *codePage_)) {
    throw dao::Error("テーブル名 '" + table + "' は使用できません: " + *bad, dao::errnum::kNotAValidName);
  }
  std::string nameBytes;
  codePage_->encode(table, nameBytes);
  if (auto existing = catalog_->tableWithSameKey(nameBytes)) {
    // Jet tells names apart by their sort keys: another letter case, or for double-byte names some
    // other second bytes, count as the same name. Name the table it clashes with.
    std::string existingName;
    codePage_->decode(*existing, existingName);
    if (existingName == table) throw dao::Error("テーブル '" + table + "' は既に存在します。", dao::errnum::kTableExists);
    throw dao::Error("テーブル '" + table + "' は既存のテーブル '" + existingName +
                         "' と同じ名前とみなされるため作成できません。",
                     dao::errnum::kTableExists);
  }
  TableDefinition td = checkedDefinition(def, *codePage_);
  pager_->requirePages(8, true);
  std::unique_ptr<TableWriter> writer = TableWriter::create(*pager_, std::move(td));
  try {
    catalog_->addTable(nameBytes, writer->tdefPage(), oleNow());
  } catch (...) {
    for (uint32_t p : writer->ownPages()) pager_->release(p);  // never referred to
    throw;
  }
  writers_[writer->tdefPage()] = std::move(writer);
}

std::vector<std::string> JetDatabase::tableNames() {
  checkOpen();
  std::vector<std::string> out;
  for (const CatalogObject* o : catalog_->userTables()) {
    std::string utf8;
    codePage_->decode(o->nameBytes, utf8);
    out.push_back(std::move(utf8));
  }
  return out;
}

void JetDatabase::commitTables() {
  for (auto& [page, w] : writers_)
    if (w->uncommitted()) w->commit();
}

std::unique_ptr<dao::Recordset> JetDatabase::openRecordset(const std::string& source, int type) {
  checkOpen();
  const uint32_t tdef = findTable(source);
  if (tdef == 0) throw dao::Error("テーブル '" + source + "' が見つかりません。", dao::errnum::kTableNotFound);
  return std::make_unique<JetRecordset>(*this, source, tdef, type);
}

void JetDatabase::close() {
  if (closed_) return;
  closed_ = true;
  try {
    if (!readOnly_) {
      for (auto& [page, w] : writers_) w->commit();
      pager_->commitMap();  // frees the pages the last commits released
      pager_->sync();
    }
  } catch (...) {
    writers_.clear();
    pager_->close();
    throw;
  }
  writers_.clear();
  pager_->close();
}

}  // namespace vellicor::jet3
