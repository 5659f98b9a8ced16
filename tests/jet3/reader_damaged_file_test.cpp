// Damaged and foreign input for the reader: truncated files, garbage pages, loops in LVAL chains,
// impossible TDEFs and random corruption must all end in dao::Error, never a crash or a hang.
#include <gtest/gtest.h>

#include <optional>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/index_check.h"
#include "dataaccess/jet3/jet_file_reader.h"
#include "dataaccess/jet3/read_le.h"
#include "dataaccess/jet3/read_long_value.h"
#include "support/mdbtools_support.h"

namespace vellicor::jet3 {
namespace {

using Bytes = std::vector<unsigned char>;

std::string reference(const char* name) { return std::string(VELLICOR_REFERENCE_DIR) + "/" + name; }

// A scratch copy of a file, removed at the end of the test.
class ScratchFile {
 public:
  explicit ScratchFile(const Bytes& content) {
    path_ = (std::filesystem::temp_directory_path() /
             ("vellicor_reader_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++) + ".mdb"))
                .string();
    write(content);
  }
  ~ScratchFile() { std::filesystem::remove(path_); }
  void write(const Bytes& content) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
  }
  const std::string& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::string path_;
};

// Reads everything a caller can reach: catalog, every table definition, every row and value.
void readEverything(const std::string& path) {
  JetFileReader reader(path);
  for (const CatalogEntry& e : reader.catalog()) {
    if (!e.isLocalTable()) continue;
    RowCursor cursor(reader, reader.table(e.name));
    while (cursor.next()) cursor.values();
  }
}

// The file offset of a table's first row that has a non-null long value in column `column`, and
// that field's bytes.
struct LongField {
  size_t fileOffset = 0;
  Bytes field;
};
LongField findLongValue(const std::string& path, const std::string& table, const std::string& column,
                        uint32_t kind) {
  JetFileReader reader(path);
  const TableInfo info = reader.table(table);
  size_t c = 0;
  while (info.def.columns[c].name != column) ++c;
  RowCursor cursor(reader, info);
  while (cursor.next()) {
    const FieldBytes& f = cursor.fields()[c];
    if (!f.present || (loadU32(f.data) & fmt::kLvKindMask) != kind) continue;
    const uint32_t page = fmt::pointerPage(cursor.dataPointer());
    const RowSlot slot = rowSlot(*reader.page(page), page, fmt::pointerRow(cursor.dataPointer()), true);
    LongField out;
    out.fileOffset = size_t{page} * fmt::kPageSize + slot.start + static_cast<size_t>(f.data - cursor.rowBytes().data());
    out.field.assign(f.data, f.data + f.size);
    return out;
  }
  ADD_FAILURE() << "no such long value";
  return {};
}

// File offset of the first byte of row `ptr`.
size_t rowOffset(const Bytes& file, uint32_t ptr) {
  const uint8_t* page = file.data() + size_t{fmt::pointerPage(ptr)} * fmt::kPageSize;
  return size_t{fmt::pointerPage(ptr)} * fmt::kPageSize +
         (loadU16(page + fmt::kDataRowTable + 2 * fmt::pointerRow(ptr)) & fmt::kRowOffsetMask);
}

TEST(ReaderDamagedFile, ShortAndForeignFilesAreRefusedAtOpen) {
  const Bytes nwind = testing::readWholeFile(reference("nwind.mdb"));
  ScratchFile tiny(Bytes(nwind.begin(), nwind.begin() + 1000));
  EXPECT_THROW(JetFileReader{tiny.path()}, dao::Error);
  ScratchFile empty(Bytes{});
  EXPECT_THROW(JetFileReader{empty.path()}, dao::Error);
  ScratchFile text(Bytes(3 * fmt::kPageSize, 'A'));
  try {
    JetFileReader reader(text.path());
    ADD_FAILURE() << "text file accepted";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("Jet 3 (Access 97) 形式のファイルではありません"), std::string::npos);
  }
  EXPECT_THROW(JetFileReader{"/nonexistent/dir/file.mdb"}, dao::Error);
  EXPECT_THROW(JetFileReader{"/tmp"}, dao::Error);
}

TEST(ReaderDamagedFile, EncryptedAndJet4FilesAreRefusedWithTheirReason) {
  Bytes file = testing::readWholeFile(reference("size97.mdb"));
  DatabaseHeader h = decodeHeader(file.data(), file.size());
  h.databaseKey = 0x12345678;
  const HeaderPage encrypted = encodeHeader(h);
  std::copy(encrypted.begin(), encrypted.end(), file.begin());
  ScratchFile f(file);
  try {
    JetFileReader reader(f.path());
    ADD_FAILURE() << "encrypted file accepted";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("暗号化"), std::string::npos) << e.description();
  }
  file[fmt::kHdrVersion] = 0x01;
  f.write(file);
  try {
    JetFileReader reader(f.path());
    ADD_FAILURE() << "Jet 4 file accepted";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("Access 2000"), std::string::npos) << e.description();
  }
}

