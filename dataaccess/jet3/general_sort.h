// The Jet 3 General sort order (0x0409) as data: one entry per code page byte, and the fixed
// bytes and nibbles that frame a General text key.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellicor::jet3 {

struct GeneralSortCode {
  enum Kind : uint8_t {
    kIgnored,      // contributes nothing
    kPlain,        // emits its code bytes
    kSignificant,  // emits its code byte; a base letter that accented letters count back to
    kAccented,     // emits its code byte and records `accent` in the accent nibble stream
  };
  Kind kind;
  uint8_t length;   // code bytes used (0..2)
  uint8_t code[2];
  uint8_t accent;   // accent nibble (kAccented only)
};

// Indexed by the byte value (code page 1252 meaning).
extern const GeneralSortCode kGeneralSort97[256];

namespace general_key {
inline constexpr size_t kMaxBytes = 255;          // longest text part that is keyed
inline constexpr uint8_t kTrailingBlank = 0x20;   // removed from the end before keying
inline constexpr uint8_t kEndPlain = 0x00;        // ends a key without accented letters
inline constexpr uint8_t kAccentBound = 0x0;      // nibble opening and closing the accent stream
inline constexpr uint8_t kAccentPlaceholder = 0x2;  // one per significant letter before an accent
inline constexpr uint8_t kNulCode = 0x10;         // Jet 3.5 keys a NUL byte like other controls
}  // namespace general_key

}  // namespace vellicor::jet3
