// security_store.cc: header and record access of the security list file.
//
// Thread-safety: callers hold the library lock.

#include "src/master/security_store.h"

#include <string>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/record_lock.h"
#include "src/fileio/security_handle.h"

namespace zarq {
namespace {

constexpr uint16_t kRecordSize = kSecurityRecordSize;
constexpr uint32_t kLinkPartSize = kSecurityRecordSize - kSecurityDataPartSize;

int32_t FirstFailure(int32_t first, int32_t second) { return first != ZARQ_OK ? first : second; }

bool ChecksHeader(SecurityAccess mode) {
  return mode != SecurityAccess::kReadRaw && mode != SecurityAccess::kWriteLinks;
}

bool Writes(SecurityAccess mode) {
  return mode == SecurityAccess::kWriteData || mode == SecurityAccess::kWriteNew ||
         mode == SecurityAccess::kWriteLinks;
}

// A damaged header must not make a write grow the file with a hole: a
// write lands on a whole record present in the file, except that a new
// slot may start exactly at the end.
int32_t CheckWriteInsideFile(FileHandle file, uint32_t slot, SecurityAccess mode) {
  uint32_t size = 0;
  int32_t status = FileGetSize(file, &size);
  if (status != ZARQ_OK) return status;
  uint64_t start = static_cast<uint64_t>(slot) * kRecordSize;
  uint64_t needed = mode == SecurityAccess::kWriteNew ? start : start + kRecordSize;
  return needed <= size ? ZARQ_OK : ZARQ_E_NO_SUCH_SECURITY;
}

// Moves the record at the file's position (the start of the slot).
int32_t Transfer(FileHandle file, SecurityRecord* record, SecurityAccess mode) {
  uint8_t bytes[kSecurityRecordSize];
  switch (mode) {
    case SecurityAccess::kRead:
    case SecurityAccess::kReadRaw: {
      int32_t status = FileRead(file, kSecurityRecordSize, bytes);
      if (status == ZARQ_OK) DecodeSecurityRecord(bytes, record);
      return status;
    }
    case SecurityAccess::kWriteData:
      EncodeSecurityRecord(*record, bytes);
      return FileWrite(file, kSecurityDataPartSize, bytes);
    case SecurityAccess::kWriteNew:
      EncodeSecurityRecord(*record, bytes);
      return FileWrite(file, kSecurityRecordSize, bytes);
    case SecurityAccess::kWriteLinks: {
      EncodeSecurityLinks(*record, bytes);
      int32_t status = FileSeek(file, kSecurityDataPartSize, 1, kSeekRelative);
      if (status != ZARQ_OK) return status;
      return FileWrite(file, kLinkPartSize, bytes + kSecurityDataPartSize);
    }
  }
  return ZARQ_E_INVALID_ARGUMENT;
}

}  // namespace

int32_t OpenSecurityList(uint8_t directory, FileHandle* file) {
  return OpenDirectoryFile(directory, kKindSecurityList, 0, file);
}

int32_t AccessSecurityHeader(uint8_t directory, SecurityListHeader* header, ListHeaderAccess mode) {
  if (header == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  if (mode != ListHeaderAccess::kRead && mode != ListHeaderAccess::kWrite) {
    return ZARQ_E_INVALID_ARGUMENT;
  }
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityList(directory, &file);
  if (status != ZARQ_OK) return status;
  RecordLock lock;
  status = lock.Acquire(file, kRecordSize, 0, kRecordSize);
  if (status != ZARQ_OK) return status;

  uint8_t bytes[kSecurityRecordSize];
  if (mode == ListHeaderAccess::kRead) {
    status = FileRead(file, kSecurityRecordSize, bytes);
    if (status == ZARQ_OK) status = DecodeSecurityListHeader(bytes, header);
  } else if (header->magic != kSecurityListMagic) {
    status = ZARQ_E_BAD_LIST_FILE;
  } else if (header->file_version > kWorkingFileVersion) {
    status = ZARQ_E_BAD_VERSION;
  } else {
    EncodeSecurityListHeader(*header, bytes);
    status = FileWrite(file, kSecurityRecordSize, bytes);
  }
  return FirstFailure(status, lock.Release());
}

int32_t LockSecurityHeader(uint8_t directory) {
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityList(directory, &file);
  if (status == ZARQ_OK) status = FileSeek(file, kRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileLockRegion(file, kLockRegionWaiting, kRecordSize);
  return status;
}

int32_t UnlockSecurityHeader(uint8_t directory) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityList(directory, &file);
  if (status == ZARQ_OK) status = FileSeek(file, kRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileLockRegion(file, kUnlockRegion, kRecordSize);
  return status;
}

int32_t SecurityHeaderLock::Acquire(uint8_t directory) {
  Release();
  int32_t status = LockSecurityHeader(directory);
  if (status != ZARQ_OK) return status;
  directory_ = directory;
  held_ = true;
  return ZARQ_OK;
}

int32_t SecurityHeaderLock::Release() {
  if (!held_) return ZARQ_OK;
  held_ = false;
  return UnlockSecurityHeader(directory_);
}

int32_t SecurityListReader::Open(uint8_t directory) {
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_INVALID_HANDLE;
  directory_ = directory;
  int32_t status = AccessSecurityHeader(directory, &header_, ListHeaderAccess::kRead);
  if (status == ZARQ_OK && header_.stamp != entry->user_file_stamp) {
    status = ZARQ_E_STAMP_MISMATCH;
  }
  if (status == ZARQ_OK) status = OpenSecurityList(directory, &file_);
  return status;
}

int32_t SecurityListReader::Read(uint32_t slot, SecurityRecord* record) {
  if (slot == 0 || slot > header_.slot_count || slot > kMaxSlot) return ZARQ_E_NO_SUCH_SECURITY;
  RecordLock lock;
  int32_t status = lock.Acquire(file_, kRecordSize, slot, kRecordSize);
  if (status == ZARQ_OK) status = Transfer(file_, record, SecurityAccess::kRead);
  return FirstFailure(status, lock.Release());
}

int32_t AccessSecurityRecord(uint32_t handle, SecurityRecord* record, SecurityAccess mode) {
  if (record == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  if (static_cast<int>(mode) < static_cast<int>(SecurityAccess::kRead) ||
      static_cast<int>(mode) > static_cast<int>(SecurityAccess::kWriteLinks)) {
    return ZARQ_E_INVALID_ARGUMENT;
  }
  uint32_t slot = SlotOfHandle(handle);
  uint8_t directory = DirectoryOfHandle(handle);
  int8_t signed_directory = static_cast<int8_t>(directory);
  if (slot < 1 || slot > kMaxSlot || signed_directory < 1 ||
      signed_directory > kMaxOpenDirectories) {
    return ZARQ_E_INVALID_HANDLE;
  }
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_INVALID_HANDLE;

  if (ChecksHeader(mode)) {
    SecurityListHeader header;
    int32_t status = AccessSecurityHeader(directory, &header, ListHeaderAccess::kRead);
    if (status != ZARQ_OK) return status;
    if (header.stamp != entry->user_file_stamp) return ZARQ_E_STAMP_MISMATCH;
    // A new record may take the slot just above the list; nothing further.
    uint64_t last = header.slot_count;
    if (mode == SecurityAccess::kWriteNew) ++last;
    if (slot > last) return ZARQ_E_NO_SUCH_SECURITY;
  }

  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityList(directory, &file);
  if (status == ZARQ_OK && Writes(mode)) status = CheckWriteInsideFile(file, slot, mode);
  if (status != ZARQ_OK) return status;

  RecordLock lock;
  if (mode == SecurityAccess::kReadRaw) {
    status = FileSeek(file, kRecordSize, static_cast<int32_t>(slot), kSeekRecord);
  } else {
    status = lock.Acquire(file, kRecordSize, slot, kRecordSize);
  }
  if (status == ZARQ_OK) status = Transfer(file, record, mode);
  return FirstFailure(status, lock.Release());
}

}  // namespace zarq
