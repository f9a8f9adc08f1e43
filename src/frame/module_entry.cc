// module_entry.cc: what the library does when the system loads and unloads
// it.
//
// Loading creates the library lock. Unloading shuts the library down unless
// the whole process is ending with its other threads gone (their locks may
// be held for ever then); it never waits long for a thread still inside the
// library, so an unload can neither hang nor crash.
//
// Thread-safety: runs under the system loader's serialisation.

#include "src/platform/module_entry.h"

#include "src/frame/library_lock.h"
#include "src/frame/library_state.h"
#include "src/frame/lifecycle.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

constexpr uint32_t kUnloadLockWaitMs = 2000;
constexpr uint32_t kUnloadLockPollMs = 10;

}  // namespace

void OnModuleLoad(void* module) {
  LibraryLock& lock = TheLibraryLock();
  lock.Acquire();
  SetModuleHandle(module);
  lock.Release();
}

void OnModuleUnload(bool threads_stopped) {
  if (threads_stopped) return;
  LibraryLock& lock = TheLibraryLock();
  uint32_t start = Os().TickCount();
  while (!lock.TryAcquire()) {
    if (Os().TickCount() - start >= kUnloadLockWaitMs) return;
    Os().Sleep(kUnloadLockPollMs);
  }
  ShutdownLibrary();
  lock.ReleaseFinal();
}

}  // namespace zarq
