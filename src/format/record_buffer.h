// record_buffer.h: buffers for bulk work on records, sized to what memory
// allows.
//
// A bulk operation asks for room for all its records and works in chunks
// of whatever it gets: the request is capped at 16,777,215 bytes and halved
// while allocation fails, down to a floor the caller names. Callers report
// ZARQ_E_OUT_OF_MEMORY when they get no buffer.
//
// Thread-safety: the functions are thread-safe when the allocator is.

#ifndef ZARQ_SRC_FORMAT_RECORD_BUFFER_H_
#define ZARQ_SRC_FORMAT_RECORD_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace zarq {

inline constexpr size_t kMaxBufferBytes = 16777215;

// Allocates bytes or returns null; the memory must be releasable with
// std::free. Tests pass one that fails above a size.
using BufferAllocator = void* (*)(size_t bytes);

// The process heap.
void* HeapAllocate(size_t bytes);

struct FreeBuffer {
  void operator()(void* buffer) const { std::free(buffer); }
};
using HeapBuffer = std::unique_ptr<uint8_t[], FreeBuffer>;

// A buffer for up to *count records of record_size bytes. On success
// *count is the number of records it holds (at least min(min_count,
// *count), and never fewer than one record); on failure *count is 0 and
// the result null. A request of 0 bytes fails.
HeapBuffer AllocRecordBuffer(uint32_t* count, uint16_t record_size, uint32_t min_count,
                             BufferAllocator allocate = HeapAllocate);

// The same in bytes: a buffer of up to *bytes bytes, at least
// min(min_bytes, *bytes) and never less than one byte.
HeapBuffer AllocByteBuffer(uint32_t* bytes, uint32_t min_bytes,
                           BufferAllocator allocate = HeapAllocate);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_RECORD_BUFFER_H_
