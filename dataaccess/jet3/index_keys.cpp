// Index key encoding of Jet 3: the flag byte of each key column, order-preserving byte forms of
// the numeric types, and General sort order text keys.
#include <algorithm>
#include <bit>
#include <cstring>

#include "dataaccess/jet3/general_sort.h"
#include "dataaccess/jet3/index.h"

namespace vellicor::jet3 {
namespace {

constexpr uint8_t kSignBit = 0x80;  // top bit of the first (big-endian) value byte
constexpr uint8_t kBooleanTrue = 0x00;
constexpr uint8_t kBooleanFalse = 0xFF;
constexpr size_t kBinaryChunk = 8;
constexpr uint8_t kBinaryChunkMore = 0x09;

inline uint8_t flag(bool ascending) { return ascending ? fmt::kKeyAscending : fmt::kKeyDescending; }

// Appends the big-endian bytes of v (width bytes), then applies the order transform to them.
void appendBigEndian(std::vector<uint8_t>& key, uint64_t v, int width) {
  for (int i = width - 1; i >= 0; --i) key.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void invertFrom(std::vector<uint8_t>& key, size_t start) {
  for (size_t i = start; i < key.size(); ++i) key[i] = static_cast<uint8_t>(~key[i]);
}

// Two's complement integers: flipping the sign bit makes unsigned byte order equal numeric order.
void appendSigned(std::vector<uint8_t>& key, uint64_t bits, int width, bool ascending) {
  key.push_back(flag(ascending));
  const size_t start = key.size();
  appendBigEndian(key, bits, width);
  key[start] ^= kSignBit;
  if (!ascending) invertFrom(key, start);
}

// IEEE values: non-negative ones get the sign bit set, negative ones are inverted whole, which
// orders them by magnitude the right way round. The sign bit decides, so -0.0 sorts just below 0.0.
void appendFloating(std::vector<uint8_t>& key, uint64_t bits, int width, bool ascending) {
  key.push_back(flag(ascending));
  const size_t start = key.size();
  appendBigEndian(key, bits, width);
  if (key[start] & kSignBit)
    invertFrom(key, start);
  else
    key[start] |= kSignBit;
  if (!ascending) invertFrom(key, start);
}

// Packs nibbles high-first into bytes, padding the last byte with a zero nibble.
class NibbleWriter {
 public:
  void put(uint8_t nibble) {
    if (high_) {
      bytes_.push_back(static_cast<uint8_t>(nibble << 4));
    } else {
      bytes_.back() |= nibble & 0x0F;
    }
    high_ = !high_;
  }
  bool empty() const { return bytes_.empty(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  bool high_ = true;
};

// Binary keys: the bytes in chunks of eight, each chunk followed by a marker that says either
// "more follows" or how many bytes of the (zero-padded) last chunk are real. Descending keys
// invert the chunks and the final count but keep the "more follows" markers as they are (as
// Jet 3.5 writes them).
void appendBinaryChunks(std::vector<uint8_t>& key, const uint8_t* data, size_t size, bool ascending) {
  const uint8_t mask = ascending ? 0x00 : 0xFF;
  size_t i = 0;
  do {
    const size_t n = std::min(kBinaryChunk, size - i);
    for (size_t k = 0; k < kBinaryChunk; ++k) key.push_back((k < n ? data[i + k] : 0) ^ mask);
    i += n;
    key.push_back(i < size ? kBinaryChunkMore : static_cast<uint8_t>(n ^ mask));
  } while (i < size);
}

}  // namespace

void appendNullKey(std::vector<uint8_t>& key, bool ascending) {
  key.push_back(ascending ? fmt::kKeyNullAscending : fmt::kKeyNullDescending);
}

void appendByteKey(std::vector<uint8_t>& key, uint8_t v, bool ascending) {
  key.push_back(flag(ascending));
  key.push_back(ascending ? v : static_cast<uint8_t>(~v));
}

void appendIntegerKey(std::vector<uint8_t>& key, int16_t v, bool ascending) {
  appendSigned(key, static_cast<uint16_t>(v), 2, ascending);
}

void appendLongKey(std::vector<uint8_t>& key, int32_t v, bool ascending) {
  appendSigned(key, static_cast<uint32_t>(v), 4, ascending);
}

void appendCurrencyKey(std::vector<uint8_t>& key, int64_t scaled, bool ascending) {
  appendSigned(key, static_cast<uint64_t>(scaled), 8, ascending);
}

void appendSingleKey(std::vector<uint8_t>& key, float v, bool ascending) {
  appendFloating(key, std::bit_cast<uint32_t>(v), 4, ascending);
}

void appendDoubleKey(std::vector<uint8_t>& key, double v, bool ascending) {
  appendFloating(key, std::bit_cast<uint64_t>(v), 8, ascending);
}

void appendBooleanKey(std::vector<uint8_t>& key, bool v, bool ascending) {
  key.push_back(flag(ascending));
  key.push_back((v == ascending) ? kBooleanTrue : kBooleanFalse);
}

void appendBinaryKey(std::vector<uint8_t>& key, std::string_view bytes, bool ascending) {
  key.push_back(flag(ascending));
  appendBinaryChunks(key, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ascending);
}

// A GUID is stored with its first three fields little-endian (the Windows layout); its key is
// the binary key of its canonical big-endian form.
void appendGuidKey(std::vector<uint8_t>& key, const uint8_t (&guid)[16], bool ascending) {
  const uint8_t canonical[16] = {guid[3], guid[2], guid[1], guid[0], guid[5],  guid[4],  guid[7],  guid[6],
                                 guid[8], guid[9], guid[10], guid[11], guid[12], guid[13], guid[14], guid[15]};
  key.push_back(flag(ascending));
  appendBinaryChunks(key, canonical, sizeof canonical, ascending);
}

// The General key of a text, byte by byte through kGeneralSort97. Letters key case-insensitively
// and without their accents; the accents follow in a nibble stream only when there are any, each
// preceded by one placeholder per significant (accentable) letter since the previous accent.
// Jet 3.5 departs from the published table in two ways, both reproduced here: a NUL byte keys as
// a control character (0x10) instead of being ignored, and a letter that expands to two (ß, Æ,
// æ, Œ, œ) counts as two significant letters.
//
// Text of a CP932 database is keyed the same way, over its bytes: both bytes of a double-byte
// character go through the table. That orders ASCII names exactly as Jet does (Oracle names are
// letters, digits, _ $ #) and gives every text a well-defined key; Japanese characters get keys
// that sort consistently but not in Japanese order, and case folding of trail bytes can give two
// different characters the same key (the index then keeps them apart by row pointer).
void appendTextKeyGeneral(std::vector<uint8_t>& key, std::string_view bytes, bool ascending) {
  using namespace general_key;
  key.push_back(flag(ascending));
  const size_t start = key.size();

  size_t n = bytes.size();
  while (n > 0 && static_cast<uint8_t>(bytes[n - 1]) == kTrailingBlank) --n;
  if (n > kMaxBytes) n = kMaxBytes;

  NibbleWriter accents;
  size_t significant = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = static_cast<uint8_t>(bytes[i]);
    if (b == 0) {
      key.push_back(kNulCode);
      continue;
    }
    const GeneralSortCode& c = kGeneralSort97[b];
    key.insert(key.end(), c.code, c.code + c.length);
    switch (c.kind) {
      case GeneralSortCode::kIgnored:
        break;
      case GeneralSortCode::kPlain:
        if (c.length == 2) significant += 2;
        break;
      case GeneralSortCode::kSignificant:
        ++significant;
        break;
      case GeneralSortCode::kAccented:
        if (accents.empty()) accents.put(kAccentBound);
        for (; significant > 0; --significant) accents.put(kAccentPlaceholder);
        accents.put(c.accent);
        break;
    }
  }
  if (accents.empty()) {
    key.push_back(kEndPlain);
  } else {
    accents.put(kAccentBound);
    key.insert(key.end(), accents.bytes().begin(), accents.bytes().end());
  }
  if (!ascending) invertFrom(key, start);
}

}  // namespace vellicor::jet3
