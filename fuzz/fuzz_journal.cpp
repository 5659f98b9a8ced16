// Fuzz target: the commit journal's decoder on arbitrary bytes (as found beside a database after a
// crash), as they are and with their checksum made right, so that the decoder's checks of the
// contents are reached too. A journal of the current version must encode back to the very bytes it
// came from; one of the first version (a whole-page hash per image) is only read, never written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dataaccess/jet3/journal.h"

namespace {

// The magic of the journal's first version.
constexpr char kFirstVersionMagic[8] = {'V', 'L', 'C', 'J', 'R', 'N', 'L', '1'};

void decodeAndCompare(const uint8_t* data, size_t size) {
  const auto journal = vellicor::jet3::decodeJournal(data, size);
  if (!journal) return;
  const bool firstVersion = size >= sizeof kFirstVersionMagic && std::memcmp(data, kFirstVersionMagic, sizeof kFirstVersionMagic) == 0;
  if (firstVersion) return;
  const std::vector<uint8_t> again = vellicor::jet3::encodeJournal(*journal);
  if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  decodeAndCompare(data, size);
  constexpr size_t kTrailer = 8;
  if (size >= kTrailer) {
    std::vector<uint8_t> sealed(data, data + size);
    const uint64_t h = vellicor::jet3::journalHash(sealed.data(), size - kTrailer);
    for (size_t i = 0; i < kTrailer; ++i) sealed[size - kTrailer + i] = static_cast<uint8_t>(h >> (8 * i));
    decodeAndCompare(sealed.data(), sealed.size());
  }
  return 0;
}
