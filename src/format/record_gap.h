// record_gap.h: opening and closing a gap among the records of a file of
// fixed-size records (record 0 is a header; records 1..count follow it).
//
// Records are moved in blocks of at most 64512 bytes, never one by one,
// through a buffer from AllocRecordBuffer. A failure part way may leave the
// records partly moved; the caller's count is never changed here.
//
// Thread-safety: takes the library lock (re-entrant) for its work.

#ifndef ZARQ_SRC_FORMAT_RECORD_GAP_H_
#define ZARQ_SRC_FORMAT_RECORD_GAP_H_

#include <cstdint>

#include "src/format/record_buffer.h"
#include "src/platform/platform.h"

namespace zarq {

// Moves records position..count up by n records, leaving n records of
// room at position, and makes the file (count + n + 1) records long. 0
// without a move when count is 0; ZARQ_E_BAD_RECORD_COUNT for a position
// outside 1..count, a record size of 0, or a file that would pass 4 GB;
// ZARQ_E_OUT_OF_MEMORY when not even min(10, records to move) records of
// buffer can be had; file failures; the library state when not
// initialised.
int32_t OpenRecordGap(FileHandle file, uint32_t count, uint32_t position, uint32_t n,
                      uint16_t record_size, BufferAllocator allocate = HeapAllocate);

// Moves records last + 1..count down onto first, removing records
// first..last. The file keeps its size; the caller cuts it.
// ZARQ_E_BAD_RECORD_COUNT unless 1 <= first <= last <= count (and the
// record size is not 0); otherwise as OpenRecordGap.
int32_t CloseRecordGap(FileHandle file, uint32_t count, uint32_t first, uint32_t last,
                       uint16_t record_size, BufferAllocator allocate = HeapAllocate);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_RECORD_GAP_H_
