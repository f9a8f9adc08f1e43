// win32_platform.cc: the Platform of Windows.
//
// Thread-safety: every method is safe to call from any thread.

#include <windows.h>

#include "src/platform/no_destructor.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

class Win32Platform final : public Platform {
 public:
  uint32_t TickCount() override { return GetTickCount(); }

  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

  LocalDateTime LocalTime() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    LocalDateTime result;
    result.year = now.wYear;
    result.month = now.wMonth;
    result.day = now.wDay;
    result.hour = now.wHour;
    result.minute = now.wMinute;
    result.second = now.wSecond;
    result.millisecond = now.wMilliseconds;
    return result;
  }

  uint32_t SystemVersion() override { return GetVersion(); }

  uint32_t SetErrorMode(uint32_t mode) override { return ::SetErrorMode(mode); }

  uint32_t ProcessId() override { return GetCurrentProcessId(); }

  // HKEY_CURRENT_USER\Control Panel\International\Calendars\TwoDigitYearMax,
  // value "1" (the Gregorian calendar).
  bool TwoDigitYearMax(std::string* text) override {
    HKEY key = HKEY_CURRENT_USER;
    const char* path[] = {"Control Panel", "International", "Calendars", "TwoDigitYearMax"};
    HKEY opened[4] = {};
    int depth = 0;
    bool found = false;
    for (; depth < 4; ++depth) {
      if (RegOpenKeyExA(key, path[depth], 0, KEY_QUERY_VALUE, &opened[depth]) != ERROR_SUCCESS) break;
      key = opened[depth];
    }
    if (depth == 4) {
      char buffer[260] = {};
      DWORD size = sizeof(buffer) - 1;
      DWORD type = 0;
      if (RegQueryValueExA(key, "1", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
          ERROR_SUCCESS) {
        buffer[size < sizeof(buffer) ? size : sizeof(buffer) - 1] = '\0';
        *text = buffer;
        found = true;
      }
    }
    while (depth-- > 0) RegCloseKey(opened[depth]);
    return found;
  }
};

}  // namespace

Platform* SystemPlatform() {
  static NoDestructor<Win32Platform> platform;
  return platform.get();
}

}  // namespace zarq
