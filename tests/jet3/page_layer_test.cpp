// One page layer for reading and writing: a database and its recordsets read what it wrote through
// its own pager (never a second handle on the file), and both opens refuse the same files alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/format.h"
#include "dataaccess/jet3/header.h"
#include "dataaccess/jet3/jet_database.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::testing;
using Bytes = std::vector<unsigned char>;

namespace {

dao::TableDef numbers(const std::string& name) {
  dao::TableDef td(name);
  td.appendField(td.createField("N", dao::dbLong));
  td.appendField(td.createField("T", dao::dbText, 200));
  return td;
}

void addRows(dao::Database& db, const std::string& table, int from, int count) {
  auto rs = db.openRecordset(table);
  for (int i = from; i < from + count; ++i) {
    rs->addNew();
    rs->fields()[0].setValue(int32_t{i});
    rs->fields()[1].setValue(std::string(150, static_cast<char>('a' + i % 26)));
    rs->update();
  }
  rs->close();
}

// Rows of the table as the reader sees them now, and the sum of N over them.
std::pair<int, int64_t> scan(jet3::JetFileReader& reader, const std::string& table) {
  jet3::RowCursor cursor(reader, reader.table(table));
  int rows = 0;
  int64_t sum = 0;
  while (cursor.next()) {
    ++rows;
    sum += std::get<int32_t>(cursor.value(0));
  }
  return {rows, sum};
}

std::string refusal(const std::function<void()>& open) {
  try {
    open();
  } catch (const dao::Error& e) {
    return e.description();
  }
  return "(accepted)";
}

}  // namespace

TEST(PageLayer, TheDatabaseReadsWhatItWroteThroughItsOwnPager) {
  ScratchDir dir;
  const std::string path = dir.path("own.mdb");
  auto db = jetWorkspace()->createDatabase(path, dao::dbLangJapanese);
  db->appendTableDef(numbers("T_ROWS"));
  addRows(*db, "T_ROWS", 0, 500);  // many pages
  // The file's name goes away while the database is open: only its own pages can be read now.
  const std::string moved = dir.path("moved.mdb");
#ifdef _WIN32
  // Windows renames no file that is open without shared deletion: the database in use keeps its name.
  std::error_code refused;
  std::filesystem::rename(path, moved, refused);
  ASSERT_TRUE(refused);
  db->close();
  GTEST_SKIP() << "a database in use cannot be renamed away on Windows";
#endif
  std::filesystem::rename(path, moved);
  auto& jet = dynamic_cast<jet3::JetDatabase&>(*db);
  jet3::JetFileReader reader(jet.pager(), path);
  EXPECT_EQ(scan(reader, "T_ROWS"), std::make_pair(500, int64_t{499} * 500 / 2));
  // More rows land on the page the reader has already read (and on new ones): the same reader
  // sees them once they are written, not the page as it first read it.
  addRows(*db, "T_ROWS", 500, 7);
  EXPECT_EQ(scan(reader, "T_ROWS"), std::make_pair(507, int64_t{506} * 507 / 2));
  int seen = 0;
  for (auto rs = db->openRecordset("T_ROWS", dao::dbOpenSnapshot); !rs->eof(); rs->moveNext()) ++seen;
  EXPECT_EQ(seen, 507);
  db->close();
  jet3::JetFileReader after(moved);
  EXPECT_EQ(scan(after, "T_ROWS").first, 507);
}

TEST(PageLayer, BothOpensRefuseTheSameFilesWithTheSameWords) {
  ScratchDir dir;
  const std::string good = dir.path("good.mdb");
  {
    auto db = jetWorkspace()->createDatabase(good, dao::dbLangJapanese);
    db->appendTableDef(numbers("T"));
    db->close();
  }
  const Bytes whole = readWholeFile(good);
  auto variant = [&](const std::string& name, Bytes bytes) {
    const std::string p = dir.path(name);
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
  };
  Bytes encrypted = whole;
  {
    jet3::DatabaseHeader h = jet3::decodeHeader(encrypted.data(), encrypted.size());
    h.databaseKey = 0x1234;
    const jet3::HeaderPage page = jet3::encodeHeader(h);
    std::copy(page.begin(), page.end(), encrypted.begin());
  }
  Bytes jet4 = whole;
  jet4[jet3::fmt::kHdrVersion] = 1;
  const std::vector<std::string> files = {
      variant("short.mdb", Bytes(whole.begin(), whole.begin() + 2 * jet3::fmt::kPageSize + 100)),
      variant("text.mdb", Bytes(4 * jet3::fmt::kPageSize, 'A')), variant("encrypted.mdb", encrypted),
      variant("jet4.mdb", jet4)};
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    const std::string byReader = refusal([&] { jet3::JetFileReader r(f); });
    const std::string byDatabase = refusal([&] { jetWorkspace()->openDatabase(f, 0, false); });
    const std::string readOnly = refusal([&] { jetWorkspace()->openDatabase(f, 0, true); });
    EXPECT_NE(byReader, "(accepted)");
    EXPECT_EQ(byReader, byDatabase);
    EXPECT_EQ(byReader, readOnly);
  }
}
