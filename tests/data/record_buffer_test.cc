// The halving buffer allocator, driven by an allocator that refuses
// requests above a limit and records what it was asked.

#include "src/data/record_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace zarq {
namespace {

size_t limit = 0;
std::vector<size_t> requests;

void* Limited(size_t bytes) {
  requests.push_back(bytes);
  return bytes <= limit ? std::malloc(bytes) : nullptr;
}

TEST(RecordBufferTest, HalvesToWholeRecordsDownToTheMinimum) {
  const struct {
    uint32_t count;
    uint16_t size;
    uint32_t min;
    size_t limit;
    uint32_t want_count;
    std::vector<size_t> want_requests;
  } cases[] = {
      {1000, 100, 1, 30000, 250, {100000, 50000, 25000}},
      {7, 178, 1, 600, 3, {1246, 534}},  // 623 rounds down to 3 records
      {1000, 100, 5, 400, 0, {100000, 50000, 25000, 12500, 6200, 3100, 1500, 700}},
      {3, 100, 10, 100, 0, {300}},                    // the minimum is at most the count
      {100000, 178, 1, 1u << 30, 94254, {16777212}},  // capped to whole records
      {0, 100, 1, 1000, 0, {}},
      {10, 100, 0, 0, 0, {1000, 500, 200, 100}},  // a minimum of 0 still stops
  };
  for (const auto& c : cases) {
    limit = c.limit;
    requests.clear();
    uint32_t count = c.count;
    HeapBuffer buffer = AllocRecordBuffer(&count, c.size, c.min, Limited);
    EXPECT_EQ(count, c.want_count) << c.count << "x" << c.size << " limit " << c.limit;
    EXPECT_EQ(buffer != nullptr, c.want_count != 0);
    EXPECT_EQ(requests, c.want_requests) << c.count << "x" << c.size << " limit " << c.limit;
  }
}

TEST(RecordBufferTest, ByteBuffersHalveWithoutRounding) {
  limit = 300;
  requests.clear();
  uint32_t bytes = 1001;
  HeapBuffer buffer = AllocByteBuffer(&bytes, 1, Limited);
  EXPECT_EQ(bytes, 250u);
  EXPECT_EQ(requests, (std::vector<size_t>{1001, 500, 250}));
  bytes = 1001;
  EXPECT_EQ(AllocByteBuffer(&bytes, 400, Limited), nullptr);
  EXPECT_EQ(bytes, 0u);
  limit = 1u << 30;
  bytes = 0xFFFFFFFFu;
  buffer = AllocByteBuffer(&bytes, 1024, Limited);
  EXPECT_EQ(bytes, kMaxBufferBytes);
}

}  // namespace
}  // namespace zarq
