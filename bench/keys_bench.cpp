// The cost of a primary key: writes a 1,000,000-row table of ten columns into a new .mdb, then,
// in a process of its own, opens the file and builds a primary key over it. Prints both times,
// their ratio and the peak resident memory of each process (the key's sort spills to disk past a
// bounded buffer). Each measured step runs in a child process; the best of three rounds counts.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench/support/bench_support.h"
#include "dataaccess/dao.h"

namespace {

using namespace vellicor;
using bench::inChild;
using bench::Measurement;
constexpr int32_t kRows = 1000000;

// Ten columns like a real table's; the key column's values in shuffled order.
void writeTable(const std::string& path) {
  auto ws = dao::DBEngine::instance().createWorkspace("", "admin", "", dao::dbUseJet);
  auto db = ws->createDatabase(path, dao::dbLangJapanese);
  auto def = db->createTableDef("BIG");
  def->appendField(def->createField("ID", dao::dbLong));
  def->appendField(def->createField("C2", dao::dbLong));
  def->appendField(def->createField("C3", dao::dbDouble));
  def->appendField(def->createField("C4", dao::dbText, 20));
  def->appendField(def->createField("C5", dao::dbText, 32));
  def->appendField(def->createField("C6", dao::dbDate));
  def->appendField(def->createField("C7", dao::dbInteger));
  def->appendField(def->createField("C8", dao::dbText, 20));
  def->appendField(def->createField("C9", dao::dbDouble));
  def->appendField(def->createField("C10", dao::dbLong));
  db->appendTableDef(*def);
  auto rs = db->openRecordset("BIG", dao::dbOpenTable);
  std::mt19937 random(3);
  for (int32_t n = 0; n < kRows; ++n) {
    const int32_t id = static_cast<int32_t>((int64_t{n} * 7919) % kRows);  // a permutation: 7919 is prime
    rs->addNew();
    dao::Fields& f = rs->fields();
    f[0].setValue(id);
    f[1].setValue(n % 1000);
    f[2].setValue(n * 1.5);
    f[3].setValue("row " + std::to_string(n));
    f[4].setValue(std::to_string(random()) + std::to_string(random()));
    f[5].setValue(dao::Date{36526.0 + n / 1440.0});
    f[6].setValue(static_cast<int16_t>(n % 30000));
    f[7].setValue("名前" + std::to_string(n % 977));
    f[8].setValue(n / 3.0);
    f[9].setValue(n);
    rs->update();
  }
  rs->close();
  db->close();
  ws->close();
}

void buildKey(const std::string& path) {
  auto ws = dao::DBEngine::instance().createWorkspace("", "admin", "", dao::dbUseJet);
  auto db = ws->openDatabase(path, 1);
  dao::IndexDef key;
  key.name = "PrimaryKey";
  key.columns = {{"ID"}};
  key.primary = key.unique = key.required = true;
  db->appendIndex("BIG", key);
  db->close();
  ws->close();
}

}  // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / "vellicor-keys-bench";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "big.mdb").string();
  double write = 1e300, key = 1e300, writePeak = 0, keyPeak = 0;
  try {
    for (int round = 0; round < 3; ++round) {
      std::filesystem::remove(path);
      const Measurement w = inChild([&] { writeTable(path); return long{kRows}; });
      const Measurement k = inChild([&] { buildKey(path); return long{kRows}; });
      write = std::min(write, w.seconds);
      key = std::min(key, k.seconds);
      writePeak = std::max(writePeak, w.peakMiB);
      keyPeak = std::max(keyPeak, k.peakMiB);
      std::printf("round %d: write %.2f s, primary key %.2f s\n", round + 1, w.seconds, k.seconds);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::printf("rows %d  write %.2f s  primary key %.2f s  key/write %.2f\n", kRows, write, key, key / write);
  std::printf("peak memory: write %.1f MiB, primary key %.1f MiB\n", writePeak, keyPeak);
  std::filesystem::remove_all(dir);
  return 0;
}
