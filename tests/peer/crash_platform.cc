// crash_platform.cc: counting file-changing calls and crashing at one.

#include "tests/peer/crash_platform.h"

#include <cstdlib>

namespace zarq_test {

void CrashPlatform::Arm(uint32_t crash_at, bool torn) {
  crash_at_ = crash_at;
  torn_ = torn;
  calls_.clear();
}

bool CrashPlatform::Reached(char letter) {
  calls_ += letter;
  return calls_.size() == crash_at_;
}

void CrashPlatform::Crash() {
  *answers_ << "= -9998 crashed " << crash_at_ << std::endl;
  std::_Exit(137);  // no destructors, no library shutdown
}

uint32_t CrashPlatform::OpenFile(const std::string& path, bool read_only,
                                 zarq::OpenDisposition disposition, uint32_t options,
                                 zarq::FileHandle* handle) {
  if (disposition != zarq::OpenDisposition::kOpenExisting && Reached('O')) Crash();
  return PlatformWrapper::OpenFile(path, read_only, disposition, options, handle);
}

uint32_t CrashPlatform::WriteFile(zarq::FileHandle handle, const void* buffer, uint32_t count,
                                  uint32_t* done) {
  if (Reached('W')) {
    if (torn_ && count >= 2) {
      uint32_t half = 0;
      PlatformWrapper::WriteFile(handle, buffer, count / 2, &half);
    }
    Crash();
  }
  return PlatformWrapper::WriteFile(handle, buffer, count, done);
}

uint32_t CrashPlatform::SetFileSize(zarq::FileHandle handle, uint64_t size) {
  if (Reached('S')) Crash();
  return PlatformWrapper::SetFileSize(handle, size);
}

uint32_t CrashPlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  if (Reached('A')) Crash();
  return PlatformWrapper::SetAttributes(path, attributes);
}

uint32_t CrashPlatform::RemoveFile(const std::string& path) {
  if (Reached('D')) Crash();
  return PlatformWrapper::RemoveFile(path);
}

uint32_t CrashPlatform::RenameFile(const std::string& from, const std::string& to) {
  if (Reached('R')) Crash();
  return PlatformWrapper::RenameFile(from, to);
}

uint32_t CrashPlatform::ReplaceFile(const std::string& from, const std::string& to,
                                    uint32_t options) {
  if (Reached('P')) Crash();
  return PlatformWrapper::ReplaceFile(from, to, options);
}

uint32_t CrashPlatform::CreateFolder(const std::string& path) {
  if (Reached('F')) Crash();
  return PlatformWrapper::CreateFolder(path);
}

uint32_t CrashPlatform::RemoveFolder(const std::string& path) {
  if (Reached('F')) Crash();
  return PlatformWrapper::RemoveFolder(path);
}

}  // namespace zarq_test
