// security_list_header.cc: the security list header under its lock.
//
// Thread-safety: callers hold the library lock.

#include "src/master/security_list_header.h"

#include <string>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"

namespace zarq {
namespace {

// Holds the lock on record 0 of the security list file for its scope.
class HeaderLock {
 public:
  explicit HeaderLock(DirectoryEntry* entry) {
    std::string name;
    status_ = BuildDirFileName(entry->number, &name, kKindSecurityList);
    if (status_ == ZARQ_OK) status_ = FileOpen(entry->number, name.c_str(), &file_, 0);
    if (status_ == ZARQ_OK) status_ = FileSeek(file_, kSecurityRecordSize, 0, kSeekRecord);
    if (status_ == ZARQ_OK)
      status_ = FileLockRegion(file_, kLockRegionWaiting, kSecurityRecordSize);
  }
  ~HeaderLock() {
    if (status_ != ZARQ_OK) return;
    FileSeek(file_, kSecurityRecordSize, 0, kSeekRecord);
    FileLockRegion(file_, kUnlockRegion, kSecurityRecordSize);
  }
  HeaderLock(const HeaderLock&) = delete;
  HeaderLock& operator=(const HeaderLock&) = delete;

  int32_t status() const { return status_; }
  FileHandle file() const { return file_; }

 private:
  int32_t status_ = ZARQ_OK;
  FileHandle file_ = kNoFileHandle;
};

}  // namespace

int32_t ReadListHeaderLocked(DirectoryEntry* entry, SecurityListHeader* header,
                             uint32_t* whole_records) {
  *whole_records = 0;
  HeaderLock lock(entry);
  if (lock.status() != ZARQ_OK) return lock.status();
  uint32_t size = 0;
  int32_t status = FileGetSize(lock.file(), &size);
  uint8_t bytes[kSecurityRecordSize];
  if (status == ZARQ_OK) status = FileSeek(lock.file(), kSecurityRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(lock.file(), kSecurityRecordSize, bytes);
  if (status == ZARQ_E_SHORT_READ) status = ZARQ_E_END_OF_FILE;
  if (status != ZARQ_OK) return status;
  *whole_records = size / kSecurityRecordSize;
  return DecodeSecurityListHeader(bytes, header);
}

int32_t WriteListHeaderLocked(DirectoryEntry* entry, const SecurityListHeader& header) {
  HeaderLock lock(entry);
  if (lock.status() != ZARQ_OK) return lock.status();
  uint8_t bytes[kSecurityRecordSize];
  EncodeSecurityListHeader(header, bytes);
  int32_t status = FileSeek(lock.file(), kSecurityRecordSize, 0, kSeekRecord);
  return status != ZARQ_OK ? status : FileWrite(lock.file(), kSecurityRecordSize, bytes);
}

int32_t RelinkSecurityList(DirectoryEntry* entry,
                           const std::function<int32_t(SecurityList*)>& work) {
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  HeaderLock lock(entry);
  if (lock.status() != ZARQ_OK) return lock.status();
  SecurityList list;
  int32_t status = ReadSecurityList(entry, &list);
  return status != ZARQ_OK ? status : work(&list);
}

}  // namespace zarq
