// date_text.cc: formatting and parsing of date and time text.
//
// Thread-safety: see date_text.h.

#include "src/datetime/date_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "include/zarq.h"
#include "src/datetime/calendar.h"
#include "src/datetime/date_rules.h"
#include "src/platform/platform.h"

namespace zarq {
namespace {

constexpr int32_t kInsufficientBuffer = 122;

// What parsing derives from the regional values: the pictures with their
// field letters upper-cased (quoted text kept as written) and the names in
// the order they are tried, longest first.
struct TextSettings {
  std::shared_ptr<const RegionalValues> values;
  std::string date_picture;
  std::string time_picture;
  int short_months[12];
  int months[12];
  int short_days[7];
  int days[7];
};

std::string UpperPicture(const std::string& picture) {
  std::string upper = picture;
  bool quoted = false;
  for (char& c : upper) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

template <size_t N>
void LongestFirst(const std::array<std::string, N>& names, int* order) {
  for (size_t i = 0; i < N; ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order, order + N,
                   [&](int a, int b) { return names[a].size() > names[b].size(); });
}

// A chart formats and parses thousands of values: the derived settings
// are rebuilt only when the platform hands out new regional values.
const TextSettings& CurrentSettings() {
  static TextSettings* const settings = new TextSettings;  // guarded by the library lock
  std::shared_ptr<const RegionalValues> values = Os().Regional();
  if (values != settings->values) {
    settings->values = values;
    settings->date_picture = UpperPicture(values->short_date);
    settings->time_picture = UpperPicture(values->time_format);
    LongestFirst(values->short_months, settings->short_months);
    LongestFirst(values->months, settings->months);
    LongestFirst(values->short_days, settings->short_days);
    LongestFirst(values->days, settings->days);
  }
  return *settings;
}

int32_t Deliver(const std::string& rendered, char* text, uint32_t size) {
  if (rendered.size() >= size) return kInsufficientBuffer;
  std::memcpy(text, rendered.c_str(), rendered.size() + 1);
  return ZARQ_OK;
}

// The walk over a text: never reads past its end.
class TextCursor {
 public:
  explicit TextCursor(const char* text) : text_(text), size_(std::strlen(text)) {}

  void SkipSpace() {
    while (at_ < size_ && (text_[at_] == ' ' || (text_[at_] >= '\t' && text_[at_] <= '\r'))) ++at_;
  }
  // Takes what when the text continues with it (case-sensitive, or ignoring
  // ASCII case); an empty what is never taken.
  bool Take(const std::string& what, bool ignore_case = false) {
    if (what.empty() || size_ - at_ < what.size()) return false;
    for (size_t i = 0; i < what.size(); ++i) {
      char a = text_[at_ + i];
      char b = what[i];
      if (ignore_case) {
        a = Lower(a);
        b = Lower(b);
      }
      if (a != b) return false;
    }
    at_ += what.size();
    return true;
  }
  // The number at the cursor (an optional sign, then digits), read whole:
  // values beyond a billion stay there. False without digits.
  bool TakeNumber(int64_t* value) {
    size_t at = at_;
    bool negative = false;
    if (at < size_ && (text_[at] == '+' || text_[at] == '-')) negative = text_[at++] == '-';
    if (at >= size_ || text_[at] < '0' || text_[at] > '9') return false;
    int64_t number = 0;
    for (; at < size_ && text_[at] >= '0' && text_[at] <= '9'; ++at) {
      number = std::min<int64_t>(number * 10 + (text_[at] - '0'), 1000000000);
    }
    at_ = at;
    *value = negative ? -number : number;
    return true;
  }
  // Moves just past the next occurrence of c, when there is one.
  void SkipPast(char c) {
    const void* found = std::memchr(text_ + at_, c, size_ - at_);
    if (found != nullptr) at_ = static_cast<const char*>(found) - text_ + 1;
  }

 private:
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

  const char* text_;
  size_t size_;
  size_t at_ = 0;
};

// The literal of a quoted part starting at picture[f], and f past it.
std::string QuotedLiteral(const std::string& picture, size_t* f) {
  std::string literal;
  size_t at = *f + 1;
  while (at < picture.size()) {
    if (picture[at] != '\'') {
      literal += picture[at++];
    } else if (at + 1 < picture.size() && picture[at + 1] == '\'') {
      literal += '\'';
      at += 2;
    } else {
      break;
    }
  }
  *f = at + 1;
  return literal;
}

size_t RunLength(const std::string& picture, size_t f) {
  size_t end = f;
  while (end < picture.size() && picture[end] == picture[f]) ++end;
  return end - f;
}

// After a number field: the separator, when it follows in the picture and
// in the text.
void TakeSeparator(const std::string& picture, const std::string& separator, size_t* f,
                   TextCursor* text) {
  if (separator.empty()) return;
  TextCursor rest(picture.c_str() + *f);
  if (rest.Take(separator, true)) *f += separator.size();
  text->Take(separator, true);
}

// The first of names (tried in order) that the text continues with; -1.
template <size_t N>
int TakeName(const std::array<std::string, N>& names, const int* order, TextCursor* text) {
  for (size_t i = 0; i < N; ++i) {
    if (text->Take(names[order[i]])) return order[i];
  }
  return -1;
}

// Common handling of literal picture characters: a quoted part, or any
// other character, is taken from the text when the text has it there.
bool TakeLiteral(const std::string& picture, size_t* f, TextCursor* text) {
  if (picture[*f] == '\'') {
    text->Take(QuotedLiteral(picture, f));
  } else {
    text->Take(std::string(1, picture[*f]));
    ++*f;
  }
  return true;
}

}  // namespace

int32_t FormatDateText(char* text, uint32_t size, int32_t date) {
  if (text == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  if (size == 0) return kInsufficientBuffer;
  text[0] = '\0';
  if (ValidateDate(date, true) != ZARQ_OK) return ZARQ_E_BAD_DATE;
  PictureFields fields;
  fields.year = date / 10000;
  fields.month = date % 10000 / 100;
  fields.day = date % 100;
  fields.day_of_week = (DayOfWeek(date) + 1) % 7;
  std::string rendered;
  uint32_t error = Os().FormatShortDate(fields, &rendered);
  if (error != 0) return static_cast<int32_t>(error);
  return Deliver(rendered, text, size);
}

int32_t FormatTimeText(char* text, uint32_t size, int32_t time, bool with_ticks) {
  if (text == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  if (size == 0) return kInsufficientBuffer;
  text[0] = '\0';
  if (ValidateTime(time, true) != ZARQ_OK) return ZARQ_E_BAD_TIME;
  PictureFields fields;
  fields.hour = time / 100000;
  fields.minute = time % 100000 / 1000;
  std::string rendered;
  uint32_t error = Os().FormatTimeOfDay(fields, with_ticks, &rendered);
  if (error != 0) return static_cast<int32_t>(error);
  if (with_ticks) {
    // The seconds field is where the text with 11 seconds differs from the
    // one with none; the ticks take its place. No difference, no seconds
    // field: the picture shows no ticks.
    std::string other;
    fields.second = 11;
    error = Os().FormatTimeOfDay(fields, true, &other);
    if (error != 0) return static_cast<int32_t>(error);
    size_t prefix = 0;
    const size_t shorter = std::min(rendered.size(), other.size());
    while (prefix < shorter && rendered[prefix] == other[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < shorter - prefix &&
           rendered[rendered.size() - 1 - suffix] == other[other.size() - 1 - suffix]) {
      ++suffix;
    }
    if (prefix < shorter || rendered.size() != other.size()) {
      char ticks[8];
      std::snprintf(ticks, sizeof(ticks), "%03d", static_cast<int>(time % 1000));
      rendered.replace(prefix, rendered.size() - suffix - prefix, ticks);
    }
  }
  return Deliver(rendered, text, size);
}

int32_t ParseTimeText(uint32_t* time, const char* text) {
  if (time == nullptr || text == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  *time = 0;
  const TextSettings& settings = CurrentSettings();
  const std::string& picture = settings.time_picture;
  const RegionalValues& values = *settings.values;
  int64_t hour = 0;
  int64_t minute = 0;
  int64_t second = 0;
  enum { kNone, kMorning, kAfternoon } designator = kNone;
  TextCursor cursor(text);
  for (size_t f = 0; f < picture.size();) {
    cursor.SkipSpace();
    const char c = picture[f];
    const size_t run = RunLength(picture, f);
    if (c == 'H' || c == 'M' || c == 'S') {
      int64_t value = 0;
      cursor.TakeNumber(&value);  // no digits: the field stays 0
      (c == 'H' ? hour : c == 'M' ? minute : second) = value;
      f += run;
      TakeSeparator(picture, values.time_separator, &f, &cursor);
    } else if (c == 'T') {
      // A single t shows the designator's first character. The longer
      // designator is tried first, so that one never matches the start of
      // the other; an empty designator never matches.
      auto form = [&](const std::string& d) { return run == 1 ? d.substr(0, 1) : d; };
      const std::string morning = form(values.morning);
      const std::string afternoon = form(values.afternoon);
      const bool afternoon_first = afternoon.size() >= morning.size();
      const std::string& first = afternoon_first ? afternoon : morning;
      const std::string& second_try = afternoon_first ? morning : afternoon;
      if (cursor.Take(first, true)) {
        designator = afternoon_first ? kAfternoon : kMorning;
      } else if (cursor.Take(second_try, true)) {
        designator = afternoon_first ? kMorning : kAfternoon;
      }
      f += run;
    } else {
      TakeLiteral(picture, &f, &cursor);
    }
  }
  if (designator == kAfternoon && hour < 12) hour += 12;
  if (designator == kMorning && hour == 12) hour = 0;
  if (hour < 0 || hour > 99 || minute < 0 || minute > 99 || second < 0 || second > 999) {
    return ZARQ_E_BAD_TIME;
  }
  *time = static_cast<uint32_t>((hour * 100 + minute) * 1000 + second);
  return ValidateTime(static_cast<int32_t>(*time), true);
}

int32_t ParseDateText(uint32_t* date, const char* text) {
  if (date == nullptr || text == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  *date = 0;
  const TextSettings& settings = CurrentSettings();
  const std::string& picture = settings.date_picture;
  const RegionalValues& values = *settings.values;
  int64_t day = 0;
  int64_t month = 0;
  int64_t year = 0;
  bool has_year = false;
  TextCursor cursor(text);
  for (size_t f = 0; f < picture.size();) {
    cursor.SkipSpace();
    const char c = picture[f];
    const size_t run = RunLength(picture, f);
    if (c == '(') {
      // A part in parentheses is skipped, in the picture and in the text;
      // an unclosed one ends the picture.
      size_t close = picture.find(')', f);
      f = close == std::string::npos ? picture.size() : close + 1;
      cursor.SkipPast(')');
    } else if (c == 'D' || c == 'M' || c == 'Y') {
      if (c == 'D' && run >= 3) {
        // A weekday name says nothing the day, month and year do not.
        if (TakeName(values.days, settings.days, &cursor) < 0) {
          TakeName(values.short_days, settings.short_days, &cursor);
        }
      } else if (c == 'M' && run == 3) {
        month = TakeName(values.short_months, settings.short_months, &cursor) + 1;
      } else if (c == 'M' && run > 3) {
        month = TakeName(values.months, settings.months, &cursor) + 1;
      } else {
        int64_t value = 0;
        bool digits = cursor.TakeNumber(&value);
        if (c == 'D') day = value;
        if (c == 'M') month = value;
        if (c == 'Y') {
          has_year = digits;
          year =
              value >= 0 && value < 100 ? ExpandTwoDigitYear(static_cast<uint16_t>(value)) : value;
        }
      }
      f += run;
      TakeSeparator(picture, values.date_separator, &f, &cursor);
    } else {
      TakeLiteral(picture, &f, &cursor);
    }
  }
  if (!has_year || day < 0 || day > 99 || month < 0 || month > 99 || year < 0 || year > 9999) {
    return ZARQ_E_BAD_DATE;
  }
  *date = static_cast<uint32_t>((year * 100 + month) * 100 + day);
  return ValidateDate(static_cast<int32_t>(*date), true);
}

}  // namespace zarq
