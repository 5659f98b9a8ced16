// Hand edits of a Jet 3 file's bytes for the damage tests: pages, usage-map rows and their bits
// (inline or through bitmap pages), the global map's free bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vellicor::testing {

class PageEdit {
 public:
  // The bytes of the file at path (throws std::runtime_error when it cannot be read).
  explicit PageEdit(const std::string& path);
  // Writes the bytes (as edited) to path.
  void save(const std::string& path) const;

  std::vector<unsigned char>& bytes() { return bytes_; }
  uint32_t pageCount() const { return static_cast<uint32_t>(bytes_.size() / 2048); }
  uint8_t* at(uint32_t page, size_t offset = 0);
  // The bytes of the usage-map row at rowPointer (page * 256 + row).
  uint8_t* mapRow(uint32_t rowPointer);
  // Whether the map row lists page, and setting it (the page must lie in the row's range).
  bool member(uint8_t* row, uint32_t page);
  void setMember(uint8_t* row, uint32_t page, bool on);
  // The global map (page 1 row 0): bit set = free.
  uint8_t* globalMap() { return mapRow(0x100); }
  void setFree(uint32_t page, bool free) { setMember(globalMap(), page, free); }

 private:
  std::pair<uint8_t*, uint8_t> bit(uint8_t* row, uint32_t page);
  std::vector<unsigned char> bytes_;
};

}  // namespace vellicor::testing
