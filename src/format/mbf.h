// mbf.h: the stored float of data files and MASTER dates, a 4-byte
// Microsoft Binary Format single, and the clean-up of IEEE singles that
// come from files.
//
// MBF layout (little-endian): bytes 0-1 the low 16 mantissa bits, byte 2
// the sign (bit 7) and the high 7 mantissa bits, byte 3 the exponent biased
// two above the IEEE one, 0 meaning zero. 1.0 is 00 00 00 81.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_FORMAT_MBF_H_
#define ZARQ_SRC_FORMAT_MBF_H_

#include <cstdint>

namespace zarq {

inline constexpr int kMbfSize = 4;

// How SanitizeFloat (and MbfToIeee) bound a value after cleaning it.
enum ClampMode : int32_t {
  kClampNone = 0,
  kClampSigned = 1,    // into [-2^31, 2^31 - 1] (upper bound stored as 2^31)
  kClampUnsigned = 2,  // into [0, 2^32 - 1] (upper bound stored as 2^32); also any other mode
};

// The 4 MBF bytes of value. Zero, denormals, and magnitudes of 2^127 and
// above (infinities and NaN included) are stored as four zero bytes; the
// sign of zero is not kept. Every other value converts exactly.
void IeeeToMbf(float value, uint8_t out[kMbfSize]);

// The IEEE single of 4 MBF bytes, then SanitizeFloat with clamp_mode. An
// exponent byte of 0, 1 or 2 gives +0.0.
float MbfToIeee(const uint8_t in[kMbfSize], int32_t clamp_mode);

// Cleans a single read from a file: a denormal or NaN becomes +0.0, an
// infinity the largest finite single; then clamp_mode bounds it.
float SanitizeFloat(float value, int32_t clamp_mode);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_MBF_H_
