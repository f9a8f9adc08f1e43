// values.h: the text forms of the command's values: ISO dates, HH:MM[:SS]
// times, prices as the shortest text that reads back to the same single,
// and the parsing of each as CSV files and options write them. Pure
// functions; thread-safe.

#ifndef ZARQ_TOOLS_ZARQ_VALUES_H_
#define ZARQ_TOOLS_ZARQ_VALUES_H_

#include <cstdint>
#include <string>

namespace zarq_cli {

// yyyy-mm-dd of a ZARQ date.
std::string DateText(int32_t date);
// HH:MM, or HH:MM:SS when the ZARQ time has ticks (which hold seconds).
std::string TimeText(int32_t time);
// The shortest decimal text that reads back as value.
std::string NumberText(float value);

// A date in ISO form (yyyy-mm-dd, yyyymmdd), by a strptime picture when
// picture is not empty, else in the user's short-date form; false when the
// text is no valid date.
bool ParseDate(const std::string& text, const std::string& picture, int32_t* date);
// HH:MM[:SS] (or HHMM[SS]) into a ZARQ time whose ticks hold the seconds.
bool ParseTime(const std::string& text, int32_t* time);
// A decimal number (surrounding blanks allowed); false for anything else.
bool ParseNumber(const std::string& text, float* value);
// Splits "date time" or "dateTtime" into its parts; false when there is no
// time part.
bool SplitDateTime(const std::string& text, std::string* date, std::string* time);

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_VALUES_H_
