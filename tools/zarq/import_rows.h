// import_rows.h: the rows of a CSV file as price records: columns found by
// their header names, values parsed and checked, rows sorted by moment with
// duplicates folded, and the period the rows have (or must have). Pure
// functions over the parsed file; thread-safe.

#ifndef ZARQ_TOOLS_ZARQ_IMPORT_ROWS_H_
#define ZARQ_TOOLS_ZARQ_IMPORT_ROWS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "tools/zarq/csv.h"

namespace zarq_cli {

// The column of each value (-1: none). A date header written as a strptime
// picture ("%Y-%m-%d") is the date column in that form.
struct ColumnMap {
  int date = -1, time = -1, open = -1, high = -1, low = -1, close = -1, volume = -1, oi = -1;
  std::string date_picture;
};

// Finds the columns by header name, letter case, blanks and punctuation
// aside: Date, Time, Open, High, Low, Close (or Last), Volume (or Vol),
// OpenInt (or Open Interest, OI). Throws without Date or Close.
ColumnMap MapColumns(const std::vector<std::string>& header, const std::string& name);

struct ImportedRows {
  ColumnMap columns;
  std::vector<ZarqPriceRecord> records;   // sorted by moment, one per moment
  size_t rows = 0;                        // data rows in the file
  size_t duplicates = 0;                  // rows whose moment an earlier row had
  std::string duplicate_example;          // ": 2001-01-02 (lines 4 and 9)"
  char period = 'D';                      // 'D', 'W', 'M' or 'I'
  uint16_t interval = 0;                  // minutes of intraday bars
  int32_t first_time = 0, last_time = 0;  // earliest and latest time of day
};

// The records of rows (rows[0] the header) for a security of period (0: as
// the rows show: 'I' when they have times, else 'D') and interval (0: the
// shortest step between the rows of a day). Of rows of one moment the last
// is kept. Throws, naming the file and line, for an unparsable date, time
// or number, a missing close, more than max_rows rows, or rows of mixed
// periods.
ImportedRows ReadRows(const std::vector<CsvRow>& rows, const std::string& name, char period,
                      uint16_t interval, size_t max_rows = 65500);

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_IMPORT_ROWS_H_
