// Write throughput of the Jet 3 engine through the DAO layer: one AddNew/Update per row, the
// peak memory of the process, how full the data pages are, and a run up to the 1 GB limit
// whose refusal must leave a valid file. Prints figures; asserts nothing about speed.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "dataaccess/jet3/read_le.h"

using namespace vellicor;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU time of the process (user + system), which the other work on a shared machine does not inflate.
double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// Share of the table's data pages that holds rows (bytes of rows and slots / usable bytes).
double dataPageFill(const std::string& file, const std::string& table, size_t& pages) {
  jet3::JetFileReader reader(file);
  const jet3::TableInfo t = reader.table(table);
  const std::vector<uint32_t> owned = reader.usageMap(t.def.ownedMap);
  pages = owned.size();
  uint64_t freeBytes = 0;
  for (size_t i = 0; i + 1 < owned.size(); ++i) {  // the last page is still being filled
    freeBytes += jet3::loadU16(reader.page(owned[i])->data() + jet3::fmt::kDataFreeSpace);
  }
  const double usable = static_cast<double>(owned.size() - 1) * (jet3::fmt::kPageSize - jet3::fmt::kDataHeaderSize);
  return 1.0 - static_cast<double>(freeBytes) / usable;
}

void throughput(const std::string& file, long rows) {
  auto ws = jet3::makeJetWorkspace("", "", "");
  auto db = ws->createDatabase(file, dao::dbLangJapanese);
  dao::TableDef td("BENCH");
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("AMOUNT", dao::dbDouble));
  td.appendField(td.createField("PRICE", dao::dbCurrency));
  td.appendField(td.createField("AT", dao::dbDate));
  td.appendField(td.createField("NAME", dao::dbText, 50));
  td.appendField(td.createField("NOTE", dao::dbMemo));
  db->appendTableDef(td);
  auto rs = db->openRecordset("BENCH");
  dao::Fields& f = rs->fields();
  // The values a run passes: built once, as a source recordset would hand them over.
  const dao::Variant name1 = std::string("東京都千代田区 Tokyo 営業部");
  const dao::Variant name2 = std::string("ORACLE_CUSTOMER_NAME_0001");
  const dao::Variant note = std::string("備考: short memo");
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = cpuSeconds();
  for (long i = 0; i < rows; ++i) {
    rs->addNew();
    f[0].setValue(static_cast<int32_t>(i));
    f[1].setValue(static_cast<double>(i) * 1.5);
    f[2].setValue(dao::Currency{i * 10000});
    f[3].setValue(dao::Date{45000.0 + static_cast<double>(i % 10000) / 7.0});
    f[4].setValue(i % 2 ? name1 : name2);
    f[5].setValue(note);
    rs->update();
  }
  rs->close();
  const double loop = seconds(start);
  db->close();  // commits the last pages and waits for the disk (fsync)
  const double s = seconds(start);
  const double cpu = cpuSeconds() - cpuStart;
  std::printf("rows: %ld AddNew/Update in %.2f s = %.0f rows/s before Close\n", rows, loop, rows / loop);
  const double mb = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
  size_t pages = 0;
  const double fill = dataPageFill(file, "BENCH", pages);
  std::printf("with Close (fsync): %.2f s = %.0f rows/s, file %.1f MB = %.1f MB/s\n", s, rows / s, mb, mb / s);
  std::printf("cpu: %.2f s = %.0f rows per CPU second (wall time counts other processes on the machine)\n", cpu,
              rows / cpu);
  std::printf("data pages: %zu, fill %.1f %%\n", pages, fill * 100.0);
  std::printf("peak memory after %ld rows: %.1f MiB\n", rows, peakRssKiB() / 1024.0);
}

// Fixed-size rows only: how full pages get when every row has the same length.
void fixedFill(const std::string& file) {
  auto db = jet3::makeJetWorkspace("", "", "")->createDatabase(file, dao::dbLangJapanese);
  dao::TableDef td("FIXED");
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("V", dao::dbDouble));
  td.appendField(td.createField("D", dao::dbDate));
  db->appendTableDef(td);
  auto rs = db->openRecordset("FIXED");
  for (int i = 0; i < 200000; ++i) {
    rs->addNew();
    rs->fields()[0].setValue(int32_t{i});
    rs->fields()[1].setValue(i * 0.5);
    rs->fields()[2].setValue(dao::Date{40000.0 + i});
    rs->update();
  }
  db->close();
  size_t pages = 0;
  std::printf("fixed-size rows (21 bytes): %zu data pages, fill %.1f %%\n", pages,
              dataPageFill(file, "FIXED", pages) * 100.0);
}

