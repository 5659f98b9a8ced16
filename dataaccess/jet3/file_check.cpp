// The whole-file checker: the page walk of page_claims.h laid over the global map page by page,
// then each table's rows (count, long-value pages) and the index walker of index_check.h.
#include "dataaccess/jet3/file_check.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/page_claims.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/read_long_value.h"

namespace vellicor::jet3 {
namespace {

// Problems listed of one kind for one table; further ones are only counted.
constexpr int kListedPerKind = 5;

std::string hexByte(uint8_t b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", b);
  return buf;
}

class Checker {
 public:
  Checker(JetFileReader& reader, FileCheckResult& out) : reader_(reader), out_(out) {}

  void run() {
    out_.pages = reader_.pageCount();
    PageClaims pc = collectPageClaims(reader_);
    claims_ = &pc;
    for (const PageClaims::Fault& f : pc.faults) add(FileProblem::Kind::kUnreadable, f.table, 0, f.description);
    readGlobalMap();
    checkPages(pc.claims);
    for (const ClaimedTable& t : pc.tables) {
      ++out_.tables;
      if (t.readable) checkTable(t);
    }
    checkIndexes();
  }

 private:
  void add(FileProblem::Kind kind, const std::string& table, uint32_t page, std::string text) {
    int& n = listed_[{static_cast<int>(kind), table}];
    if (n >= kListedPerKind) {
      ++out_.omitted;
      return;
    }
    ++n;
    out_.problems.push_back(FileProblem{kind, table, page, std::move(text)});
  }

  std::string owner(const PageClaim& c) const {
    if (c.tdefPage == 0 && (c.role == PageRole::kHeader || c.role == PageRole::kGlobalMap)) return pageRoleName(c.role);
    return "テーブル '" + claims_->tableName(c.tdefPage) + "' の" + pageRoleName(c.role);
  }

  // Page 1 row 0: which pages it covers and which of them it marks free.
  void readGlobalMap() {
    free_.assign(out_.pages, false);
    try {
      const auto page = reader_.page(fmt::kGlobalMapPage);
      const RowSlot slot = rowSlot(*page, fmt::kGlobalMapPage, 0);
      const uint8_t* row = page->data() + slot.start;
      if (slot.size() >= fmt::kMapInlineHeader && row[0] == fmt::kMapInline) {
        const uint64_t start = loadU32(row + 1);
        const uint64_t bits = uint64_t{slot.size() - fmt::kMapInlineHeader} * 8;
        covered_ = [start, bits](uint32_t p) { return p >= start && p < start + bits; };
      } else if (slot.size() >= 1 && row[0] == fmt::kMapReference) {
        std::vector<bool> windows;
        for (size_t k = 0; k < (slot.size() - 1u) / 4; ++k) windows.push_back(loadU32(row + 1 + 4 * k) != 0);
        covered_ = [windows](uint32_t p) {
          const size_t w = p / fmt::kBitmapPageBits;
          return w < windows.size() && windows[w];
        };
      }
      for (uint32_t p : reader_.globalFreePages()) {
        if (p < out_.pages) free_[p] = true;
      }
    } catch (const dao::Error&) {
      // The walk has reported why; without the map no page counts as free.
      free_.assign(out_.pages, false);
      covered_ = [](uint32_t) { return true; };
    }
    for (bool f : free_) out_.freePages += f ? 1 : 0;
  }

  // What the page must look like to be what the claim takes it for; empty when it does.
  std::string wrongPage(const PageClaim& c, const Page& page) const {
    const uint8_t type = page[0];
    const uint32_t dataOwner = loadU32(page.data() + fmt::kDataOwner);
    switch (c.role) {
      case PageRole::kHeader: return "";
      case PageRole::kGlobalMap:
        if (c.page == fmt::kGlobalMapPage) return type == fmt::kPageData ? "" : "データ ページ";
        return type == fmt::kPageUsageBitmap ? "" : "ビットマップ ページ";
      case PageRole::kMapBitmap: return type == fmt::kPageUsageBitmap ? "" : "ビットマップ ページ";
      case PageRole::kDefinition: return type == fmt::kPageTdef ? "" : "テーブル定義ページ";
      case PageRole::kMapHolder: return type == fmt::kPageData ? "" : "使用ページ表の行を持つデータ ページ";
      case PageRole::kData:
        return type == fmt::kPageData && dataOwner == c.tdefPage ? "" : "このテーブルのデータ ページ";
      case PageRole::kLongValue:
        return type == fmt::kPageData && dataOwner == fmt::kLvalOwner ? "" : "LVAL ページ";
      case PageRole::kIndex:
        return (type == fmt::kPageIndexLeaf || type == fmt::kPageIndexNode) &&
                       loadU32(page.data() + fmt::kIdxOwner) == c.tdefPage
                   ? ""
                   : "このテーブルのインデックス ページ";
    }
    return "";
  }

