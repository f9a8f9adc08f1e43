// crash_platform.h: the peer's platform double for crash tests. It numbers
// every call that changes a file or a folder (creating opens, writes, size
// and attribute changes, removals, renames, replacements, folder creation
// and removal; flushes and locks do not count) and ends the process at a
// chosen one, as a crash would: before the call, or for a write of two or
// more bytes optionally after half of them. The process reports the crash
// by an answer line and then ends without destructors or library shutdown,
// so the system releases its files and locks as it does for a dead process.
//
// Thread-safety: the counted calls come from library calls, which the
// library lock serialises (the flush worker only flushes). Arm is called
// between library calls.

#ifndef ZARQ_TESTS_PEER_CRASH_PLATFORM_H_
#define ZARQ_TESTS_PEER_CRASH_PLATFORM_H_

#include <cstdint>
#include <ostream>
#include <string>

#include "src/platform/platform.h"

namespace zarq_test {

class CrashPlatform : public zarq::PlatformWrapper {
 public:
  // answers receives the crash report line; it must outlive the double.
  explicit CrashPlatform(std::ostream* answers)
      : PlatformWrapper(zarq::SystemPlatform()), answers_(answers) {}

  // Counts afresh from 0 and crashes at call crash_at (1-based; 0 only
  // counts), tearing it when torn and it writes two or more bytes.
  void Arm(uint32_t crash_at, bool torn);
  // One letter per counted call since Arm: W write, O creating open, S set
  // size, A attributes, D remove, R rename, P replace, F folder.
  const std::string& calls() const { return calls_; }

  uint32_t OpenFile(const std::string& path, bool read_only, zarq::OpenDisposition disposition,
                    uint32_t options, zarq::FileHandle* handle) override;
  uint32_t WriteFile(zarq::FileHandle handle, const void* buffer, uint32_t count,
                     uint32_t* done) override;
  uint32_t SetFileSize(zarq::FileHandle handle, uint64_t size) override;
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override;
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t RenameFile(const std::string& from, const std::string& to) override;
  uint32_t ReplaceFile(const std::string& from, const std::string& to, uint32_t options) override;
  uint32_t CreateFolder(const std::string& path) override;
  uint32_t RemoveFolder(const std::string& path) override;

 private:
  // Counts a call of kind letter; true when it is the one to crash at.
  bool Reached(char letter);
  [[noreturn]] void Crash();

  std::ostream* answers_;
  uint32_t crash_at_ = 0;
  bool torn_ = false;
  std::string calls_;
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_PEER_CRASH_PLATFORM_H_
