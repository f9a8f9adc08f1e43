// output.h: the command's results as a table for people (columns aligned,
// numbers to the right), CSV or JSON for programs; and a progress bar for
// long work on a terminal. Single-threaded.

#ifndef ZARQ_TOOLS_ZARQ_OUTPUT_H_
#define ZARQ_TOOLS_ZARQ_OUTPUT_H_

#include <cstdio>
#include <string>
#include <vector>

namespace zarq_cli {

enum class Format { kTable, kCsv, kJson };

class Table {
 public:
  // A column; numeric ones align right and are JSON numbers.
  struct Column {
    std::string name;
    bool numeric = false;
  };
  explicit Table(std::vector<Column> columns) : columns_(std::move(columns)) {}

  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  size_t size() const { return rows_.size(); }
  // Prints to out; an empty cell is JSON null.
  void Print(std::FILE* out, Format format) const;

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

// A JSON string literal of text.
std::string JsonString(const std::string& text);

// A bar on standard error while work of total steps goes on, shown only when
// standard error is a terminal and total is at least minimum.
class Progress {
 public:
  Progress(const std::string& label, size_t total, size_t minimum = 10000);
  ~Progress();
  void Update(size_t done);
  // For ReadAll and alike: context is a Progress.
  static void Callback(size_t done, size_t total, void* context);

 private:
  std::string label_;
  size_t total_;
  bool shown_;
  int last_percent_ = -1;
};

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_OUTPUT_H_
