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

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_PLATFORM_DOUBLES_H_
