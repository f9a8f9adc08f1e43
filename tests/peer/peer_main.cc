// peer_main.cc: a second (third, ...) process for multi-process tests. It
// reads one command per line on standard input and answers each with one
// line "= <status> [values]" appended to the file named by its argument; the
// first line, "= 0 <process id>", answers its start. The commands:
//
//   init <application> <user>      ZARQ1_Initialize
//   open <path> <flags>            ZARQ1_OpenDirectory -> number
//   close <number>                 ZARQ1_CloseDirectory
//   lock <dir> <file> <offset> <length> <mode>
//                                  FileLockRegion on a file of the directory
//                                  (mode 0 unlocks)
//   sleep <ms>
//   store <dir> <stamp>            treats the open directory as holding a
//                                  database of that user file stamp (the test
//                                  writes the files itself); 0 undoes it
//   bumpheader <dir> <times> <hold_ms>
//                                  times over, under the header lock: read the
//                                  header, wait hold_ms, add 1 to
//                                  NextFileNumber, write
//   rewrite <dir> <first> <last> <rounds> <tag>
//                                  rounds over, for each slot first..last: read
//                                  the record (checked, locked), set ExtraValue
//                                  to the round and the name to "<tag> <slot>",
//                                  write its data part
//   cycle <path> <flags> <max_pause_ms> <seed>
//                                  pauses 0..max_pause_ms (random; the first
//                                  cycle seeds the generator), opens the
//                                  directory, and when that worked pauses
//                                  again and closes it; answers
//                                  "= <open status> <close status>" (close
//                                  status 1 when no close was tried)
//   count <dir>                    ZARQ1_GetDirectoryStatus -> LiveSecurities
//   masters <path> <n>             writes master files of n daily securities
//                                  S1..Sn (data file numbers 1..n) into path
//   lookup <dir> <symbol> <period> [interval]
//                                  ZARQ1_GetSecurityHandle -> handle
//   seclock <handle> <level>       ZARQ1_LockSecurity
//   secunlock <handle>             ZARQ1_UnlockSecurity
//   first <dir>                    ZARQ1_GetFirstSecurityInfo -> handle symbol
//   next <handle>                  ZARQ1_GetNextSecurityInfo -> handle symbol
//   update <handle> <count> <extra>
//                                  changes the working copy of a security this
//                                  process holds locked: its record count and
//                                  ExtraValue (they reach the files at unlock)
//   add <dir> <symbol> [<symbol2> <op>]
//                                  ZARQ1_AddSecurity of a daily security of
//                                  seven fields, or of the composite
//                                  symbol op symbol2 -> handle
//   delete <handle> <cascade>      ZARQ1_DeleteSecurity
//   churn <dir> <rounds> <seed>    rounds of random additions (plain and
//                                  composite) and cascading deletions among
//                                  C1..C12; answers "= <the first status no
//                                  race explains, or 0> <added> <deleted>"
//   lockloop <handle> <ms>         for ms, over and over: read-locks the
//                                  security and unlocks it; -> tries, the
//                                  longest lock and unlock in ms (status:
//                                  the first other than 0, -191, -321)
//   recappend <handle> <first> <n> <seed>
//                                  ZARQ2_WriteMultipleRecs past the last
//                                  record of series records first..first+n-1
//                                  (tests/data/price_series.h)
//   recinsert <handle> <index> <n> <seed>
//                                  ZARQ2_InsertMultipleRecs of n records of
//                                  the moment of series record index (prices
//                                  of the seed), before its first record
//   recdelete <handle> <index> <n> ZARQ2_DeleteMultipleRecs of n records from
//                                  the one of series record index's moment
//   merge <source> <dest> <mode>   ZARQ2_MergeData
//   fields <handle> <mask>         ZARQ2_ChangeFieldsInData
//   sortsec <first> <last>         ZARQ2_SortSecurities
//   lockround, lockbump            the harness's locking (harness_commands.h)
//   dataround                      the harness's price data (data_commands.h)
//   arm <k> <torn>                 counts the file-changing calls from now on
//                                  and crashes at call k (crash_platform.h),
//                                  answering "= -9998 crashed <k>" then;
//                                  k 0 only counts
//   calls                          -> the number of calls counted since arm
//                                  and their letters ("-" for none)
//   exit                           shuts the library down and ends (no
//                                  answer)
//
// A command that answers -9997 ends the process after its answer, without
// destructors or library shutdown, as a crash would.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"
#include "src/frame/entry_frame.h"
#include "src/master/security_store.h"
#include "src/platform/platform.h"
#include "src/security/lock_table.h"
#include "tests/data/price_series.h"
#include "tests/peer/crash_platform.h"
#include "tests/peer/data_commands.h"
#include "tests/peer/harness_commands.h"
#include "tests/support/master_builder.h"

