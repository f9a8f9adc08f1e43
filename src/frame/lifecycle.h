// lifecycle.h: initialisation and shutdown of the library.
//
// Thread-safety: both expect the library lock held.

#ifndef ZARQ_SRC_FRAME_LIFECYCLE_H_
#define ZARQ_SRC_FRAME_LIFECYCLE_H_

#include <cstdint>

namespace zarq {

// The interface version callers must pass.
inline constexpr int32_t kInterfaceVersion = 9200;

// ZARQ1_Initialize without its frame.
int32_t InitializeLibrary(const char* application, const char* user, int32_t version);

// ZARQ1_Shutdown without its frame: 0, -398 when damaged, or the state
// when the library was not initialised.
int32_t ShutdownLibrary();

// True when the system version is one the library runs on.
bool IsSupportedSystemVersion(uint32_t version);

// A number 0..32766 from a generator seeded with seed.
int32_t DrawInstanceTag(uint32_t seed);

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_LIFECYCLE_H_
