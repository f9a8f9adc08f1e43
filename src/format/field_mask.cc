// field_mask.cc: the canonical mask of a field count.
//
// Thread-safety: pure.

#include "src/format/field_mask.h"

namespace zarq {

uint16_t FieldMaskForCount(int32_t count, char period) {
  if (count < kMinFieldCount || count > kMaxFieldCount) return 0;
  // The count lowest bits name DATE, CLOSE, VOL, HIGH, LOW, OPEN, OI, TIME.
  uint16_t mask = static_cast<uint16_t>((1u << count) - 1);
  if (period == 'I' || period == 'i') {
    mask = static_cast<uint16_t>((mask & ~(1u << (count - 1))) | kFieldTime);
  } else {
    mask = static_cast<uint16_t>(mask & ~kFieldTime);
  }
  return mask;
}

}  // namespace zarq
