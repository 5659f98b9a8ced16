// The Unicode data of canonical composition (generated into nfc_table.cpp by
// scripts/gen_nfc_table.py): combining classes, full canonical decompositions, primary composites.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vellicor::text::nfc {

struct CombiningClass {
  char32_t codePoint;
  uint8_t value;
};
struct Decomposition {
  char32_t codePoint;
  uint16_t offset;  // into kDecompositionPool
  uint8_t length;
};
struct Composition {
  char32_t first, second, composite;
};

// Each sorted by code point (compositions by first, then second).
extern const CombiningClass kCombiningClasses[];
extern const size_t kCombiningClassCount;
extern const char32_t kDecompositionPool[];
extern const Decomposition kDecompositions[];
extern const size_t kDecompositionCount;
extern const Composition kCompositions[];
extern const size_t kCompositionCount;

}  // namespace vellicor::text::nfc