namespace zarq {
namespace {

using Arguments = std::istringstream;

std::ofstream g_answers;
zarq_test::CrashPlatform* g_crash = nullptr;  // installed by the first arm, never removed

int32_t Init(Arguments& in, std::string*) {
  std::string application, user;
  in >> application >> user;
  return ZARQ1_Initialize(application.c_str(), user.c_str(), ZARQ_INTERFACE_VERSION);
}

int32_t Open(Arguments& in, std::string* answer) {
  std::string path;
  uint32_t flags = 0;
  in >> path >> flags;
  uint8_t number = 0;
  int32_t status = ZARQ1_OpenDirectory(path.c_str(), &number, flags);
  *answer = " " + std::to_string(number);
  return status;
}

int32_t Close(Arguments& in, std::string*) {
  uint32_t number = 0;
  in >> number;
  return ZARQ1_CloseDirectory(number);
}

int32_t Pause(Arguments& in, std::string*) {
  uint32_t ms = 0;
  in >> ms;
  Os().Sleep(ms);
  return ZARQ_OK;
}

int32_t Lock(Arguments& in, std::string*) {
  int dir = 0, mode = 0;
  std::string file;
  uint32_t offset = 0, length = 0;
  in >> dir >> file >> offset >> length >> mode;
  return EnterInitialized([&] {
    char path[300];
    FileHandle handle = kNoFileHandle;
    int32_t status = ZARQ1_GetDataPath(static_cast<uint32_t>(dir), path, 0);
    if (status == ZARQ_OK) {
      status = FileOpen(static_cast<uint8_t>(dir), (path + file).c_str(), &handle, kOpenCreate);
    }
    if (status == ZARQ_OK) status = FileSeek(handle, 1, static_cast<int32_t>(offset), kSeekRecord);
    return status == ZARQ_OK ? FileLockRegion(handle, mode, length) : status;
  });
}

int32_t Store(Arguments& in, std::string*) {
  int dir = 0;
  uint32_t stamp = 0;
  in >> dir >> stamp;
  return EnterInitialized([&] {
    DirectoryEntry* entry = FindDirectory(static_cast<uint8_t>(dir));
    if (entry == nullptr) return int32_t{ZARQ_E_DIRECTORY_NOT_OPEN};
    entry->flags =
        stamp != 0 ? entry->flags | kDirHoldsDatabase : entry->flags & ~kDirHoldsDatabase;
    if (stamp != 0) entry->user_file_stamp = stamp;
    return int32_t{ZARQ_OK};
  });
}

int32_t BumpHeader(Arguments& in, std::string*) {
  int dir = 0, times = 0;
  uint32_t hold_ms = 0;
  in >> dir >> times >> hold_ms;
  uint8_t number = static_cast<uint8_t>(dir);
  int32_t status = ZARQ_OK;
  for (int i = 0; i < times && status == ZARQ_OK; ++i) {
    // One library call per change, so that the other process's calls
    // interleave with ours.
    status = EnterInitialized([&] {
      SecurityHeaderLock lock;
      SecurityListHeader header;
      int32_t result = lock.Acquire(number);
      if (result == ZARQ_OK)
        result = AccessSecurityHeader(number, &header, ListHeaderAccess::kRead);
      Os().Sleep(hold_ms);  // widens the window in which an unserialised update would be lost
      ++header.next_file_number;
      if (result == ZARQ_OK)
        result = AccessSecurityHeader(number, &header, ListHeaderAccess::kWrite);
      int32_t released = lock.Release();
      return result != ZARQ_OK ? result : released;
    });
  }
  return status;
}

int32_t Rewrite(Arguments& in, std::string*) {
  int dir = 0;
  uint32_t first = 0, last = 0, rounds = 0;
  std::string tag;
  in >> dir >> first >> last >> rounds >> tag;
  int32_t status = ZARQ_OK;
  for (uint32_t round = 1; round <= rounds && status == ZARQ_OK; ++round) {
    for (uint32_t slot = first; slot <= last && status == ZARQ_OK; ++slot) {
      status = EnterInitialized([&] {
        uint32_t handle = MakeSecurityHandle(static_cast<uint8_t>(dir), slot, false);
        SecurityRecord record;
        int32_t result = AccessSecurityRecord(handle, &record, SecurityAccess::kRead);
        if (result != ZARQ_OK) return result;
        record.extra_value = round;
        std::snprintf(record.name, sizeof(record.name), "%s %u", tag.c_str(), slot);
        return AccessSecurityRecord(handle, &record, SecurityAccess::kWriteData);
      });
    }
  }
  return status;
}

int32_t Cycle(Arguments& in, std::string* answer) {
  static std::optional<std::mt19937> random;
  std::string path;
  uint32_t flags = 0, max_pause_ms = 0, seed = 0;
  in >> path >> flags >> max_pause_ms >> seed;
  if (!random) random.emplace(seed);
  auto pause = [&] {
    Os().Sleep(std::uniform_int_distribution<uint32_t>(0, max_pause_ms)(*random));
  };
  pause();
  uint8_t number = 0;
  int32_t status = ZARQ1_OpenDirectory(path.c_str(), &number, flags);
  int32_t closed = 1;
  if (status >= 0) {
    pause();
    closed = ZARQ1_CloseDirectory(number);
  }
  *answer = " " + std::to_string(closed);
  return status;
}

int32_t Count(Arguments& in, std::string* answer) {
  int dir = 0;
  in >> dir;
  ZarqDirectoryStatus status;
  int32_t result = ZARQ1_GetDirectoryStatus(static_cast<int8_t>(dir), "", &status);
  *answer = " " + std::to_string(status.LiveSecurities);
  return result;
}

// A folder named by its path, for the master file builder.
struct PathFolder {
  std::string path;
  void WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(path + "/" + name, std::ios::binary | std::ios::trunc) << bytes;
  }
};

int32_t Masters(Arguments& in, std::string*) {
  PathFolder folder;
  uint32_t n = 0;
  in >> folder.path >> n;
  zarq_test::WriteMasterFiles(folder, zarq_test::NumberedSecurities(n));
  return ZARQ_OK;
}

int32_t Lookup(Arguments& in, std::string* answer) {
  int dir = 0, interval = 0;
  std::string symbol;
  char period = 'D';
  in >> dir >> symbol >> period >> interval;
  ZarqSecurityId id = {};
  id.DirNumber = static_cast<uint8_t>(dir);
  std::snprintf(id.Symbol, sizeof(id.Symbol), "%s", symbol.c_str());
  id.Period = period;
  id.Interval = static_cast<uint16_t>(interval);
  uint32_t handle = 0;
  int32_t status = ZARQ1_GetSecurityHandle(&id, &handle);
  *answer = " " + std::to_string(handle);
  return status;
}

int32_t SecurityLock(Arguments& in, std::string*) {
  uint32_t handle = 0, level = 0;
  in >> handle >> level;
  return ZARQ1_LockSecurity(handle, level);
}

int32_t SecurityUnlock(Arguments& in, std::string*) {
  uint32_t handle = 0;
  in >> handle;
  return ZARQ1_UnlockSecurity(handle);
}

int32_t Described(int32_t status, const ZarqSecurityInfo& info, std::string* answer) {
  *answer = " " + std::to_string(info.Handle) + " " + (info.Symbol[0] ? info.Symbol : "-");
  return status;
}

int32_t First(Arguments& in, std::string* answer) {
  int dir = 0;
  in >> dir;
  ZarqSecurityInfo info;
  return Described(ZARQ1_GetFirstSecurityInfo(static_cast<uint8_t>(dir), &info), info, answer);
}

int32_t Next(Arguments& in, std::string* answer) {
  uint32_t handle = 0;
  in >> handle;
  ZarqSecurityInfo info;
  return Described(ZARQ1_GetNextSecurityInfo(handle, &info), info, answer);
}

int32_t Update(Arguments& in, std::string*) {
  uint32_t handle = 0, count = 0, extra = 0;
  in >> handle >> count >> extra;
  return EnterInitialized([&] {
    LockedSecurityView view;
    int32_t status = GetLockedSecurity(handle, &view);
    if (status != ZARQ_OK) return status;
    view.record_count = static_cast<uint16_t>(count);
    view.record.extra_value = extra;
    return UpdateLockedSecurity(handle, view);
  });
}

// A daily security of seven fields, or the composite symbol op symbol2.
int32_t AddDaily(uint8_t dir, const std::string& symbol, const std::string& symbol2, char op,
                 uint32_t* handle) {
  ZarqSecurityInfo info = {};
  std::snprintf(info.Symbol, sizeof(info.Symbol), "%s", symbol.c_str());
  std::snprintf(info.Name, sizeof(info.Name), "Name of %s", symbol.c_str());
  info.Period = 'D';
  info.FieldMask = 0x7F;
  info.FirstDate = info.BaseDate = 20000103;
  info.LastDate = 20011231;
  if (!symbol2.empty()) {
    info.Composite = 1;
    std::snprintf(info.Symbol2, sizeof(info.Symbol2), "%s", symbol2.c_str());
    info.Operator = op;
    info.PrimaryFactor = info.SecondaryFactor = 1.0f;
  }
  int32_t status = ZARQ1_AddSecurity(dir, &info, 0);
  *handle = info.Handle;
  return status;
}

int32_t Add(Arguments& in, std::string* answer) {
  int dir = 0;
  std::string symbol, symbol2;
  char op = '-';
  in >> dir >> symbol >> symbol2 >> op;
  uint32_t handle = 0;
  int32_t status = AddDaily(static_cast<uint8_t>(dir), symbol, symbol2, op, &handle);
  *answer = " " + std::to_string(handle);
  return status;
}

int32_t Delete(Arguments& in, std::string*) {
  uint32_t handle = 0;
  int32_t cascade = 0;
  in >> handle >> cascade;
  return ZARQ1_DeleteSecurity(handle, cascade);
}

uint32_t HandleOf(uint8_t dir, const std::string& symbol, const std::string& symbol2) {
  ZarqSecurityId id = {};
  id.DirNumber = dir;
  std::snprintf(id.Symbol, sizeof(id.Symbol), "%s", symbol.c_str());
  id.Period = 'D';
  if (!symbol2.empty()) {
    id.Composite = 1;
    std::snprintf(id.Symbol2, sizeof(id.Symbol2), "%s", symbol2.c_str());
    id.Operator = '-';
  }
  uint32_t handle = 0;
  ZARQ1_GetSecurityHandle(&id, &handle);
  return handle;
}

int32_t Churn(Arguments& in, std::string* answer) {
  int dir = 0;
  uint32_t rounds = 0, seed = 0;
  in >> dir >> rounds >> seed;
  const uint8_t number = static_cast<uint8_t>(dir);
  std::mt19937 random(seed);
  auto symbol = [&] { return "C" + std::to_string(random() % 12 + 1); };
  // What other processes changing the same securities at the same time
  // explain: an identity listed or gone meanwhile, a lock held elsewhere.
  auto expected = [](int32_t status, std::initializer_list<int32_t> also) {
    if (status == ZARQ_OK || status == ZARQ_E_LOCK_CONFLICT || status == ZARQ_E_NO_SUCH_SECURITY)
      return true;
    for (int32_t one : also) {
      if (status == one) return true;
    }
    return false;
  };
  uint32_t added = 0, deleted = 0;
  int32_t unexpected = ZARQ_OK;
  for (uint32_t round = 0; round < rounds && unexpected == ZARQ_OK; ++round) {
    std::string a = symbol(), b = symbol();
    uint32_t kind = random() % 10;
    int32_t status = ZARQ_OK;
    if (kind < 6) {
      uint32_t handle = 0;
      if (kind >= 4 && a == b) b = a == "C1" ? "C2" : "C1";
      status = AddDaily(number, a, kind >= 4 ? b : "", '-', &handle);
      bool fine =
          expected(status, {ZARQ_E_SECURITY_EXISTS, ZARQ_E_NO_PRIMARY, ZARQ_E_NO_SECONDARY});
      added += status == ZARQ_OK ? 1 : 0;
      if (!fine) unexpected = status;
    } else {
      uint32_t handle = HandleOf(number, a, kind == 9 ? b : "");
      if (handle == 0) continue;
      status = ZARQ1_DeleteSecurity(handle, 1);
      deleted += status == ZARQ_OK ? 1 : 0;
      if (!expected(status, {})) unexpected = status;
    }
  }
  *answer = " " + std::to_string(added) + " " + std::to_string(deleted);
  return unexpected;
}

int32_t LockLoop(Arguments& in, std::string* answer) {
  uint32_t handle = 0, ms = 0;
  in >> handle >> ms;
  uint32_t tries = 0, longest = 0;
  int32_t unexpected = ZARQ_OK;
  const uint32_t start = Os().TickCount();
  while (Os().TickCount() - start < ms && unexpected == ZARQ_OK) {
    uint32_t before = Os().TickCount();
    int32_t status = ZARQ1_LockSecurity(handle, ZARQ_READ_LOCK);
    if (status == ZARQ_OK) status = ZARQ1_UnlockSecurity(handle);
    longest = std::max(longest, Os().TickCount() - before);
    ++tries;
    if (status != ZARQ_OK && status != ZARQ_E_LOCK_CONFLICT && status != ZARQ_E_NO_SUCH_SECURITY)
      unexpected = status;
  }
  *answer = " " + std::to_string(tries) + " " + std::to_string(longest);
  return unexpected;
}

int32_t RecordsAppend(Arguments& in, std::string*) {
  uint32_t handle = 0, first = 0, n = 0, seed = 0;
  in >> handle >> first >> n >> seed;
  std::vector<ZarqPriceRecord> records = zarq_test::Series(first, n, seed);
  int32_t status = ZARQ1_SeekEndData(handle);
  if (status != ZARQ_OK) return status;
  return ZARQ2_WriteMultipleRecs(handle, records.data(), static_cast<uint16_t>(n), 3);
}

int32_t RecordsInsert(Arguments& in, std::string*) {
  uint32_t handle = 0, index = 0, n = 0, seed = 0;
  in >> handle >> index >> n >> seed;
  const ZarqPriceRecord at = zarq_test::SeriesRecord(index);
  std::vector<ZarqPriceRecord> records = zarq_test::Series(index, n, seed);
  for (ZarqPriceRecord& record : records) {
    record.Date = at.Date;
    record.Time = at.Time;
  }
  return ZARQ2_InsertMultipleRecs(handle, records.data(), static_cast<uint16_t>(n), 1);
}

int32_t RecordsDelete(Arguments& in, std::string*) {
  uint32_t handle = 0, index = 0, n = 0;
  in >> handle >> index >> n;
  const ZarqPriceRecord at = zarq_test::SeriesRecord(index);
  ZarqDateTimePair pair = {at.Date, at.Time};
  return ZARQ2_DeleteMultipleRecs(handle, &pair, n, 2);
}

int32_t Merge(Arguments& in, std::string*) {
  uint32_t source = 0, destination = 0, mode = 0;
  in >> source >> destination >> mode;
  return ZARQ2_MergeData(source, destination, mode);
}

int32_t Fields(Arguments& in, std::string*) {
  uint32_t handle = 0, mask = 0;
  in >> handle >> mask;
  return ZARQ2_ChangeFieldsInData(handle, static_cast<uint16_t>(mask));
}

int32_t SortList(Arguments& in, std::string*) {
  uint32_t first = 0, last = 0;
  in >> first >> last;
  return ZARQ2_SortSecurities(first, last);
}

int32_t Arm(Arguments& in, std::string*) {
  uint32_t crash_at = 0, torn = 0;
  in >> crash_at >> torn;
  if (g_crash == nullptr) {
    g_crash = new zarq_test::CrashPlatform(&g_answers);
    SetPlatformForTesting(g_crash);
  }
  g_crash->Arm(crash_at, torn != 0);
  return ZARQ_OK;
}

int32_t Calls(Arguments&, std::string* answer) {
  std::string letters = g_crash != nullptr ? g_crash->calls() : "";
  *answer = " " + std::to_string(letters.size()) + " " + (letters.empty() ? "-" : letters);
  return ZARQ_OK;
}

}  // namespace
}  // namespace zarq

