// The open-time refusals of a Jet 3 file: size, header page and encryption, with their texts.
// Used by JetFileReader and JetDatabase::open alike.
#include "dataaccess/jet3/open_checks.h"

#include "dataaccess/error.h"
#include "dataaccess/jet3/format.h"

namespace vellicor::jet3 {
namespace {

// The header page, the global map (page 1) and the catalog's definition (page 2).
constexpr uint32_t kFewestPages = 3;

}  // namespace

CheckedFile checkJetFile(FileIo& file, const std::string& path) {
  const uint64_t size = file.size();
  if (size > fmt::kMaxFileBytes) {
    throw dao::Error("ファイル '" + path + "' は Jet 3 の上限 (1 GB) より大きいため、Jet 3 (Access 97) 形式のファイルではありません。",
                     dao::errnum::kUnrecognizedFormat);
  }
  CheckedFile out;
  out.pageCount = static_cast<uint32_t>(size / fmt::kPageSize);
  if (out.pageCount < kFewestPages) {
    throw dao::Error("ファイル '" + path + "' は Jet 3 (Access 97) 形式のファイルではありません (ファイルが短すぎます: " +
                         std::to_string(size) + " バイト)。",
                     dao::errnum::kUnrecognizedFormat);
  }
  uint8_t page0[fmt::kPageSize];
  file.readAt(0, page0, sizeof page0);
  out.header = decodeHeader(page0, sizeof page0);
  if (out.header.databaseKey != 0) {
    throw dao::Error("データベース '" + path + "' は暗号化されているため開けません。", dao::errnum::kNotAValidPassword);
  }
  return out;
}

}  // namespace vellicor::jet3
