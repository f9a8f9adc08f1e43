// security_handle.h: the 32-bit security handle: the directory number in
// bits 24..31, the composite flag in bit 23, and the security's slot in the
// low bits (1..6000; only bits 0..15 are ever set).
//
// Thread-safety: pure functions.

#ifndef ZARQ_SRC_FILEIO_SECURITY_HANDLE_H_
#define ZARQ_SRC_FILEIO_SECURITY_HANDLE_H_

#include <cstdint>

namespace zarq {

inline constexpr uint32_t kMaxSlot = 6000;
inline constexpr uint32_t kCompositeHandleBit = 0x00800000;

// 0 (no handle) for a directory number below 1 (read as signed 8-bit), a
// slot of 0 or a slot above 6000.
inline uint32_t MakeSecurityHandle(uint8_t directory, uint32_t slot, bool composite) {
  if (static_cast<int8_t>(directory) < 1 || slot == 0 || slot > kMaxSlot) return 0;
  return (((static_cast<uint32_t>(directory) * 2) | (composite ? 1u : 0u)) << 23) | slot;
}

// A handle the library could have handed out: bits 16..22 are never set.
inline bool IsWellFormedHandle(uint32_t handle) { return (handle & 0x007F0000) == 0; }

inline uint8_t DirectoryOfHandle(uint32_t handle) { return static_cast<uint8_t>(handle >> 24); }
inline uint32_t SlotOfHandle(uint32_t handle) { return handle & 0xFFFF; }
inline bool IsCompositeHandle(uint32_t handle) { return (handle & kCompositeHandleBit) != 0; }

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_SECURITY_HANDLE_H_
