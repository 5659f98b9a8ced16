// Choosing the table's schema among the catalog's rows and grouping those rows into a primary key
// and unique indexes.
#include "dataaccess/odbc/catalog_keys.h"

#include <algorithm>
#include <map>

#include "text/ascii.h"

namespace vellicor::odbc {
namespace {

// The name a primary key gets when the driver gives it none.
constexpr const char* kDefaultPrimaryKeyName = "PrimaryKey";

std::vector<std::string> schemasOf(const CatalogKeys& rows) {
  std::vector<std::string> schemas;
  auto add = [&](const std::string& s) {
    if (std::find(schemas.begin(), schemas.end(), s) == schemas.end()) schemas.push_back(s);
  };
  for (const auto& r : rows.primaryKey) add(r.schema);
  for (const auto& r : rows.uniqueIndexes) add(r.schema);
  return schemas;
}

std::optional<dao::IndexDef> primaryKeyOf(const CatalogKeys& rows, const std::string& schema) {
  std::vector<const PrimaryKeyRow*> mine;
  for (const auto& r : rows.primaryKey) {
    if (r.schema == schema) mine.push_back(&r);
  }
  if (mine.empty()) return std::nullopt;
  std::stable_sort(mine.begin(), mine.end(),
                   [](const PrimaryKeyRow* a, const PrimaryKeyRow* b) { return a->keySeq < b->keySeq; });
  dao::IndexDef key;
  key.name = mine.front()->name;
  for (size_t i = 0; i < mine.size(); ++i) {
    if (mine[i]->name != key.name) return std::nullopt;
    if (i > 0 && mine[i]->keySeq == mine[i - 1]->keySeq) return std::nullopt;
    key.columns.push_back({mine[i]->column, true});
  }
  if (key.name.empty()) key.name = kDefaultPrimaryKeyName;
  key.primary = key.unique = key.required = true;
  return key;
}

std::vector<std::string> sortedNames(const dao::IndexDef& index) {
  std::vector<std::string> names;
  for (const auto& c : index.columns) names.push_back(c.name);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::optional<std::string> schemaOfTable(const CatalogKeys& rows, const std::string& owner,
                                         const std::function<QueriedTable()>& query) {
  const std::vector<std::string> schemas = schemasOf(rows);
  if (schemas.empty()) return std::nullopt;
  if (schemas.size() == 1 && schemas.front().empty()) return std::string();
  if (std::find(schemas.begin(), schemas.end(), owner) != schemas.end()) return owner;
  std::optional<std::string> caseless;
  int caselessCount = 0;
  for (const auto& s : schemas) {
    if (text::equalsIgnoringAsciiCase(s, owner)) {
      caseless = s;
      ++caselessCount;
    }
  }
  if (caselessCount == 1) return caseless;
  const std::string queried = query().schema;
  if (!queried.empty() && std::find(schemas.begin(), schemas.end(), queried) != schemas.end()) return queried;
  return std::nullopt;
}

std::vector<dao::IndexDef> keysFromRows(const CatalogKeys& rows, const std::string& schema,
                                        const std::vector<std::string>* columns) {
  std::vector<dao::IndexDef> keys;
  const std::optional<dao::IndexDef> primary = primaryKeyOf(rows, schema);
  std::vector<std::string> primaryNames;
  if (primary) {
    keys.push_back(*primary);
    primaryNames = sortedNames(*primary);
  }

  // By name: std::map orders the names by their bytes, which for UTF-8 is by code point.
  std::map<std::string, std::vector<const UniqueIndexRow*>> byName;
  for (const auto& r : rows.uniqueIndexes) {
    if (r.schema == schema) byName[r.name].push_back(&r);
  }
  for (auto& [name, indexRows] : byName) {
    if (std::any_of(indexRows.begin(), indexRows.end(), [](const UniqueIndexRow* r) { return r->filtered; })) continue;
    std::stable_sort(indexRows.begin(), indexRows.end(),
                     [](const UniqueIndexRow* a, const UniqueIndexRow* b) { return a->ordinal < b->ordinal; });
    dao::IndexDef index;
    index.name = name;
    for (const UniqueIndexRow* r : indexRows) index.columns.push_back({r->column, !r->descending});
    if (primary && sortedNames(index) == primaryNames) continue;
    for (auto& c : index.columns) {
      if (columns && std::find(columns->begin(), columns->end(), c.name) == columns->end()) c.name.clear();
    }
    index.unique = true;
    index.ignoreNulls = true;
    keys.push_back(std::move(index));
  }
  return keys;
}

}  // namespace vellicor::odbc