int main(int argc, char** argv) {
  using namespace zarq;
  const std::map<std::string, int32_t (*)(Arguments&, std::string*)> commands = {
      {"init", Init},
      {"open", Open},
      {"close", Close},
      {"sleep", Pause},
      {"lock", Lock},
      {"store", Store},
      {"bumpheader", BumpHeader},
      {"rewrite", Rewrite},
      {"cycle", Cycle},
      {"count", Count},
      {"masters", Masters},
      {"lookup", Lookup},
      {"seclock", SecurityLock},
      {"secunlock", SecurityUnlock},
      {"first", First},
      {"next", Next},
      {"update", Update},
      {"add", Add},
      {"delete", Delete},
      {"churn", Churn},
      {"lockloop", LockLoop},
      {"lockround", zarq_test::LockRound},
      {"lockbump", zarq_test::LockBump},
      {"dataround", zarq_test::DataRound},
      {"recappend", RecordsAppend},
      {"recinsert", RecordsInsert},
      {"recdelete", RecordsDelete},
      {"merge", Merge},
      {"fields", Fields},
      {"sortsec", SortList},
      {"arm", Arm},
      {"calls", Calls}};
  if (argc < 2) return 2;
  g_answers.open(argv[1], std::ios::binary);
  g_answers << "= 0 " << Os().ProcessId() << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Arguments in(line);
    std::string name, answer;
    in >> name;
    if (name == "exit") break;
    auto command = commands.find(name);
    int32_t status =
        command != commands.end() ? command->second(in, &answer) : ZARQ_E_INVALID_ARGUMENT;
    g_answers << "= " << status << answer << std::endl;
    if (status == -9997) std::_Exit(137);
  }
  // Shut down before the process ends: the library's flush thread must not
  // run on while the runtime tears the process down.
  ZARQ1_Shutdown();
  return 0;
}
