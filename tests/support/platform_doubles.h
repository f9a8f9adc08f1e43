// platform_doubles.h: a platform double for unit tests that injects faults,
// answers process questions differently and counts the calls the tests look
// at; and a scope that installs it.

#ifndef ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_
#define ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "src/fileio/file_table.h"
#include "src/platform/platform.h"
#include "src/platform/system_errors.h"

namespace zarq_test {

// Installs a double for its lifetime and restores the previous platform
// (never while the library's flush thread is calling it).
class ScopedPlatform {
 public:
  explicit ScopedPlatform(zarq::Platform* platform)
      : previous_(zarq::InstallPlatformForTesting(platform)) {}
  ~ScopedPlatform() { zarq::InstallPlatformForTesting(previous_); }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  zarq::Platform* previous_;
};

inline bool EndsWith(const std::string& text, const std::string& end) {
  return !end.empty() && text.size() >= end.size() &&
         text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Every setting left at its default passes the call to the system.
class FaultPlatform : public zarq::PlatformWrapper {
 public:
  FaultPlatform() : PlatformWrapper(zarq::SystemPlatform()) {}

  uint32_t SystemVersion() override {
    return system_version.value_or(PlatformWrapper::SystemVersion());
  }
  uint32_t SetErrorMode(uint32_t mode) override {
    error_modes_set.push_back(mode);
    return std::exchange(error_mode, mode);
  }
  bool TwoDigitYearMax(std::string* text) override {
    if (two_digit_year_max) *text = *two_digit_year_max;
    return two_digit_year_max.has_value();
  }
  zarq::LocalDateTime LocalTime() override {
    return local_time.value_or(PlatformWrapper::LocalTime());
  }
  uint32_t OpenFile(const std::string& path, bool read_only, zarq::OpenDisposition disposition,
                    uint32_t options, zarq::FileHandle* handle) override {
    bool creates = disposition != zarq::OpenDisposition::kOpenExisting || !read_only;
    if (open_error != 0 ||
        (creates && !deny_writes_in.empty() && path.rfind(deny_writes_in, 0) == 0)) {
      *handle = zarq::kNoFileHandle;
      return open_error != 0 ? open_error : zarq::kErrorAccessDenied;
    }
    return PlatformWrapper::OpenFile(path, read_only, disposition, options, handle);
  }
  uint32_t CloseFile(zarq::FileHandle handle) override {
    return close_error != 0 ? close_error : PlatformWrapper::CloseFile(handle);
  }
  uint32_t ReadFile(zarq::FileHandle handle, void* buffer, uint32_t count,
                    uint32_t* done) override {
    read_sizes.push_back(count);
    uint32_t error = PlatformWrapper::ReadFile(handle, buffer, count, done);
    if (short_read && *done > 0) --*done;
    return error;
  }
  // Fails with write_error, or the write_to_fail-th write (1 = the first)
  // with access denied.
  uint32_t WriteFile(zarq::FileHandle handle, const void* buffer, uint32_t count,
                     uint32_t* done) override {
    write_sizes.push_back(count);
    uint32_t error = static_cast<int>(write_sizes.size()) == write_to_fail
                         ? zarq::kErrorAccessDenied
                         : write_error;
    if (error == 0) return PlatformWrapper::WriteFile(handle, buffer, count, done);
    *done = 0;
    return error;
  }
  uint32_t FlushFile(zarq::FileHandle handle) override {
    ++flushes;
    return PlatformWrapper::FlushFile(handle);
  }
  uint32_t LockRange(zarq::FileHandle handle, uint64_t offset, uint64_t length) override {
    ++lock_calls;
    return PlatformWrapper::LockRange(handle, offset, length);
  }
  uint32_t UnlockRange(zarq::FileHandle handle, uint64_t offset, uint64_t length) override {
    ++unlock_calls;
    return PlatformWrapper::UnlockRange(handle, offset, length);
  }
  uint32_t GetAttributes(const std::string& path, uint32_t* attributes) override {
    uint32_t error = PlatformWrapper::GetAttributes(path, attributes);
    if (error == 0 && EndsWith(path, read_only_name)) *attributes = zarq::kAttributeReadOnly;
    return error;
  }
  uint32_t GetFreeBytes(const std::string& path, uint64_t* free_bytes) override {
    if (!free_bytes_override) return PlatformWrapper::GetFreeBytes(path, free_bytes);
    *free_bytes = *free_bytes_override;
    return 0;
  }
  uint32_t DriveTypeOf(const std::string& path, uint32_t* type) override {
    if (!drive_type) return PlatformWrapper::DriveTypeOf(path, type);
    *type = *drive_type;
    return 0;
  }
  uint32_t TickCount() override { return ticks.value_or(PlatformWrapper::TickCount()); }
  uint32_t RenameFile(const std::string& from, const std::string& to) override {
    return EndsWith(from, rename_fails_from) ? zarq::kErrorAccessDenied
                                             : PlatformWrapper::RenameFile(from, to);
  }
  uint32_t ReplaceFile(const std::string& from, const std::string& to,
                       uint32_t options) override {
    return EndsWith(from, rename_fails_from) ? zarq::kErrorAccessDenied
                                             : PlatformWrapper::ReplaceFile(from, to, options);
  }

  std::optional<uint32_t> system_version;
  std::optional<std::string> two_digit_year_max;
  std::optional<zarq::LocalDateTime> local_time;
  uint32_t error_mode = 0x8000;
  std::vector<uint32_t> error_modes_set;
  uint32_t open_error = 0;
  std::string deny_writes_in;  // opens for writing below this folder are denied
  uint32_t close_error = 0;
  uint32_t write_error = 0;
  int write_to_fail = 0;
  bool short_read = false;
  std::string read_only_name;  // files whose name ends so look read-only
  std::optional<uint64_t> free_bytes_override;
  std::optional<uint32_t> drive_type;
  std::optional<uint32_t> ticks;
  std::string rename_fails_from;  // renames and replacements from names ending so are refused
  std::vector<uint32_t> read_sizes;
  std::vector<uint32_t> write_sizes;
  int flushes = 0;
  int lock_calls = 0;
  int unlock_calls = 0;
};

// A FaultPlatform installed for its lifetime.
class InstalledFaults : public FaultPlatform {
  ScopedPlatform installed_{this};
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_
