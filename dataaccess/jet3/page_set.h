// A set of page numbers as a growable bitmap: the in-memory form of every usage map.
// Bounded by the format's page limit (524,288 pages = 64 KiB of bits at most).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "PageSet::exportBits reads its words as bytes");

namespace vellicor::jet3 {

class PageSet {
 public:
  void insert(uint32_t page) {
    if (page / 64 >= words_.size()) words_.resize(page / 64 + 1, 0);
    uint64_t& w = words_[page / 64];
    const uint64_t bit = uint64_t{1} << (page % 64);
    if (!(w & bit)) {
      w |= bit;
      ++count_;
    }
  }
  void erase(uint32_t page) {
    if (page / 64 >= words_.size()) return;
    uint64_t& w = words_[page / 64];
    const uint64_t bit = uint64_t{1} << (page % 64);
    if (w & bit) {
      w &= ~bit;
      --count_;
    }
  }
  bool contains(uint32_t page) const {
    return page / 64 < words_.size() && (words_[page / 64] >> (page % 64) & 1) != 0;
  }
  bool empty() const { return count_ == 0; }
  uint64_t size() const { return count_; }
  void clear() {
    words_.clear();
    count_ = 0;
  }
  // Smallest and largest member; only meaningful when not empty.
  uint32_t first() const {
    for (size_t i = 0; i < words_.size(); ++i)
      if (words_[i]) return static_cast<uint32_t>(i * 64 + __builtin_ctzll(words_[i]));
    return 0;
  }
  uint32_t last() const {
    for (size_t i = words_.size(); i-- > 0;)
      if (words_[i]) return static_cast<uint32_t>(i * 64 + 63 - __builtin_clzll(words_[i]));
    return 0;
  }
  // ORs the membership bits of pages [base, base + bits) into out, bit i (LSB first in each byte)
  // for page base + i: the layout of usage-map bitmaps. base and bits are multiples of 8.
  void exportBits(uint32_t base, uint32_t bits, uint8_t* out) const {
    const size_t firstByte = base / 8, bytes = bits / 8, have = words_.size() * 8;
    const auto* src = reinterpret_cast<const uint8_t*>(words_.data());  // little-endian words
    for (size_t i = 0; i < bytes && firstByte + i < have; ++i) out[i] |= src[firstByte + i];
  }
  // Members in ascending order.
  std::vector<uint32_t> members() const {
    std::vector<uint32_t> out;
    out.reserve(count_);
    for (size_t i = 0; i < words_.size(); ++i)
      for (uint64_t w = words_[i]; w; w &= w - 1) out.push_back(static_cast<uint32_t>(i * 64 + __builtin_ctzll(w)));
    return out;
  }

 private:
  std::vector<uint64_t> words_;
  uint64_t count_ = 0;
};

}  // namespace vellicor::jet3
