// lock_file.cc: the directory lock file's records and its header access.
//
// Thread-safety: callers hold the library lock.

#include "src/directory/lock_file.h"

#include <algorithm>
#include <bit>
#include <bitset>
#include <cstring>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/record_lock.h"
#include "src/frame/little_endian.h"

namespace zarq {
namespace {

constexpr int kMagic = 0;
constexpr int kVersion = 4;
constexpr int kStamp = 6;
constexpr int kRecordCount = 10;
constexpr int kLevel = 0;
constexpr int kHolders = 1;

// Directory numbers whose lock file header this process holds locked.
std::bitset<256> g_header_lock_held;

int ByteOf(uint16_t user) { return (user - 1) / 8; }
uint8_t BitOf(uint16_t user) { return static_cast<uint8_t>(0x80 >> ((user - 1) % 8)); }
bool ValidUser(uint16_t user) { return user >= 1 && user <= kHolderBytes * 8; }

int32_t LockHeaderRange(FileHandle file, int mode) {
  int32_t status = FileSeek(file, kLockRecordSize, 0, kSeekRecord);
  return status != ZARQ_OK ? status : FileLockRegion(file, mode, kLockRecordSize);
}

int32_t CheckHeader(const LockFileHeader& header, const DirectoryEntry& entry) {
  if (header.magic != kLockFileMagic) return ZARQ_E_BAD_LOCK_FILE;
  if (header.version != kLockFileVersion) return ZARQ_E_BAD_VERSION;
  if (header.stamp != entry.user_file_stamp) return ZARQ_E_STAMP_MISMATCH;
  return ZARQ_OK;
}

}  // namespace

bool LockRecord::HasUser(uint16_t user) const {
  return ValidUser(user) && (holders[ByteOf(user)] & BitOf(user)) != 0;
}

void LockRecord::SetUser(uint16_t user) {
  if (ValidUser(user)) holders[ByteOf(user)] |= BitOf(user);
}

void LockRecord::ClearUser(uint16_t user) {
  if (ValidUser(user)) holders[ByteOf(user)] &= static_cast<uint8_t>(~BitOf(user));
}

int LockRecord::CountUsers() const {
  int count = 0;
  for (uint8_t byte : holders) count += std::popcount(byte);
  return count;
}

uint16_t LockRecord::FirstUser() const {
  for (int i = 0; i < kHolderBytes; ++i) {
    if (holders[i] != 0) return static_cast<uint16_t>(i * 8 + std::countl_zero(holders[i]) + 1);
  }
  return 0;
}

void EncodeLockFileHeader(const LockFileHeader& header, uint8_t* out) {
  std::memset(out, 0, kLockRecordSize);
  PutU32(out + kMagic, header.magic);
  PutU16(out + kVersion, header.version);
  PutU32(out + kStamp, header.stamp);
  PutU32(out + kRecordCount, header.record_count);
}

LockFileHeader DecodeLockFileHeader(const uint8_t* in) {
  LockFileHeader header;
  header.magic = GetU32(in + kMagic);
  header.version = GetU16(in + kVersion);
  header.stamp = GetU32(in + kStamp);
  header.record_count = GetU32(in + kRecordCount);
  return header;
}

void EncodeLockRecord(const LockRecord& record, uint8_t* out) {
  std::memset(out, 0, kLockRecordSize);
  out[kLevel] = record.level;
  std::memcpy(out + kHolders, record.holders.data(), kHolderBytes);
}

LockRecord DecodeLockRecord(const uint8_t* in) {
  LockRecord record;
  record.level = in[kLevel];
  std::memcpy(record.holders.data(), in + kHolders, kHolderBytes);
  return record;
}

int32_t OpenLockFile(DirectoryEntry* entry, FileHandle* file) {
  return OpenDirectoryFile(entry->number, kKindLock, 0, file);
}

bool HeaderLockHeld(const DirectoryEntry& entry) { return g_header_lock_held.test(entry.number); }

int32_t AccessLockHeader(DirectoryEntry* entry, LockFileHeader* header, HeaderAccess access,
                         bool keep_locked) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenLockFile(entry, &file);
  if (status != ZARQ_OK) return status;
  if (!g_header_lock_held.test(entry->number)) {
    status = LockHeaderRange(file, kLockRegionWaiting);
    if (status != ZARQ_OK) return status;
  }
  g_header_lock_held.set(entry->number);
  uint8_t bytes[kLockRecordSize];
  if (access == HeaderAccess::kRead) {
    status = FileSeek(file, kLockRecordSize, 0, kSeekRecord);
    if (status == ZARQ_OK) status = FileRead(file, kLockRecordSize, bytes);
    if (status == ZARQ_OK) *header = DecodeLockFileHeader(bytes);
  }
  if (status == ZARQ_OK) status = CheckHeader(*header, *entry);
  if (status == ZARQ_OK && access == HeaderAccess::kWrite) {
    EncodeLockFileHeader(*header, bytes);
    status = FileSeek(file, kLockRecordSize, 0, kSeekRecord);
    if (status == ZARQ_OK) status = FileWrite(file, kLockRecordSize, bytes);
  }
  if (status == ZARQ_OK && keep_locked && access == HeaderAccess::kRead) return ZARQ_OK;
  g_header_lock_held.reset(entry->number);
  LockHeaderRange(file, kUnlockRegion);
  return status;
}

