// posix_sync.cc: locks, events and threads on POSIX systems (pthreads).
//
// Thread-safety: as declared in sync.h.

#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "src/platform/sync.h"

namespace zarq {
namespace {

// Absolute CLOCK_MONOTONIC deadline milliseconds from now.
timespec DeadlineAfter(uint32_t milliseconds) {
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  return deadline;
}

void InitMonotonicCondition(pthread_cond_t* condition) {
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(condition, &attributes);
  pthread_condattr_destroy(&attributes);
}

struct NativeEvent {
  pthread_mutex_t mutex;
  pthread_cond_t condition;
  bool set = false;
};

struct NativeThread {
  pthread_t thread;
  void (*body)(void*);
  void* argument;
  NativeEvent finished;
  std::atomic<int> owners{2};  // the thread and the WorkerThread
};

void ReleaseThread(NativeThread* native) {
  if (native->owners.fetch_sub(1) == 1) {
    pthread_cond_destroy(&native->finished.condition);
    pthread_mutex_destroy(&native->finished.mutex);
    delete native;
  }
}

void* ThreadMain(void* raw) {
  auto* native = static_cast<NativeThread*>(raw);
  native->body(native->argument);
  pthread_mutex_lock(&native->finished.mutex);
  native->finished.set = true;
  pthread_cond_broadcast(&native->finished.condition);
  pthread_mutex_unlock(&native->finished.mutex);
  ReleaseThread(native);
  return nullptr;
}

bool WaitNative(NativeEvent* event, uint32_t milliseconds) {
  timespec deadline = DeadlineAfter(milliseconds);
  pthread_mutex_lock(&event->mutex);
  while (!event->set) {
    if (pthread_cond_timedwait(&event->condition, &event->mutex, &deadline) == ETIMEDOUT) break;
  }
  bool set = event->set;
  pthread_mutex_unlock(&event->mutex);
  return set;
}

}  // namespace

uint64_t CurrentThreadId() {
  // The address of a thread-local object is unique among live threads.
  thread_local char marker;
  return reinterpret_cast<uintptr_t>(&marker);
}

RecursiveMutex::RecursiveMutex() {
  auto* mutex = new pthread_mutex_t;
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  native_ = mutex;
}

RecursiveMutex::~RecursiveMutex() {
  auto* mutex = static_cast<pthread_mutex_t*>(native_);
  pthread_mutex_destroy(mutex);
  delete mutex;
}

void RecursiveMutex::NativeLock() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(native_)); }

bool RecursiveMutex::NativeTryLock() {
  return pthread_mutex_trylock(static_cast<pthread_mutex_t*>(native_)) == 0;
}

void RecursiveMutex::NativeUnlock() {
  pthread_mutex_unlock(static_cast<pthread_mutex_t*>(native_));
}

Event::Event() {
  auto* event = new NativeEvent;
  pthread_mutex_init(&event->mutex, nullptr);
  InitMonotonicCondition(&event->condition);
  native_ = event;
}

Event::~Event() {
  auto* event = static_cast<NativeEvent*>(native_);
  pthread_cond_destroy(&event->condition);
  pthread_mutex_destroy(&event->mutex);
  delete event;
}

void Event::Set() {
  auto* event = static_cast<NativeEvent*>(native_);
  pthread_mutex_lock(&event->mutex);
  event->set = true;
  pthread_cond_broadcast(&event->condition);
  pthread_mutex_unlock(&event->mutex);
}

void Event::Reset() {
  auto* event = static_cast<NativeEvent*>(native_);
  pthread_mutex_lock(&event->mutex);
  event->set = false;
  pthread_mutex_unlock(&event->mutex);
}

bool Event::Wait(uint32_t milliseconds) {
  return WaitNative(static_cast<NativeEvent*>(native_), milliseconds);
}

WorkerThread::~WorkerThread() {
  if (native_ != nullptr) Abandon();
}

bool WorkerThread::Start(void (*body)(void*), void* argument) {
  if (native_ != nullptr) return false;
  auto* native = new NativeThread;
  native->body = body;
  native->argument = argument;
  pthread_mutex_init(&native->finished.mutex, nullptr);
  InitMonotonicCondition(&native->finished.condition);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  int error = pthread_create(&native->thread, &attributes, ThreadMain, native);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    pthread_cond_destroy(&native->finished.condition);
    pthread_mutex_destroy(&native->finished.mutex);
    delete native;
    return false;
  }
  native_ = native;
  return true;
}

bool WorkerThread::Join(uint32_t milliseconds) {
  auto* native = static_cast<NativeThread*>(native_);
  if (native == nullptr) return true;
  if (!WaitNative(&native->finished, milliseconds)) return false;
  pthread_join(native->thread, nullptr);
  native_ = nullptr;
  ReleaseThread(native);
  return true;
}

void WorkerThread::Abandon() {
  auto* native = static_cast<NativeThread*>(native_);
  if (native == nullptr) return;
  // A POSIX thread cannot be stopped safely from outside; it finishes on its
  // own and frees its bookkeeping then.
  pthread_detach(native->thread);
  native_ = nullptr;
  ReleaseThread(native);
}

}  // namespace zarq
