// file_table_state.h: the state behind file_table.h, shared by the files
// that implement it (cache, I/O, region locks, flush worker).
//
// Thread-safety: every member is guarded by lock (the file table lock).

#ifndef ZARQ_SRC_FILEIO_FILE_TABLE_STATE_H_
#define ZARQ_SRC_FILEIO_FILE_TABLE_STATE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "src/platform/platform.h"
#include "src/platform/sync.h"

namespace zarq {

inline constexpr uint8_t kNoDirectory = 255;

struct FileSlot {
  std::string name;  // name and extension, compared without regard to case
  uint8_t directory = kNoDirectory;
  bool written = false;
  FileHandle handle = kNoFileHandle;
  uint32_t flags = 0;
  uint32_t tag = 0;  // FileNumber of the security the file belongs to, or 0

  bool used() const { return handle != kNoFileHandle; }
};

struct RegionLock {
  bool used = false;
  FileHandle handle = kNoFileHandle;
  uint16_t count = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
};

class FlushWorker;

struct FileTableState {
  RecursiveMutex lock;
  std::vector<FileSlot> slots;      // empty while the table is stopped
  std::vector<RegionLock> regions;  // empty while stopped
  FlushWorker* worker = nullptr;
};

// The process's file table state; never destroyed.
FileTableState& TheFileTable();

// The slot holding handle, or -1. Expects the file table lock held.
int FindSlotOfHandle(const FileTableState& table, FileHandle handle);

// Starts and stops the flush worker (flush_worker.cc).
FlushWorker* StartFlushWorker(FileTableState* table);
void StopFlushWorker(FlushWorker* worker);

}  // namespace zarq

#endif  // ZARQ_SRC_FILEIO_FILE_TABLE_STATE_H_
