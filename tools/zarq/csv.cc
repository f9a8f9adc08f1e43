// csv.cc: see csv.h.

#include "tools/zarq/csv.h"

#include <csv.h>

#include "tools/zarq/database.h"

namespace zarq_cli {
namespace {

struct Collector {
  std::vector<CsvRow> rows;
  CsvRow current;
  size_t line = 1;       // the line the parser has reached
  size_t row_start = 1;  // the line the current row began on
  bool row_started = false;
};

void OnField(void* data, size_t size, void* context) {
  auto* collector = static_cast<Collector*>(context);
  if (!collector->row_started) {
    collector->row_started = true;
    collector->current.line = collector->row_start;
  }
  collector->current.fields.emplace_back(
      size == 0 ? "" : std::string(static_cast<const char*>(data), size));
}

void OnRowEnd(int, void* context) {
  auto* collector = static_cast<Collector*>(context);
  CsvRow& row = collector->current;
  const bool blank = row.fields.empty() || (row.fields.size() == 1 && row.fields[0].empty());
  if (!blank) collector->rows.push_back(std::move(row));
  collector->current = CsvRow{};
  collector->row_started = false;
}

}  // namespace

char DetectSeparator(const std::string& text) {
  const std::string candidates = ",;\t|";
  size_t counts[4] = {};
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') break;
    size_t at = candidates.find(c);
    if (at != std::string::npos) ++counts[at];
  }
  size_t best = 0;
  for (size_t i = 1; i < 4; ++i) {
    if (counts[i] > counts[best]) best = i;
  }
  return candidates[best];
}

std::vector<CsvRow> ParseCsv(const std::string& text, const std::string& name) {
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
    throw CommandError(name + ": out of memory");
  }
  csv_set_delim(&parser, static_cast<unsigned char>(DetectSeparator(text)));
  Collector collector;
  // Fed line by line so that each row knows the line it starts on.
  size_t at = 0;
  bool failed = false;
  while (at < text.size() && !failed) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    if (!collector.row_started) collector.row_start = collector.line;
    failed =
        csv_parse(&parser, text.data() + at, end - at, OnField, OnRowEnd, &collector) != end - at;
    ++collector.line;
    at = end;
  }
  if (!failed) failed = csv_fini(&parser, OnField, OnRowEnd, &collector) != 0;
  const std::string problem = csv_strerror(csv_error(&parser));
  csv_free(&parser);
  if (failed) {
    throw CommandError(name + ": line " + std::to_string(collector.row_start) +
                       ": not valid CSV (" + problem + ")");
  }
  return std::move(collector.rows);
}

void WriteCsvRow(std::FILE* out, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) std::fputc(',', out);
    const std::string& field = fields[i];
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
      std::fwrite(field.data(), 1, field.size(), out);
    } else {
      csv_fwrite(out, field.data(), field.size());
    }
  }
  std::fputc('\n', out);
}

}  // namespace zarq_cli
