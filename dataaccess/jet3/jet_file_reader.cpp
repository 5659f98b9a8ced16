// The read-only Jet 3 file: page access with a direct-mapped cache, multi-page TDEFs, the
// MSysObjects catalog and the forward row cursor with overflow-row handling.
#include "dataaccess/jet3/jet_file_reader.h"

#include <algorithm>
#include <unordered_set>

#include "dataaccess/dao.h"
#include "text/codepage.h"
#include "dataaccess/jet3/journal.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/open_checks.h"
#include "dataaccess/jet3/usage_map.h"
#include "text/ascii.h"

namespace vellicor::jet3 {
namespace {

// Longest TDEF chain accepted: 255 columns with 64-byte names and 32 indexes need about 15 pages.
constexpr size_t kMaxTdefPages = 64;
// Jet never chains overflow rows; a few hops are tolerated, more means a damaged file.
constexpr int kMaxOverflowHops = 4;

using text::equalsIgnoringAsciiCase;

}  // namespace

bool CatalogEntry::isUserTable() const {
  const uint32_t systemFlags = static_cast<uint32_t>(fmt::kObjFlagsSystem) | 0x2u;
  return isLocalTable() && (static_cast<uint32_t>(flags) & systemFlags) == 0;
}

JetFileReader::JetFileReader(const std::string& path, JournalView view, const FileOpener& opener) : path_(path) {
  std::unique_ptr<FileIo> file = opener(path, OpenMode::kLookOnly);
  const CheckedFile checked = checkJetFile(*file, path);
  header_ = checked.header;
  ownPager_ = std::make_unique<Pager>(std::move(file), checked.pageCount);
  pager_ = ownPager_.get();
  // A commit of this engine that was interrupted: read the file as it was before it.
  if (auto hot = readHotJournal(path, checked.pageCount, [this](uint32_t n, uint8_t* out) { pager_->read(n, out); })) {
    hotJournal_ = true;
    if (view == JournalView::kBeforeInterruptedCommit) {
      pager_->overlay(*hot);
      readsJournal_ = true;
    }
  }
  codePage_ = &text::CodePage::forId(header_.codePage);
}

JetFileReader::JetFileReader(Pager& pager, const std::string& path) : path_(path), pager_(&pager) {
  const auto first = pager.page(fmt::kHeaderPage);
  header_ = decodeHeader(first->data(), first->size());
  readsJournal_ = hotJournal_ = pager.hasOverlay();
  codePage_ = &text::CodePage::forId(header_.codePage);
}

JetFileReader::~JetFileReader() = default;

TableInfo JetFileReader::readTable(uint32_t tdefPage) {
  TableInfo info;
  info.tdefPage = tdefPage;
  auto first = page(tdefPage);
  if ((*first)[0] != fmt::kPageTdef) {
    throw dao::damagedFile("ページ " + std::to_string(tdefPage) + " はテーブル定義ページではありません。ファイルが壊れています。");
  }
  std::vector<uint8_t> stream(first->begin(), first->end());
  info.tdefPages.push_back(tdefPage);
  const uint32_t length = loadU32(&stream[fmt::kTdefLength]);
  if (length > kMaxTdefPages * fmt::kPageSize) {
    throw dao::damagedFile("ページ " + std::to_string(tdefPage) + " のテーブル定義の長さ " + std::to_string(length) + " が不正です。");
  }
  uint32_t next = loadU32(&stream[fmt::kTdefNextPage]);
  while (stream.size() < length) {
    if (next == 0) {
      throw dao::damagedFile("ページ " + std::to_string(tdefPage) + " のテーブル定義の続きのページがありません。ファイルが壊れています。");
    }
    if (std::find(info.tdefPages.begin(), info.tdefPages.end(), next) != info.tdefPages.end()) {
      throw dao::damagedFile("ページ " + std::to_string(tdefPage) + " のテーブル定義のページの連鎖が循環しています。");
    }
    auto more = page(next);
    if ((*more)[0] != fmt::kPageTdef) {
      throw dao::damagedFile("ページ " + std::to_string(next) + " はテーブル定義の続きのページではありません。ファイルが壊れています。");
    }
    info.tdefPages.push_back(next);
    stream.insert(stream.end(), more->begin() + fmt::kTdefPageHeader, more->end());
    next = loadU32(more->data() + fmt::kTdefNextPage);
  }
  info.def = decodeTdef(stream);
  return info;
}

const std::vector<CatalogEntry>& JetFileReader::catalog() {
  if (catalogRead_) return catalog_;
  TableInfo objects = readTable(header_.systemTdefs[0]);
  objects.name = "MSysObjects";
  auto column = [&](const char* name) {
    for (size_t i = 0; i < objects.def.columns.size(); ++i) {
      if (objects.def.columns[i].name == name) return i;
    }
    throw dao::damagedFile(std::string("システム テーブル MSysObjects に列 ") + name + " がありません。ファイルが壊れています。");
  };
  const size_t cId = column("Id"), cParent = column("ParentId"), cName = column("Name"), cType = column("Type"),
               cFlags = column("Flags"), cCreate = column("DateCreate"), cUpdate = column("DateUpdate");
  std::vector<CatalogEntry> entries;
  RowCursor cursor(*this, objects);
  while (cursor.next()) {
    CatalogEntry e;
    auto asInt = [&](size_t c) -> int64_t {
      const dao::Variant v = cursor.value(c);
      if (auto* l = std::get_if<int32_t>(&v)) return *l;
      if (auto* s = std::get_if<int16_t>(&v)) return *s;
      return 0;
    };
    e.id = static_cast<int32_t>(asInt(cId));
    e.parentId = static_cast<int32_t>(asInt(cParent));
    e.type = static_cast<int16_t>(asInt(cType));
    e.flags = static_cast<int32_t>(asInt(cFlags));
    const FieldBytes& nb = cursor.fields()[cName];
    if (nb.present) e.nameBytes.assign(reinterpret_cast<const char*>(nb.data), nb.size);
    codePage_->decode(e.nameBytes, e.name);
    e.dateCreate = cursor.value(cCreate);
    e.dateUpdate = cursor.value(cUpdate);
    e.rowPointer = cursor.rowPointer();
    entries.push_back(std::move(e));
  }
  catalog_ = std::move(entries);
  catalogRead_ = true;
  return catalog_;
}

std::vector<CatalogEntry> JetFileReader::userTables() {
  std::vector<CatalogEntry> out;
  for (const CatalogEntry& e : catalog()) {
    if (e.isUserTable()) out.push_back(e);
  }
  return out;
}

TableInfo JetFileReader::table(const std::string& utf8Name) {
  const CatalogEntry* found = nullptr;
  for (const CatalogEntry& e : catalog()) {
    if (!e.isLocalTable()) continue;
    if (e.name == utf8Name) {
      found = &e;
      break;
    }
    if (!found && equalsIgnoringAsciiCase(e.name, utf8Name)) found = &e;
  }
  if (!found) throw dao::Error("テーブル \"" + utf8Name + "\" が見つかりません。", dao::errnum::kTableNotFound);
  if (found->id <= 0 || static_cast<uint32_t>(found->id) >= pageCount()) {
    throw dao::damagedFile("テーブル \"" + utf8Name + "\" の定義ページ " + std::to_string(found->id) + " がファイルの範囲外です。");
  }
  TableInfo info = readTable(static_cast<uint32_t>(found->id));
  info.name = found->name;
  return info;
}

std::vector<uint32_t> JetFileReader::readUsageMapChecked(uint32_t mapRow) { return readUsageMap(*this, mapRow); }

std::vector<uint32_t> JetFileReader::globalFreePages() {
  return readUsageMap(*this, header_.globalMap, PastLimit::kIgnored);
}

// ---- RowCursor ------------------------------------------------------------------------------

RowCursor::RowCursor(JetFileReader& reader, TableInfo table) : reader_(reader), table_(std::move(table)) {
  pages_ = reader_.usageMap(table_.def.ownedMap);
  for (uint32_t p : pages_) {
    if (p >= reader_.pageCount()) {
      throw dao::damagedFile("テーブル \"" + table_.name + "\" の使用ページ表がファイルの範囲外のページ " + std::to_string(p) +
                       " を指しています。ファイルが壊れています。");
    }
  }
}

std::string RowCursor::place() const {
  return "テーブル \"" + table_.name + "\" の " + rowPlace(fmt::pointerPage(rowPointer_), fmt::pointerRow(rowPointer_));
}

bool RowCursor::next() {
  for (;;) {
    if (!onPage_) {
      if (pageIndex_ >= pages_.size()) return false;
      const uint32_t number = pages_[pageIndex_];
      const auto p = reader_.page(number);
      // A map bit for a page that is not one of this table's data pages is stale; Jet skips it too.
      if ((*p)[0] != fmt::kPageData || loadU32(p->data() + fmt::kDataOwner) != table_.tdefPage) {
        ++pageIndex_;
        continue;
      }
      slotCount_ = rowSlotCount(*p, number);
      slot_ = 0;
      onPage_ = true;
    }
    if (slot_ >= slotCount_) {
      onPage_ = false;
      ++pageIndex_;
      continue;
    }
    const uint32_t number = pages_[pageIndex_];
    const uint32_t row = slot_++;
    auto p = reader_.page(number);
    RowSlot s = rowSlot(*p, number, row);
    if (s.deleted()) continue;
    rowPointer_ = fmt::rowPointer(number, static_cast<uint8_t>(row));
    dataPointer_ = rowPointer_;
    int hops = 0;
    while (s.overflow()) {
      if (s.size() < 4) throw dao::damagedFile(place() + " の転送先の指定が短すぎます。ファイルが壊れています。");
      const uint32_t target = loadU32(p->data() + s.start);
      if (++hops > kMaxOverflowHops || target == dataPointer_) {
        throw dao::damagedFile(place() + " の転送先の連鎖が不正です。ファイルが壊れています。");
      }
      const uint32_t targetPage = fmt::pointerPage(target);
      if (targetPage == 0 || targetPage >= reader_.pageCount()) {
        throw dao::damagedFile(place() + " の転送先ページ " + std::to_string(targetPage) + " がファイルの範囲外です。");
      }
      p = reader_.page(targetPage);
      s = rowSlot(*p, targetPage, fmt::pointerRow(target), true);
      dataPointer_ = target;
    }
    rowBytes_.assign(p->begin() + s.start, p->begin() + s.end);
    fields_ = splitRow(table_.def, rowBytes_.data(), rowBytes_.size(), place());
    return true;
  }
}

dao::Variant RowCursor::value(size_t column) {
  if (column >= fields_.size()) throw dao::Error("列番号 " + std::to_string(column) + " は範囲外です。");
  return decodeField(table_.def.columns[column], fields_[column], reader_, reader_.codePage(), place());
}

std::vector<dao::Variant> RowCursor::values() {
  std::vector<dao::Variant> out;
  out.reserve(fields_.size());
  for (size_t c = 0; c < fields_.size(); ++c) out.push_back(value(c));
  return out;
}

}  // namespace vellicor::jet3
