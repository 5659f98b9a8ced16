// Cost of a table append as the catalog grows: N small tables (two fields, one row each) for
// N = 100, 1,000 and 10,000 (or the counts given as arguments), printing the time per table of
// each N and its ratio to the first. Then walks the last file's indexes and lists it with mdbtools.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"

using namespace vellicor;

namespace {

// Names whose keys fall all over the name index, as a schema's do (not in key order).
std::string tableName(int i) {
  static const char* const stems[] = {"ORDERS", "顧客", "ITEM", "社員", "LOG", "売上", "ZONE", "A"};
  return std::string(stems[(i * 7) % 8]) + "_" + std::to_string((i * 7919) % 100003);
}

double appendTables(const std::string& file, int n) {
  std::filesystem::remove(file);
  auto db = jet3::makeJetWorkspace("", "", "")->createDatabase(file, dao::dbLangJapanese);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) {
    dao::TableDef td(tableName(i));
    td.appendField(td.createField("ID", dao::dbLong));
    td.appendField(td.createField("NAME", dao::dbText, 20));
    db->appendTableDef(td);
    auto rs = db->openRecordset(td.name());
    rs->addNew();
    rs->fields()[0].setValue(static_cast<int32_t>(i));
    rs->fields()[1].setValue(std::string("x"));
    rs->update();
    rs->close();
  }
  db->close();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {100, 1000, 10000};
  const std::string dir = std::filesystem::temp_directory_path() / ("vellicor-catalog-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = dir + "/bench.mdb";
  double first = 0;
  for (int n : counts) {
    const double s = appendTables(file, n);
    const double perTable = s / n;
    if (first == 0) first = perTable;
    std::printf("%6d tables: %.2f s, %.2f ms a table, %.2f x the first count's cost a table\n", n, s, perTable * 1e3,
                perTable / first);
    std::fflush(stdout);
  }
  jet3::JetFileReader reader(file);
  const auto results = jet3::checkAllIndexes(reader);
  bool clean = true;
  for (const auto& r : results) clean = clean && r.ok();
  std::printf("index walker on the %d-table file: %s\n", counts.back(),
              clean ? "clean" : jet3::formatIndexReport(results).c_str());
  const std::string listed = "mdb-tables -1 " + file + " | wc -l";
  std::printf("mdb-tables lists: ");
  std::fflush(stdout);
  if (std::system(listed.c_str()) != 0) std::printf("(mdb-tables failed)\n");
  std::filesystem::remove_all(dir);
  return clean ? 0 : 1;
}
