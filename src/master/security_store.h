// security_store.h: record-by-record access to the security list file
// ("~ZARQ.SEC") of an open directory: its header (record 0), the
// cross-process lock on that header, and one security record by handle.
//
// Every record read or write with checks locks that record's 178 bytes and
// every header access locks record 0, waiting up to 10 s for another
// process. An operation that changes the list (adding, deleting, sorting)
// holds the header lock from start to end, which serialises such changes
// across processes; header and record accesses nest inside it.
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_SECURITY_STORE_H_
#define ZARQ_SRC_MASTER_SECURITY_STORE_H_

#include <cstdint>

#include "src/master/security_record.h"
#include "src/platform/platform.h"

namespace zarq {

// How AccessSecurityRecord moves a record (the values are the library's
// own codes). "Checks" are the header's magic, version and stamp.
enum class SecurityAccess : int {
  kRead = 10,        // all 178 bytes; checks; slot at most SlotCount; record lock
  kReadRaw = 11,     // all 178 bytes; no checks, no lock
  kWriteData = 12,   // the data part (bytes 0..153); checks; slot at most SlotCount; lock
  kWriteNew = 13,    // all 178 bytes of a new or reused slot (at most SlotCount + 1);
                     // checks; lock
  kWriteLinks = 14,  // the link part (bytes 154..177); no checks; lock
};

enum class ListHeaderAccess : int {
  kRead = 10,
  kWrite = 12,
};

// Names and opens the directory's security list file (never creating it).
int32_t OpenSecurityList(uint8_t directory, FileHandle* file);

// Reads or writes record 0 under its lock. A read checks the magic
// (ZARQ_E_BAD_LIST_FILE) and the version (ZARQ_E_BAD_VERSION), filling
// *header in any case; a write refuses a header that would fail those
// checks. The stamp is the caller's to compare.
int32_t AccessSecurityHeader(uint8_t directory, SecurityListHeader* header, ListHeaderAccess mode);

// Takes the lock on the header record and keeps it until
// UnlockSecurityHeader. ZARQ_E_DIRECTORY_NOT_OPEN, ZARQ_E_NOT_REGISTERED
// for a directory without a database, or a file or lock failure.
int32_t LockSecurityHeader(uint8_t directory);
int32_t UnlockSecurityHeader(uint8_t directory);

// Holds the header lock for its scope.
class SecurityHeaderLock {
 public:
  SecurityHeaderLock() = default;
  ~SecurityHeaderLock() { Release(); }
  SecurityHeaderLock(const SecurityHeaderLock&) = delete;
  SecurityHeaderLock& operator=(const SecurityHeaderLock&) = delete;

  int32_t Acquire(uint8_t directory);
  // 0 when nothing is held.
  int32_t Release();

 private:
  uint8_t directory_ = 0;
  bool held_ = false;
};

// Reads or writes the record of the handle's slot as mode says.
// ZARQ_E_INVALID_HANDLE for a slot outside 1..6000 or a directory number
// that is not open; with checks, the header's failures,
// ZARQ_E_STAMP_MISMATCH, and ZARQ_E_NO_SUCH_SECURITY for a slot beyond
// SlotCount. A write never lands beyond the end of the file (a new slot
// may only append): ZARQ_E_NO_SUCH_SECURITY. Then file and lock failures.
int32_t AccessSecurityRecord(uint32_t handle, SecurityRecord* record, SecurityAccess mode);

// Reads several records of one directory in one call with one read of the
// header: its magic, version and stamp checked once, each record then read
// under its own byte-range lock as kRead does. For walks along the list.
class SecurityListReader {
 public:
  // ZARQ_E_INVALID_HANDLE for a directory that is not open; the header's
  // failures and ZARQ_E_STAMP_MISMATCH.
  int32_t Open(uint8_t directory);
  const SecurityListHeader& header() const { return header_; }
  // The record of slot: ZARQ_E_NO_SUCH_SECURITY for slot 0 or beyond
  // SlotCount; file and lock failures.
  int32_t Read(uint32_t slot, SecurityRecord* record);

 private:
  uint8_t directory_ = 0;
  FileHandle file_ = kNoFileHandle;
  SecurityListHeader header_;
};

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_SECURITY_STORE_H_
