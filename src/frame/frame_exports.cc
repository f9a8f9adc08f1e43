// frame_exports.cc: the exported lifecycle functions, the state query and
// the frame's private operations (ordinals 201 and 217).
//
// Thread-safety: each export runs in the entry frame.

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/count_bits.h"
#include "src/frame/entry_frame.h"
#include "src/frame/library_lock.h"
#include "src/frame/library_state.h"
#include "src/frame/lifecycle.h"

extern "C" {

ZARQ_API int32_t ZARQ_CALL ZARQ1_Initialize(const char* application, const char* user,
                                            int32_t version) {
  return zarq::EnterAnyState([&] { return zarq::InitializeLibrary(application, user, version); });
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_Shutdown(void) {
  zarq::EntryFrame frame;
  int32_t status = zarq::RunGuarded([] { return zarq::ShutdownLibrary(); });
  frame.ReleaseFinal();
  return status;
}

ZARQ_API int32_t ZARQ_CALL ZARQ1_GetZARQState(void) {
  return zarq::EnterAnyState([] { return zarq::CheckedLibraryState(); });
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_CountBits(uint32_t value) {
  return zarq::EnterAnyState([&] { return zarq::CountBits(value); });
}

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_LibraryLock(uint32_t mode) {
  zarq::TheLibraryLock().Apply(mode);
}

}  // extern "C"
