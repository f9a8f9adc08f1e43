// lifecycle.cc: ZARQ1_Initialize and ZARQ1_Shutdown.
//
// Thread-safety: the library lock is held by the caller.

#include "src/frame/lifecycle.h"

#include "include/zarq.h"
#include "src/frame/library_state.h"
#include "src/frame/process_parts.h"
#include "src/platform/platform.h"

namespace zarq {

bool IsSupportedSystemVersion(uint32_t version) {
  uint32_t major = version & 0xFF;
  uint32_t minor = (version >> 8) & 0xFF;
  uint32_t flags = version >> 24;
  if (major < 3) return false;
  if (major == 3 && (minor == 0 || flags == 0x80)) return false;
  return true;
}

int32_t DrawInstanceTag(uint32_t seed) {
  // One step of the classic linear congruential generator.
  uint32_t next = seed * 214013u + 2531011u;
  return static_cast<int32_t>((next >> 16) & 0x7FFF) % 32767;
}

int32_t InitializeLibrary(const char* application, const char* user, int32_t version) {
  if (LibraryStateValue() != ZARQ_STATE_UNINITIALIZED) return ZARQ_STATE_INITIALIZED;
  if (version != kInterfaceVersion) return ZARQ_E_WRONG_VERSION;
  if (!IsSupportedSystemVersion(Os().SystemVersion())) return ZARQ_E_UNSUPPORTED_SYSTEM;

  SetIdentity(application, user);
  // The process id joins the tick count so that two processes started in
  // the same millisecond still draw different tags.
  SetInstanceTag(DrawInstanceTag(Os().TickCount() ^ (Os().ProcessId() << 16)));

  int32_t status = StartProcessParts();
  if (status != ZARQ_OK) return status;
  SetLibraryState(ZARQ_STATE_INITIALIZED);
  return ZARQ_OK;
}

int32_t ShutdownLibrary() {
  int32_t state = CheckedLibraryState();
  if (state == ZARQ_STATE_INITIALIZED) {
    CloseProcessParts();
  } else if (state != ZARQ_STATE_DAMAGED) {
    return state;
  }
  StopProcessParts();
  SetLibraryState(ZARQ_STATE_UNINITIALIZED);
  return LibraryStateValue() == ZARQ_STATE_DAMAGED ? ZARQ_STATE_DAMAGED : ZARQ_OK;
}

}  // namespace zarq