int32_t CreateLockFile(DirectoryEntry* entry, uint32_t count) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenDirectoryFile(entry->number, kKindLock, kOpenCreate | kOpenTruncate, &file);
  if (status != ZARQ_OK) return status;
  LockFileHeader header;
  header.stamp = entry->user_file_stamp;
  header.record_count = count;
  uint8_t bytes[kLockRecordSize];
  EncodeLockFileHeader(header, bytes);
  status = FileSeek(file, kLockRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileWrite(file, kLockRecordSize, bytes);
  if (status == ZARQ_OK) status = FileSetSize(file, kLockRecordSize * (count + 1));
  return status;
}

int32_t ReadLockRecord(FileHandle file, uint32_t n, LockRecord* record) {
  uint8_t bytes[kLockRecordSize];
  int32_t status = FileSeek(file, kLockRecordSize, static_cast<int32_t>(n), kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, kLockRecordSize, bytes);
  if (status == ZARQ_OK) *record = DecodeLockRecord(bytes);
  return status;
}

int32_t WriteLockRecordAt(FileHandle file, uint32_t n, const LockRecord& record) {
  uint8_t bytes[kLockRecordSize];
  EncodeLockRecord(record, bytes);
  int32_t status = FileSeek(file, kLockRecordSize, static_cast<int32_t>(n), kSeekRecord);
  return status != ZARQ_OK ? status : FileWrite(file, kLockRecordSize, bytes);
}

int32_t WriteLockRecord(DirectoryEntry* entry, uint32_t n, const LockRecord& record) {
  FileHandle file = kNoFileHandle;
  RecordLock lock;
  int32_t status = OpenLockFile(entry, &file);
  if (status == ZARQ_OK) status = lock.Acquire(file, kLockRecordSize, n, kLockRecordSize);
  return status != ZARQ_OK ? status : WriteLockRecordAt(file, n, record);
}

int32_t ClearUserFromLockFile(DirectoryEntry* entry) {
  LockFileHeader header;
  int32_t status = AccessLockHeader(entry, &header, HeaderAccess::kRead, false);
  FileHandle file = kNoFileHandle;
  if (status == ZARQ_OK) status = OpenLockFile(entry, &file);
  if (status != ZARQ_OK || header.record_count == 0) return status;
  // Only this process sets its own bit, so one unlocked pass finds every
  // record that carries it; those are then changed under their locks.
  uint32_t size = 0;
  status = FileGetSize(file, &size);
  if (status != ZARQ_OK) return status;
  uint32_t whole = size / kLockRecordSize;
  uint32_t present = whole > 0 ? std::min(header.record_count, whole - 1) : 0;
  std::vector<uint8_t> all(static_cast<size_t>(present) * kLockRecordSize);
  status = FileSeek(file, kLockRecordSize, 1, kSeekRecord);
  if (status == ZARQ_OK && present > 0)
    status = FileRead(file, static_cast<uint32_t>(all.size()), all.data());
  for (uint32_t n = 1; status == ZARQ_OK && n <= present; ++n) {
    if (!DecodeLockRecord(&all[(n - 1) * kLockRecordSize]).HasUser(entry->user_record)) continue;
    RecordLock lock;
    status = lock.Acquire(file, kLockRecordSize, n, kLockRecordSize);
    LockRecord record;
    if (status == ZARQ_OK) status = ReadLockRecord(file, n, &record);
    if (status == ZARQ_OK && record.HasUser(entry->user_record)) {
      record.ClearUser(entry->user_record);
      if (!record.AnyUser()) record.level = 0;
      status = WriteLockRecordAt(file, n, record);
    }
  }
  return status;
}

}  // namespace zarq
