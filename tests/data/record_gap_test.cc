// Record files: opening and closing gaps by block moves (contents, file
// sizes, block sizes, small buffers) and the binary search over sorted
// records.

#include "src/data/record_gap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "include/zarq.h"
#include "src/data/record_search.h"
#include "src/fileio/file_table.h"
#include "src/frame/little_endian.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

constexpr uint16_t kSize = 36;

class RecordFileTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    ASSERT_EQ(FileOpen(dir_, PathOf("records.bin").c_str(), &file_, kOpenCreate), ZARQ_OK);
  }
  // A header of 0xEE bytes and count records, record i holding i in
  // every 4 bytes.
  void Fill(uint32_t count, uint16_t size = kSize) {
    std::vector<uint8_t> bytes((count + 1) * size, 0xEE);
    for (uint32_t i = 1; i <= count; ++i) {
      for (uint16_t at = 0; at + 4 <= size; at += 4) PutU32(&bytes[i * size + at], i);
    }
    ASSERT_EQ(FileSetSize(file_, 0), ZARQ_OK);
    ASSERT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
    ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  }
  uint32_t Size() {
    uint32_t size = 0;
    EXPECT_EQ(FileGetSize(file_, &size), ZARQ_OK);
    return size;
  }
  // What each record 0..n of the file holds (the first 4 bytes; 0xEEEEEEEE
  // for the header), and a check that each record is uniform.
  std::vector<uint32_t> Contents(uint16_t size = kSize) {
    uint32_t bytes = Size();
    std::vector<uint8_t> data(bytes);
    EXPECT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
    EXPECT_EQ(FileRead(file_, bytes, data.data()), ZARQ_OK);
    std::vector<uint32_t> records;
    for (uint32_t at = 0; at + size <= bytes; at += size) {
      records.push_back(GetU32(&data[at]));
      for (uint16_t k = 4; k + 4 <= size; k += 4) {
        EXPECT_EQ(GetU32(&data[at + k]), records.back()) << "record " << at / size;
      }
    }
    return records;
  }
  static std::vector<uint32_t> Numbers(uint32_t from, uint32_t to) {
    std::vector<uint32_t> numbers;
    for (uint32_t i = from; i <= to; ++i) numbers.push_back(i);
    return numbers;
  }
  static std::vector<uint32_t> Join(std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  FileHandle file_ = kNoFileHandle;
};

constexpr uint32_t kHeaderMark = 0xEEEEEEEE;

TEST_F(RecordFileTest, OpeningAGapMovesTheTailUpInBlocks) {
  Fill(3000);  // 108000 bytes of records: more than one block
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  ASSERT_EQ(OpenRecordGap(file_, 3000, 10, 5, kSize), ZARQ_OK);
  EXPECT_EQ(Size(), (3000 + 5 + 1) * kSize);
  std::vector<uint32_t> contents = Contents();
  EXPECT_EQ(std::vector<uint32_t>(contents.begin(), contents.begin() + 10),
            Join({kHeaderMark}, Numbers(1, 9)));
  EXPECT_EQ(std::vector<uint32_t>(contents.begin() + 15, contents.end()), Numbers(10, 3000));
  // The moved records go in blocks of at most 64512 bytes.
  ASSERT_GE(os.write_sizes.size(), 2u);
  for (uint32_t size : os.write_sizes) EXPECT_LE(size, kIoChunkBytes);
  EXPECT_EQ(os.write_sizes.size(), 2u);
}

TEST_F(RecordFileTest, ClosingAGapMovesTheTailDownInBlocks) {
  Fill(3000);
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  ASSERT_EQ(CloseRecordGap(file_, 3000, 5, 6, kSize), ZARQ_OK);
  EXPECT_EQ(Size(), 3001u * kSize);  // the caller cuts the file
  std::vector<uint32_t> contents = Contents();
  EXPECT_EQ(std::vector<uint32_t>(contents.begin(), contents.begin() + 2999),
            Join(Join({kHeaderMark}, Numbers(1, 4)), Numbers(7, 3000)));
  EXPECT_EQ(os.write_sizes.size(), 2u);
  for (uint32_t size : os.write_sizes) EXPECT_LE(size, kIoChunkBytes);
}

void* SmallBuffers(size_t bytes) { return bytes > 600 ? nullptr : std::malloc(bytes); }
void* NoBuffers(size_t) { return nullptr; }

