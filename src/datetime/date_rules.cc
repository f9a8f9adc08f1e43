// date_rules.cc: validation, building and splitting of dates and times.
//
// Thread-safety: see date_rules.h.

#include "src/datetime/date_rules.h"

#include <cctype>
#include <string>

#include "include/zarq.h"
#include "src/datetime/calendar.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

constexpr int32_t kDefaultPivot = 29;

bool IsValidFullDate(int64_t date) {
  if (date < kFirstValidDate || date > kLastValidDate) return false;
  int32_t year = static_cast<int32_t>(date / 10000);
  int32_t month = static_cast<int32_t>(date % 10000 / 100);
  int32_t day = static_cast<int32_t>(date % 100);
  return day >= 1 && day <= DaysInMonth(year, month);
}

// The leading decimal digits of text as a number (0 without any).
int64_t LeadingNumber(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    value = value * 10 + (text[at] - '0');
    if (value > 1000000) break;  // far outside every accepted pivot year
  }
  return negative ? -value : value;
}

}  // namespace

int32_t ValidateDate(int32_t date, bool full_form) {
  if (date <= 0) return ZARQ_E_BAD_DATE;
  int64_t full = full_form ? date : static_cast<int64_t>(date) + kShortDateOffset;
  return IsValidFullDate(full) ? ZARQ_OK : ZARQ_E_BAD_DATE;
}

int32_t ValidateTime(int32_t time, bool full_form) {
  if (time < 0) return ZARQ_E_BAD_TIME;
  if (full_form) {
    if (time > kLastValidTime || (time % 100000) / 1000 > 59) return ZARQ_E_BAD_TIME;
  } else {
    if (time > 235959 || (time % 10000) / 100 > 59 || time % 100 > 59) return ZARQ_E_BAD_TIME;
  }
  return ZARQ_OK;
}

uint16_t ExpandTwoDigitYear(uint16_t year) {
  if (year > 99) return 0;
  int32_t pivot = kDefaultPivot;
  std::string text;
  if (Os().TwoDigitYearMax(&text)) {
    int64_t configured = LeadingNumber(text);
    if (configured >= 2000 && configured <= 2099) pivot = static_cast<int32_t>(configured % 100);
  }
  return static_cast<uint16_t>(year <= pivot ? 2000 + year : 1900 + year);
}

int32_t MakeZarqDate(uint32_t* date, uint16_t month, uint16_t day, uint16_t year) {
  if (date == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  uint32_t full_year = year <= 99 ? ExpandTwoDigitYear(year) : year;
  int64_t composed = static_cast<int64_t>(full_year) * 10000 + month * 100 + day;
  if (!IsValidFullDate(composed)) {
    *date = 0;
    return ZARQ_E_BAD_DATE;
  }
  *date = static_cast<uint32_t>(composed);
  return ZARQ_OK;
}

int32_t MakeZarqTime(uint32_t* time, uint16_t hour, uint16_t minute, uint16_t ticks) {
  if (time == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  // Composed in 64 bits: a huge hour must not wrap into a valid time.
  int64_t composed = (static_cast<int64_t>(hour) * 100 + minute) * 1000 + ticks;
  if (composed > kLastValidTime || ValidateTime(static_cast<int32_t>(composed), true) != ZARQ_OK) {
    *time = 0;
    return ZARQ_E_BAD_TIME;
  }
  *time = static_cast<uint32_t>(composed);
  return ZARQ_OK;
}

int32_t SplitZarqDate(uint16_t* day, uint16_t* month, uint16_t* year, int32_t date) {
  bool valid = ValidateDate(date, true) == ZARQ_OK;
  if (day != nullptr) *day = valid ? static_cast<uint16_t>(date % 100) : 0;
  if (month != nullptr) *month = valid ? static_cast<uint16_t>(date % 10000 / 100) : 0;
  if (year != nullptr) *year = valid ? static_cast<uint16_t>(date / 10000) : 0;
  if (day == nullptr || month == nullptr || year == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  return valid ? ZARQ_OK : ZARQ_E_BAD_DATE;
}

int32_t SplitZarqTime(uint16_t* hour, uint16_t* minute, uint16_t* ticks, int32_t time) {
  bool valid = ValidateTime(time, true) == ZARQ_OK;
  if (hour != nullptr) *hour = valid ? static_cast<uint16_t>(time / 100000) : 0;
  if (minute != nullptr) *minute = valid ? static_cast<uint16_t>(time % 100000 / 1000) : 0;
  if (ticks != nullptr) *ticks = valid ? static_cast<uint16_t>(time % 1000) : 0;
  if (hour == nullptr || minute == nullptr || ticks == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  return valid ? ZARQ_OK : ZARQ_E_BAD_TIME;
}

}  // namespace zarq
