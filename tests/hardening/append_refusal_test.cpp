// `vellicor run --append` onto files it must not touch: one held by another run, a read-only
// file, a file that is not an Access database, a Jet 4 file. Each is refused with the open
// failure (exit status 1) and the file keeps its bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "dataaccess/dao.h"
#include "dataaccess/jet3/jet_workspace.h"
#include "hardening/hardening_support.h"
#include "support/mdbtools_support.h"
#include "support/writer_support.h"

using namespace vellicor;
using namespace vellicor::hardening;

namespace {

class AppendRefusal : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = dir_.path("demo.sqlite");
    makeDemoSource(source_);
    good_ = dir_.path("good.mdb");
    int code = 0;
    const std::string text = runAppend(good_, false, &code);
    ASSERT_EQ(code, 0) << text;
  }

  // Runs `vellicor run` into out (appending when asked); returns what it printed.
  std::string runAppend(const std::string& out, bool append, int* code) {
    return vellicor::testing::runCommand("VELLICOR_PASSWORD=x " + vellicor::testing::shellQuote(vellicorBinary()) + " run -s " +
                                   vellicor::testing::shellQuote(source_) + " -u demo --select DEPARTMENTS --yes -o " +
                                   vellicor::testing::shellQuote(out) + " --connect " + vellicor::testing::shellQuote(kSqliteTemplate) +
                                   (append ? " --append" : "") + " </dev/null 2>&1",
                               code);
  }

  void expectRefusedUntouched(const std::string& file) {
    const std::string before = fileBytes(file);
    int code = 0;
    const std::string text = runAppend(file, true, &code);
    EXPECT_EQ(code, 1) << text;
    EXPECT_NE(text.find("MDBファイルのオープンに失敗しました。"), std::string::npos) << text;
    EXPECT_TRUE(fileBytes(file) == before) << "the file was changed";
  }

  vellicor::testing::ScratchDir dir_;
  std::string source_, good_;
};

TEST_F(AppendRefusal, AppendingToAGoodFileWorks) {
  // The baseline the refusals are measured against: the same command succeeds on a plain copy.
  const std::string copy = dir_.path("copy.mdb");
  std::filesystem::copy_file(good_, copy);
  int code = 0;
  const std::string text = runAppend(copy, true, &code);
  // DEPARTMENTS exists already, so the append itself fails after opening; what matters is that it
  // got past the open.
  EXPECT_EQ(text.find("MDBファイルのオープンに失敗しました。"), std::string::npos) << text;
}

TEST_F(AppendRefusal, FileHeldByAnotherRun) {
  auto ws = jet3::makeJetWorkspace("", "admin", "");
  auto held = ws->openDatabase(good_, /*exclusive*/ 1);
  expectRefusedUntouched(good_);
  held->close();
}

TEST_F(AppendRefusal, ReadOnlyFile) {
  std::filesystem::permissions(good_, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
  expectRefusedUntouched(good_);
}

TEST_F(AppendRefusal, FilesThatAreNotJet3) {
  const std::string text = dir_.path("notes.mdb");
  {
    std::ofstream out(text, std::ios::binary);
    for (int i = 0; i < 4000; ++i) out << "これは Access のファイルではありません。line " << i << "\n";
  }
  expectRefusedUntouched(text);

  const std::string empty = dir_.path("empty.mdb");
  std::ofstream(empty).close();
  expectRefusedUntouched(empty);

  // A Jet 4 (Access 2000) file: the version byte at 0x14 set to 1.
  const std::string jet4 = dir_.path("jet4.mdb");
  std::filesystem::copy_file(good_, jet4);
  {
    std::fstream f(jet4, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(0x14);
    f.put('\x01');
  }
  EXPECT_EQ(vellicor::testing::runCommand("mdb-ver " + vellicor::testing::shellQuote(jet4) + " 2>&1").substr(0, 4), "JET4");
  expectRefusedUntouched(jet4);

  // A copy cut off after the catalog (21 of 25 pages): its table's data page is missing (and the
  // primary key's leaf and map after it).
  const std::string cutTable = dir_.path("cut-table.mdb");
  std::filesystem::copy_file(good_, cutTable);
  ASSERT_EQ(std::filesystem::file_size(good_), 2048u * 25);
  std::filesystem::resize_file(cutTable, 2048 * 21);
  expectRefusedUntouched(cutTable);

  // The first pages of a real file alone, shorter than any database (cut off).
  const std::string cut = dir_.path("cut.mdb");
  std::filesystem::copy_file(good_, cut);
  std::filesystem::resize_file(cut, 2048 * 12);
  expectRefusedUntouched(cut);
}

}  // namespace
