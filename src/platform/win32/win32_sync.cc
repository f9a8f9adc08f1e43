// win32_sync.cc: locks, events and threads on Windows.
//
// Thread-safety: as declared in sync.h.

#include <windows.h>

#include "src/platform/sync.h"

namespace zarq {
namespace {

struct NativeThread {
  HANDLE thread = nullptr;
  void (*body)(void*) = nullptr;
  void* argument = nullptr;
};

// The thread takes a reference to the module holding this code and gives it
// back only as it exits, so FreeLibrary cannot unmap the code it runs.
DWORD WINAPI ThreadMain(LPVOID raw) {
  auto* native = static_cast<NativeThread*>(raw);
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ThreadMain),
                     &module);
  native->body(native->argument);
  if (module != nullptr) FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

uint64_t CurrentThreadId() { return GetCurrentThreadId(); }

RecursiveMutex::RecursiveMutex() {
  auto* section = new CRITICAL_SECTION;
  InitializeCriticalSection(section);
  native_ = section;
}

RecursiveMutex::~RecursiveMutex() {
  auto* section = static_cast<CRITICAL_SECTION*>(native_);
  DeleteCriticalSection(section);
  delete section;
}

void RecursiveMutex::NativeLock() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(native_)); }

bool RecursiveMutex::NativeTryLock() {
  return TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(native_)) != 0;
}

void RecursiveMutex::NativeUnlock() {
  LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(native_));
}

Event::Event() { native_ = CreateEventA(nullptr, TRUE, FALSE, nullptr); }

Event::~Event() {
  if (native_ != nullptr) CloseHandle(static_cast<HANDLE>(native_));
}

void Event::Set() { SetEvent(static_cast<HANDLE>(native_)); }

void Event::Reset() { ResetEvent(static_cast<HANDLE>(native_)); }

bool Event::Wait(uint32_t milliseconds) {
  return WaitForSingleObject(static_cast<HANDLE>(native_), milliseconds) == WAIT_OBJECT_0;
}

WorkerThread::~WorkerThread() {
  if (native_ != nullptr) Abandon();
}

bool WorkerThread::Start(void (*body)(void*), void* argument) {
  if (native_ != nullptr) return false;
  auto* native = new NativeThread;
  native->body = body;
  native->argument = argument;
  native->thread = CreateThread(nullptr, 64 * 1024, ThreadMain, native, 0, nullptr);
  if (native->thread == nullptr) {
    delete native;
    return false;
  }
  native_ = native;
  return true;
}

bool WorkerThread::Join(uint32_t milliseconds) {
  auto* native = static_cast<NativeThread*>(native_);
  if (native == nullptr) return true;
  if (WaitForSingleObject(native->thread, milliseconds) != WAIT_OBJECT_0) return false;
  CloseHandle(native->thread);
  delete native;
  native_ = nullptr;
  return true;
}

void WorkerThread::Abandon() {
  auto* native = static_cast<NativeThread*>(native_);
  if (native == nullptr) return;
  TerminateThread(native->thread, 1);
  CloseHandle(native->thread);
  // The terminated thread may still have been reading its start block.
  native_ = nullptr;
}

}  // namespace zarq
