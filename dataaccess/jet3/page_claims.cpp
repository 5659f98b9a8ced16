// The walk over a file's definitions and usage maps that lists every page referred to, with the
// table and the role; structures that cannot be read are listed as faults and the walk goes on.
#include "dataaccess/jet3/page_claims.h"

#include <algorithm>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/usage_map.h"

namespace vellicor::jet3 {

const char* pageRoleName(PageRole role) {
  switch (role) {
    case PageRole::kHeader: return "ヘッダー";
    case PageRole::kGlobalMap: return "全体の使用ページ表";
    case PageRole::kDefinition: return "テーブル定義";
    case PageRole::kMapHolder: return "使用ページ表の行";
    case PageRole::kMapBitmap: return "使用ページ表のビットマップ";
    case PageRole::kData: return "データ";
    case PageRole::kLongValue: return "メモ型/OLE オブジェクト型の値";
    case PageRole::kIndex: return "インデックス";
  }
  return "?";
}

const std::string& PageClaims::tableName(uint32_t tdefPage) const {
  static const std::string none;
  if (tdefPage == 0) return none;
  for (const ClaimedTable& t : tables)
    if (t.tdefPage == tdefPage) return t.name;
  return none;
}

namespace {

class Walk {
 public:
  Walk(JetFileReader& reader, PageClaims& out) : reader_(reader), out_(out) {}

  void claim(uint32_t page, PageRole role, uint32_t tdef) { out_.claims.push_back(PageClaim{page, role, tdef}); }

  void fault(const std::string& table, const std::string& what) {
    out_.faults.push_back(PageClaims::Fault{table, table.empty() ? what : "テーブル '" + table + "' の" + what});
  }

  // The map row at mapRow (0: none): its holder page and bitmap pages are claimed for tdef (with holderRole
  // and bitmapRole), its members returned. Faults are recorded under `what` of table `name`.
  bool readMap(uint32_t mapRow, uint32_t tdef, const std::string& name, const std::string& what, PageRole holderRole,
               PageRole bitmapRole, std::vector<uint32_t>& members, PastLimit pastLimit = PastLimit::kFault) {
    if (mapRow == 0) return false;  // no map (Jet leaves some free-space maps of long values out)
    const uint32_t holder = fmt::pointerPage(mapRow);
    claim(holder, holderRole, tdef);
    try {
      const MapRowBytes m = locateMapRow(reader_, mapRow);
      for (uint32_t bitmap : mapBitmapPages(m.row, m.size))
        if (bitmap != 0) claim(bitmap, bitmapRole, tdef);
      members = decodeUsageMapRow(reader_, m.row, m.size, pastLimit);
      return true;
    } catch (const dao::Error& e) {
      fault(name, what + "を読み取れません: " + e.description());
      return false;
    }
  }

  void globalMap() {
    claim(fmt::kHeaderPage, PageRole::kHeader, 0);
    const DatabaseHeader& h = reader_.header();
    std::vector<uint32_t> members;
    readMap(h.globalMap, 0, "", "全体の使用ページ表", PageRole::kGlobalMap, PageRole::kGlobalMap, members,
            PastLimit::kIgnored);
    // The second map row, when the file has one: its meaning is unknown, but its bitmap pages
    // (nwind has one) are taken.
    try {
      const uint32_t page = fmt::pointerPage(h.secondMap);
      if (page == 0 || page >= reader_.pageCount() || fmt::pointerRow(h.secondMap) >= rowSlotCount(*reader_.page(page), page)) {
        return;
      }
    } catch (const dao::Error&) {
      return;  // the page itself is reported with the global map
    }
    readMap(h.secondMap, 0, "", "2 番目の全体の使用ページ表", PageRole::kGlobalMap, PageRole::kGlobalMap, members,
            PastLimit::kIgnored);
  }

  void table(const std::string& name, uint32_t tdef) {
    ClaimedTable t;
    t.name = name;
    t.tdefPage = tdef;
    if (tdef == 0 || tdef >= reader_.pageCount()) {
      claim(tdef, PageRole::kDefinition, tdef);
      fault(name, "定義のページ " + std::to_string(tdef) + " がファイルの範囲外です。");
      out_.tables.push_back(std::move(t));
      return;
    }
    try {
      t.info = reader_.readTable(tdef);
      t.info.name = name;
      t.readable = true;
    } catch (const dao::Error& e) {
      claim(tdef, PageRole::kDefinition, tdef);
      fault(name, "定義を読み取れません: " + e.description());
      out_.tables.push_back(std::move(t));
      return;
    }
    for (uint32_t p : t.info.tdefPages) claim(p, PageRole::kDefinition, tdef);
    const TableDefinition& def = t.info.def;
    if (readMap(def.ownedMap, tdef, name, "データ ページの使用ページ表", PageRole::kMapHolder, PageRole::kMapBitmap,
                t.dataPages)) {
      for (uint32_t p : t.dataPages) claim(p, PageRole::kData, tdef);
    }
    readMap(def.freeMap, tdef, name, "空きのあるページの使用ページ表", PageRole::kMapHolder, PageRole::kMapBitmap,
            t.freeSpacePages);
    for (size_t i = 0; i < def.realIndexes.size(); ++i) {
      t.indexPages.emplace_back();
      if (readMap(def.realIndexes[i].usageMap, tdef, name, "インデックス " + std::to_string(i) + " の使用ページ表",
                  PageRole::kMapHolder, PageRole::kMapBitmap, t.indexPages.back())) {
        for (uint32_t p : t.indexPages.back()) claim(p, PageRole::kIndex, tdef);
      }
    }
    for (const LongValueMaps& lv : def.longValueMaps) {
      ClaimedTable::LongValueColumn c;
      c.column = lv.column;
      const std::string what = "列番号 " + std::to_string(lv.column) + " の長い値の";
      if (readMap(lv.ownedMap, tdef, name, what + "使用ページ表", PageRole::kMapHolder, PageRole::kMapBitmap, c.pages)) {
        for (uint32_t p : c.pages) claim(p, PageRole::kLongValue, tdef);
      }
      readMap(lv.freeMap, tdef, name, what + "空きページの使用ページ表", PageRole::kMapHolder, PageRole::kMapBitmap,
              c.freeSpacePages);
      t.longValues.push_back(std::move(c));
    }
    out_.tables.push_back(std::move(t));
  }

 private:
  JetFileReader& reader_;
  PageClaims& out_;
};

}  // namespace

PageClaims collectPageClaims(JetFileReader& reader) {
  PageClaims out;
  Walk walk(reader, out);
  walk.globalMap();
  std::vector<uint32_t> seen;
  auto visit = [&](const std::string& name, int64_t id) {
    const uint32_t tdef = id > 0 && id < int64_t{fmt::kMaxPages} ? static_cast<uint32_t>(id) : 0;
    if (std::find(seen.begin(), seen.end(), tdef) != seen.end()) return;
    seen.push_back(tdef);
    walk.table(name, tdef);
  };
  // MSysObjects from the header (the catalog is read through it), then every local table.
  visit("MSysObjects", reader.header().systemTdefs[0]);
  for (const CatalogEntry& e : reader.catalog()) {
    if (e.isLocalTable()) visit(e.name, e.id);
  }
  return out;
}

}  // namespace vellicor::jet3
