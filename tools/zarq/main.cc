// main.cc: the zarq command: its subcommands and options (CLI11), and the
// one place where failures become a message on standard error and a
// non-zero exit status.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/zarq/commands.h"
#include "tools/zarq/database.h"

namespace {

using zarq_cli::Options;

// The library finds its message texts in $ZARQ_COMMON_FILES/zarq/ or under
// its install prefix; a command run from its build tree (or from a moved
// install) points it at the catalog beside the program instead.
void FindMessageCatalog() {
  const char* common = std::getenv("ZARQ_COMMON_FILES");
  if (common != nullptr && common[0] != '\0') return;
  char self[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return;
  std::string folder(self, static_cast<size_t>(length));
  folder.erase(folder.rfind('/'));
  for (const char* up : {"/../share", "/../../share"}) {
    const std::string share = folder + up;
    if (access((share + "/zarq/ZARQMSG110EN.cat").c_str(), R_OK) == 0) {
      setenv("ZARQ_COMMON_FILES", share.c_str(), 1);
      return;
    }
  }
}

void AddFormat(CLI::App* command, Options* options) {
  command->add_flag_callback(
      "--csv", [options] { options->format = zarq_cli::Format::kCsv; }, "print CSV for programs");
  command->add_flag_callback(
      "--json", [options] { options->format = zarq_cli::Format::kJson; },
      "print JSON for programs");
}

void AddPeriod(CLI::App* command, Options* options, const std::string& what) {
  command->add_option("--period", options->period, what)
      ->check(CLI::IsMember({'D', 'W', 'M', 'I'}));
  command->add_option("--interval", options->interval, "minutes of intraday (I) bars")
      ->check(CLI::Range(1, 1439));
}

CLI::App* Command(CLI::App& app, const std::string& name, const std::string& about,
                  const std::string& examples, Options* options) {
  CLI::App* command = app.add_subcommand(name, about);
  command->footer("Examples:\n" + examples);
  command->add_option("DIR", options->dir, "the database folder")->required();
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  FindMessageCatalog();
  Options options;
  CLI::App app{
      "zarq: looks at and maintains a zarq database folder (securities and their price "
      "histories)."};
  app.require_subcommand(1);
  app.footer("Run 'zarq COMMAND --help' for a command's options and examples.");

  CLI::App* create = Command(app, "create", "make an empty folder a database",
                             "  zarq create ~/quotes\n", &options);
  CLI::App* list = Command(app, "list", "list the securities: symbol, name, period, dates, records",
                           "  zarq list ~/quotes\n  zarq list ~/quotes --json\n", &options);
  AddFormat(list, &options);

  CLI::App* show = Command(app, "show", "print a security's bars",
                           "  zarq show ~/quotes MSFT --last 10\n"
                           "  zarq show ~/quotes MSFT --from 2001-01-01 --to 2001-01-31 --csv\n",
                           &options);
  show->add_option("SYMBOL", options.symbol, "the security")->required();
  show->add_option("--from", options.from, "the first date (yyyy-mm-dd)");
  show->add_option("--to", options.to, "the last date (yyyy-mm-dd)");
  show->add_option("--last", options.last, "only the last N bars");
  AddPeriod(show, &options, "the period, when the symbol has several");
  AddFormat(show, &options);

  CLI::App* exporting = Command(app, "export", "write a security's bars as CSV (ISO dates)",
                                "  zarq export ~/quotes MSFT -o msft.csv\n"
                                "  zarq export ~/quotes --all -o backup/\n",
                                &options);
  exporting->add_option("SYMBOL", options.symbol, "the security");
  exporting->add_flag("--all", options.all, "every security, one file each, into -o FOLDER");
  exporting->add_option("-o,--output", options.output, "the file (default: standard output)");
  AddPeriod(exporting, &options, "the period, when the symbol has several");

  CLI::App* import = Command(app, "import", "add a CSV file's rows to a security (made if new)",
                             "  zarq import ~/quotes msft.csv --symbol MSFT --name Microsoft\n"
                             "  zarq import ~/quotes es-5min.csv --symbol ES --period I "
                             "--interval 5\n"
                             "Columns are found by header name: Date, Time, Open, High, Low,\n"
                             "Close, Volume, OpenInt (any letter case; Date and Close needed).\n"
                             "Rows may come in any order; only moments the security lacks are\n"
                             "added.\n",
                             &options);
  import->add_option("FILE", options.file, "the CSV file")->required();
  import->add_option("--symbol", options.symbol, "the security")->required();
  import->add_option("--name", options.name, "a new security's name (default: the symbol)");
  AddPeriod(import, &options, "a new security's period (default: D, or I for rows with times)");
  import->add_flag_callback("--json", [&options] { options.format = zarq_cli::Format::kJson;
},
                            "print the summary as JSON");

CLI::App* check = Command(app, "check", "check every security's data, and repair them",
                          "  zarq check ~/quotes\n  zarq check ~/quotes --repair\n"
                          "Exit status 1 when problems remain.\n",
                          &options);
check->add_flag("--repair", options.repair, "fix what is found");
AddFormat(check, &options);

CLI::App* convert = Command(app, "convert", "print a security's bars in a longer period",
                            "  zarq convert ~/quotes MSFT --to W\n"
                            "  zarq convert ~/quotes ES --to N --n 30 --csv\n",
                            &options);
convert->add_option("SYMBOL", options.symbol, "the security")->required();
convert
    ->add_option("--to", options.target,
                 "D (of intraday data), W, M, Q, Y, or N (bars of --n minutes)")
    ->required()
    ->check(CLI::IsMember({'D', 'W', 'M', 'Q', 'Y', 'N'}));
convert->add_option("--n", options.n, "minutes of N bars")->check(CLI::Range(1, 1440));
AddPeriod(convert, &options, "the period, when the symbol has several");
AddFormat(convert, &options);

CLI::App* status = Command(app, "status", "users of the folder and its securities",
                           "  zarq status ~/quotes\n", &options);
AddFormat(status, &options);

try {
  app.parse(argc, argv);
} catch (const CLI::ParseError& error) {
  const int code = app.exit(error);
  return code == 0 ? 0 : 2;
}
if (exporting->parsed() && options.symbol.empty() != options.all) {
  std::fprintf(stderr, "zarq export: name a SYMBOL or --all\n");
  return 2;
}
try {
  if (create->parsed()) return zarq_cli::Create(options);
  if (list->parsed()) return zarq_cli::List(options);
  if (show->parsed()) return zarq_cli::Show(options);
  if (exporting->parsed()) return zarq_cli::Export(options);
  if (import->parsed()) return zarq_cli::Import(options);
  if (check->parsed()) return zarq_cli::Check(options);
  if (convert->parsed()) return zarq_cli::Convert(options);
  if (status->parsed()) return zarq_cli::Status(options);
} catch (const zarq_cli::CommandError& error) {
  std::fprintf(stderr, "zarq: %s\n", error.what());
  return 1;
} catch (const std::exception& error) {
  std::fprintf(stderr, "zarq: %s\n", error.what());
  return 1;
}
return 2;
}
