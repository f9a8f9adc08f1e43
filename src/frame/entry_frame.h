// entry_frame.h: the frame every exported function runs in.
//
// An export takes the library lock before anything else and releases it
// exactly once on every path; no C++ exception crosses the C boundary. The
// usual form is
//
//   int32_t ZARQ_CALL ZARQ1_Something(...) {
//     return zarq::EnterInitialized([&] { return zarq::DoSomething(...); });
//   }
//
// and EnterAnyState for the few operations that work in every library state
// (they call RequireInitialized themselves where they need it, for example
// after clearing their outputs).
//
// Thread-safety: the frame is the serialisation of the library.

#ifndef ZARQ_SRC_FRAME_ENTRY_FRAME_H_
#define ZARQ_SRC_FRAME_ENTRY_FRAME_H_

#include <cstdint>
#include <new>

#include "include/zarq.h"
#include "src/frame/library_lock.h"
#include "src/frame/library_state.h"

namespace zarq {

// Holds the library lock for its scope.
class EntryFrame {
 public:
  EntryFrame() { TheLibraryLock().Acquire(); }
  ~EntryFrame() {
    if (!released_) TheLibraryLock().Release();
  }
  EntryFrame(const EntryFrame&) = delete;
  EntryFrame& operator=(const EntryFrame&) = delete;

  // Leaves with a final release (shutdown only); the destructor then does
  // nothing more.
  void ReleaseFinal() {
    TheLibraryLock().ReleaseFinal();
    released_ = true;
  }

 private:
  bool released_ = false;
};

// Runs body, turning an escaping allocation failure into a status.
template <typename Body>
int32_t RunGuarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ZARQ_E_OUT_OF_MEMORY;
  } catch (...) {
    return ZARQ_E_OUT_OF_MEMORY;
  }
}

// Entry frame of an operation that works in every library state.
template <typename Body>
int32_t EnterAnyState(Body&& body) noexcept {
  EntryFrame frame;
  return RunGuarded(body);
}

// Entry frame of an operation that needs the initialised library: in any
// other state it returns the state.
template <typename Body>
int32_t EnterInitialized(Body&& body) noexcept {
  EntryFrame frame;
  int32_t state = RequireInitialized();
  if (state != ZARQ_OK) return state;
  return RunGuarded(body);
}

}  // namespace zarq

#endif  // ZARQ_SRC_FRAME_ENTRY_FRAME_H_
