// count_bits.h: the number of bits set in a value (the field count of a
// field mask, four bytes each in a stored price record).
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FRAME_COUNT_BITS_H_
#define ZARQ_SRC_FRAME_COUNT_BITS_H_

#include <bit>
#include <cstdint>

namespace zarq {

inline int32_t CountBits(uint32_t value) { return std::popcount(value); }

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_COUNT_BITS_H_
