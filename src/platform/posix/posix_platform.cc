// posix_platform.cc: the process services of the POSIX Platform.
//
// Thread-safety: every method is safe to call from any thread.

#include "src/platform/posix/posix_platform.h"

#include <sys/time.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "src/platform/no_destructor.h"

namespace zarq {

uint32_t NativePlatform::TickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void NativePlatform::Sleep(uint32_t milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

LocalDateTime NativePlatform::LocalTime() {
  timeval now;
  gettimeofday(&now, nullptr);
  time_t seconds = now.tv_sec;
  tm parts;
  localtime_r(&seconds, &parts);
  LocalDateTime result;
  result.year = static_cast<uint16_t>(parts.tm_year + 1900);
  result.month = static_cast<uint16_t>(parts.tm_mon + 1);
  result.day = static_cast<uint16_t>(parts.tm_mday);
  result.hour = static_cast<uint16_t>(parts.tm_hour);
  result.minute = static_cast<uint16_t>(parts.tm_min);
  result.second = static_cast<uint16_t>(parts.tm_sec);
  result.millisecond = static_cast<uint16_t>(now.tv_usec / 1000);
  return result;
}

// The kernel release ("6.1.0-...") in the Windows layout.
uint32_t NativePlatform::SystemVersion() {
  utsname names;
  if (uname(&names) != 0) return 0;
  char* rest = nullptr;
  unsigned long major = std::strtoul(names.release, &rest, 10);
  unsigned long minor = (rest != nullptr && *rest == '.') ? std::strtoul(rest + 1, nullptr, 10) : 0;
  return static_cast<uint32_t>((major & 0xFF) | ((minor & 0xFF) << 8));
}

// POSIX has no critical-error dialogs; the mode is only remembered.
uint32_t NativePlatform::SetErrorMode(uint32_t mode) {
  static std::atomic<uint32_t> error_mode{0};
  return error_mode.exchange(mode);
}

uint32_t NativePlatform::ProcessId() { return static_cast<uint32_t>(getpid()); }

bool NativePlatform::TwoDigitYearMax(std::string* text) {
  const char* value = std::getenv("ZARQ_TWO_DIGIT_YEAR_MAX");
  if (value == nullptr) return false;
  *text = value;
  return true;
}

Platform* SystemPlatform() {
  static NoDestructor<NativePlatform> platform;
  return platform.get();
}

}  // namespace zarq
