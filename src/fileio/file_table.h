// file_table.h: the cache of open files and the I/O primitives every file
// of a data directory is reached through.
//
// The FileTable keeps 20 open handles in most-recently-used order (slot 0
// the latest); a cache hit moves its slot to the front, an uncached open
// takes the last slot, except that a handle holding a byte-range lock is
// never evicted. Callers pass the handle they receive back to these
// operations and never close it themselves: handles are closed only by
// eviction and FileCloseMatching. Reads and writes go in chunks of at most
// 64512 bytes. Byte-range locks nest per range within the process
// (RegionLockTable) and wait up to 10 s for other holders.
//
// Thread-safety: callers hold the library lock. The table and the region
// locks are also guarded by the file table lock, which the flush worker
// takes on its own; the lock order is library lock, then file table lock.

#ifndef ZARQ_SRC_FILEIO_FILE_TABLE_H_
#define ZARQ_SRC_FILEIO_FILE_TABLE_H_

#include <cstdint>
#include <string>

#include "src/platform/platform.h"

namespace zarq {

inline constexpr int kFileSlotCount = 20;
inline constexpr int kMinFileSlotCount = 5;
inline constexpr int kRegionLockCount = 10;
inline constexpr uint32_t kIoChunkBytes = 64512;
inline constexpr int kMaxFilePath = 260;

// Open flags; every bit but the two lowest takes part in the cache match.
enum OpenFlags : uint32_t {
  kOpenCreate = 0x1,    // create the file when it does not exist
  kOpenTruncate = 0x2,  // create it anew: an existing file is emptied
  kOpenReadOnly = 0x4,
  // The library's own working files: the name exactly as built, never a
  // symbolic link.
  kOpenWorkingFile = 0x10,
};

enum SeekMode : int {
  kSeekStart = 1,     // start of the file (size and index ignored)
  kSeekRecord = 2,    // size * index from the start
  kSeekRelative = 3,  // size * index from the current position
  kSeekEnd = 4,       // end of the file (size and index ignored)
};

enum LockMode : int {
  kUnlockRegion = 0,
  kLockRegionWaiting = 1,  // retries every 25 ms for up to 10 s
  kLockRegionNoWait = 2,
};

enum CloseMode : int {
  kCloseAll = 1,
  kCloseDirectory = 2,
  kCloseDirectoryTag = 3,  // the directory's files tagged with a FileNumber
  kCloseHandle = 4,
};

// Opens (or finds in the cache) the file path of directory number
// directory. *handle is kNoFileHandle on failure.
int32_t FileOpen(uint8_t directory, const char* path, FileHandle* handle, uint32_t flags);

// Creates path as a new file of directory number directory, exactly under
// that name and never through a link. When the name is taken (by a file or
// anything else), *existed is set and the status is ZARQ_E_FILE_QUERY;
// cached handles of that name are closed first, since they cannot belong
// to the new file.
int32_t FileCreateNew(uint8_t directory, const char* path, FileHandle* handle, bool* existed);

// Flushes the file's written data to the disk.
int32_t FileFlush(FileHandle handle);

// Positions the handle (SeekMode).
int32_t FileSeek(FileHandle handle, uint16_t record_size, int32_t index, int mode);

// Reads exactly count bytes at the current position: -300 when nothing is
// left, -275 for a read that comes short.
int32_t FileRead(FileHandle handle, uint32_t count, void* buffer);

// Writes exactly count bytes at the current position; -342 when a write
// fails on a volume without room for the chunk.
int32_t FileWrite(FileHandle handle, uint32_t count, const void* buffer);

// *size is all bits set on failure.
int32_t FileGetSize(FileHandle handle, uint32_t* size);

// Makes the file exactly size bytes long (new bytes are zero), keeping the
// current position.
int32_t FileSetSize(FileHandle handle, uint32_t size);

// Locks or unlocks length bytes from the handle's current position.
int32_t FileLockRegion(FileHandle handle, int mode, uint32_t length);

// Closes the cached handles the mode selects (CloseMode; key is the tag for
// kCloseDirectoryTag and the handle for kCloseHandle).
int32_t FileCloseMatching(uint8_t directory, uint64_t key, int mode);

// Closes the cached handles of the file path (compared by name without
// regard to case) of the directory that hold no byte-range lock: a file is
// about to take that name, and a cached handle would reach the old one.
int32_t FileCloseNamed(uint8_t directory, const std::string& path);

// Marks the handle's file as written since the last flush.
void FileMarkWritten(FileHandle handle);

// True when the process holds a byte-range lock through the handle.
bool FileHasLocks(FileHandle handle);

// Sets the tag (a security's FileNumber) of the most recently opened slot
// when it has none.
void FileTagLatest(uint32_t tag);

// Process-part hooks and their order: the region lock table starts before
// the file table; the file table starts its flush worker.
int32_t StartRegionLockTable();
void StopRegionLockTable();
int32_t StartFileTable(int slot_count);
void StopFileTable();

// For tests: installs a platform double (nullptr: the system's own) and
// returns the one it replaces, between two passes of the flush worker, so
// that the worker never calls a double that is going away.
Platform* InstallPlatformForTesting(Platform* platform);

// For tests: the number of used slots, the handle and name in a slot, and
// one flush pass as the worker does it.
int FileTableUsedSlots();
FileHandle FileTableSlotHandle(int slot);
std::string FileTableSlotName(int slot);
void FlushWrittenFiles();

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_FILE_TABLE_H_
