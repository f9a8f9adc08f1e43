// check.cc: zarq check: opens the folder (the first user's open rebuilds
// and repairs the directory files), then reads every security's data file
// and reports a header count the file does not hold, records out of order,
// duplicate moments and invalid dates or times; with --repair the
// library's own operations fix them. Suspect prices (a high below the low,
// a negative volume) are reported, never changed: only their source knows
// the right value.

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "include/zarq_private.h"
#include "tools/zarq/commands.h"
#include "tools/zarq/database.h"
#include "tools/zarq/values.h"

namespace zarq_cli {
namespace {

bool Earlier(const ZarqPriceRecord& a, const ZarqPriceRecord& b) {
  return a.Date != b.Date ? a.Date < b.Date : a.Time < b.Time;
}

std::string MomentText(const ZarqSecurityInfo& info, const ZarqPriceRecord& record) {
  return DateText(record.Date) + (Intraday(info) ? " " + TimeText(record.Time) : "");
}

struct Findings {
  // Data records the header counts, and whole records the file holds (-1:
  // the file could not be read).
  long counted = 0, present = 0;
  std::vector<uint16_t> invalid;  // record numbers of invalid moments
  size_t unsorted = 0, duplicates = 0, suspect = 0;
  std::string unsorted_example, duplicate_example, invalid_example, suspect_example;
};

// The data file's own count beside its size, read from the file while the
// security is locked (the library believes a count only as far as whole
// records go, and corrects it when the security is unlocked).
void ReadHeader(const ZarqSecurityInfo& info, Findings* findings) {
  char name[512] = {};
  findings->present = -1;
  if (ZARQP_BuildSecurityFileName(info.Handle, name, 3) < 0) return;
  std::ifstream file(name, std::ios::binary);
  unsigned char header[4] = {};
  struct stat facts {};
  if (!file.read(reinterpret_cast<char*>(header), 4) || stat(name, &facts) != 0) return;
  const long record_size = 4 * ZARQP_CountBits(info.FieldMask & 0xFF);
  findings->counted = static_cast<long>(header[2] | header[3] << 8) - 1;
  findings->present = static_cast<long>(facts.st_size) / record_size - 1;
}

void Inspect(const ZarqSecurityInfo& info, const std::vector<ZarqPriceRecord>& records,
             Findings* findings) {
  const bool intraday = Intraday(info);
  const bool ranged = (info.FieldMask & ZARQ_FIELD_HIGH) && (info.FieldMask & ZARQ_FIELD_LOW);
  std::vector<ZarqPriceRecord> sorted;
  for (size_t i = 0; i < records.size(); ++i) {
    const ZarqPriceRecord& record = records[i];
    const bool valid =
        ZARQ1_ValidateDate(record.Date, 1) == ZARQ_OK &&
        (intraday ? ZARQ1_ValidateTime(record.Time, 1) == ZARQ_OK : record.Time == 0);
    if (!valid) {
      if (findings->invalid.empty()) {
        findings->invalid_example = "record " + std::to_string(i + 1) + ": date " +
                                    std::to_string(record.Date) + ", time " +
                                    std::to_string(record.Time);
      }
      findings->invalid.push_back(static_cast<uint16_t>(i + 1));
      continue;
    }
    if (!sorted.empty() && Earlier(record, sorted.back()) && findings->unsorted++ == 0) {
      findings->unsorted_example = "record " + std::to_string(i + 1) + " (" +
                                   MomentText(info, record) + ") after " +
                                   MomentText(info, sorted.back());
    }
    sorted.push_back(record);
    const bool placeholder = ZARQP_IsPlaceholderRecord(&record) != 0;
    const bool bad_range = ranged && record.High < record.Low;
    const bool negative = record.Close < 0 || record.Volume < 0 || record.OpenInterest < 0;
    if (!placeholder && (bad_range || negative) && findings->suspect++ == 0) {
      findings->suspect_example =
          MomentText(info, record) + (bad_range ? ": high below low" : ": a negative value");
    }
  }
  std::stable_sort(sorted.begin(), sorted.end(), Earlier);
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (!Earlier(sorted[i - 1], sorted[i]) && findings->duplicates++ == 0) {
      findings->duplicate_example = MomentText(info, sorted[i]);
    }
  }
}

}  // namespace

