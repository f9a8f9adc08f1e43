// lock_file.h: the directory lock file, through which processes lock
// securities: one 37-byte record per security slot holding the strongest
// lock level in force and the set of user records (of the user file) that
// hold it.
//
//   header  0 magic u32 0x4D17FE5D   4 version u16 800   6 stamp u32
//           10 record count u32      14..36 zero
//   record  0 level u8 (0 free, 16, 32, 127, 128)
//           1 holders: 256 bits; user record u is bit 0x80 >> ((u-1) % 8)
//             of byte (u-1) / 8       33..36 zero
//
// Every read-modify-write of a record happens under a byte-range lock on
// exactly that record; the header has its own lock, and at most one of them
// is held at a time by a process.
//
// Thread-safety: callers hold the library lock (the header-held marks are
// process-wide).

#ifndef ZARQ_SRC_DIRECTORY_LOCK_FILE_H_
#define ZARQ_SRC_DIRECTORY_LOCK_FILE_H_

#include <array>
#include <cstdint>

#include "src/fileio/directory_entry.h"
#include "src/platform/platform.h"

namespace zarq {

inline constexpr uint16_t kLockRecordSize = 37;
inline constexpr uint32_t kLockFileMagic = 0x4D17FE5D;
inline constexpr uint16_t kLockFileVersion = 800;
inline constexpr int kHolderBytes = 32;

struct LockFileHeader {
  uint32_t magic = kLockFileMagic;
  uint16_t version = kLockFileVersion;
  uint32_t stamp = 0;
  uint32_t record_count = 0;
};

struct LockRecord {
  uint8_t level = 0;
  std::array<uint8_t, kHolderBytes> holders{};

  bool HasUser(uint16_t user) const;
  void SetUser(uint16_t user);
  void ClearUser(uint16_t user);
  int CountUsers() const;
  // The lowest user record holding it, 0 when none.
  uint16_t FirstUser() const;
  bool AnyUser() const { return CountUsers() > 0; }
};

void EncodeLockFileHeader(const LockFileHeader& header, uint8_t* out);
LockFileHeader DecodeLockFileHeader(const uint8_t* in);
void EncodeLockRecord(const LockRecord& record, uint8_t* out);
LockRecord DecodeLockRecord(const uint8_t* in);

enum class HeaderAccess { kRead, kWrite };

// Opens the directory's lock file (no creation).
int32_t OpenLockFile(DirectoryEntry* entry, FileHandle* file);

// Reads or writes record 0 under its lock and checks it (-353 magic, -247
// version, -248 stamp). A successful read with keep_locked returns with the
// header still locked; every other outcome unlocks it.
int32_t AccessLockHeader(DirectoryEntry* entry, LockFileHeader* header, HeaderAccess access,
                         bool keep_locked);

// Whether this process holds the lock of the directory's lock file header.
// Kept per directory: a header held in one directory must not make another
// directory's header access skip its lock.
bool HeaderLockHeld(const DirectoryEntry& entry);

// Creates the lock file with count zeroed records.
int32_t CreateLockFile(DirectoryEntry* entry, uint32_t count);

// Reads or writes record n (the caller holds its lock, see RecordLock).
int32_t ReadLockRecord(FileHandle file, uint32_t n, LockRecord* record);
int32_t WriteLockRecordAt(FileHandle file, uint32_t n, const LockRecord& record);

// Writes record n under its lock, without reading it first.
int32_t WriteLockRecord(DirectoryEntry* entry, uint32_t n, const LockRecord& record);

// Removes this process's user record from every lock record (a record left
// without holders is freed).
int32_t ClearUserFromLockFile(DirectoryEntry* entry);

}  // namespace zarq

#endif  // ZARQ_SRC_DIRECTORY_LOCK_FILE_H_
