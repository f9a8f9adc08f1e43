// little_endian.h: explicit little-endian encoding and decoding of the
// integers and floats of the library's file formats. Every byte layout is
// read and written through these, at named offsets; no structure is ever
// cast over a buffer.
//
// Thread-safety: pure functions.

#ifndef ZARQ_SRC_FRAME_LITTLE_ENDIAN_H_
#define ZARQ_SRC_FRAME_LITTLE_ENDIAN_H_

#include <bit>
#include <cstdint>
#include <cstring>

namespace zarq {

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int16_t GetI16(const uint8_t* p) { return static_cast<int16_t>(GetU16(p)); }
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline float GetF32(const uint8_t* p) { return std::bit_cast<float>(GetU32(p)); }

inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline void PutI16(uint8_t* p, int16_t v) { PutU16(p, static_cast<uint16_t>(v)); }
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline void PutF32(uint8_t* p, float v) { PutU32(p, std::bit_cast<uint32_t>(v)); }

// A string field of size bytes: at most size - 1 characters, NUL, zeros.
inline void PutText(uint8_t* p, size_t size, const char* text) {
  size_t length = text != nullptr ? strnlen(text, size - 1) : 0;
  if (length > 0) std::memcpy(p, text, length);
  std::memset(p + length, 0, size - length);
}

// Reads a string field of size bytes into out (size + 1 bytes), always
// terminated even when the field lacks its NUL.
inline void GetText(const uint8_t* p, size_t size, char* out) {
  size_t length = strnlen(reinterpret_cast<const char*>(p), size);
  std::memcpy(out, p, length);
  std::memset(out + length, 0, size + 1 - length);
}

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_LITTLE_ENDIAN_H_
