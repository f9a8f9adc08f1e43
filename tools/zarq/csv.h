// csv.h: CSV files as rows of text fields, read with Debian's libcsv (quoted
// fields, doubled quotes, line breaks inside quotes) after finding the field
// separator (comma, semicolon, tab or bar) from the header line, and written
// with the quoting that reads back the same. Thread-safe.

#ifndef ZARQ_TOOLS_ZARQ_CSV_H_
#define ZARQ_TOOLS_ZARQ_CSV_H_

#include <cstdio>
#include <string>
#include <vector>

namespace zarq_cli {

struct CsvRow {
  size_t line = 0;  // where the row starts in the file, from 1
  std::vector<std::string> fields;
};

// The rows of text (empty rows skipped). Throws CommandError on a malformed
// file (an unclosed quote).
std::vector<CsvRow> ParseCsv(const std::string& text, const std::string& name);
// The separator the header line uses most outside quotes (',' when none).
char DetectSeparator(const std::string& text);

// Writes one row, quoting fields that need it, with a LF line end.
void WriteCsvRow(std::FILE* out, const std::vector<std::string>& fields);

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_CSV_H_
