// values.cc: see values.h.

#include "tools/zarq/values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "include/zarq.h"
#include "include/zarq_private.h"

namespace zarq_cli {
namespace {

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool MakeDate(int year, int month, int day, int32_t* date) {
  const int32_t value = year * 10000 + month * 100 + day;
  if (year < 1000 || ZARQ1_ValidateDate(value, 1) != ZARQ_OK) return false;
  *date = value;
  return true;
}

}  // namespace

std::string DateText(int32_t date) {
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d", date / 10000, date / 100 % 100, date % 100);
  return text;
}

std::string TimeText(int32_t time) {
  char text[32];
  const int hour = time / 100000, minute = time / 1000 % 100, ticks = time % 1000;
  if (ticks != 0) {
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d", hour, minute, ticks);
  } else {
    std::snprintf(text, sizeof(text), "%02d:%02d", hour, minute);
  }
  return text;
}

std::string NumberText(float value) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof(text), value);
  return std::string(text, result.ptr);
}

bool ParseDate(const std::string& raw, const std::string& picture, int32_t* date) {
  const std::string text = Trim(raw);
  if (text.empty()) return false;
  if (!picture.empty()) {
    std::tm parts{};
    const char* end = strptime(text.c_str(), picture.c_str(), &parts);
    if (end == nullptr || *end != '\0') return false;
    return MakeDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, date);
  }
  int year = 0, month = 0, day = 0, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) == 3 &&
      used == static_cast<int>(text.size())) {
    return MakeDate(year, month, day, date);
  }
  if (text.size() == 8 && AllDigits(text)) {
    const int value = std::stoi(text);
    return MakeDate(value / 10000, value / 100 % 100, value % 100, date);
  }
  uint32_t parsed = 0;
  if (ZARQ1_ParseDateString(&parsed, text.c_str()) != ZARQ_OK) return false;
  *date = static_cast<int32_t>(parsed);
  return true;
}

bool ParseTime(const std::string& raw, int32_t* time) {
  const std::string text = Trim(raw);
  int hour = 0, minute = 0, second = 0, used = 0;
  bool ok = false;
  if (std::sscanf(text.c_str(), "%2d:%2d:%2d%n", &hour, &minute, &second, &used) == 3) {
    ok = used == static_cast<int>(text.size());
  } else if (std::sscanf(text.c_str(), "%2d:%2d%n", &hour, &minute, &used) == 2) {
    ok = used == static_cast<int>(text.size());
  } else if (AllDigits(text) && (text.size() == 4 || text.size() == 6)) {
    const int value = std::stoi(text);
    hour = text.size() == 4 ? value / 100 : value / 10000;
    minute = text.size() == 4 ? value % 100 : value / 100 % 100;
    second = text.size() == 4 ? 0 : value % 100;
    ok = true;
  }
  if (!ok || hour > 23 || minute > 59 || second > 59) return false;
  *time = hour * 100000 + minute * 1000 + second;
  return true;
}

bool ParseNumber(const std::string& raw, float* value) {
  std::string text = Trim(raw);
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  if (text.empty()) return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() &&
         std::isfinite(*value);
}

bool SplitDateTime(const std::string& raw, std::string* date, std::string* time) {
  const std::string text = Trim(raw);
  size_t split = text.find_first_of(" T");
  if (split == std::string::npos) return false;
  *date = text.substr(0, split);
  *time = Trim(text.substr(split + 1));
  return !time->empty();
}

}  // namespace zarq_cli
