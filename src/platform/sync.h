// sync.h: the locks, events and threads of the library, one implementation
// per system (the Windows compilers we use have no std::thread or std::mutex).
//
// Thread-safety: each type is safe for use from several threads as its
// comments say.

#ifndef ZARQ_SRC_PLATFORM_SYNC_H_
#define ZARQ_SRC_PLATFORM_SYNC_H_

#include <atomic>
#include <cstdint>

namespace zarq {

// An identifier of the calling thread, never 0.
uint64_t CurrentThreadId();

// A re-entrant mutual exclusion lock that knows its owner, so that an unlock
// by a thread that does not hold it is refused instead of corrupting it.
class RecursiveMutex {
 public:
  RecursiveMutex();
  ~RecursiveMutex();
  RecursiveMutex(const RecursiveMutex&) = delete;
  RecursiveMutex& operator=(const RecursiveMutex&) = delete;

  void Lock();
  bool TryLock();
  // Leaves once. Returns false, doing nothing, when the calling thread does
  // not hold the lock.
  bool Unlock();
  bool HeldByCurrentThread() const;
  // How often the holder has entered; meaningful only to the holder.
  uint32_t depth() const { return depth_; }

 private:
  void NativeLock();
  bool NativeTryLock();
  void NativeUnlock();

  void* native_;
  std::atomic<uint64_t> owner_{0};
  uint32_t depth_ = 0;  // guarded by the lock itself
};

// Holds a RecursiveMutex for the lifetime of the scope.
class MutexLock {
 public:
  explicit MutexLock(RecursiveMutex* mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() { mutex_->Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  RecursiveMutex* mutex_;
};

// A manual-reset event: once set it stays set until reset.
class Event {
 public:
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits up to milliseconds for the event; true when it is set.
  bool Wait(uint32_t milliseconds);

 private:
  void* native_;
};

// One background thread. On Windows the thread keeps the library's module
// loaded while it runs and releases it as it ends, so that unloading the
// library never pulls the code from under a running thread.
class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs body(argument) on a new thread; false when none can be created.
  bool Start(void (*body)(void*), void* argument);
  // Waits up to milliseconds for the thread to end; true when it has ended
  // (or none runs), and the thread is then forgotten.
  bool Join(uint32_t milliseconds);
  // Gives up a thread that did not end in time: Windows terminates it, POSIX
  // lets it finish on its own.
  void Abandon();
  bool started() const { return native_ != nullptr; }

 private:
  void* native_ = nullptr;
};

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_SYNC_H_
