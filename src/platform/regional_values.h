// regional_values.h: the user's regional settings for date and time text,
// as the platform reports them, and the pure helpers that read and render
// Windows-style date and time pictures (d/M/yyyy, h:mm:ss tt, ...).
//
// Picture letters: d day (dd two digits, ddd and dddd the weekday's short
// and full name), M month (MM, MMM, MMMM likewise), y year (y and yy the
// last two digits, yyy and more the whole year), g era (rendered as
// nothing); h and H hours (12- and 24-hour), m minutes, s seconds, t the
// designator's first character, tt the whole designator. 'quoted' text is
// literal ('' is a quote); every other character is literal too.
//
// Thread-safety: pure.

#ifndef ZARQ_SRC_PLATFORM_REGIONAL_VALUES_H_
#define ZARQ_SRC_PLATFORM_REGIONAL_VALUES_H_

#include <array>
#include <cstdint>
#include <string>

namespace zarq {

struct RegionalValues {
  std::string date_separator;                // "sDate"
  std::string short_date;                    // "sShortDate", a date picture
  std::string time_separator;                // "sTime"
  std::string time_format;                   // "sTimeFormat", a time picture
  std::string morning;                       // "s1159"
  std::string afternoon;                     // "s2359"
  std::array<std::string, 12> short_months;  // January first
  std::array<std::string, 12> months;
  std::array<std::string, 7> short_days;  // Sunday first
  std::array<std::string, 7> days;

  bool operator==(const RegionalValues&) const = default;
};

// What the Windows defaults of an English (United States) user show:
// M/d/yyyy, h:mm:ss tt, AM and PM, English names.
RegionalValues UnitedStatesDefaults();

// The fields a picture renders. day_of_week: 0 Sunday .. 6 Saturday.
struct PictureFields {
  int32_t year = 0;
  int32_t month = 1;
  int32_t day = 1;
  int32_t day_of_week = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
};

// The text of a date picture, or of a time picture (time true). Without
// seconds, a time picture's seconds fields are left out together with the
// literal text just before each.
std::string RenderDatePicture(const std::string& picture, const RegionalValues& values,
                              const PictureFields& fields);
std::string RenderTimePicture(const std::string& picture, const RegionalValues& values,
                              const PictureFields& fields, bool with_seconds);

// The picture of a POSIX date or time format (nl_langinfo's D_FMT, T_FMT):
// %d dd, %e d, %m MM, %b %h MMM, %B MMMM, %a ddd, %A dddd, %y yy, %Y yyyy,
// %C%y yyyy, %H HH, %k H, %I hh, %l h, %M mm, %S ss, %p tt, the compound
// forms %D %F %T %R and %r (through ampm_format), literal letters quoted.
// Modifiers (E, O) and padding flags are ignored; conversions without a
// picture letter (%Z, %j, ...) are dropped.
std::string PictureFromPosixFormat(const std::string& format, const std::string& ampm_format);

// The literal text between the first and the second field of a picture
// (the separator it uses), or fallback when it has none.
std::string PictureSeparator(const std::string& picture, const std::string& fallback);

}  // namespace zarq

#endif  // ZARQ_SRC_PLATFORM_REGIONAL_VALUES_H_
