// win32_locale.cc: regional values and date and time text on Windows, from
// the user's default locale (its user overrides included, which is where
// the "intl" profile values live on every current system).
//
// Thread-safety: the values are kept behind a lock and rebuilt only when
// the user's locale or one of the six profile values changes.

#include <windows.h>

#include "src/platform/native_platform.h"
#include "src/platform/no_destructor.h"
#include "src/platform/sync.h"

namespace zarq {
namespace {

std::string LocaleText(LCTYPE type, const char* fallback) {
  char buffer[128];
  int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof(buffer));
  return length > 0 ? std::string(buffer) : std::string(fallback);
}

// The six profile values; what an absent one defaults to.
RegionalValues ProfileValues() {
  RegionalValues v;
  v.date_separator = LocaleText(LOCALE_SDATE, "/");
  v.short_date = LocaleText(LOCALE_SSHORTDATE, "");
  v.time_separator = LocaleText(LOCALE_STIME, ":");
  v.time_format = LocaleText(LOCALE_STIMEFORMAT, "");
  v.morning = LocaleText(LOCALE_S1159, "");
  v.afternoon = LocaleText(LOCALE_S2359, "");
  return v;
}

void ReadNames(RegionalValues* v) {
  for (int i = 0; i < 12; ++i) {
    v->short_months[i] = LocaleText(LOCALE_SABBREVMONTHNAME1 + i, "");
    v->months[i] = LocaleText(LOCALE_SMONTHNAME1 + i, "");
  }
  // Windows counts its day names from Monday; ours start on Sunday.
  for (int i = 0; i < 7; ++i) {
    v->short_days[(i + 1) % 7] = LocaleText(LOCALE_SABBREVDAYNAME1 + i, "");
    v->days[(i + 1) % 7] = LocaleText(LOCALE_SDAYNAME1 + i, "");
  }
}

bool SameProfile(const RegionalValues& a, const RegionalValues& b) {
  return a.date_separator == b.date_separator && a.short_date == b.short_date &&
         a.time_separator == b.time_separator && a.time_format == b.time_format &&
         a.morning == b.morning && a.afternoon == b.afternoon;
}

struct RegionalCache {
  RecursiveMutex mutex;
  LCID locale = 0;                               // guarded by mutex
  std::shared_ptr<const RegionalValues> values;  // guarded by mutex
};

SYSTEMTIME SystemTimeOf(const PictureFields& f) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(f.year);
  time.wMonth = static_cast<WORD>(f.month);
  time.wDay = static_cast<WORD>(f.day);
  time.wDayOfWeek = static_cast<WORD>(f.day_of_week);
  time.wHour = static_cast<WORD>(f.hour);
  time.wMinute = static_cast<WORD>(f.minute);
  time.wSecond = static_cast<WORD>(f.second);
  return time;
}

}  // namespace

std::shared_ptr<const RegionalValues> NativePlatform::Regional() {
  static NoDestructor<RegionalCache> cache;
  MutexLock hold(&cache->mutex);
  const LCID locale = GetUserDefaultLCID();
  RegionalValues profile = ProfileValues();
  if (cache->values != nullptr && locale == cache->locale && SameProfile(profile, *cache->values)) {
    return cache->values;
  }
  ReadNames(&profile);
  cache->locale = locale;
  cache->values = std::make_shared<const RegionalValues>(std::move(profile));
  return cache->values;
}

uint32_t NativePlatform::FormatShortDate(const PictureFields& date, std::string* text) {
  SYSTEMTIME time = SystemTimeOf(date);
  char buffer[256];
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, sizeof(buffer)) ==
      0) {
    return GetLastError();
  }
  *text = buffer;
  return 0;
}

uint32_t NativePlatform::FormatTimeOfDay(const PictureFields& time, bool with_seconds,
                                         std::string* text) {
  SYSTEMTIME moment = SystemTimeOf(time);
  char buffer[256];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, with_seconds ? 0 : TIME_NOSECONDS, &moment, nullptr,
                     buffer, sizeof(buffer)) == 0) {
    return GetLastError();
  }
  *text = buffer;
  return 0;
}

}  // namespace zarq
