// platform_doubles.h: platform doubles for unit tests, and a scope that
// installs one.

#ifndef ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_
#define ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_

#include <optional>
#include <string>
#include <vector>

#include "src/platform/platform.h"

namespace zarq_test {

// Installs a double for its lifetime and restores the previous platform.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(zarq::Platform* platform)
      : previous_(zarq::SetPlatformForTesting(platform)) {}
  ~ScopedPlatform() { zarq::SetPlatformForTesting(previous_); }
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  zarq::Platform* previous_;
};

// Answers the process questions the tests want answered differently and
// records the error modes set.
class ProcessDouble : public zarq::PlatformWrapper {
 public:
  ProcessDouble() : PlatformWrapper(zarq::SystemPlatform()) {}

  uint32_t SystemVersion() override {
    return system_version ? *system_version : PlatformWrapper::SystemVersion();
  }
  uint32_t SetErrorMode(uint32_t mode) override {
    uint32_t previous = error_mode;
    error_mode = mode;
    error_modes_set.push_back(mode);
    return previous;
  }
  bool TwoDigitYearMax(std::string* text) override {
    if (!two_digit_year_max) return false;
    *text = *two_digit_year_max;
    return true;
  }
  zarq::LocalDateTime LocalTime() override {
    return local_time ? *local_time : PlatformWrapper::LocalTime();
  }

  std::optional<uint32_t> system_version;
  std::optional<std::string> two_digit_year_max;
  std::optional<zarq::LocalDateTime> local_time;
  uint32_t error_mode = 0x8000;
  std::vector<uint32_t> error_modes_set;
};

// Injects file faults and counts the calls the tests look at.
class FaultPlatform : public zarq::PlatformWrapper {
 public:
  FaultPlatform() : PlatformWrapper(zarq::SystemPlatform()) {}

  uint32_t OpenFile(const std::string& path, bool read_only, zarq::OpenDisposition disposition,
                    zarq::FileHandle* handle) override {
    bool creates = disposition != zarq::OpenDisposition::kOpenExisting || !read_only;
    if (open_error != 0 ||
        (creates && !deny_writes_in.empty() && path.rfind(deny_writes_in, 0) == 0)) {
      *handle = zarq::kNoFileHandle;
      return open_error != 0 ? open_error : 5;
    }
    return PlatformWrapper::OpenFile(path, read_only, disposition, handle);
  }
  uint32_t CloseFile(zarq::FileHandle handle) override {
    if (close_error != 0) return close_error;
    return PlatformWrapper::CloseFile(handle);
  }
  uint32_t ReadFile(zarq::FileHandle handle, void* buffer, uint32_t count,
                    uint32_t* done) override {
    read_sizes.push_back(count);
    uint32_t error = PlatformWrapper::ReadFile(handle, buffer, count, done);
    if (short_read && *done > 0) --*done;
    return error;
  }
  uint32_t WriteFile(zarq::FileHandle handle, const void* buffer, uint32_t count,
                     uint32_t* done) override {
    write_sizes.push_back(count);
    if (write_error != 0) {
      *done = 0;
      return write_error;
    }
    return PlatformWrapper::WriteFile(handle, buffer, count, done);
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
    if (error == 0 && !read_only_name.empty() && path.size() >= read_only_name.size() &&
        path.compare(path.size() - read_only_name.size(), read_only_name.size(), read_only_name) ==
            0) {
      *attributes = zarq::kAttributeReadOnly;
    }
    return error;
  }
  uint32_t GetFreeBytes(const std::string& path, uint64_t* free_bytes) override {
    if (free_bytes_override) {
      *free_bytes = *free_bytes_override;
      return 0;
    }
    return PlatformWrapper::GetFreeBytes(path, free_bytes);
  }
  uint32_t DriveTypeOf(const std::string& path, uint32_t* type) override {
    if (drive_type) {
      *type = *drive_type;
      return 0;
    }
    return PlatformWrapper::DriveTypeOf(path, type);
  }
  uint32_t TickCount() override { return ticks ? *ticks : PlatformWrapper::TickCount(); }
  uint32_t RenameFile(const std::string& from, const std::string& to) override {
    if (!rename_fails_from.empty() && from.size() >= rename_fails_from.size() &&
        from.compare(from.size() - rename_fails_from.size(), rename_fails_from.size(),
                     rename_fails_from) == 0) {
      return 5;
    }
    return PlatformWrapper::RenameFile(from, to);
  }

  uint32_t open_error = 0;
  std::string deny_writes_in;  // opens for writing below this folder are denied
  uint32_t close_error = 0;
  uint32_t write_error = 0;
  bool short_read = false;
  std::string read_only_name;  // files whose name ends so look read-only
  std::optional<uint64_t> free_bytes_override;
  std::optional<uint32_t> drive_type;
  std::optional<uint32_t> ticks;
  std::string rename_fails_from;  // renames of names ending so are refused
  std::vector<uint32_t> read_sizes;
  std::vector<uint32_t> write_sizes;
  int flushes = 0;
  int lock_calls = 0;
  int unlock_calls = 0;
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_
