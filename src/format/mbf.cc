// mbf.cc: conversions between IEEE singles and the stored MBF single.
//
// Everything works on bit patterns so that no value passes through
// floating-point registers that could change a NaN or a denormal.
//
// Thread-safety: pure.

#include "src/format/mbf.h"

#include <bit>

namespace zarq {
namespace {

constexpr uint32_t kExponentMask = 0x7F800000u;
constexpr uint32_t kMantissaMask = 0x007FFFFFu;
constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kLargestFinite = 0x7F7FFFFFu;

// The largest IEEE exponent field the MBF exponent byte (exponent + 2) holds.
constexpr uint32_t kLargestStorableExponent = 253;

}  // namespace

void IeeeToMbf(float value, uint8_t out[kMbfSize]) {
  uint32_t bits = std::bit_cast<uint32_t>(value);
  uint32_t exponent = (bits & kExponentMask) >> 23;
  uint32_t mantissa = bits & kMantissaMask;
  if (exponent == 0 || exponent > kLargestStorableExponent) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  out[0] = static_cast<uint8_t>(mantissa);
  out[1] = static_cast<uint8_t>(mantissa >> 8);
  out[2] = static_cast<uint8_t>(((bits & kSignBit) ? 0x80 : 0) | (mantissa >> 16));
  out[3] = static_cast<uint8_t>(exponent + 2);
}

float MbfToIeee(const uint8_t in[kMbfSize], int32_t clamp_mode) {
  uint32_t exponent = in[3];
  // The two smallest stored exponents would be IEEE denormals; they read as
  // zero like the stored zero itself.
  if (exponent <= 2) return 0.0f;
  uint32_t bits = ((in[2] & 0x80u) ? kSignBit : 0) | ((exponent - 2) << 23) |
                  (static_cast<uint32_t>(in[2] & 0x7F) << 16) |
                  (static_cast<uint32_t>(in[1]) << 8) | in[0];
  return SanitizeFloat(std::bit_cast<float>(bits), clamp_mode);
}

float SanitizeFloat(float value, int32_t clamp_mode) {
  uint32_t bits = std::bit_cast<uint32_t>(value);
  uint32_t exponent = bits & kExponentMask;
  uint32_t mantissa = bits & kMantissaMask;
  if (exponent == 0 && mantissa != 0) return 0.0f;
  if (exponent == kExponentMask) {
    if (mantissa != 0) return 0.0f;
    value = std::bit_cast<float>(kLargestFinite | (bits & kSignBit));
  }
  if (clamp_mode == kClampNone) return value;
  // Compared in double so that the bounds are exact; stored back as
  // singles they round up to 2^31 and 2^32.
  double low = clamp_mode == kClampSigned ? -2147483648.0 : 0.0;
  double high = clamp_mode == kClampSigned ? 2147483647.0 : 4294967295.0;
  double x = value;
  if (x < low) return static_cast<float>(low);
  if (x > high) return static_cast<float>(high);
  return value;
}

}  // namespace zarq