TEST_F(RecordFileTest, SmallBuffersMoveTheSameRecords) {
  Fill(100);
  ASSERT_EQ(OpenRecordGap(file_, 100, 1, 3, kSize, &SmallBuffers), ZARQ_OK);
  EXPECT_EQ(Contents(), Join({kHeaderMark, 1, 2, 3}, Numbers(1, 100)));
  ASSERT_EQ(CloseRecordGap(file_, 103, 1, 3, kSize, &SmallBuffers), ZARQ_OK);
  ASSERT_EQ(FileSetSize(file_, 101 * kSize), ZARQ_OK);
  EXPECT_EQ(Contents(), Join({kHeaderMark}, Numbers(1, 100)));

  EXPECT_EQ(OpenRecordGap(file_, 100, 1, 3, kSize, &NoBuffers), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(CloseRecordGap(file_, 100, 1, 3, kSize, &NoBuffers), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(Contents(), Join({kHeaderMark}, Numbers(1, 100)));
}

TEST_F(RecordFileTest, RecordsOutsideTheRangeAreRefused) {
  Fill(10);
  struct Case {
    bool open;
    uint32_t count, a, b;  // open: position, n; close: first, last
    int32_t expected;
  };
  const Case cases[] = {
      {true, 10, 0, 1, ZARQ_E_BAD_RECORD_COUNT},   // would move the header
      {true, 10, 11, 1, ZARQ_E_BAD_RECORD_COUNT},  // beyond the records
      {true, 0, 5, 1, ZARQ_OK},                    // nothing to move
      {true, 10, 3, 0, ZARQ_OK},
      {true, 10, 1, 0xFFFFFFF0u, ZARQ_E_BAD_RECORD_COUNT},  // past 4 GB
      {false, 10, 0, 1, ZARQ_E_BAD_RECORD_COUNT},
      {false, 10, 4, 3, ZARQ_E_BAD_RECORD_COUNT},
      {false, 10, 4, 11, ZARQ_E_BAD_RECORD_COUNT},
      {false, 10, 9, 10, ZARQ_OK},  // nothing after the range
  };
  for (const Case& c : cases) {
    int32_t status = c.open ? OpenRecordGap(file_, c.count, c.a, c.b, kSize)
                            : CloseRecordGap(file_, c.count, c.a, c.b, kSize);
    EXPECT_EQ(status, c.expected) << (c.open ? "open " : "close ") << c.a << " " << c.b;
    EXPECT_EQ(Contents(), Join({kHeaderMark}, Numbers(1, 10)));
  }
  EXPECT_EQ(OpenRecordGap(file_, 10, 1, 1, 0), ZARQ_E_BAD_RECORD_COUNT);
}

int32_t CompareKey(const void* key, const uint8_t* record) {
  uint32_t a = *static_cast<const uint32_t*>(key);
  uint32_t b = GetU32(record);
  return a < b ? -1 : (a > b ? 1 : 0);
}

TEST_F(RecordFileTest, BinarySearchFindsRecordsAndInsertionPlaces) {
  // Keys 10, 20, ..., 100 in records 1..10 of 8 bytes.
  std::vector<uint8_t> bytes(11 * 8, 0);
  for (uint32_t i = 1; i <= 10; ++i) PutU32(&bytes[i * 8], i * 10);
  ASSERT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
  ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);

  for (uint32_t count : {1u, 2u, 7u, 10u}) {
    for (uint32_t key = 5; key <= 105; key += 5) {
      uint32_t index = 99;
      int32_t exact = SearchRecords(file_, 8, count, &key, &CompareKey, SearchMode::kExact, &index);
      bool present = key % 10 == 0 && key / 10 <= count;
      if (present) {
        EXPECT_EQ(exact, ZARQ_OK);
        EXPECT_EQ(index, key / 10);
      } else {
        EXPECT_EQ(exact, ZARQ_E_INDEX_ENTRY_MISSING) << key;
        EXPECT_EQ(index, 0u);
        int32_t near =
            SearchRecords(file_, 8, count, &key, &CompareKey, SearchMode::kInsertion, &index);
        EXPECT_EQ(near, ZARQ_NEAR_MATCH);
        EXPECT_EQ(index, std::min(count, key / 10) + 1) << "key " << key << " count " << count;
      }
    }
  }
  uint32_t key = 50, index = 0;
  EXPECT_EQ(SearchRecords(file_, 8, 0, &key, &CompareKey, SearchMode::kInsertion, &index),
            ZARQ_NEAR_MATCH);
  EXPECT_EQ(index, 1u);
  // A count beyond the file ends in the read failure.
  EXPECT_EQ(SearchRecords(file_, 8, 1000, &key, &CompareKey, SearchMode::kExact, &index),
            ZARQ_E_END_OF_FILE);
}

}  // namespace
}  // namespace zarq