  void checkPages(std::vector<PageClaim> claims) {
    std::stable_sort(claims.begin(), claims.end(), [](const PageClaim& a, const PageClaim& b) { return a.page < b.page; });
    std::vector<bool> claimed(out_.pages, false);
    for (size_t i = 0; i < claims.size();) {
      const uint32_t p = claims[i].page;
      size_t end = i;
      std::vector<PageClaim> owners;  // one per (role, table)
      while (end < claims.size() && claims[end].page == p) {
        const PageClaim& c = claims[end++];
        if (std::none_of(owners.begin(), owners.end(),
                         [&](const PageClaim& o) { return o.role == c.role && o.tdefPage == c.tdefPage; })) {
          owners.push_back(c);
        }
      }
      i = end;
      const PageClaim& first = owners.front();
      const std::string& table = claims_->tableName(first.tdefPage);
      if (p >= out_.pages) {
        add(FileProblem::Kind::kPastEnd, table, p,
            owner(first) + "のページ " + std::to_string(p) + " がファイルの外にあります (全 " + std::to_string(out_.pages) +
                " ページ)。");
        continue;
      }
      claimed[p] = true;
      ++out_.claimedPages;
      if (free_[p]) {
        add(FileProblem::Kind::kMarkedFree, table, p,
            owner(first) + "のページ " + std::to_string(p) + " が全体の使用ページ表で空きページとされています。");
      } else if (covered_ && !covered_(p)) {
        add(FileProblem::Kind::kOutsideGlobalMap, table, p,
            owner(first) + "のページ " + std::to_string(p) + " が全体の使用ページ表の範囲外です。");
      }
      const bool allHolders = std::all_of(owners.begin(), owners.end(),
                                          [](const PageClaim& o) { return o.role == PageRole::kMapHolder; });
      if (owners.size() > 1 && !allHolders) {
        const PageClaim& other = owners[1];
        add(FileProblem::Kind::kTwoOwners, table, p,
            "ページ " + std::to_string(p) + " は" + owner(first) + "と" + owner(other) + "の両方に使われています。");
      }
      std::shared_ptr<const Page> page;
      try {
        page = reader_.page(p);
      } catch (const dao::Error& e) {
        add(FileProblem::Kind::kUnreadable, table, p, e.description());
        continue;
      }
      for (const PageClaim& o : owners) {
        const std::string expected = wrongPage(o, *page);
        if (expected.empty()) continue;
        add(FileProblem::Kind::kWrongPage, claims_->tableName(o.tdefPage), p,
            owner(o) + "のページ " + std::to_string(p) + " が" + expected + "ではありません (種類 " + hexByte((*page)[0]) +
                ")。");
      }
    }
    for (uint32_t p = 0; p < out_.pages; ++p) {
      if (!claimed[p] && !free_[p]) out_.unreferencedInUse.push_back(p);
    }
  }

  void subset(const std::vector<uint32_t>& part, const std::vector<uint32_t>& whole, const std::string& table,
              const std::string& what) {
    for (uint32_t p : part) {
      if (!std::binary_search(whole.begin(), whole.end(), p)) {
        add(FileProblem::Kind::kFreeSpaceNotOwned, table, p,
            what + "の空きのあるページの表に、所有ページの表にないページ " + std::to_string(p) + " があります。");
      }
    }
  }

