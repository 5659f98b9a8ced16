// The index walker: computes each real index's entries from the table's rows with the key
// functions, reads the tree from its root, and compares entries, counts and page ownership.
#include "dataaccess/jet3/index_check.h"

#include "dataaccess/jet3/column_type.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "dataaccess/dao.h"
#include "text/codepage.h"
#include "dataaccess/jet3/index.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/read_le.h"

namespace vellicor::jet3 {
namespace {

std::string hexBytes(const std::vector<uint8_t>& b, size_t limit = 48) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < b.size() && i < limit; ++i) {
    if (i) s += ' ';
    s += d[b[i] >> 4];
    s += d[b[i] & 15];
  }
  if (b.size() > limit) s += " ...";
  return s;
}

std::string describe(const IndexEntry& e) {
  return "[" + hexBytes(e.key) + "] → " + rowPlace(e.page, e.row);
}

// Why a column cannot be keyed by our code, or nullopt when it can. `name` is the column's name
// in UTF-8.
std::optional<std::string> unkeyable(const ColumnDef& col, const std::string& name) {
  const ColumnType* type = columnType(col.type);
  if (type == nullptr) return "列 \"" + name + "\" の型 " + std::to_string(col.type) + " は不明です。";
  if (!type->keyable) return "列 \"" + name + "\" はメモ型または OLE オブジェクト型です。";
  if (type->text && col.sortOrder != fmt::kSortGeneral) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", col.sortOrder);
    return "列 \"" + name + "\" の並べ替え順 0x" + std::string(buf) + " のキーは計算できません (一般 0x0409 のみ対応)。";
  }
  return std::nullopt;
}

struct Plan {
  IndexCheckResult result;
  const RealIndexDef* def = nullptr;
  std::vector<size_t> columns;  // positions in def.columns, per used slot
  std::vector<bool> ascending;
  std::vector<IndexEntry> expected;
};

}  // namespace

