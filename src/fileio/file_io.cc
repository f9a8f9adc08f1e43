// file_io.cc: positioning, chunked reading and writing, and sizing of the
// files of the file table.
//
// Thread-safety: callers hold the library lock. FileWrite also takes the
// file table lock (it marks the slot written); the others act on the
// handle alone.

#include <algorithm>
#include <limits>

#include "include/zarq.h"
#include "src/fileio/directory_facts.h"
#include "src/fileio/file_table.h"
#include "src/fileio/file_table_state.h"
#include "src/fileio/path_services.h"
#include "src/fileio/system_error_map.h"

namespace zarq {
namespace {

// After a failed write: -342 when the volume of the file's directory lacks
// room for the chunk.
int32_t CheckDiskFull(const FileTableState& table, FileHandle handle, uint32_t chunk,
                      int32_t status) {
  if (status == ZARQ_E_BAD_FILE_HANDLE || status == ZARQ_E_ACCESS_DENIED) return status;
  int slot = FindSlotOfHandle(table, handle);
  if (slot < 0) return status;
  DirectoryFacts* facts = FindDirectoryFacts(table.slots[slot].directory);
  if (facts == nullptr) return status;
  uint32_t free_bytes = 0;
  GetDiskFreeBytes(facts->path, &free_bytes);
  return free_bytes < chunk ? ZARQ_E_DISK_FULL : status;
}

}  // namespace

int32_t FileSeek(FileHandle handle, uint16_t record_size, int32_t index, int mode) {
  int64_t distance = 0;
  SeekOrigin origin = SeekOrigin::kBegin;
  if (mode == kSeekEnd) {
    origin = SeekOrigin::kEnd;
  } else if (mode != kSeekStart) {
    distance = static_cast<int64_t>(record_size) * index;
    if (distance < 0 || distance > std::numeric_limits<int32_t>::max()) {
      return ZARQ_E_SEEK_FAILED;
    }
    if (mode == kSeekRelative) origin = SeekOrigin::kCurrent;
  }
  uint64_t position = 0;
  uint32_t error = Os().SeekFile(handle, distance, origin, &position);
  if (error != 0) return MapSystemError(error, ZARQ_E_SEEK_FAILED);
  // Relative moves and the end of the file may land anywhere.
  if (mode == kSeekRelative || mode == kSeekEnd) return ZARQ_OK;
  if (position == static_cast<uint64_t>(distance)) return ZARQ_OK;
  uint32_t size = 0;
  if (FileGetSize(handle, &size) == ZARQ_OK && distance > static_cast<int64_t>(size)) {
    return ZARQ_E_BEYOND_END;
  }
  return ZARQ_E_SEEK_FAILED;
}

int32_t FileRead(FileHandle handle, uint32_t count, void* buffer) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    uint32_t chunk = std::min(count - done, kIoChunkBytes);
    uint32_t got = 0;
    uint32_t error = Os().ReadFile(handle, bytes + done, chunk, &got);
    if (error != 0) return MapSystemError(error, ZARQ_E_READ_FAILED);
    if (got == 0) return ZARQ_E_END_OF_FILE;
    if (got < chunk) return ZARQ_E_SHORT_READ;
    done += chunk;
  }
  return ZARQ_OK;
}

int32_t FileWrite(FileHandle handle, uint32_t count, const void* buffer) {
  FileTableState& table = TheFileTable();
  MutexLock guard(&table.lock);
  auto* bytes = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    uint32_t chunk = std::min(count - done, kIoChunkBytes);
    uint32_t put = 0;
    uint32_t error = Os().WriteFile(handle, bytes + done, chunk, &put);
    int32_t status = ZARQ_OK;
    if (error != 0) {
      status = MapSystemError(error, ZARQ_E_WRITE_FAILED);
    } else if (put < chunk) {
      status = ZARQ_E_SHORT_WRITE;
    }
    FileMarkWritten(handle);
    if (status != ZARQ_OK) return CheckDiskFull(table, handle, chunk, status);
    done += chunk;
  }
  return ZARQ_OK;
}

int32_t FileGetSize(FileHandle handle, uint32_t* size) {
  *size = std::numeric_limits<uint32_t>::max();
  uint64_t value = 0;
  uint32_t error = Os().GetFileSize(handle, &value);
  if (error != 0) return MapSystemError(error, ZARQ_E_FILE_QUERY);
  if (value > std::numeric_limits<uint32_t>::max()) return ZARQ_E_FILE_QUERY;
  *size = static_cast<uint32_t>(value);
  return ZARQ_OK;
}

int32_t FileSetSize(FileHandle handle, uint32_t size) {
  uint64_t position = 0;
  uint32_t error = Os().SeekFile(handle, 0, SeekOrigin::kCurrent, &position);
  if (error != 0) return MapSystemError(error, ZARQ_E_FILE_QUERY);
  uint64_t current = 0;
  error = Os().GetFileSize(handle, &current);
  if (error == 0) {
    // Growing appends zero bytes; the file is then written.
    error = Os().SetFileSize(handle, size);
    if (error == 0 && current < size) FileMarkWritten(handle);
  }
  uint64_t ignored = 0;
  Os().SeekFile(handle, static_cast<int64_t>(position), SeekOrigin::kBegin, &ignored);
  return error == 0 ? ZARQ_OK : MapSystemError(error, ZARQ_E_FILE_QUERY);
}

}  // namespace zarq
