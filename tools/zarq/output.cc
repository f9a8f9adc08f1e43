// output.cc: see output.h.

#include "tools/zarq/output.h"

#include <unistd.h>

#include <algorithm>

#include "tools/zarq/csv.h"

namespace zarq_cli {

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof(escape), "\\u%04x", c);
          json += escape;
        } else {
          json += static_cast<char>(c);
        }
    }
  }
  return json + "\"";
}

void Table::Print(std::FILE* out, Format format) const {
  if (format == Format::kCsv) {
    std::vector<std::string> header;
    for (const Column& column : columns_) header.push_back(column.name);
    WriteCsvRow(out, header);
    for (const auto& row : rows_) WriteCsvRow(out, row);
    return;
  }
  if (format == Format::kJson) {
    std::fputs("[", out);
    for (size_t r = 0; r < rows_.size(); ++r) {
      std::fputs(r == 0 ? "\n  {" : ",\n  {", out);
      for (size_t c = 0; c < columns_.size(); ++c) {
        const std::string& cell = rows_[r][c];
        std::string value = cell.empty() ? "null" : columns_[c].numeric ? cell : JsonString(cell);
        std::fprintf(out, "%s%s: %s", c == 0 ? "" : ", ", JsonString(columns_[c].name).c_str(),
                     value.c_str());
      }
      std::fputs("}", out);
    }
    std::fputs(rows_.empty() ? "]\n" : "\n]\n", out);
    return;
  }
  std::vector<size_t> widths;
  for (const Column& column : columns_) widths.push_back(column.name.size());
  for (const auto& row : rows_) {
    for (size_t c = 0; c < columns_.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < columns_.size(); ++c) {
      const std::string pad(widths[c] - cells[c].size(), ' ');
      if (c > 0) text += "  ";
      text += columns_[c].numeric ? pad + cells[c] : cells[c] + pad;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::fprintf(out, "%s\n", text.c_str());
  };
  std::vector<std::string> header;
  for (const Column& column : columns_) header.push_back(column.name);
  line(header);
  for (const auto& row : rows_) line(row);
}

Progress::Progress(const std::string& label, size_t total, size_t minimum)
    : label_(label), total_(total), shown_(total >= minimum && isatty(STDERR_FILENO)) {}

Progress::~Progress() {
  if (shown_ && last_percent_ >= 0) std::fputs("\r\033[K", stderr);
}

void Progress::Update(size_t done) {
  if (!shown_ || total_ == 0) return;
  const int percent = static_cast<int>(done * 100 / total_);
  if (percent == last_percent_) return;
  last_percent_ = percent;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), percent);
  std::fflush(stderr);
}

void Progress::Callback(size_t done, size_t, void* context) {
  static_cast<Progress*>(context)->Update(done);
}

}  // namespace zarq_cli