TEST(ReaderDamagedFile, TruncatedFileGivesErrorWhenMissingPagesAreReached) {
  const Bytes nwind = testing::readWholeFile(reference("nwind.mdb"));
  // Cut at several points, including mid-page: every read either completes or reports dao::Error.
  int refused = 0;
  for (size_t cut : {nwind.size() / 2, nwind.size() / 3 + 1000, nwind.size() - fmt::kPageSize, size_t{20} * fmt::kPageSize}) {
    ScratchFile f(Bytes(nwind.begin(), nwind.begin() + static_cast<long>(cut)));
    try {
      readEverything(f.path());
    } catch (const dao::Error& e) {
      ++refused;
      EXPECT_FALSE(e.description().empty());
    }
  }
  EXPECT_EQ(refused, 4);
}

// The kind of the dao::Error that f throws; fails the test when it throws none.
template <typename F>
std::optional<dao::ErrorKind> failureKind(F f) {
  try {
    f();
  } catch (const dao::Error& e) {
    return e.kind();
  }
  ADD_FAILURE() << "no error";
  return std::nullopt;
}

TEST(ReaderDamagedFile, GarbagePagesGiveErrors) {
  const Bytes original = testing::readWholeFile(reference("nwind.mdb"));
  JetFileReader reader(reference("nwind.mdb"));
  const TableInfo orders = reader.table("Orders");
  const std::vector<uint32_t> pages = reader.usageMap(orders.def.ownedMap);
  ASSERT_FALSE(pages.empty());
  // A data page overwritten with 0xFF: the slot table is impossible.
  Bytes damaged = original;
  std::fill(damaged.begin() + pages[0] * fmt::kPageSize + 1, damaged.begin() + (pages[0] + 1) * fmt::kPageSize, 0xFF);
  damaged[pages[0] * fmt::kPageSize] = fmt::kPageData;
  storeU32(&damaged[pages[0] * fmt::kPageSize + fmt::kDataOwner], orders.tdefPage);
  ScratchFile f(damaged);
  JetFileReader bad(f.path());
  RowCursor cursor(bad, bad.table("Orders"));
  // Told apart from input/output failures and limits: the file itself is damaged.
  EXPECT_EQ(failureKind([&] {
              while (cursor.next()) cursor.values();
            }),
            dao::ErrorKind::kDamagedFile);
  // The TDEF page itself overwritten with garbage.
  Bytes tdef = original;
  std::mt19937 rng(7);
  for (size_t i = 1; i < fmt::kPageSize; ++i) tdef[orders.tdefPage * fmt::kPageSize + i] = static_cast<uint8_t>(rng());
  ScratchFile g(tdef);
  JetFileReader bad2(g.path());
  EXPECT_EQ(failureKind([&] { bad2.table("Orders"); }), dao::ErrorKind::kDamagedFile);
}

TEST(ReaderDamagedFile, LoopInLvalChainIsDetected) {
  const std::string path = reference("nwind.mdb");
  const LongField lf = findLongValue(path, "Categories", "Picture", 0);  // a chained OLE value
  ASSERT_EQ(lf.field.size(), fmt::kLongValueHeaderSize);
  Bytes file = testing::readWholeFile(path);
  // Point the second piece back at the first one.
  const uint32_t first = loadU32(lf.field.data() + 4);
  const uint32_t second = loadU32(&file[rowOffset(file, first)]);
  ASSERT_NE(second, 0u);
  storeU32(&file[rowOffset(file, second)], first);
  ScratchFile f(file);
  JetFileReader reader(f.path());
  try {
    readLongValue(reader, lf.field.data(), lf.field.size());
    ADD_FAILURE() << "loop not detected";
  } catch (const dao::Error& e) {
    EXPECT_NE(e.description().find("循環"), std::string::npos) << e.description();
  }
  // A chain that ends before the announced length, and a length beyond the file.
  Bytes shortChain = testing::readWholeFile(path);
  storeU32(&shortChain[rowOffset(shortChain, second)], 0);
  ScratchFile g(shortChain);
  JetFileReader reader2(g.path());
  EXPECT_THROW(readLongValue(reader2, lf.field.data(), lf.field.size()), dao::Error);
  Bytes huge = lf.field;
  storeU32(huge.data(), fmt::kLvLengthMask);  // 1 GB, chained
  EXPECT_THROW(readLongValue(reader2, huge.data(), huge.size()), dao::Error);
}

