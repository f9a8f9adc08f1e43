// counting_platform.h: a platform double that counts the library's calls
// to the operating system by kind, so that a benchmark can report how many
// of each one operation costs. Installed for the scope of a
// ScopedCountingPlatform (between two passes of the flush worker).
//
// Thread-safety: the counts are atomic, since the flush worker calls the
// platform from its own thread.

#ifndef ZARQ_BENCH_COUNTING_PLATFORM_H_
#define ZARQ_BENCH_COUNTING_PLATFORM_H_

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "src/fileio/file_table.h"
#include "src/platform/platform.h"

namespace zarq_bench {

enum CallKind {
  kOpen,
  kClose,
  kRead,
  kWrite,
  kSeek,
  kSize,
  kFlush,
  kLock,
  kUnlock,
  kAttributes,
  kIdentity,
  kActualName,
  kTick,
  kCallKinds
};
inline constexpr const char* kCallNames[kCallKinds] = {"open",  "close", "read", "write",  "seek",
                                                       "size",  "flush", "lock", "unlock", "attrib",
                                                       "ident", "name",  "tick"};

class CountingPlatform : public zarq::PlatformWrapper {
 public:
  CountingPlatform() : PlatformWrapper(zarq::SystemPlatform()) {}

  uint64_t Count(CallKind kind) const { return counts_[kind].load(std::memory_order_relaxed); }

  // Puts the counts so far into state's counters as calls per iteration,
  // or per item when an iteration handles per_items of them, under
  // "sys_<kind>" and their sum "sys_total" (kinds never called are left
  // out; "tick" is a clock read, not counted in the sum).
  void Report(benchmark::State& state, double per_items = 1.0) const {
    double total = 0;
    const double divisor = static_cast<double>(state.iterations()) * per_items;
    for (int kind = 0; kind < kCallKinds; ++kind) {
      uint64_t count = Count(static_cast<CallKind>(kind));
      if (count == 0) continue;
      state.counters[std::string("sys_") + kCallNames[kind]] = count / divisor;
      if (kind != kTick) total += static_cast<double>(count);
    }
    state.counters["sys_total"] = total / divisor;
  }

  uint32_t TickCount() override { return Add(kTick, target()->TickCount()); }
  uint32_t OpenFile(const std::string& path, bool read_only, zarq::OpenDisposition disposition,
                    uint32_t options, zarq::FileHandle* handle) override {
    return Add(kOpen, target()->OpenFile(path, read_only, disposition, options, handle));
  }
  uint32_t CloseFile(zarq::FileHandle handle) override {
    return Add(kClose, target()->CloseFile(handle));
  }
  uint32_t ReadFile(zarq::FileHandle handle, void* buffer, uint32_t count,
                    uint32_t* done) override {
    return Add(kRead, target()->ReadFile(handle, buffer, count, done));
  }
  uint32_t WriteFile(zarq::FileHandle handle, const void* buffer, uint32_t count,
                     uint32_t* done) override {
    return Add(kWrite, target()->WriteFile(handle, buffer, count, done));
  }
  uint32_t SeekFile(zarq::FileHandle handle, int64_t distance, zarq::SeekOrigin origin,
                    uint64_t* position) override {
    return Add(kSeek, target()->SeekFile(handle, distance, origin, position));
  }
  uint32_t GetFileSize(zarq::FileHandle handle, uint64_t* size) override {
    return Add(kSize, target()->GetFileSize(handle, size));
  }
  uint32_t SetFileSize(zarq::FileHandle handle, uint64_t size) override {
    return Add(kSize, target()->SetFileSize(handle, size));
  }
  uint32_t FlushFile(zarq::FileHandle handle) override {
    return Add(kFlush, target()->FlushFile(handle));
  }
  uint32_t LockRange(zarq::FileHandle handle, uint64_t offset, uint64_t length) override {
    return Add(kLock, target()->LockRange(handle, offset, length));
  }
  uint32_t UnlockRange(zarq::FileHandle handle, uint64_t offset, uint64_t length) override {
    return Add(kUnlock, target()->UnlockRange(handle, offset, length));
  }
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override {
    return Add(kAttributes, target()->GetAttributes(path, attributes));
  }
  uint32_t ActualName(const std::string& path, std::string* actual) override {
    return Add(kActualName, target()->ActualName(path, actual));
  }
  uint32_t IdentityOfHandle(zarq::FileHandle handle, zarq::FileIdentity* identity) override {
    return Add(kIdentity, target()->IdentityOfHandle(handle, identity));
  }
  uint32_t IdentityOfName(const std::string& path, zarq::FileIdentity* identity) override {
    return Add(kIdentity, target()->IdentityOfName(path, identity));
  }

 private:
  uint32_t Add(CallKind kind, uint32_t result) {
    counts_[kind].fetch_add(1, std::memory_order_relaxed);
    return result;
  }

  std::array<std::atomic<uint64_t>, kCallKinds> counts_{};
};

// Installs a CountingPlatform for its scope.
class ScopedCountingPlatform {
 public:
  ScopedCountingPlatform() : previous_(zarq::InstallPlatformForTesting(&platform_)) {}
  ~ScopedCountingPlatform() { zarq::InstallPlatformForTesting(previous_); }
  CountingPlatform& operator*() { return platform_; }
  CountingPlatform* operator->() { return &platform_; }

 private:
  CountingPlatform platform_;
  zarq::Platform* previous_;
};

}  // namespace zarq_bench

#endif  // ZARQ_BENCH_COUNTING_PLATFORM_H_
