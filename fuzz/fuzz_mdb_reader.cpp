// Fuzz target: a damaged .mdb opened by the reader, every table and row read, every index walked,
// the inspect text built and the file opened for appending, as `inspect` and `--append` do.
#include <cstdint>
#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/inspect.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "fuzz/fuzz_support.h"

using namespace vellicor;

namespace {

void readEverything(const std::string& path) {
  jet3::JetFileReader reader(path);
  (void)reader.catalog();
  (void)reader.globalFreePages();
  for (const jet3::CatalogEntry& e : reader.userTables()) {
    jet3::TableInfo info = reader.table(e.name);
    jet3::RowCursor cursor(reader, info);
    while (cursor.next()) (void)cursor.values();
  }
  (void)jet3::formatIndexReport(jet3::checkAllIndexes(reader));
}

void openForAppend(const std::string& path) {
  auto ws = jet3::makeJetWorkspace("", "admin", "");
  auto db = ws->openDatabase(path, /*exclusive*/ 1);
  for (const std::string& name : db->tableNames()) {
    auto rs = db->openRecordset(name);
    rs->close();
  }
  db->close();
}

template <class F>
void expectOnlyDaoErrors(const char* what, F&& f) {
  try {
    f();
  } catch (const dao::Error&) {
  } catch (const std::exception& e) {
    fuzz::unexpected(what, &e);
  } catch (...) {
    fuzz::unexpected(what, nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzz::scratchPath(".mdb");
  fuzz::writeScratch(path, data, size);
  expectOnlyDaoErrors("reader", [&] { readEverything(path); });
  expectOnlyDaoErrors("inspect", [&] { (void)jet3::inspectFile(path); });
  // Appending may write to the scratch copy; it is rewritten for the next input.
  expectOnlyDaoErrors("append", [&] { openForAppend(path); });
  return 0;
}