std::vector<IndexCheckResult> checkTableIndexes(JetFileReader& reader, const TableInfo& table) {
  const TableDefinition& def = table.def;
  std::vector<Plan> plans(def.realIndexes.size());
  for (size_t i = 0; i < plans.size(); ++i) {
    Plan& plan = plans[i];
    plan.def = &def.realIndexes[i];
    plan.result.table = table.name;
    plan.result.realIndex = static_cast<uint32_t>(i);
    plan.result.rootPage = plan.def->rootPage;
    for (const LogicalIndexDef& li : def.logicalIndexes) {
      if (li.realIndex != i) continue;
      if (!plan.result.index.empty()) plan.result.index += ", ";
      plan.result.index += li.name;
    }
    for (const IndexColumn& ic : plan.def->columns) {
      if (ic.column == fmt::kNoIndexColumn) continue;
      auto it = std::find_if(def.columns.begin(), def.columns.end(),
                             [&](const ColumnDef& c) { return c.number == ic.column; });
      if (it == def.columns.end()) {
        plan.result.status = IndexCheckResult::Status::kFault;
        plan.result.detail = "インデックスが存在しない列番号 " + std::to_string(ic.column) + " を指しています。";
        break;
      }
      std::string name;
      reader.codePage().decode(it->name, name);
      if (auto why = unkeyable(*it, name); why && plan.result.status == IndexCheckResult::Status::kOk) {
        plan.result.status = IndexCheckResult::Status::kNotCheckable;
        plan.result.detail = *why;
      }
      plan.columns.push_back(static_cast<size_t>(it - def.columns.begin()));
      plan.ascending.push_back(ic.order != 0);
    }
  }
  if (plans.empty()) return {};

  // One pass over the rows computes the expected entries of every checkable index.
  try {
    RowCursor cursor(reader, table);
    while (cursor.next()) {
      const auto& fields = cursor.fields();
      for (Plan& plan : plans) {
        if (plan.result.status != IndexCheckResult::Status::kOk) continue;
        bool allNull = true;
        IndexEntry e;
        for (size_t k = 0; k < plan.columns.size(); ++k) {
          const ColumnDef& col = def.columns[plan.columns[k]];
          const FieldBytes& f = fields[plan.columns[k]];
          if (f.present || col.type == fmt::kTypeBoolean) allNull = false;
          appendColumnKey(e.key, col, f, plan.ascending[k]);
        }
        if (allNull && (plan.def->flags & fmt::kIndexIgnoreNulls)) continue;
        e.page = fmt::pointerPage(cursor.rowPointer());
        e.row = fmt::pointerRow(cursor.rowPointer());
        plan.expected.push_back(std::move(e));
      }
    }
  } catch (const dao::Error& err) {
    std::vector<IndexCheckResult> out;
    for (Plan& plan : plans) {
      plan.result.status = IndexCheckResult::Status::kFault;
      plan.result.detail = "テーブルの行を読み取れません: " + err.description();
      out.push_back(plan.result);
    }
    return out;
  }

  std::vector<IndexCheckResult> out;
  for (Plan& plan : plans) {
    IndexCheckResult& r = plan.result;
    if (r.status != IndexCheckResult::Status::kOk) {
      out.push_back(r);
      continue;
    }
    auto fault = [&](const std::string& what) {
      r.status = IndexCheckResult::Status::kFault;
      r.detail = what;
    };
    try {
      std::vector<IndexEntry> found;
      std::vector<uint32_t> pages;
      readIndexTree([&](uint32_t n, Page& bytes) { bytes = *reader.page(n); }, plan.def->rootPage, table.tdefPage,
                    found, &pages);
      r.entries = found.size();
      r.pages = static_cast<uint32_t>(pages.size());
      std::sort(plan.expected.begin(), plan.expected.end());
      if (found != plan.expected) {
        size_t i = 0;
        while (i < found.size() && i < plan.expected.size() && found[i] == plan.expected[i]) ++i;
        std::string what = "エントリが行から計算したキーと一致しません (索引 " + std::to_string(found.size()) +
                           " 件、行から " + std::to_string(plan.expected.size()) + " 件、" + std::to_string(i + 1) +
                           " 件目が相違)";
        if (i < found.size()) what += "。索引: " + describe(found[i]);
        if (i < plan.expected.size()) what += "。期待: " + describe(plan.expected[i]);
        fault(what);
      } else if (r.entries != def.rowCount && !(plan.def->flags & fmt::kIndexIgnoreNulls)) {
        fault("エントリ数 " + std::to_string(r.entries) + " がテーブル定義の行数 " + std::to_string(def.rowCount) +
              " と一致しません。");
      } else {
        uint64_t distinct = 0;
        for (size_t i = 0; i < found.size(); ++i) {
          if (i == 0 || found[i].key != found[i - 1].key) ++distinct;
        }
        r.distinctKeys = distinct;
        r.storedDistinctKeys = plan.def->distinctKeys;
        const std::vector<uint32_t> mapped = reader.usageMap(plan.def->usageMap);
        std::sort(pages.begin(), pages.end());
        if (distinct > plan.def->distinctKeys) {
          fault("異なるキーの数 " + std::to_string(distinct) + " がテーブル定義の値 " +
                std::to_string(plan.def->distinctKeys) + " を超えています。");
        } else if (mapped != pages) {
          std::string what = "使用ページ表 (" + std::to_string(mapped.size()) + " ページ) が索引のページ (" +
                             std::to_string(pages.size()) + " ページ) と一致しません";
          std::vector<uint32_t> extra, missing;
          std::set_difference(mapped.begin(), mapped.end(), pages.begin(), pages.end(), std::back_inserter(extra));
          std::set_difference(pages.begin(), pages.end(), mapped.begin(), mapped.end(), std::back_inserter(missing));
          if (!extra.empty()) what += "。余分: ページ " + std::to_string(extra.front());
          if (!missing.empty()) what += "。不足: ページ " + std::to_string(missing.front());
          fault(what + "。");
        } else if (distinct != plan.def->distinctKeys) {
          r.detail = "テーブル定義の異なるキーの数 " + std::to_string(plan.def->distinctKeys) + " は実際の " +
                     std::to_string(distinct) + " より大きい値です (行の削除後に Jet が減らさない統計値)。";
        }
      }
    } catch (const dao::Error& err) {
      fault(err.description());
    }
    out.push_back(r);
  }
  return out;
}

std::vector<IndexCheckResult> checkAllIndexes(JetFileReader& reader) {
  std::vector<IndexCheckResult> out;
  for (const CatalogEntry& e : reader.catalog()) {
    if (!e.isLocalTable()) continue;
    std::vector<IndexCheckResult> part;
    try {
      TableInfo info = reader.table(e.name);
      part = checkTableIndexes(reader, info);
    } catch (const dao::Error& err) {
      IndexCheckResult r;
      r.table = e.name;
      r.status = IndexCheckResult::Status::kFault;
      r.detail = "テーブル定義を読み取れません: " + err.description();
      part.push_back(r);
    }
    out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

std::string formatIndexReport(const std::vector<IndexCheckResult>& results) {
  std::string text;
  for (const IndexCheckResult& r : results) {
    text += "テーブル " + r.table + " / インデックス " + (r.index.empty() ? "#" + std::to_string(r.realIndex) : r.index) + ": ";
    switch (r.status) {
      case IndexCheckResult::Status::kOk: text += "OK (" + std::to_string(r.entries) + " 件)"; break;
      case IndexCheckResult::Status::kNotCheckable: text += "検査できません: " + r.detail; break;
      case IndexCheckResult::Status::kFault: text += "異常: " + r.detail; break;
    }
    text += '\n';
  }
  return text;
}

}  // namespace vellicor::jet3
