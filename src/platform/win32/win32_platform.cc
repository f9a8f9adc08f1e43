// win32_platform.cc: the process services of the Windows Platform.
//
// Thread-safety: every method is safe to call from any thread.

#include "src/platform/win32/win32_platform.h"

#include <windows.h>

#include "src/platform/no_destructor.h"

namespace zarq {

uint32_t Win32Platform::TickCount() { return GetTickCount(); }

void Win32Platform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

LocalDateTime Win32Platform::LocalTime() {
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

uint32_t Win32Platform::SystemVersion() { return GetVersion(); }

uint32_t Win32Platform::SetErrorMode(uint32_t mode) { return ::SetErrorMode(mode); }

uint32_t Win32Platform::ProcessId() { return GetCurrentProcessId(); }

// HKEY_CURRENT_USER\Control Panel\International\Calendars\TwoDigitYearMax,
// value "1" (the Gregorian calendar).
bool Win32Platform::TwoDigitYearMax(std::string* text) {
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

Platform* SystemPlatform() {
  static NoDestructor<Win32Platform> platform;
  return platform.get();
}

}  // namespace zarq
