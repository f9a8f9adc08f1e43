// posix_locale.cc: regional values and date and time text on POSIX.
//
// Each value comes from its ZARQ_* variable when that is set (even empty),
// else from the LC_TIME locale of the environment (LC_ALL, LC_TIME, LANG),
// read through newlocale/nl_langinfo_l: the host program owns the global
// locale, so setlocale is never called. The C and POSIX locales, and a
// locale the system does not have, stand for the defaults a Windows user in
// the United States sees. The text is rendered from the very pictures the
// parser reads, so whatever is formatted parses back.
//
// Thread-safety: the values are kept behind a mutex and rebuilt only when
// one of the variables they come from changes.

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <mutex>

#include "src/platform/native_platform.h"
#include "src/platform/no_destructor.h"

namespace zarq {
namespace {

constexpr const char* kSources[] = {"ZARQ_SDATE",       "ZARQ_SSHORTDATE", "ZARQ_STIME",
                                    "ZARQ_STIMEFORMAT", "ZARQ_S1159",      "ZARQ_S2359",
                                    "LC_ALL",           "LC_TIME",         "LANG"};

// The variables the values come from, as one key ('-' marks an unset one).
std::string SourceKey() {
  std::string key;
  for (const char* name : kSources) {
    const char* value = std::getenv(name);
    key += value == nullptr ? std::string("-") : "=" + std::string(value);
    key += '\0';
  }
  return key;
}

std::string LocaleName() {
  for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

bool IsPlainLocale(const std::string& name) {
  return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

RegionalValues FromLocale() {
  RegionalValues values = UnitedStatesDefaults();
  const std::string name = LocaleName();
  if (IsPlainLocale(name)) return values;
  locale_t locale = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return values;
  auto item = [&](nl_item which) { return std::string(nl_langinfo_l(which, locale)); };
  const std::string ampm = item(T_FMT_AMPM);
  values.short_date = PictureFromPosixFormat(item(D_FMT), ampm);
  values.time_format = PictureFromPosixFormat(item(T_FMT), ampm);
  values.date_separator = PictureSeparator(values.short_date, "/");
  values.time_separator = PictureSeparator(values.time_format, ":");
  values.morning = item(AM_STR);
  values.afternoon = item(PM_STR);
  for (int i = 0; i < 12; ++i) {
    values.short_months[i] = item(ABMON_1 + i);
    values.months[i] = item(MON_1 + i);
  }
  for (int i = 0; i < 7; ++i) {  // Sunday first, as nl_langinfo has them
    values.short_days[i] = item(ABDAY_1 + i);
    values.days[i] = item(DAY_1 + i);
  }
  freelocale(locale);
  return values;
}

RegionalValues Build() {
  RegionalValues values = FromLocale();
  std::string* const targets[] = {&values.date_separator, &values.short_date,
                                  &values.time_separator, &values.time_format,
                                  &values.morning,        &values.afternoon};
  for (int i = 0; i < 6; ++i) {
    if (const char* set = std::getenv(kSources[i])) *targets[i] = set;
  }
  return values;
}

struct RegionalCache {
  std::mutex mutex;
  std::string key;                               // guarded by mutex
  std::shared_ptr<const RegionalValues> values;  // guarded by mutex
};

}  // namespace

std::shared_ptr<const RegionalValues> NativePlatform::Regional() {
  static NoDestructor<RegionalCache> cache;
  std::lock_guard<std::mutex> hold(cache->mutex);
  std::string key = SourceKey();
  if (cache->values == nullptr || key != cache->key) {
    cache->values = std::make_shared<const RegionalValues>(Build());
    cache->key = std::move(key);
  }
  return cache->values;
}

uint32_t NativePlatform::FormatShortDate(const PictureFields& date, std::string* text) {
  std::shared_ptr<const RegionalValues> values = Regional();
  *text = RenderDatePicture(values->short_date, *values, date);
  return 0;
}

uint32_t NativePlatform::FormatTimeOfDay(const PictureFields& time, bool with_seconds,
                                         std::string* text) {
  std::shared_ptr<const RegionalValues> values = Regional();
  *text = RenderTimePicture(values->time_format, *values, time, with_seconds);
  return 0;
}

}  // namespace zarq
