// frame_exports.cc: the exported lifecycle functions, the state query, the
// status messages and the frame's private operations (ordinals 201 and
// 217).
//
// Thread-safety: each export runs in the entry frame.

#include <string>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/count_bits.h"
#include "src/frame/entry_frame.h"
#include "src/frame/library_lock.h"
#include "src/frame/library_state.h"
#include "src/frame/lifecycle.h"
#include "src/frame/messages.h"

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

// Works in every library state. The message file is loaded before the
// library lock is taken, so a slow or failing load (which may show a
// message box) never holds up the other calls.
ZARQ_API char* ZARQ_CALL ZARQ1_GetErrorMessage(int32_t status, char* text, uint16_t maxLength) {
  zarq::RunGuarded([] {
    zarq::LoadMessages();
    return int32_t{ZARQ_OK};
  });
  zarq::EnterAnyState([&] {
    zarq::CopyMessage(std::string(), text, maxLength);
    zarq::CopyMessage(zarq::ComposeMessage(status), text, maxLength);
    return int32_t{ZARQ_OK};
  });
  return text;
}

ZARQ_PRIVATE_API int32_t ZARQ_CALL ZARQP_CountBits(uint32_t value) {
  return zarq::EnterAnyState([&] { return zarq::CountBits(value); });
}

ZARQ_PRIVATE_API void ZARQ_CALL ZARQP_LibraryLock(uint32_t mode) {
  zarq::TheLibraryLock().Apply(mode);
}

}  // extern "C"
