// data_commands.cc: random reads and changes of stamped price data by one
// peer, for the reliability harness's data stress.

#include "tests/peer/data_commands.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/security_handle.h"
#include "src/platform/platform.h"
#include "tests/harness/stamped_prices.h"
#include "tests/peer/harness_commands.h"

namespace zarq_test {
namespace {

constexpr int32_t kBadRecords = -9991;
constexpr int32_t kDies = -9997;
constexpr uint32_t kCloseOneIn = 30;
constexpr uint32_t kDieOneIn = 40;  // of the appends
constexpr size_t kFewest = 3;       // a delete leaves at least these
constexpr size_t kMost = 60;        // beyond these, a writer deletes

struct Held {
  uint32_t handle = 0;
  uint32_t version = 0;
  std::vector<uint32_t> days;
};

ZarqDateTimePair MomentOf(uint32_t day) { return {DayDate(day), 0}; }

// All records of the held security, as many as it counts.
int32_t ReadAll(uint32_t handle, std::vector<ZarqPriceRecord>* records, std::string* problem) {
  uint16_t count = 0;
  int32_t status = ZARQ1_GetDataRecordCount(handle, &count);
  records->assign(count, ZarqPriceRecord{});
  if (status == ZARQ_OK) status = ZARQ1_SeekBeginData(handle);
  uint16_t read = count;
  if (status == ZARQ_OK && count > 0) {
    status = ZARQ2_ReadMultipleRecs(handle, records->data(), nullptr, &read, ZARQ_FIND_AT_CURSOR);
  }
  if (status != ZARQ_OK) {
    *problem = "reading " + std::to_string(count) + " records gave " + std::to_string(status);
  } else if (read != count) {
    *problem = "read " + std::to_string(read) + " of " + std::to_string(count) + " records";
    status = kBadRecords;
  }
  return status;
}

// Reads the held security as one committed version, described by its
// first and last dates.
int32_t ReadCommitted(Held* held, std::string* problem) {
  std::vector<ZarqPriceRecord> records;
  int32_t status = ReadAll(held->handle, &records, problem);
  if (status != ZARQ_OK) return status;
  *problem = CheckStamped(records.data(), records.size(), &held->version, &held->days);
  ZarqSecurityInfo info = {};
  if (problem->empty()) status = ZARQ1_GetSecurityInfo(held->handle, &info);
  if (status != ZARQ_OK) {
    *problem = "security info gave " + std::to_string(status);
  } else if (problem->empty() &&
             (info.FirstDate != records.front().Date || info.LastDate != records.back().Date)) {
    *problem = "dates " + std::to_string(info.FirstDate) + ".." + std::to_string(info.LastDate) +
               " for records " + std::to_string(records.front().Date) + ".." +
               std::to_string(records.back().Date);
  }
  return problem->empty() ? status : kBadRecords;
}

// Appends 1..4 days after the last.
int32_t Append(std::mt19937& random, Held* held, std::vector<uint32_t>* days) {
  std::vector<uint32_t> added;
  for (uint32_t k = Below(random, 4) + 1, day = days->back(); k > 0; --k) {
    day += 1 + Below(random, 5);
    added.push_back(day);
  }
  days->insert(days->end(), added.begin(), added.end());
  std::vector<ZarqPriceRecord> records = StampedRecords(added, held->version + 1);
  int32_t status = ZARQ1_SeekEndData(held->handle);
  if (status != ZARQ_OK) return status;
  if (records.size() == 1) return ZARQ1_WriteDataRec(held->handle, &records[0]);
  return ZARQ2_WriteMultipleRecs(held->handle, records.data(),
                                 static_cast<uint16_t>(records.size()), ZARQ_FIND_AT_CURSOR);
}

// Inserts 1..3 days into a gap between days (or before the first); appends
// when there is none.
int32_t Insert(std::mt19937& random, Held* held, std::vector<uint32_t>* days) {
  const size_t n = days->size(), start = Below(random, static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    size_t at = (start + i) % n;
    uint32_t below = at == 0 ? 0 : (*days)[at - 1], gap = (*days)[at] - below - 1;
    if (gap == 0) continue;
    uint32_t k = std::min<uint32_t>(gap, Below(random, 3) + 1);
    std::vector<uint32_t> added;
    for (uint32_t day = below + 1 + Below(random, gap - k + 1); added.size() < k; ++day) {
      added.push_back(day);
    }
    days->insert(days->begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    std::vector<ZarqPriceRecord> records = StampedRecords(added, held->version + 1);
    if (records.size() == 1 && Below(random, 2) == 0) {
      uint16_t recno = 0;
      ZarqDateTimePair moment = MomentOf(held->days[at]);
      int32_t status = ZARQ1_FindDataDate(held->handle, &moment, &recno, ZARQ_FIND_EXACT);
      return status == ZARQ_OK ? ZARQ1_InsertDataRec(held->handle, &records[0]) : status;
    }
    return ZARQ2_InsertMultipleRecs(held->handle, records.data(),
                                    static_cast<uint16_t>(records.size()), ZARQ_FIND_AT_OR_AFTER);
  }
  return Append(random, held, days);
}

// Deletes 1..3 neighbouring days, keeping at least kFewest.
int32_t Delete(std::mt19937& random, Held* held, std::vector<uint32_t>* days) {
  const uint32_t n = static_cast<uint32_t>(days->size());
  uint32_t k = std::min<uint32_t>(n - kFewest, Below(random, 3) + 1);
  uint32_t at = Below(random, n - k + 1);
  ZarqDateTimePair first = MomentOf((*days)[at]), last = MomentOf((*days)[at + k - 1]);
  days->erase(days->begin() + at, days->begin() + at + k);
  switch (Below(random, 3)) {
    case 0:
      return ZARQ2_DeleteMultipleRecs(held->handle, &first, k, ZARQ_FIND_EXACT);
    case 1:
      return ZARQ2_DeleteMultipleRecsByDates(held->handle, &first, ZARQ_FIND_EXACT, &last,
                                             ZARQ_FIND_EXACT);
    default: {
      // One at a time at the cursor, as a caller stepping through would.
      uint16_t recno = 0;
      int32_t status = ZARQ1_FindDataDate(held->handle, &first, &recno, ZARQ_FIND_EXACT);
      for (uint32_t i = 0; i < k && status == ZARQ_OK; ++i)
        status = ZARQ1_DeleteDataRec(held->handle);
      return status;
    }
  }
}

// Changes the held security at random and rewrites it as the next
// version, checking the records after each step.
int32_t Change(std::mt19937& random, Held* held, std::string* problem) {
  std::vector<uint32_t> days = held->days;
  uint32_t kind = held->days.size() >= kMost ? 2 : Below(random, 4);
  if (kind == 2 && held->days.size() <= kFewest) kind = 0;
  int32_t status = kind == 0   ? Append(random, held, &days)
                   : kind == 1 ? Insert(random, held, &days)
                   : kind == 2 ? Delete(random, held, &days)
                               : ZARQ_OK;  // an overwrite only
  std::vector<ZarqPriceRecord> records;
  std::vector<uint32_t> read;
  const char* what[] = {"append", "insert", "delete", "overwrite"};
  // Appended records lie beyond the committed count until the unlock: a
  // process dying now must lose them and nothing else.
  if (status == ZARQ_OK && kind == 0 && Below(random, kDieOneIn) == 0) return kDies;
  if (status != ZARQ_OK) {
    *problem = std::string(what[kind]) + " gave " + std::to_string(status);
    return status;
  }
  status = ReadAll(held->handle, &records, problem);
  if (status == ZARQ_OK) *problem = DaysOf(records.data(), records.size(), &read);
  if (status == ZARQ_OK && problem->empty() && read != days) {
    *problem = "after the " + std::string(what[kind]) + ": " + std::to_string(read.size()) +
               " records, not the " + std::to_string(days.size()) + " days wanted";
  }
  // Each record kept its prices: the old version's, or the new one's.
  const std::set<uint32_t> kept(held->days.begin(), held->days.end());
  for (size_t k = 0; k < records.size() && problem->empty(); ++k) {
    const bool old = kept.count(read[k]) > 0;
    if (records[k].Close != static_cast<float>(old ? held->version : held->version + 1) ||
        (old && records[k].Volume != static_cast<float>(held->days.size()))) {
      *problem = "after the " + std::string(what[kind]) + ": record " + std::to_string(k + 1) +
                 " carries the prices of another";
    }
  }
  if (!problem->empty()) return status != ZARQ_OK ? status : kBadRecords;
  records = StampedRecords(days, held->version + 1);
  status = ZARQ2_WriteMultipleRecs(held->handle, records.data(),
                                   static_cast<uint16_t>(records.size()), ZARQ_FIND_EXACT);
  if (status != ZARQ_OK) {
    *problem = "rewriting gave " + std::to_string(status);
    return status;
  }
  const uint32_t version = held->version + 1;
  status = ReadCommitted(held, problem);
  if (status == ZARQ_OK && held->version != version) {
    *problem = "rewritten as version " + std::to_string(held->version);
    status = kBadRecords;
  }
  return status;
}

}  // namespace

int32_t DataRound(std::istringstream& in, std::string* answer) {
  static std::optional<std::mt19937> generator;
  std::string path;
  uint32_t dir_number = 0, ops = 0, max_pause_ms = 0, seed = 0, slot = 0;
  in >> path >> dir_number >> ops >> max_pause_ms >> seed;
  std::vector<uint32_t> slots;
  while (in >> slot) slots.push_back(slot);
  if (!generator) generator.emplace(seed);
  std::mt19937& random = *generator;
  auto pause = [&] { zarq::Os().Sleep(Below(random, max_pause_ms + 1)); };

  uint8_t dir = static_cast<uint8_t>(dir_number);
  uint32_t conflicts = 0, reads = 0, reopens = 0;
  std::map<uint32_t, uint32_t> commits;
  std::string problem;
  int32_t status = ZARQ_OK;
  for (uint32_t op = 0; op < ops && status == ZARQ_OK && !slots.empty(); ++op) {
    pause();
    slot = slots[Below(random, static_cast<uint32_t>(slots.size()))];
    const bool writing = Below(random, 2) == 0;
    Held held;
    held.handle = zarq::MakeSecurityHandle(dir, slot, false);
    status = ZARQ1_LockSecurity(held.handle, writing ? ZARQ_WRITE_LOCK : ZARQ_READ_LOCK);
    if (status == ZARQ_E_LOCK_CONFLICT) {
      ++conflicts;
      status = ZARQ_OK;
      continue;
    }
    if (status == ZARQ_OK) status = ReadCommitted(&held, &problem);
    if (status == ZARQ_OK && writing) status = Change(random, &held, &problem);
    if (status == kDies) break;
    if (status != ZARQ_OK) {
      problem = "slot " + std::to_string(slot) + (writing ? " written: " : " read: ") +
                (problem.empty() ? "gave " + std::to_string(status) : problem);
      break;
    }
    pause();
    const bool close = Below(random, kCloseOneIn) == 0;
    status = close ? CloseAndReopen(path, &dir) : ZARQ1_UnlockSecurity(held.handle);
    if (status != ZARQ_OK) {
      problem = (close ? "close and reopen" : "unlock of slot " + std::to_string(slot)) +
                std::string(" gave ") + std::to_string(status);
      break;
    }
    reopens += close ? 1 : 0;
    if (writing) {
      ++commits[slot];
    } else {
      ++reads;
    }
  }
  *answer = " " + std::to_string(dir) + " " + std::to_string(conflicts) + " " +
            std::to_string(reads) + " " + std::to_string(reopens);
  for (const auto& [written, count] : commits) {
    *answer += " " + std::to_string(written) + ":" + std::to_string(count);
  }
  if (!problem.empty()) *answer += " | " + problem;
  return status;
}

}  // namespace zarq_test