TEST(ReaderDamagedFile, SingleRowAndInlineValuesAreBoundsChecked) {
  JetFileReader reader(reference("nwind.mdb"));
  Bytes inlineField(fmt::kLongValueHeaderSize + 4, 0);
  storeU32(inlineField.data(), fmt::kLvInline | 100);  // claims 100 bytes, has 4
  EXPECT_THROW(readLongValue(reader, inlineField.data(), inlineField.size()), dao::Error);
  storeU32(inlineField.data(), fmt::kLvInline | 4);
  EXPECT_EQ(readLongValue(reader, inlineField.data(), inlineField.size()).size(), 4u);
  Bytes single(fmt::kLongValueHeaderSize, 0);
  storeU32(single.data(), fmt::kLvSingleRow | 10);
  storeU32(single.data() + 4, fmt::rowPointer(reader.pageCount() + 5, 0));  // page past the end
  EXPECT_THROW(readLongValue(reader, single.data(), single.size()), dao::Error);
  storeU32(single.data() + 4, fmt::rowPointer(18, 250));  // no such row
  EXPECT_THROW(readLongValue(reader, single.data(), single.size()), dao::Error);
  EXPECT_THROW(readLongValue(reader, single.data(), 5), dao::Error);  // field shorter than its header
}

TEST(ReaderDamagedFile, TdefClaimingMoreColumnsThanFitIsRefused) {
  const std::string path = reference("testV1997.mdb");
  Bytes file = testing::readWholeFile(path);
  JetFileReader reader(path);
  const TableInfo t = reader.table("Table1");
  storeU16(&file[t.tdefPage * fmt::kPageSize + fmt::kTdefColumns], 250);
  ScratchFile f(file);
  JetFileReader bad(f.path());
  EXPECT_THROW(bad.table("Table1"), dao::Error);
  // A continuation chain that loops back to the first page.
  Bytes loop = testing::readWholeFile(path);
  const TableInfo wide = reader.table("Table2");
  ASSERT_EQ(wide.tdefPages.size(), 2u);
  storeU32(&loop[wide.tdefPages[0] * fmt::kPageSize + fmt::kTdefLength], 3 * fmt::kPageSize);
  storeU32(&loop[wide.tdefPages[1] * fmt::kPageSize + fmt::kTdefNextPage], wide.tdefPages[0]);
  ScratchFile g(loop);
  JetFileReader bad2(g.path());
  EXPECT_THROW(bad2.table("Table2"), dao::Error);
}

TEST(ReaderDamagedFile, RowsWithImpossibleOffsetsAreRefused) {
  const std::string path = reference("testV1997.mdb");
  JetFileReader reader(path);
  const TableInfo t = reader.table("Table1");
  RowCursor cursor(reader, t);
  ASSERT_TRUE(cursor.next());
  const Bytes row = cursor.rowBytes();
  // Column count 0xFF: the null mask would be 32 bytes; offsets of the variable columns garbage.
  Bytes bad = row;
  bad[0] = 0xFF;
  EXPECT_THROW(splitRow(t.def, bad.data(), bad.size(), "test"), dao::Error);
  Bytes badOffset = row;
  const size_t mask = (row[0] + 7) / 8;
  badOffset[row.size() - mask - 2] = 0xF0;  // offset of variable column 0 beyond the row
  EXPECT_THROW(splitRow(t.def, badOffset.data(), badOffset.size(), "test"), dao::Error);
  EXPECT_THROW(splitRow(t.def, row.data(), 0, "test"), dao::Error);
  // The untouched row still splits.
  EXPECT_NO_THROW(splitRow(t.def, row.data(), row.size(), "test"));
}

// Random corruption of small files: whatever happens must be a dao::Error or a clean read, for the
// reader and for the index walker. VELLICOR_FUZZ_TRIALS raises the number of trials per file.
TEST(ReaderDamagedFile, RandomCorruptionNeverCrashes) {
  const char* env = std::getenv("VELLICOR_FUZZ_TRIALS");
  const int trials = env ? std::max(1, std::atoi(env)) : 60;
  std::mt19937 rng(env ? static_cast<unsigned>(std::time(nullptr)) : 20261207u);
  int errors = 0, clean = 0;
  for (const char* name : {"testV1997.mdb", "test2V1997.mdb", "size97.mdb", "indexTestV1997.mdb"}) {
    const Bytes original = testing::readWholeFile(reference(name));
    ScratchFile f(original);
    for (int trial = 0; trial < trials; ++trial) {
      Bytes damaged = original;
      const int hits = 1 + static_cast<int>(rng() % 40);
      for (int h = 0; h < hits; ++h) {
        // Aim at the interesting pages (catalog, TDEFs, maps) more often than at the rest.
        const size_t page = (rng() % 2) ? rng() % 32 : rng() % (damaged.size() / fmt::kPageSize);
        if (page == 0) continue;
        damaged[page * fmt::kPageSize + rng() % fmt::kPageSize] = static_cast<uint8_t>(rng());
      }
      f.write(damaged);
      try {
        readEverything(f.path());
        ++clean;
      } catch (const dao::Error&) {
        ++errors;
      }
      try {
        JetFileReader reader(f.path());
        checkAllIndexes(reader);  // reports faults; throws only when the catalog is unreadable
      } catch (const dao::Error&) {
      }
    }
  }
  EXPECT_GT(errors, 0);
  EXPECT_EQ(errors + clean, 4 * trials);
}

}  // namespace
}  // namespace vellicor::jet3
