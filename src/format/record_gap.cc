// record_gap.cc: block moves of records within a file.
//
// Thread-safety: see record_gap.h.

#include "src/format/record_gap.h"

#include <algorithm>

#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/frame/entry_frame.h"

namespace zarq {
namespace {

constexpr uint32_t kMinChunkRecords = 10;

// A buffer for up to *chunk records of the move of total records: the
// whole move when it fits into one block, else one block's worth.
HeapBuffer AllocMoveBuffer(uint32_t total, uint16_t record_size, BufferAllocator allocate,
                           uint32_t* chunk) {
  *chunk = std::max<uint32_t>(1, std::min(total, kIoChunkBytes / record_size));
  return AllocRecordBuffer(chunk, record_size, std::min(*chunk, kMinChunkRecords), allocate);
}

int32_t MoveBlock(FileHandle file, uint16_t record_size, uint32_t from, uint32_t to, uint32_t count,
                  uint8_t* buffer) {
  int32_t status = FileSeek(file, record_size, static_cast<int32_t>(from), kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, count * record_size, buffer);
  if (status == ZARQ_OK)
    status = FileSeek(file, record_size, static_cast<int32_t>(to), kSeekRecord);
  if (status == ZARQ_OK) status = FileWrite(file, count * record_size, buffer);
  return status;
}

}  // namespace

int32_t OpenRecordGap(FileHandle file, uint32_t count, uint32_t position, uint32_t n,
                      uint16_t record_size, BufferAllocator allocate) {
  EntryFrame frame;
  if (int32_t state = RequireInitialized(); state != ZARQ_OK) return state;
  if (count == 0) return ZARQ_OK;
  // Position 0 would move the header.
  if (position < 1 || position > count || record_size == 0) return ZARQ_E_BAD_RECORD_COUNT;
  uint64_t new_size = (static_cast<uint64_t>(count) + n + 1) * record_size;
  if (new_size > 0xFFFFFFFFu) return ZARQ_E_BAD_RECORD_COUNT;
  if (n == 0) return ZARQ_OK;

  uint32_t total = count - position + 1;
  uint32_t chunk = 0;
  HeapBuffer buffer = AllocMoveBuffer(total, record_size, allocate, &chunk);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  int32_t status = FileSetSize(file, static_cast<uint32_t>(new_size));
  // From the top down, so that no block overwrites records not yet moved.
  uint32_t top = count;
  for (uint32_t left = total; status == ZARQ_OK && left > 0;) {
    uint32_t k = std::min(chunk, left);
    uint32_t from = top - k + 1;
    status = MoveBlock(file, record_size, from, from + n, k, buffer.get());
    top -= k;
    left -= k;
  }
  return status;
}

int32_t CloseRecordGap(FileHandle file, uint32_t count, uint32_t first, uint32_t last,
                       uint16_t record_size, BufferAllocator allocate) {
  EntryFrame frame;
  if (int32_t state = RequireInitialized(); state != ZARQ_OK) return state;
  if (first < 1 || first > last || last > count || record_size == 0) {
    return ZARQ_E_BAD_RECORD_COUNT;
  }
  uint32_t total = count - last;
  if (total == 0) return ZARQ_OK;
  uint32_t chunk = 0;
  HeapBuffer buffer = AllocMoveBuffer(total, record_size, allocate, &chunk);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  // From the bottom up: the destination always lies below the source.
  int32_t status = ZARQ_OK;
  uint32_t from = last + 1;
  uint32_t to = first;
  for (uint32_t left = total; status == ZARQ_OK && left > 0;) {
    uint32_t k = std::min(chunk, left);
    status = MoveBlock(file, record_size, from, to, k, buffer.get());
    from += k;
    to += k;
    left -= k;
  }
  return status;
}

}  // namespace zarq
