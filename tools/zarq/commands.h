// commands.h: the subcommands of the zarq command. Each takes its parsed
// options, prints its results to standard output, throws CommandError for
// a failure (main reports it) and returns the exit status.

#ifndef ZARQ_TOOLS_ZARQ_COMMANDS_H_
#define ZARQ_TOOLS_ZARQ_COMMANDS_H_

#include <cstdint>
#include <string>

#include "tools/zarq/output.h"

namespace zarq_cli {

struct Options {
  std::string dir;
  Format format = Format::kTable;
  std::string symbol;
  char period = 0;        // narrows the symbol down, or the period of an import
  uint16_t interval = 0;  // minutes of intraday bars
  std::string from, to;   // date texts
  uint32_t last = 0;      // show: the last N bars (0: all)
  bool all = false;       // export every security
  std::string output;     // export: file or folder ("" or "-": standard output)
  std::string file;       // import: the CSV file
  std::string name;       // import: a new security's name
  bool repair = false;    // check
  char target = 0;        // convert: W, M, Q, Y or N
  uint32_t n = 1;         // convert: minutes of N bars
};

int Create(const Options& options);
int List(const Options& options);
int Show(const Options& options);
int Export(const Options& options);
int Import(const Options& options);
int Check(const Options& options);
int Convert(const Options& options);
int Status(const Options& options);

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_COMMANDS_H_
