// Text conversion between the program's UTF-8 and the single- and double-byte code pages that
// Jet 3 stores and Windows tools write (932 for our files, 1252 in most files made elsewhere).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellicor::text {

// Code page ids as Jet stores them.
inline constexpr uint16_t kCodePage932 = 932;
inline constexpr uint16_t kCodePage1252 = 1252;

class CodePage {
 public:
  // The converter for a code page id (932, 1252; other ids read as 1252). Built once, shared.
  static const CodePage& forId(uint16_t codePage);

  uint16_t id() const { return id_; }
  // UTF-8 -> code page bytes, appended to out. Letters followed by combining marks are composed
  // first (nfc.h: か + U+3099 is stored as が). A character the code page cannot hold (or an
  // invalid UTF-8 sequence) becomes '?' and is counted in the return value. The usual
  // Unicode-to-Shift_JIS variants (U+301C WAVE DASH -> the full-width tilde's bytes, U+2016,
  // U+2212, U+00A2, U+00A3, U+00AC ...) map to the bytes users expect.
  size_t encode(std::string_view utf8, std::string& out) const;
  // Code page bytes -> UTF-8, appended to out; bytes that are not valid become U+FFFD.
  virtual void decode(std::string_view bytes, std::string& out) const = 0;
  virtual ~CodePage() = default;

 protected:
  explicit CodePage(uint16_t id) : id_(id) {}
  // encode() of text that is already composed.
  virtual size_t encodeComposed(std::string_view utf8, std::string& out) const = 0;

 private:
  uint16_t id_;
};

}  // namespace vellicor::text
