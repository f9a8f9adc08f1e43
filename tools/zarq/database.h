// database.h: the zarq command's hold on the library: one initialisation per
// run, an open data directory, security lookup and locks, whole-security
// reads, and the library's own message text for a failed status. Every
// failure is thrown as a CommandError and reported once, by main.
// Single-threaded, as the command is.

#ifndef ZARQ_TOOLS_ZARQ_DATABASE_H_
#define ZARQ_TOOLS_ZARQ_DATABASE_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "include/zarq.h"

namespace zarq_cli {

// A failure to report: the text says what and why; status is the library's
// when one caused it (0 otherwise).
class CommandError : public std::runtime_error {
 public:
  explicit CommandError(const std::string& what, int32_t status = 0)
      : std::runtime_error(what), status_(status) {}
  int32_t status() const { return status_; }

 private:
  int32_t status_;
};

// The library's message for status ("status <n>" when the catalog has none).
std::string StatusText(int32_t status);
// Throws "<context>: <message>" when status is an error (below 0).
void Check(int32_t status, const std::string& context);

// Initialises the library for the command's life.
class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
};

// An open data directory holding a database; closed on destruction.
class Database {
 public:
  enum class Mode { kExisting, kCreate };
  Database(const std::string& path, Mode mode);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  uint8_t number() const { return number_; }
  const std::string& path() const { return path_; }
  // True when the open built the database (create).
  bool created() const { return created_; }

  // Every live security in list order.
  std::vector<ZarqSecurityInfo> Securities() const;
  // The security of symbol; period (0: any) and interval narrow it down.
  // Throws when there is none or more than one fits.
  ZarqSecurityInfo Find(const std::string& symbol, char period = 0, uint16_t interval = 0) const;
  // As Find, but false when there is none.
  bool TryFind(const std::string& symbol, char period, uint16_t interval,
               ZarqSecurityInfo* info) const;

 private:
  std::string path_;
  uint8_t number_ = 0;
  bool created_ = false;
};

// Holds a security locked at a level until destruction (or Release).
class SecurityLock {
 public:
  SecurityLock(uint32_t handle, uint32_t level, const std::string& symbol);
  ~SecurityLock();
  SecurityLock(const SecurityLock&) = delete;
  SecurityLock& operator=(const SecurityLock&) = delete;
  // Unlocks now, reporting a failure (changes reach the files here).
  void Release();

 private:
  uint32_t handle_;
  std::string symbol_;
  bool held_ = true;
};

// The security's symbol as people write it ("A+B" for a composite).
std::string DisplaySymbol(const ZarqSecurityInfo& info);
// "D", "W", "M" or "I5" (5-minute bars).
std::string PeriodText(const ZarqSecurityInfo& info);
bool Intraday(const ZarqSecurityInfo& info);

// Every record of a security locked at least for reading; progress(done,
// total) is called after each block.
std::vector<ZarqPriceRecord> ReadAll(uint32_t handle,
                                     void (*progress)(size_t, size_t, void*) = nullptr,
                                     void* context = nullptr);
// The number of records of a locked security.
uint16_t RecordCount(uint32_t handle);

}  // namespace zarq_cli

#endif  // ZARQ_TOOLS_ZARQ_DATABASE_H_
