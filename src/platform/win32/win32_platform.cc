// win32_platform.cc: the process services of the Windows Platform.
//
// Thread-safety: every method is safe to call from any thread.

#include <windows.h>

#include "src/platform/native_platform.h"
#include "src/platform/no_destructor.h"

namespace zarq {

uint32_t NativePlatform::TickCount() { return GetTickCount(); }

void NativePlatform::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

LocalDateTime NativePlatform::LocalTime() {
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

uint32_t NativePlatform::SystemVersion() { return GetVersion(); }

uint32_t NativePlatform::SetErrorMode(uint32_t mode) { return ::SetErrorMode(mode); }

uint32_t NativePlatform::ProcessId() { return GetCurrentProcessId(); }

// HKEY_CURRENT_USER\Control Panel\International\Calendars\TwoDigitYearMax,
// value "1" (the Gregorian calendar).
bool NativePlatform::TwoDigitYearMax(std::string* text) {
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
  static NoDestructor<NativePlatform> platform;
  return platform.get();
}

}  // namespace zarq
