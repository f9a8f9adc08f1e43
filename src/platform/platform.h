// platform.h: the library's one boundary to the operating system.
//
// Every system call of the library goes through the Platform interface. One
// implementation per system (src/platform/posix, src/platform/win32) is chosen
// by the build; tests install a double (usually a PlatformWrapper that
// overrides one method) to inject faults. System failures cross this boundary
// as Windows error numbers (system_errors.h), so the library maps them to
// status codes with one table on every system.
//
// Thread-safety: implementations are thread-safe. Installing a double is
// meant for tests, between library calls.

#ifndef ZARQ_SRC_PLATFORM_PLATFORM_H_
#define ZARQ_SRC_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <string>

namespace zarq {

// The local wall-clock time, as the system reports it.
struct LocalDateTime {
  uint16_t year = 0;
  uint16_t month = 0;
  uint16_t day = 0;
  uint16_t hour = 0;
  uint16_t minute = 0;
  uint16_t second = 0;
  uint16_t millisecond = 0;
};

// The error mode that suppresses the system's critical-error dialogs.
inline constexpr uint32_t kFailCriticalErrors = 1;

class Platform {
 public:
  virtual ~Platform() = default;

  // Process services ------------------------------------------------------

  // Milliseconds since an arbitrary start; wraps at 2^32.
  virtual uint32_t TickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual LocalDateTime LocalTime() = 0;
  // The system version in the Windows layout: low byte major version, next
  // byte minor version, top byte flags (0x80 for the old consumer line).
  virtual uint32_t SystemVersion() = 0;
  // Sets the process error mode and returns the previous one.
  virtual uint32_t SetErrorMode(uint32_t mode) = 0;
  virtual uint32_t ProcessId() = 0;
  // The configured last year of the two-digit-year window as text (for
  // example "2049"); false when none is configured.
  virtual bool TwoDigitYearMax(std::string* text) = 0;
};

// Forwards every call to another Platform; tests derive from it and
// override the calls they want to fail.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform* target) : target_(target) {}
  Platform* target() const { return target_; }

  uint32_t TickCount() override { return target_->TickCount(); }
  void Sleep(uint32_t milliseconds) override { target_->Sleep(milliseconds); }
  LocalDateTime LocalTime() override { return target_->LocalTime(); }
  uint32_t SystemVersion() override { return target_->SystemVersion(); }
  uint32_t SetErrorMode(uint32_t mode) override { return target_->SetErrorMode(mode); }
  uint32_t ProcessId() override { return target_->ProcessId(); }
  bool TwoDigitYearMax(std::string* text) override { return target_->TwoDigitYearMax(text); }

 private:
  Platform* target_;
};

// The platform in use: the system's own unless a test installed a double.
Platform& Os();

// The system's own implementation; created on first use, never destroyed.
Platform* SystemPlatform();

// Installs a double (nullptr reinstalls the system's own) and returns the
// one it replaces. The caller keeps ownership of the double.
Platform* SetPlatformForTesting(Platform* platform);

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_PLATFORM_H_
