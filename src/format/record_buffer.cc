// record_buffer.cc: the halving allocator.
//
// Thread-safety: see record_buffer.h.

#include "src/format/record_buffer.h"

#include <algorithm>

namespace zarq {
namespace {

// Tries bytes, then halves (rounded down to a whole unit) while at least
// floor bytes remain. floor is at least one unit, so the loop always ends.
HeapBuffer Allocate(uint64_t bytes, uint64_t unit, uint64_t floor, BufferAllocator allocate,
                    uint64_t* granted) {
  *granted = 0;
  while (bytes >= floor) {
    void* buffer = allocate(static_cast<size_t>(bytes));
    if (buffer != nullptr) {
      *granted = bytes;
      return HeapBuffer(static_cast<uint8_t*>(buffer));
    }
    bytes = bytes / 2 / unit * unit;
  }
  return nullptr;
}

}  // namespace

void* HeapAllocate(size_t bytes) { return std::malloc(bytes); }

HeapBuffer AllocRecordBuffer(uint32_t* count, uint16_t record_size, uint32_t min_count,
                             BufferAllocator allocate) {
  uint64_t size = record_size;
  uint64_t bytes = static_cast<uint64_t>(*count) * size;
  if (bytes == 0) {
    *count = 0;
    return nullptr;
  }
  bytes = std::min<uint64_t>(bytes, kMaxBufferBytes / size * size);
  // A minimum of 0 would let the halving reach an allocation of 0 bytes.
  uint64_t floor = size * std::max<uint64_t>(1, std::min(min_count, *count));
  uint64_t granted = 0;
  HeapBuffer buffer = Allocate(bytes, size, floor, allocate, &granted);
  *count = static_cast<uint32_t>(granted / size);
  return buffer;
}

HeapBuffer AllocByteBuffer(uint32_t* bytes, uint32_t min_bytes, BufferAllocator allocate) {
  if (*bytes == 0) return nullptr;
  uint64_t request = std::min<uint64_t>(*bytes, kMaxBufferBytes);
  uint64_t floor = std::max<uint32_t>(1, std::min(min_bytes, *bytes));
  uint64_t granted = 0;
  HeapBuffer buffer = Allocate(request, 1, floor, allocate, &granted);
  *bytes = static_cast<uint32_t>(granted);
  return buffer;
}

}  // namespace zarq
