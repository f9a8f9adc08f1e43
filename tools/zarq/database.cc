// database.cc: see database.h.

#include "tools/zarq/database.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "include/zarq_private.h"

namespace zarq_cli {

std::string StatusText(int32_t status) {
  char text[512] = {};
  ZARQ1_GetErrorMessage(status, text, sizeof(text) - 1);
  std::string message = text;
  while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
  if (message.empty()) message = "status " + std::to_string(status);
  return message;
}

void Check(int32_t status, const std::string& context) {
  if (status < 0) throw CommandError(context + ": " + StatusText(status), status);
}

Library::Library() {
  const char* user = std::getenv("USER");
  Check(ZARQ1_Initialize("zarq", user != nullptr && user[0] != '\0' ? user : "zarq",
                         ZARQ_INTERFACE_VERSION),
        "cannot start the library");
}

Library::~Library() { ZARQ1_Shutdown(); }

Database::Database(const std::string& path, Mode mode) : path_(path) {
  ZarqDirectoryStatus status{};
  ZARQ1_GetDirectoryStatus(0, path.c_str(), &status);
  uint32_t flags = 0;
  if (mode == Mode::kCreate) {
    if (status.HoldsDatabase) throw CommandError(path + ": holds a database already");
    flags = ZARQ_OPEN_CREATE_FOLDER | ZARQ_OPEN_BUILD_MASTERS;
  } else if (access(path.c_str(), F_OK) != 0) {
    throw CommandError(path + ": no such folder");
  } else if (!status.Valid || !status.HoldsDatabase) {
    // Not opened at all: opening would leave working files in a stranger's folder.
    throw CommandError(path + ": not a zarq database (no MASTER file)");
  }
  int32_t opened = ZARQ1_OpenDirectory(path.c_str(), &number_, flags);
  if (opened == ZARQ_E_ALREADY_REGISTERED) {
    // The library's message names the holder only for the other refusals.
    char application[64] = {}, user[64] = {};
    ZARQ1_GetLastFailedOpenDirInfo(application, user);
    throw CommandError(path + ": " + StatusText(opened) + " (by " + application + ", " + user + ")",
                       opened);
  }
  Check(opened, path);
  if (opened == ZARQ_OPENED_NO_DATABASE) {
    ZARQ1_CloseDirectory(number_);
    throw CommandError(path + ": not a zarq database (no MASTER file)");
  }
  created_ = opened == ZARQ_OPENED_BUILT || opened == ZARQ_OPENED_CREATED;
}

Database::~Database() { ZARQ1_CloseDirectory(number_); }

std::vector<ZarqSecurityInfo> Database::Securities() const {
  std::vector<ZarqSecurityInfo> list;
  ZarqSecurityInfo info{};
  info.Size = sizeof(info);
  int32_t status = ZARQ1_GetFirstSecurityInfo(number_, &info);
  while (status >= 0) {
    list.push_back(info);
    if (status == ZARQ_NO_NEXT) break;
    status = ZARQ1_GetNextSecurityInfo(info.Handle, &info);
  }
  if (status < 0 && status != ZARQ_E_NO_SUCH_SECURITY) Check(status, path_);
  return list;
}

bool Database::TryFind(const std::string& symbol, char period, uint16_t interval,
                       ZarqSecurityInfo* info) const {
  std::vector<ZarqSecurityInfo> fits;
  for (bool any_case : {false, true}) {
    for (const ZarqSecurityInfo& candidate : Securities()) {
      const std::string name = DisplaySymbol(candidate);
      const bool same = any_case ? strcasecmp(name.c_str(), symbol.c_str()) == 0 : name == symbol;
      if (!same) continue;
      if (period != 0 && candidate.Period != period) continue;
      if (period == 'I' && interval != 0 && candidate.Interval != interval) continue;
      fits.push_back(candidate);
    }
    if (!fits.empty()) break;
  }
  if (fits.size() > 1) {
    std::string periods;
    for (const ZarqSecurityInfo& fit : fits) periods += " " + PeriodText(fit);
    throw CommandError(symbol + ": several securities of this symbol (periods" + periods +
                       "): name one with --period");
  }
  if (fits.empty()) return false;
  *info = fits.front();
  return true;
}

ZarqSecurityInfo Database::Find(const std::string& symbol, char period, uint16_t interval) const {
  ZarqSecurityInfo info{};
  if (!TryFind(symbol, period, interval, &info)) {
    throw CommandError(path_ + ": " + symbol + ": " + StatusText(ZARQ_E_NO_SUCH_SECURITY),
                       ZARQ_E_NO_SUCH_SECURITY);
  }
  return info;
}

SecurityLock::SecurityLock(uint32_t handle, uint32_t level, const std::string& symbol)
    : handle_(handle), symbol_(symbol) {
  // A refusal's message names the holder.
  int32_t status = ZARQ1_LockSecurity(handle, level);
  Check(status, symbol);
}

SecurityLock::~SecurityLock() {
  if (held_) ZARQ1_UnlockSecurity(handle_);
}

void SecurityLock::Release() {
  held_ = false;
  Check(ZARQ1_UnlockSecurity(handle_), symbol_);
}

std::string DisplaySymbol(const ZarqSecurityInfo& info) {
  std::string symbol(info.Symbol, strnlen(info.Symbol, sizeof(info.Symbol)));
  if (info.Composite) {
    symbol += info.Operator;
    symbol.append(info.Symbol2, strnlen(info.Symbol2, sizeof(info.Symbol2)));
  }
  return symbol;
}

std::string PeriodText(const ZarqSecurityInfo& info) {
  std::string text(1, info.Period);
  if (Intraday(info)) text += std::to_string(info.Interval);
  return text;
}

bool Intraday(const ZarqSecurityInfo& info) { return info.Period == 'I' || info.Period == 'i'; }

uint16_t RecordCount(uint32_t handle) {
  uint16_t count = 0;
  Check(ZARQ1_GetDataRecordCount(handle, &count), "record count");
  return count;
}

std::vector<ZarqPriceRecord> ReadAll(uint32_t handle, void (*progress)(size_t, size_t, void*),
                                     void* context) {
  const size_t total = RecordCount(handle);
  std::vector<ZarqPriceRecord> records(total);
  if (total == 0) return records;
  ZarqDateTimePair pair{};
  Check(ZARQ1_FindDataRec(handle, 1, &pair), "reading");
  // Blocks read at the cursor, so that even unsorted records read in file order.
  constexpr size_t kBlock = 4096;
  size_t done = 0;
  while (done < total) {
    uint16_t count = static_cast<uint16_t>(std::min(kBlock, total - done));
    int32_t status =
        ZARQ2_ReadMultipleRecs(handle, records.data() + done, nullptr, &count, ZARQ_FIND_AT_CURSOR);
    Check(status, "reading");
    done += count;
    if (progress != nullptr) progress(done, total, context);
    if (count == 0 || status == ZARQ_FEWER_READ) break;
  }
  records.resize(done);
  return records;
}

}  // namespace zarq_cli
