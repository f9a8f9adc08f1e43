// security_list_header.cc: the security list header under its lock, for
// the open-time checks.
//
// Thread-safety: callers hold the library lock.

#include "src/master/security_list_header.h"

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/master/security_store.h"

namespace zarq {

int32_t ReadListHeaderLocked(DirectoryEntry* entry, SecurityListHeader* header,
                             uint32_t* whole_records) {
  *whole_records = 0;
  FileHandle file = kNoFileHandle;
  uint32_t size = 0;
  int32_t status = OpenSecurityList(entry->number, &file);
  if (status == ZARQ_OK) status = FileGetSize(file, &size);
  if (status == ZARQ_OK) status = AccessSecurityHeader(entry->number, header, ListHeaderAccess::kRead);
  if (status == ZARQ_E_SHORT_READ) status = ZARQ_E_END_OF_FILE;
  if (status == ZARQ_OK) *whole_records = size / kSecurityRecordSize;
  return status;
}

int32_t WriteListHeaderLocked(DirectoryEntry* entry, const SecurityListHeader& header) {
  SecurityListHeader copy = header;
  return AccessSecurityHeader(entry->number, &copy, ListHeaderAccess::kWrite);
}

int32_t RelinkSecurityList(DirectoryEntry* entry,
                           const std::function<int32_t(SecurityList*)>& work) {
  SecurityHeaderLock lock;
  int32_t status = lock.Acquire(entry->number);
  if (status != ZARQ_OK) return status;
  SecurityList list;
  status = ReadSecurityList(entry, &list);
  return status != ZARQ_OK ? status : work(&list);
}

}  // namespace zarq
