// read_commands.cc: the subcommands that create a database or look at one:
// create, list, show, export, convert and status.

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "include/zarq_private.h"
#include "tools/zarq/bars.h"
#include "tools/zarq/commands.h"
#include "tools/zarq/csv.h"
#include "tools/zarq/database.h"
#include "tools/zarq/values.h"

namespace zarq_cli {
namespace {

// A date option (ISO or the user's form); fallback when the text is empty.
int32_t DateOption(const std::string& text, const char* option, int32_t fallback) {
  if (text.empty()) return fallback;
  int32_t date = 0;
  if (!ParseDate(text, "", &date)) {
    throw CommandError(std::string(option) + ": not a date: " + text + " (use yyyy-mm-dd)");
  }
  return date;
}

std::string DataFileName(uint32_t handle) {
  char name[512] = {};
  if (ZARQP_BuildSecurityFileName(handle, name, 3) < 0) return "";
  const char* slash = std::strrchr(name, '/');
  return slash != nullptr ? slash + 1 : name;
}

// Writes a security's records as CSV to out, with a progress bar.
void WriteBars(std::FILE* out, const ZarqSecurityInfo& info, const std::string& label) {
  SecurityLock lock(info.Handle, ZARQ_READ_LOCK, DisplaySymbol(info));
  Progress progress("reading " + label, RecordCount(info.Handle));
  const std::vector<ZarqPriceRecord> records = ReadAll(info.Handle, Progress::Callback, &progress);
  lock.Release();
  std::vector<std::string> header;
  for (const Table::Column& column : BarColumns(info)) header.push_back(column.name);
  WriteCsvRow(out, header);
  Progress writing("writing " + label, records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    WriteCsvRow(out, BarRow(info, records[i]));
    if (i % 1024 == 0) writing.Update(i);
  }
}

// Opens path for writing; throws with the system's reason.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> OpenOutput(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) throw CommandError(path + ": " + std::strerror(errno));
  return {file, &std::fclose};
}

void CloseOutput(std::unique_ptr<std::FILE, int (*)(std::FILE*)> file, const std::string& path) {
  if (std::ferror(file.get()) || std::fclose(file.release()) != 0) {
    throw CommandError(path + ": " + std::strerror(errno));
  }
}

// A file name for a security's export: its symbol with the characters a
// file name cannot hold replaced, and its period when the symbol repeats.
std::string ExportFileName(const ZarqSecurityInfo& info, bool symbol_repeats) {
  std::string name = DisplaySymbol(info);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("._-+", c) == nullptr) c = '_';
  }
  if (symbol_repeats) name += "-" + PeriodText(info);
  return name + ".csv";
}

}  // namespace

int Create(const Options& options) {
  Library library;
  Database database(options.dir, Database::Mode::kCreate);
  std::printf("created an empty database in %s\n", options.dir.c_str());
  return 0;
}

int List(const Options& options) {
  Library library;
  Database database(options.dir, Database::Mode::kExisting);
  Table table({{"Symbol"},
               {"Name"},
               {"Period"},
               {"First", false},
               {"Last", false},
               {"Records", true},
               {"File"}});
  for (const ZarqSecurityInfo& info : database.Securities()) {
    std::string records, file, first, last;
    try {
      SecurityLock lock(info.Handle, ZARQ_READ_LOCK, DisplaySymbol(info));
      const uint16_t count = RecordCount(info.Handle);
      records = std::to_string(count);
      file = DataFileName(info.Handle);
      if (count > 0) {
        first = DateText(info.FirstDate);
        last = DateText(info.LastDate);
      }
    } catch (const CommandError& error) {
      // A security another program holds is listed all the same.
      file = error.what();
    }
    table.Add({DisplaySymbol(info), info.Name, PeriodText(info), first, last, records, file});
  }
  table.Print(stdout, options.format);
  return 0;
}

int Show(const Options& options) {
  Library library;
  Database database(options.dir, Database::Mode::kExisting);
  const ZarqSecurityInfo info = database.Find(options.symbol, options.period, options.interval);
  const int32_t from = DateOption(options.from, "--from", 0);
  const int32_t to = DateOption(options.to, "--to", 99991231);
  SecurityLock lock(info.Handle, ZARQ_READ_LOCK, options.symbol);
  std::vector<ZarqPriceRecord> records = ReadAll(info.Handle);
  lock.Release();
  std::erase_if(records, [&](const ZarqPriceRecord& r) { return r.Date < from || r.Date > to; });
  size_t start = 0;
  if (options.last > 0 && records.size() > options.last) start = records.size() - options.last;
  Table table(BarColumns(info));
  for (size_t i = start; i < records.size(); ++i) table.Add(BarRow(info, records[i]));
  table.Print(stdout, options.format);
  return 0;
}

