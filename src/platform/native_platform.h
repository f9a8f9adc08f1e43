// native_platform.h: the system's own Platform, declared once; its
// methods are defined by the files of the system the build is for
// (src/platform/posix or src/platform/win32), which CMake picks.
//
// Thread-safety: every method is safe to call from any thread.

#ifndef ZARQ_SRC_PLATFORM_NATIVE_PLATFORM_H_
#define ZARQ_SRC_PLATFORM_NATIVE_PLATFORM_H_

#include <memory>
#include <string>
#include <vector>

#include "src/platform/platform.h"

namespace zarq {

class NativePlatform final : public Platform {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
  LocalDateTime LocalTime() override;
  uint32_t SystemVersion() override;
  uint32_t SetErrorMode(uint32_t mode) override;
  uint32_t ProcessId() override;
  bool TwoDigitYearMax(std::string* text) override;

  uint32_t OpenFile(const std::string& path, bool read_only, OpenDisposition disposition,
                    uint32_t options, FileHandle* handle) override;
  uint32_t CloseFile(FileHandle handle) override;
  uint32_t ReadFile(FileHandle handle, void* buffer, uint32_t count, uint32_t* done) override;
  uint32_t WriteFile(FileHandle handle, const void* buffer, uint32_t count,
                     uint32_t* done) override;
  uint32_t SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin,
                    uint64_t* position) override;
  uint32_t GetFileSize(FileHandle handle, uint64_t* size) override;
  uint32_t SetFileSize(FileHandle handle, uint64_t size) override;
  uint32_t FlushFile(FileHandle handle) override;
  uint32_t LockRange(FileHandle handle, uint64_t offset, uint64_t length) override;
  uint32_t UnlockRange(FileHandle handle, uint64_t offset, uint64_t length) override;

  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override;
  uint32_t SetAttributes(const std::string& path, uint32_t attributes) override;
  uint32_t RemoveFile(const std::string& path) override;
  uint32_t RenameFile(const std::string& from, const std::string& to) override;
  uint32_t ReplaceFile(const std::string& from, const std::string& to, uint32_t options) override;
  uint32_t ActualName(const std::string& path, std::string* actual) override;
  uint32_t IdentityOfHandle(FileHandle handle, FileIdentity* identity) override;
  uint32_t IdentityOfName(const std::string& path, FileIdentity* identity) override;
  uint32_t CreateFolder(const std::string& path) override;
  uint32_t RemoveFolder(const std::string& path) override;
  uint32_t ListFolder(const std::string& pattern, std::vector<std::string>* names) override;

  uint32_t AbsolutePath(const std::string& path, std::string* absolute) override;
  bool RootOf(const std::string& path, std::string* root) override;
  uint32_t DriveTypeOf(const std::string& path, uint32_t* type) override;
  uint32_t GetVolumeInfo(const std::string& path, std::string* label, uint32_t* serial) override;
  uint32_t GetFreeBytes(const std::string& path, uint64_t* free_bytes) override;
  uint32_t TempFolder(std::string* path) override;
  uint32_t PrivateFolder(const std::string& parent, std::string* folder) override;

  std::string MessageFilePath(const std::string& stem) override;
  uint32_t OpenMessageFile(const std::string& path, std::unique_ptr<MessageFile>* file) override;
  bool ModuleText(void* module, uint32_t identifier, std::string* text) override;
  void ReportMessageFileFailure(const std::string& what, uint32_t error) override;
  std::shared_ptr<const RegionalValues> Regional() override;
  uint32_t FormatShortDate(const PictureFields& date, std::string* text) override;
  uint32_t FormatTimeOfDay(const PictureFields& time, bool with_seconds,
                           std::string* text) override;
};

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_NATIVE_PLATFORM_H_
