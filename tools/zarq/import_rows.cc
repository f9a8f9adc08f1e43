// import_rows.cc: see import_rows.h.

#include "tools/zarq/import_rows.h"

#include <algorithm>
#include <cctype>

#include "tools/zarq/database.h"
#include "tools/zarq/values.h"

namespace zarq_cli {
namespace {

// A header name reduced to lower-case letters and digits.
std::string Key(const std::string& header) {
  std::string key;
  for (unsigned char c : header) {
    if (std::isalnum(c)) key += static_cast<char>(std::tolower(c));
  }
  return key;
}

// Days since 1970-01-01 of a ZARQ date (Howard Hinnant's civil algorithm).
int64_t Days(int32_t date) {
  int64_t y = date / 10000, m = date / 100 % 100, d = date % 100;
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The bar of a period a date falls in: its week (from Monday) or month.
int64_t PeriodKey(char period, int32_t date) {
  if (period == 'W') return (Days(date) + 3) / 7;  // 1970-01-01 was a Thursday
  if (period == 'M') return date / 100;
  return date;
}

int Minutes(int32_t time) { return time / 100000 * 60 + time / 1000 % 100; }

struct Parsed {
  ZarqPriceRecord record;
  size_t line;
};

}  // namespace

ColumnMap MapColumns(const std::vector<std::string>& header, const std::string& name) {
  ColumnMap map;
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string key = Key(header[i]);
    const int column = static_cast<int>(i);
    int* slot = nullptr;
    if (header[i].find("%Y") != std::string::npos || header[i].find("%y") != std::string::npos) {
      slot = &map.date;
      if (map.date < 0) map.date_picture = header[i];
    } else if (key == "date" || key == "day" || key == "datetime" || key == "timestamp") {
      slot = &map.date;
    } else if (key == "time") {
      slot = &map.time;
    } else if (key == "open") {
      slot = &map.open;
    } else if (key == "high") {
      slot = &map.high;
    } else if (key == "low") {
      slot = &map.low;
    } else if (key == "close" || key == "last") {
      slot = &map.close;
    } else if (key == "volume" || key == "vol") {
      slot = &map.volume;
    } else if (key == "openint" || key == "openinterest" || key == "oi") {
      slot = &map.oi;
    }
    if (slot != nullptr && *slot < 0) *slot = column;  // the first of a name counts
  }
  for (auto [column, label] : {std::pair{map.date, "Date"}, std::pair{map.close, "Close"}}) {
    if (column < 0) {
      std::string found;
      for (const std::string& cell : header) found += (found.empty() ? "" : ", ") + cell;
      throw CommandError(name + ": no " + label + " column (the header has: " + found + ")");
    }
  }
  return map;
}

ImportedRows ReadRows(const std::vector<CsvRow>& rows, const std::string& name, char period,
                      uint16_t interval, size_t max_rows) {
  if (rows.empty()) throw CommandError(name + ": empty file");
  ImportedRows result;
  result.columns = MapColumns(rows[0].fields, name);
  const ColumnMap& map = result.columns;
  result.rows = rows.size() - 1;
  if (result.rows > max_rows) {
    throw CommandError(name + ": " + std::to_string(result.rows) +
                       " rows; a security holds at most " + std::to_string(max_rows) + " records");
  }
  std::vector<Parsed> parsed;
  parsed.reserve(result.rows);
  size_t with_time = 0, first_timed = 0, first_untimed = 0;
  for (size_t r = 1; r < rows.size(); ++r) {
    const CsvRow& row = rows[r];
    const std::string where = name + ": line " + std::to_string(row.line) + ": ";
    auto cell = [&](int column) -> std::string {
      return column >= 0 && static_cast<size_t>(column) < row.fields.size() ? row.fields[column]
                                                                            : "";
    };
    auto number = [&](int column, const char* label, bool required) -> float {
      const std::string text = cell(column);
      float value = 0;
      if (column < 0 || (!required && text.find_first_not_of(" \t") == std::string::npos)) {
        return 0;
      }
      if (!ParseNumber(text, &value)) {
        throw CommandError(where + label + " is not a number: '" + text + "'");
      }
      return value;
    };
    ZarqPriceRecord record{};
    std::string date_text = cell(map.date), time_text = cell(map.time);
    std::string date_part, time_part;
    if (map.time < 0 && map.date_picture.empty() &&
        SplitDateTime(date_text, &date_part, &time_part)) {
      date_text = date_part;
      time_text = time_part;
    }
    if (!ParseDate(date_text, map.date_picture, &record.Date)) {
      throw CommandError(where + "not a date: '" + cell(map.date) + "'");
    }
    if (time_text.find_first_not_of(" \t") != std::string::npos) {
      if (!ParseTime(time_text, &record.Time)) {
        throw CommandError(where + "not a time: '" + time_text + "'");
      }
      if (with_time++ == 0) first_timed = row.line;
    } else if (first_untimed == 0) {
      first_untimed = row.line;
    }
    record.Open = number(map.open, "Open", false);
    record.High = number(map.high, "High", false);
    record.Low = number(map.low, "Low", false);
    record.Close = number(map.close, "Close", true);
    record.Volume = number(map.volume, "Volume", false);
    record.OpenInterest = number(map.oi, "OpenInt", false);
    parsed.push_back({record, row.line});
  }
  if (parsed.empty()) throw CommandError(name + ": no rows below the header");

  // Periods: all rows timed (intraday) or none; a given period must fit.
  if (with_time > 0 && with_time < parsed.size()) {
    throw CommandError(name + ": mixed periods: line " + std::to_string(first_timed) +
                       " has a time, line " + std::to_string(first_untimed) + " has none");
  }
  const bool timed = with_time > 0;
  if (period == 0) period = timed ? 'I' : 'D';
  if (timed != (period == 'I')) {
    throw CommandError(name + ": mixed periods: the rows are " +
                       (timed ? "intraday (they have times)" : "daily or longer (no times)") +
                       ", the security's period is " + std::string(1, period));
  }

  std::stable_sort(parsed.begin(), parsed.end(), [](const Parsed& a, const Parsed& b) {
    return a.record.Date != b.record.Date ? a.record.Date < b.record.Date
                                          : a.record.Time < b.record.Time;
  });
  std::vector<size_t> lines;
  for (const Parsed& row : parsed) {
    if (result.records.empty()) {
      result.records.push_back(row.record);
      lines.push_back(row.line);
      continue;
    }
    ZarqPriceRecord& last = result.records.back();
    if (last.Date == row.record.Date && last.Time == row.record.Time) {
      if (result.duplicates++ == 0) {
        result.duplicate_example =
            ": " + DateText(row.record.Date) + (timed ? " " + TimeText(row.record.Time) : "") +
            " (lines " + std::to_string(lines.back()) + " and " + std::to_string(row.line) + ")";
      }
      last = row.record;
      continue;
    }
    // Longer periods: one row per week or month.
    if ((period == 'W' || period == 'M') &&
        PeriodKey(period, last.Date) == PeriodKey(period, row.record.Date)) {
      throw CommandError(name + ": mixed periods: lines " + std::to_string(lines.back()) + " and " +
                         std::to_string(row.line) + " fall in one " +
                         (period == 'W' ? "week" : "month"));
    }
    result.records.push_back(row.record);
    lines.push_back(row.line);
  }

  result.period = period;
  result.interval = interval;
  if (period == 'I') {
    int shortest = 0;
    result.first_time = result.last_time = result.records.front().Time;
    for (size_t i = 0; i < result.records.size(); ++i) {
      const ZarqPriceRecord& record = result.records[i];
      result.first_time = std::min(result.first_time, record.Time);
      result.last_time = std::max(result.last_time, record.Time);
      if (i > 0 && result.records[i - 1].Date == record.Date) {
        const int step = Minutes(record.Time) - Minutes(result.records[i - 1].Time);
        if (step > 0 && (shortest == 0 || step < shortest)) shortest = step;
      }
    }
    if (result.interval == 0) result.interval = static_cast<uint16_t>(shortest > 0 ? shortest : 1);
  }
  return result;
}

}  // namespace zarq_cli
