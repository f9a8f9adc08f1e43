// regional_values.cc: reading and rendering date and time pictures.
//
// Thread-safety: pure.

#include "src/platform/regional_values.h"

#include <cstdio>
#include <vector>

namespace zarq {
namespace {

bool IsDateLetter(char c) { return c == 'd' || c == 'M' || c == 'y' || c == 'g'; }
bool IsTimeLetter(char c) { return c == 'h' || c == 'H' || c == 'm' || c == 's' || c == 't'; }

// A picture cut into fields (a run of one letter) and literal text.
struct Token {
  char letter = 0;  // 0 for literal text
  size_t length = 0;
  std::string literal;
};

std::vector<Token> Tokenize(const std::string& picture, bool (*is_field)(char)) {
  std::vector<Token> tokens;
  auto literal = [&](const std::string& text) {
    if (tokens.empty() || tokens.back().letter != 0) tokens.push_back(Token{});
    tokens.back().literal += text;
  };
  for (size_t i = 0; i < picture.size();) {
    char c = picture[i];
    if (c == '\'') {
      size_t close = i + 1;
      std::string text;
      while (close < picture.size()) {
        if (picture[close] != '\'') {
          text += picture[close++];
        } else if (close + 1 < picture.size() && picture[close + 1] == '\'') {
          text += '\'';
          close += 2;
        } else {
          break;
        }
      }
      // A quote at the very start of a quoted part ('' alone) is a quote.
      if (close == i + 1 && close < picture.size()) text = "'";
      literal(text);
      i = close + 1;
    } else if (is_field(c)) {
      size_t run = i;
      while (run < picture.size() && picture[run] == c) ++run;
      tokens.push_back(Token{c, run - i, {}});
      i = run;
    } else {
      literal(std::string(1, c));
      ++i;
    }
  }
  return tokens;
}

std::string Number(int32_t value, bool two_digits) {
  char text[16];
  std::snprintf(text, sizeof(text), two_digits ? "%02d" : "%d", static_cast<int>(value));
  return text;
}

template <size_t N>
const std::string& Name(const std::array<std::string, N>& names, int32_t index) {
  static const std::string kNone;
  return index >= 0 && static_cast<size_t>(index) < N ? names[index] : kNone;
}

}  // namespace

RegionalValues UnitedStatesDefaults() {
  RegionalValues v;
  v.date_separator = "/";
  v.short_date = "M/d/yyyy";
  v.time_separator = ":";
  v.time_format = "h:mm:ss tt";
  v.morning = "AM";
  v.afternoon = "PM";
  v.short_months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  v.months = {"January", "February", "March",     "April",   "May",      "June",
              "July",    "August",   "September", "October", "November", "December"};
  v.short_days = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  v.days = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  return v;
}

std::string RenderDatePicture(const std::string& picture, const RegionalValues& values,
                              const PictureFields& f) {
  std::string text;
  for (const Token& token : Tokenize(picture, IsDateLetter)) {
    switch (token.letter) {
      case 0:
        text += token.literal;
        break;
      case 'd':
        if (token.length <= 2)
          text += Number(f.day, token.length == 2);
        else
          text += Name(token.length == 3 ? values.short_days : values.days, f.day_of_week);
        break;
      case 'M':
        if (token.length <= 2)
          text += Number(f.month, token.length == 2);
        else
          text += Name(token.length == 3 ? values.short_months : values.months, f.month - 1);
        break;
      case 'y':
        if (token.length <= 2)
          text += Number(f.year % 100, token.length == 2);
        else
          text += Number(f.year, false);
        break;
      default:  // the era: the Gregorian calendar has no name worth showing
        break;
    }
  }
  return text;
}

std::string RenderTimePicture(const std::string& picture, const RegionalValues& values,
                              const PictureFields& f, bool with_seconds) {
  std::vector<Token> tokens = Tokenize(picture, IsTimeLetter);
  std::string text;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    // The literal before a seconds field is its separator: it goes with it.
    if (!with_seconds && token.letter == 0 && i + 1 < tokens.size() &&
        tokens[i + 1].letter == 's') {
      continue;
    }
    const bool two = token.length >= 2;
    switch (token.letter) {
      case 0:
        text += token.literal;
        break;
      case 'h':
        text += Number(f.hour % 12 == 0 ? 12 : f.hour % 12, two);
        break;
      case 'H':
        text += Number(f.hour, two);
        break;
      case 'm':
        text += Number(f.minute, two);
        break;
      case 's':
        if (with_seconds) text += Number(f.second, two);
        break;
      case 't': {
        const std::string& designator = f.hour < 12 ? values.morning : values.afternoon;
        text += two ? designator : designator.substr(0, 1);
        break;
      }
    }
  }
  return text;
}