int Export(const Options& options) {
  Library library;
  Database database(options.dir, Database::Mode::kExisting);
  if (!options.all) {
    const ZarqSecurityInfo info = database.Find(options.symbol, options.period, options.interval);
    if (options.output.empty() || options.output == "-") {
      WriteBars(stdout, info, options.symbol);
      return 0;
    }
    auto file = OpenOutput(options.output);
    WriteBars(file.get(), info, options.symbol);
    CloseOutput(std::move(file), options.output);
    return 0;
  }
  if (options.output.empty()) throw CommandError("export --all needs -o FOLDER");
  if (mkdir(options.output.c_str(), 0777) != 0 && errno != EEXIST) {
    throw CommandError(options.output + ": " + std::strerror(errno));
  }
  const std::vector<ZarqSecurityInfo> securities = database.Securities();
  std::map<std::string, int> uses;
  for (const ZarqSecurityInfo& info : securities) ++uses[DisplaySymbol(info)];
  for (const ZarqSecurityInfo& info : securities) {
    const std::string path =
        options.output + "/" + ExportFileName(info, uses[DisplaySymbol(info)] > 1);
    auto file = OpenOutput(path);
    WriteBars(file.get(), info, DisplaySymbol(info));
    CloseOutput(std::move(file), path);
    std::fprintf(stderr, "%s\n", path.c_str());
  }
  return 0;
}

int Convert(const Options& options) {
  Library library;
  Database database(options.dir, Database::Mode::kExisting);
  const ZarqSecurityInfo info = database.Find(options.symbol, options.period, options.interval);
  SecurityLock lock(info.Handle, ZARQ_READ_LOCK, options.symbol);
  const uint16_t total = RecordCount(info.Handle);
  // Bars of a day or longer carry no time.
  ZarqSecurityInfo shown = info;
  if (options.target != 'N') shown.Period = 'D';
  Table table(BarColumns(shown));
  if (total > 0) {
    ZarqPriceRecord first{}, last{};
    ZarqDateTimePair pair{};
    Check(ZARQ1_FindDataRec(info.Handle, 1, &pair), options.symbol);
    Check(ZARQ1_ReadDataRec(info.Handle, &first), options.symbol);
    Check(ZARQ1_FindDataRec(info.Handle, total, &pair), options.symbol);
    Check(ZARQ1_ReadDataRec(info.Handle, &last), options.symbol);
    const ZarqDateTimePair start = {first.Date, first.Time}, end = {last.Date, last.Time};
    std::vector<ZarqPriceRecord> bars(total);
    uint16_t count = total;
    Check(ZARQ2_ReadConvertedRecsByDates(info.Handle, bars.data(), &start, &end, &count,
                                         ZARQ_FIND_AT_OR_AFTER, options.target, options.n, 0),
          options.symbol + ": converting to " + options.target);
    for (uint16_t i = 0; i < count; ++i) table.Add(BarRow(shown, bars[i]));
  }
  lock.Release();
  table.Print(stdout, options.format);
  return 0;
}

int Status(const Options& options) {
  Library library;
  // The users as the user file lists them (a record of 71 bytes each, after
  // a header of the same size giving the count).
  std::vector<std::string> users;
  std::ifstream user_file(options.dir + "/~ZARQ.USR", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(user_file)),
                          std::istreambuf_iterator<char>());
  constexpr size_t kUserRecord = 71;
  for (size_t at = kUserRecord; at + kUserRecord <= bytes.size(); at += kUserRecord) {
    if (bytes[at] == 1) users.push_back(std::string(bytes.c_str() + at + 5));
  }
  Database database(options.dir, Database::Mode::kExisting);
  std::map<std::string, int> periods;
  int composites = 0;
  const std::vector<ZarqSecurityInfo> securities = database.Securities();
  for (const ZarqSecurityInfo& info : securities) {
    ++periods[PeriodText(info)];
    composites += info.Composite ? 1 : 0;
  }
  ZarqDirectoryStatus open{};
  ZARQ1_GetDirectoryStatus(static_cast<int8_t>(database.number()), nullptr, &open);
  // The drive kind is a set of bits, CD-ROM with removable.
  std::string drive = (open.DriveKind & 0x08)   ? "CD-ROM"
                      : (open.DriveKind & 0x01) ? "removable"
                      : (open.DriveKind & 0x04) ? "remote"
                      : (open.DriveKind & 0x10) ? "RAM disk"
                      : (open.DriveKind & 0x02) ? "fixed"
                                                : "unknown";
  Table table({{"Item"}, {"Value"}});
  table.Add({"folder", options.dir});
  table.Add({"drive", drive});
  table.Add({"read-only", open.ReadOnly ? "yes" : "no"});
  table.Add({"other users", std::to_string(users.size())});
  for (const std::string& user : users) table.Add({"user", user});
  table.Add({"securities", std::to_string(securities.size())});
  table.Add({"composites", std::to_string(composites)});
  for (const auto& [period, count] : periods) {
    table.Add({"period " + period, std::to_string(count)});
  }
  table.Print(stdout, options.format);
  return 0;
}

}  // namespace zarq_cli