  void checkTable(const ClaimedTable& t) {
    const TableDefinition& def = t.info.def;
    subset(t.freeSpacePages, t.dataPages, t.name, "データ ページ");
    // The long-value columns and the pages their maps list, by column position.
    std::vector<const ClaimedTable::LongValueColumn*> lvOf(def.columns.size(), nullptr);
    std::vector<size_t> lvColumns;
    for (size_t i = 0; i < def.columns.size(); ++i) {
      if (def.columns[i].type != fmt::kTypeMemo && def.columns[i].type != fmt::kTypeOle) continue;
      lvColumns.push_back(i);
      for (const ClaimedTable::LongValueColumn& c : t.longValues)
        if (c.column == def.columns[i].number) lvOf[i] = &c;
    }
    for (const ClaimedTable::LongValueColumn& c : t.longValues) {
      subset(c.freeSpacePages, c.pages, t.name, "列番号 " + std::to_string(c.column) + " の長い値");
    }
    uint64_t rows = 0;
    try {
      RowCursor cursor(reader_, t.info);
      while (cursor.next()) {
        ++rows;
        for (size_t i : lvColumns) {
          const FieldBytes& f = cursor.fields()[i];
          if (!f.present) continue;
          std::vector<uint32_t> pages;
          try {
            pages = longValuePages(reader_, f.data, f.size);
          } catch (const dao::Error& e) {
            add(FileProblem::Kind::kUnreadable, t.name, 0, cursor.place() + " の長い値: " + e.description());
            continue;
          }
          for (uint32_t q : pages) checkLongValuePage(t, cursor.place(), q, lvOf[i]);
        }
      }
    } catch (const dao::Error& e) {
      add(FileProblem::Kind::kUnreadable, t.name, 0, "テーブル '" + t.name + "' の行を読み取れません: " + e.description());
      out_.rows += rows;
      return;
    }
    out_.rows += rows;
    if (rows != def.rowCount) {
      add(FileProblem::Kind::kRowCount, t.name, t.tdefPage,
          "テーブル '" + t.name + "' の定義の行数 " + std::to_string(def.rowCount) + " が実際の行数 " + std::to_string(rows) +
              " と一致しません。");
    }
  }

  void checkLongValuePage(const ClaimedTable& t, const std::string& place, uint32_t q,
                          const ClaimedTable::LongValueColumn* column) {
    const std::string what = place + " の長い値のページ " + std::to_string(q);
    if (q >= out_.pages) {
      add(FileProblem::Kind::kPastEnd, t.name, q, what + " がファイルの外にあります。");
    } else if (free_[q]) {
      add(FileProblem::Kind::kMarkedFree, t.name, q, what + " が全体の使用ページ表で空きページとされています。");
    } else if (!column || !std::binary_search(column->pages.begin(), column->pages.end(), q)) {
      add(FileProblem::Kind::kLongValueNotOwned, t.name, q, what + " が列の使用ページ表にありません。");
    }
  }

  void checkIndexes() {
    for (const IndexCheckResult& r : checkAllIndexes(reader_)) {
      if (r.status == IndexCheckResult::Status::kFault) {
        add(FileProblem::Kind::kIndex, r.table, r.rootPage,
            "テーブル '" + r.table + "' のインデックス " + (r.index.empty() ? "#" + std::to_string(r.realIndex) : r.index) +
                ": " + r.detail);
      } else if (r.ok()) {
        ++out_.indexes;
      }
    }
  }

  JetFileReader& reader_;
  FileCheckResult& out_;
  const PageClaims* claims_ = nullptr;
  std::vector<bool> free_;
  std::function<bool(uint32_t)> covered_;
  std::map<std::pair<int, std::string>, int> listed_;
};

}  // namespace

bool FileCheckResult::has(FileProblem::Kind kind) const {
  return std::any_of(problems.begin(), problems.end(), [kind](const FileProblem& p) { return p.kind == kind; });
}

FileCheckResult checkFile(JetFileReader& reader) {
  FileCheckResult out;
  Checker(reader, out).run();
  return out;
}

std::string formatFileCheck(const FileCheckResult& r) {
  std::string text = "検査結果: ";
  text += r.clean() ? "問題はありません。\n" : "問題が " + std::to_string(r.problems.size() + r.omitted) + " 件あります。\n";
  text += "ページ " + std::to_string(r.pages) + " (使用中 " + std::to_string(r.claimedPages) + "、空き " +
          std::to_string(r.freePages) + ")、テーブル " + std::to_string(r.tables) + " 個 (システム テーブルを含む)、行 " +
          std::to_string(r.rows) + "、検証したインデックス " + std::to_string(r.indexes) + " 個\n";
  for (const FileProblem& p : r.problems) text += "  - " + p.text + "\n";
  if (r.omitted) text += "  (同じ種類の問題がほかに " + std::to_string(r.omitted) + " 件あります)\n";
  if (!r.unreferencedInUse.empty()) {
    text += "注意: どこからも参照されていない使用中のページが " + std::to_string(r.unreferencedInUse.size()) +
            " ページあります (領域が再利用されないだけで、データは失われていません):";
    for (size_t i = 0; i < r.unreferencedInUse.size() && i < 20; ++i) text += " " + std::to_string(r.unreferencedInUse[i]);
    if (r.unreferencedInUse.size() > 20) text += " ...";
    text += "\n";
  }
  return text;
}

}  // namespace vellicor::jet3
