// date_text.h: ZARQ dates and times as text in the user's regional format,
// and back. Formatting is the system's (Platform::FormatShortDate and
// FormatTimeOfDay); parsing is ours: it walks the user's short-date or time
// picture field by field over the text.
//
// Text outputs: a null text is -124; a size of 0 is 122 with nothing
// written; size counts the terminating NUL and nothing is written past it;
// a failure leaves an empty text (when size allows one).
//
// Parsing: a field's number is read whole (no wrap of wide values); the
// seconds field of a time gives its ticks; an hour of 12 with the morning
// designator is 0; a date without a year is invalid. Results are checked as
// full-form dates and times; a value whose fields cannot be composed gives
// 0 in the output.
//
// Thread-safety: callers hold the library lock (the derived pictures are
// kept between calls and rebuilt when the regional values change).

#ifndef ZARQ_SRC_DATETIME_DATE_TEXT_H_
#define ZARQ_SRC_DATETIME_DATE_TEXT_H_

#include <cstdint>

namespace zarq {

// ZARQ1_FormatDate: 0, -124, -175, 122, or the system's error number.
int32_t FormatDateText(char* text, uint32_t size, int32_t date);

// ZARQ1_FormatTime: hours and minutes, and with_ticks the ticks in place
// of the seconds field (three digits); a picture without seconds shows no
// ticks. 0, -124, -174, 122, or the system's error number.
int32_t FormatTimeText(char* text, uint32_t size, int32_t time, bool with_ticks);

// ZARQ1_ParseTimeString, ZARQ1_ParseDateString: 0, -124, or -174 / -175.
int32_t ParseTimeText(uint32_t* time, const char* text);
int32_t ParseDateText(uint32_t* date, const char* text);

}  // namespace zarq

#endif  // ZARQ_SRC_DATETIME_DATE_TEXT_H_