// One very large OLE value and one large Memo, each handed over in 1000-byte pieces as a run
// copies them: memory must not grow with the value.
void largeValues(const std::string& file) {
  auto db = jet3::makeJetWorkspace("", "", "")->createDatabase(file, dao::dbLangJapanese);
  dao::TableDef td("BLOBS");
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("PIC", dao::dbLongBinary));
  td.appendField(td.createField("NOTE", dao::dbMemo));
  db->appendTableDef(td);
  auto rs = db->openRecordset("BLOBS");
  const long before = peakRssKiB();
  const auto start = std::chrono::steady_clock::now();
  dao::Bytes piece(1000);
  for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<uint8_t>(i * 7);
  const std::string text = "日本語のメモ ABC ";
  dao::Bytes textPiece;
  while (textPiece.size() < 1000) textPiece.insert(textPiece.end(), text.begin(), text.end());
  rs->addNew();
  rs->fields()[0].setValue(int32_t{1});
  for (int i = 0; i < 256 * 1024; ++i) rs->fields()[1].appendChunk(piece);      // 256 MiB
  for (int i = 0; i < 64 * 1024; ++i) rs->fields()[2].appendChunk(textPiece);   // 64 MiB of UTF-8
  rs->update();
  db->close();
  std::printf("long values: 256 MiB OLE + %.0f MiB memo in %.1f s, peak memory %.1f MiB (was %.1f MiB before)\n",
              64.0 * textPiece.size() / 1000.0, seconds(start), peakRssKiB() / 1024.0, before / 1024.0);
  jet3::JetFileReader reader(file);
  jet3::RowCursor cursor(reader, reader.table("BLOBS"));
  if (cursor.next()) {
    const auto pic = std::get<dao::Bytes>(cursor.value(1));
    bool same = pic.size() == 256u * 1024 * 1000;
    for (size_t i = 0; same && i < pic.size(); i += 4099) same = pic[i] == piece[i % 1000];
    std::printf("OLE value read back: %zu bytes, %s\n", pic.size(), same ? "identical" : "DIFFERENT");
  }
}

void untilTheLimit(const std::string& file) {
  auto ws = jet3::makeJetWorkspace("", "", "");
  auto db = ws->createDatabase(file, dao::dbLangJapanese);
  dao::TableDef td("FULL");
  td.appendField(td.createField("ID", dao::dbLong));
  td.appendField(td.createField("T", dao::dbText, 255));
  db->appendTableDef(td);
  auto rs = db->openRecordset("FULL");
  const dao::Variant text = std::string(250, 'x');
  long stored = 0;
  std::string refusal;
  const auto start = std::chrono::steady_clock::now();
  try {
    for (;; ++stored) {
      rs->addNew();
      rs->fields()[0].setValue(static_cast<int32_t>(stored));
      rs->fields()[1].setValue(text);
      rs->update();
    }
  } catch (const dao::Error& e) {
    refusal = e.description();
  }
  rs->close();
  db->close();
  const uint64_t size = std::filesystem::file_size(file);
  std::printf("1 GB run: %ld rows stored in %.1f s, refused with: %s\n", stored, seconds(start), refusal.c_str());
  std::printf("file size %llu bytes (limit %llu)\n", static_cast<unsigned long long>(size), 1ull << 30);
  // The file after the refusal: every stored row is there.
  jet3::JetFileReader reader(file);
  jet3::RowCursor cursor(reader, reader.table("FULL"));
  long read = 0;
  bool inOrder = true;
  while (cursor.next()) {
    if (std::get<int32_t>(cursor.value(0)) != read) inOrder = false;
    ++read;
  }
  std::printf("read back %ld rows (%s), TDEF row count %u\n", read, inOrder ? "in order" : "OUT OF ORDER",
              reader.table("FULL").def.rowCount);
  std::string cmd = "mdb-ver '" + file + "' && mdb-tables -1 '" + file + "'";
  std::fflush(stdout);
  if (std::system(cmd.c_str()) != 0) std::printf("mdbtools could not read the file\n");
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const bool limit = !(argc > 2 && std::string(argv[2]) == "--no-limit");
  const std::string dir = std::filesystem::temp_directory_path() / "vellicor-write-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  try {
    throughput(dir + "/bench.mdb", rows);
    fixedFill(dir + "/fixed.mdb");
    largeValues(dir + "/blobs.mdb");
    if (limit) untilTheLimit(dir + "/full.mdb");
  } catch (const std::exception& e) {
    std::printf("failed: %s\n", e.what());
    return 1;
  }
  std::filesystem::remove_all(dir);
  return 0;
}