int Check(const Options& options) {
  Library library;
  ZarqDirectoryStatus before{};
  ZARQ1_GetDirectoryStatus(0, options.dir.c_str(), &before);
  Database database(options.dir, Database::Mode::kExisting);
  if (before.InUse) {
    std::fprintf(stderr,
                 "note: other programs have %s open: its directory files were checked by their "
                 "headers, not rebuilt\n",
                 options.dir.c_str());
  }
  Table table({{"Symbol"}, {"Problem"}, {"Detail"}, {"Action"}});
  bool unresolved = false;
  size_t checked = 0;
  for (const ZarqSecurityInfo& info : database.Securities()) {
    if (info.Composite) continue;  // its data are its components'
    const std::string symbol = DisplaySymbol(info);
    ++checked;
    Findings findings;
    {
      SecurityLock lock(info.Handle, options.repair ? ZARQ_WRITE_LOCK : ZARQ_READ_LOCK, symbol);
      ReadHeader(info, &findings);
      Inspect(info, ReadAll(info.Handle), &findings);
      auto report = [&](const std::string& problem, const std::string& detail, bool fixable,
                        int32_t status) {
        std::string action = "none";
        if (fixable && options.repair) {
          action = status >= 0 ? "fixed" : "failed: " + StatusText(status);
        }
        if (!fixable) action = "reported only";
        if (fixable && (!options.repair || status < 0)) unresolved = true;
        table.Add({symbol, problem, detail, action});
      };
      if (findings.present >= 0 && findings.counted > findings.present) {
        // The library has believed the count only as far as whole records
        // go; its unlock writes that count back.
        report("record count",
               "the header counts " + std::to_string(findings.counted) +
                   " records, the file holds " + std::to_string(findings.present),
               true, 0);
      }
      if (!findings.invalid.empty()) {
        int32_t status = 0;
        if (options.repair) {
          // From the last, so that record numbers stay right.
          for (auto it = findings.invalid.rbegin(); it != findings.invalid.rend() && status >= 0;
               ++it) {
            ZarqDateTimePair pair{};
            status = ZARQ1_FindDataRec(info.Handle, *it, &pair);
            if (status >= 0) status = ZARQ1_DeleteDataRec(info.Handle);
          }
        }
        report("invalid moment",
               std::to_string(findings.invalid.size()) + " records, first " +
                   findings.invalid_example + (options.repair ? " (deleted)" : ""),
               true, status);
      }
      if (findings.unsorted > 0) {
        report("out of order",
               std::to_string(findings.unsorted) + " records, first " + findings.unsorted_example,
               true, options.repair ? ZARQ2_SortData(info.Handle) : 0);
      }
      if (findings.duplicates > 0) {
        report("duplicate moments",
               std::to_string(findings.duplicates) + " records, first at " +
                   findings.duplicate_example + (options.repair ? " (the first kept)" : ""),
               true, options.repair ? ZARQ2_RemoveDuplicateDataRecs(info.Handle, 0) : 0);
      }
      if (findings.suspect > 0) {
        report("suspect values",
               std::to_string(findings.suspect) + " records, first " + findings.suspect_example,
               false, 0);
      }
      lock.Release();
    }
  }
  if (options.format == Format::kTable && table.size() == 0) {
    std::printf("%s: %zu securities checked, no problems found\n", options.dir.c_str(), checked);
  } else {
    table.Print(stdout, options.format);
  }
  return unresolved ? 1 : 0;
}

}  // namespace zarq_cli