std::string PictureFromPosixFormat(const std::string& format, const std::string& ampm_format) {
  std::string picture;
  std::string quoted;  // literal letters waiting for their quotes
  auto flush = [&] {
    if (!quoted.empty()) picture += "'" + quoted + "'";
    quoted.clear();
  };
  auto field = [&](const char* text) {
    flush();
    picture += text;
  };
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (c == '\'') {
        quoted += "''";
      } else if (letter) {
        quoted += c;
      } else {
        flush();
        picture += c;
      }
      continue;
    }
    ++i;
    bool unpadded = false;  // %-d, %-m, %-H, %-I
    for (; i < format.size() && std::string("-_0^#EO").find(format[i]) != std::string::npos; ++i) {
      unpadded = unpadded || format[i] == '-';
    }
    if (i >= format.size()) break;
    switch (format[i]) {
      case 'd':
        field(unpadded ? "d" : "dd");
        break;
      case 'e':
        field("d");
        break;
      case 'm':
        field(unpadded ? "M" : "MM");
        break;
      case 'b':
      case 'h':
        field("MMM");
        break;
      case 'B':
        field("MMMM");
        break;
      case 'a':
        field("ddd");
        break;
      case 'A':
        field("dddd");
        break;
      case 'y':
        field("yy");
        break;
      case 'Y':
      case 'G':
        field("yyyy");
        break;
      case 'C':
        // %C%y is the whole year.
        if (format.compare(i + 1, 2, "%y") == 0) {
          field("yyyy");
          i += 2;
        }
        break;
      case 'H':
        field(unpadded ? "H" : "HH");
        break;
      case 'k':
        field("H");
        break;
      case 'I':
        field(unpadded ? "h" : "hh");
        break;
      case 'l':
        field("h");
        break;
      case 'M':
        field("mm");
        break;
      case 'S':
        field("ss");
        break;
      case 'p':
      case 'P':
        field("tt");
        break;
      case 'D':
        field("MM/dd/yy");
        break;
      case 'F':
        field("yyyy-MM-dd");
        break;
      case 'T':
        field("HH:mm:ss");
        break;
      case 'R':
        field("HH:mm");
        break;
      case 'r':
        flush();
        picture += PictureFromPosixFormat(ampm_format.empty() ? "%I:%M:%S %p" : ampm_format, "");
        break;
      case 'n':
      case 't':
        flush();
        picture += ' ';
        break;
      case '%':
        flush();
        picture += '%';
        break;
      default:
        break;
    }
  }
  flush();
  return picture;
}

std::string PictureSeparator(const std::string& picture, const std::string& fallback) {
  auto is_field = [](char c) { return IsDateLetter(c) || IsTimeLetter(c); };
  std::vector<Token> tokens = Tokenize(picture, is_field);
  for (size_t i = 0; i + 2 < tokens.size(); ++i) {
    if (tokens[i].letter != 0 && tokens[i + 1].letter == 0 && tokens[i + 2].letter != 0) {
      return tokens[i + 1].literal;
    }
  }
  return fallback;
}

}  // namespace zarq
