// import.cc: zarq import: a CSV file's rows become a security's records.
// Everything is read and checked before the database is touched; the
// records then reach the library in one write, so a refused file or a
// failed write leaves the database as it was.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tools/zarq/commands.h"
#include "tools/zarq/csv.h"
#include "tools/zarq/database.h"
#include "tools/zarq/import_rows.h"
#include "tools/zarq/values.h"

namespace zarq_cli {
namespace {

constexpr size_t kMaxRecords = 65500;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandError(path + ": " + std::strerror(errno));
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool SameMoment(const ZarqPriceRecord& a, const ZarqPriceRecord& b) {
  return a.Date == b.Date && a.Time == b.Time;
}
bool Earlier(const ZarqPriceRecord& a, const ZarqPriceRecord& b) {
  return a.Date != b.Date ? a.Date < b.Date : a.Time < b.Time;
}

// The field mask of a new security: open, high and low always, open
// interest when the file has it; time in place of the highest field for
// intraday bars.
uint16_t NewFieldMask(bool intraday, bool open_interest) {
  if (intraday) return open_interest ? 0xFF : 0xBF;
  return open_interest ? 0x7F : 0x3F;
}

ZarqSecurityInfo AddSecurity(const Database& database, const Options& options,
                             const ImportedRows& rows) {
  if (options.symbol.empty() || options.symbol.size() > 14) {
    throw CommandError("--symbol: 1 to 14 characters, not '" + options.symbol + "'");
  }
  const std::string name = options.name.empty() ? options.symbol : options.name;
  if (name.size() > 45) throw CommandError("--name: at most 45 characters");
  ZarqSecurityInfo info{};
  info.Size = sizeof(info);
  std::strcpy(info.Symbol, options.symbol.c_str());
  std::strcpy(info.Name, name.c_str());
  info.Period = rows.period;
  info.Interval = rows.period == 'I' ? rows.interval : 0;
  info.FieldMask = NewFieldMask(rows.period == 'I', rows.columns.oi >= 0);
  info.FirstDate = info.LastDate = info.BaseDate = rows.records.front().Date;
  if (rows.period == 'I') {
    info.FirstTime = info.LastTime = rows.records.front().Time;
    info.StartTime = rows.first_time;
    info.EndTime = rows.last_time;
  }
  Check(ZARQ1_AddSecurity(database.number(), &info, 0), options.symbol);
  return info;
}

}  // namespace

int Import(const Options& options) {
  // The file is read and checked whole before the database is opened, so
  // that a refused file leaves even the directory files untouched.
  const std::vector<CsvRow> csv = ParseCsv(ReadFile(options.file), options.file);
  ImportedRows rows = ReadRows(csv, options.file, options.period, options.interval, kMaxRecords);
  Library library;
  Database database(options.dir, Database::Mode::kExisting);
  ZarqSecurityInfo info{};
  const bool exists = database.TryFind(options.symbol, options.period, options.interval, &info);
  if (exists) {
    // The rows must fit the security's own period.
    const char period = static_cast<char>(std::toupper(static_cast<unsigned char>(info.Period)));
    if (period != rows.period || period == 'I') {
      rows = ReadRows(csv, options.file, period, info.Interval, kMaxRecords);
    }
  }
  if (rows.duplicates > 0) {
    std::fprintf(stderr, "%s: %zu duplicate moments, the last row of each kept%s\n",
                 options.file.c_str(), rows.duplicates, rows.duplicate_example.c_str());
  }
  const std::vector<ZarqPriceRecord>& unique = rows.records;

  const bool added = !exists;
  if (added) info = AddSecurity(database, options, rows);
  size_t present = 0, written = 0;
  try {
    SecurityLock lock(info.Handle, ZARQ_WRITE_LOCK, options.symbol);
    std::vector<ZarqPriceRecord> records = ReadAll(info.Handle);
    if (!std::is_sorted(records.begin(), records.end(), Earlier)) {
      throw CommandError(options.symbol + ": its records are out of order; run zarq check " +
                         options.dir + " --repair first");
    }
    // Only moments the security lacks are added.
    std::vector<ZarqPriceRecord> fresh;
    size_t at = 0;
    for (const ZarqPriceRecord& record : unique) {
      while (at < records.size() && Earlier(records[at], record)) ++at;
      if (at < records.size() && SameMoment(records[at], record)) {
        ++present;
      } else {
        fresh.push_back(record);
      }
    }
    if (records.size() + fresh.size() > kMaxRecords) {
      throw CommandError(options.symbol + ": " + std::to_string(records.size()) + " records and " +
                         std::to_string(fresh.size()) +
                         " new ones exceed the 65500 a security holds");
    }
    written = fresh.size();
    if (!fresh.empty()) {
      Progress progress("writing " + options.symbol, 1, 0);
      std::vector<ZarqPriceRecord> batch;
      if (records.empty() || Earlier(records.back(), fresh.front())) {
        batch = std::move(fresh);  // appended after the last record
      } else {
        // Interleaved: the whole history written again from record 1.
        std::vector<ZarqPriceRecord> merged(records.size() + fresh.size());
        merged.resize(std::merge(records.begin(), records.end(), fresh.begin(), fresh.end(),
                                 merged.begin(), Earlier) -
                      merged.begin());
        batch = std::move(merged);
      }
      for (ZarqPriceRecord& record : batch) record.FieldMask = info.FieldMask;
      Check(ZARQ2_WriteMultipleRecs(info.Handle, batch.data(), static_cast<uint16_t>(batch.size()),
                                    ZARQ_FIND_AT_OR_AFTER),
            options.symbol + ": writing");
      progress.Update(1);
    }
    lock.Release();
  } catch (const CommandError&) {
    if (added) ZARQ1_DeleteSecurity(info.Handle, 0);
    throw;
  }
  if (options.format == Format::kJson) {
    std::printf(
        "{\"symbol\": %s, \"created\": %s, \"rows\": %zu, \"added\": %zu, \"present\": %zu, "
        "\"duplicates\": %zu}\n",
        JsonString(options.symbol).c_str(), added ? "true" : "false", rows.rows, written, present,
        rows.duplicates);
  } else {
    std::printf("%s: %s, %zu rows, %zu records added, %zu already present\n",
                options.symbol.c_str(), added ? "new security" : "existing security", rows.rows,
                written, present);
  }
  return 0;
}

}  // namespace zarq_cli
