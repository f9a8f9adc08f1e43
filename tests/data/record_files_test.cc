// Record files: opening and closing gaps by block moves (contents, file
// sizes, block sizes, small buffers), the binary search over sorted
// records; and a security's data file as a whole (its header count and the
// repairs of reading it, creation, field-list files, copying), with the
// security's record from a test fetcher standing in for the lock table.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/data/data_file.h"
#include "src/data/record_gap.h"
#include "src/data/record_search.h"
#include "src/directory/directory_entry.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/frame/little_endian.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

constexpr uint16_t kSize = 36;
constexpr uint32_t kHeaderMark = 0xEEEEEEEE;

// head, then first..last.
std::vector<uint32_t> Numbers(uint32_t first, uint32_t last, std::vector<uint32_t> head = {}) {
  for (uint32_t i = first; i <= last; ++i) head.push_back(i);
  return head;
}

class RecordFileTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    ASSERT_EQ(FileOpen(dir_, PathOf("records.bin").c_str(), &file_, kOpenCreate), ZARQ_OK);
  }
  // A header of 0xEE bytes and count records, record i holding i in every
  // 4 bytes.
  void Fill(uint32_t count) {
    std::vector<uint8_t> bytes((count + 1) * kSize, 0xEE);
    for (uint32_t at = kSize; at < bytes.size(); at += 4) PutU32(&bytes[at], at / kSize);
    ASSERT_EQ(FileSetSize(file_, 0), ZARQ_OK);
    ASSERT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
    ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  }
  uint32_t Size() {
    uint32_t size = 0;
    EXPECT_EQ(FileGetSize(file_, &size), ZARQ_OK);
    return size;
  }
  // What each record of the file holds, checking that each is uniform.
  std::vector<uint32_t> Contents() {
    std::vector<uint8_t> data(Size());
    EXPECT_EQ(FileSeek(file_, 1, 0, kSeekStart), ZARQ_OK);
    EXPECT_EQ(FileRead(file_, static_cast<uint32_t>(data.size()), data.data()), ZARQ_OK);
    std::vector<uint32_t> records;
    for (size_t at = 0; at < data.size() / kSize * kSize; at += 4) {
      if (at % kSize == 0) records.push_back(GetU32(&data[at]));
      EXPECT_EQ(GetU32(&data[at]), records.back()) << "record " << at / kSize;
    }
    return records;
  }
  FileHandle file_ = kNoFileHandle;
};

TEST_F(RecordFileTest, GapsOpenAndCloseByMovingTheTailInBlocks) {
  Fill(3000);  // 108000 bytes of records: more than one block
  {
    zarq_test::FaultPlatform os;
    zarq_test::ScopedPlatform installed(&os);
    ASSERT_EQ(OpenRecordGap(file_, 3000, 10, 5, kSize), ZARQ_OK);
    EXPECT_EQ(os.write_sizes.size(), 2u);
    for (uint32_t size : os.write_sizes) EXPECT_LE(size, kIoChunkBytes);
  }
  EXPECT_EQ(Size(), (3000 + 5 + 1) * kSize);
  std::vector<uint32_t> contents = Contents();
  EXPECT_EQ(std::vector(contents.begin(), contents.begin() + 10), Numbers(1, 9, {kHeaderMark}));
  EXPECT_EQ(std::vector(contents.begin() + 15, contents.end()), Numbers(10, 3000));

  Fill(3000);
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  ASSERT_EQ(CloseRecordGap(file_, 3000, 5, 6, kSize), ZARQ_OK);
  EXPECT_EQ(os.write_sizes.size(), 2u);
  for (uint32_t size : os.write_sizes) EXPECT_LE(size, kIoChunkBytes);
  EXPECT_EQ(Size(), 3001u * kSize);  // the caller cuts the file
  contents = Contents();
  std::vector<uint32_t> want = Numbers(7, 3000, {kHeaderMark, 1, 2, 3, 4});
  EXPECT_EQ(std::vector(contents.begin(), contents.begin() + 2999), want);
}

void* SmallBuffers(size_t bytes) { return bytes > 600 ? nullptr : std::malloc(bytes); }
void* NoBuffers(size_t) { return nullptr; }

TEST_F(RecordFileTest, SmallBuffersMoveTheSameRecords) {
  Fill(100);
  ASSERT_EQ(OpenRecordGap(file_, 100, 1, 3, kSize, &SmallBuffers), ZARQ_OK);
  EXPECT_EQ(Contents(), Numbers(1, 100, {kHeaderMark, 1, 2, 3}));
  ASSERT_EQ(CloseRecordGap(file_, 103, 1, 3, kSize, &SmallBuffers), ZARQ_OK);
  ASSERT_EQ(FileSetSize(file_, 101 * kSize), ZARQ_OK);
  EXPECT_EQ(Contents(), Numbers(1, 100, {kHeaderMark}));
  EXPECT_EQ(OpenRecordGap(file_, 100, 1, 3, kSize, &NoBuffers), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(CloseRecordGap(file_, 100, 1, 3, kSize, &NoBuffers), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(Contents(), Numbers(1, 100, {kHeaderMark}));
}

TEST_F(RecordFileTest, RecordsOutsideTheRangeAreRefused) {
  Fill(10);
  const struct {
    bool open;
    uint32_t count, a, b;  // open: position, n; close: first, last
    int32_t want;
  } cases[] = {
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
  for (const auto& c : cases) {
    int32_t status = c.open ? OpenRecordGap(file_, c.count, c.a, c.b, kSize)
                            : CloseRecordGap(file_, c.count, c.a, c.b, kSize);
    EXPECT_EQ(status, c.want) << (c.open ? "open " : "close ") << c.a << " " << c.b;
    EXPECT_EQ(Contents(), Numbers(1, 10, {kHeaderMark}));
  }
  EXPECT_EQ(OpenRecordGap(file_, 10, 1, 1, 0), ZARQ_E_BAD_RECORD_COUNT);
}

int32_t CompareKey(const void* key, const uint8_t* record) {
  uint32_t a = *static_cast<const uint32_t*>(key), b = GetU32(record);
  return a < b ? -1 : (a > b ? 1 : 0);
}

TEST_F(RecordFileTest, BinarySearchFindsRecordsAndInsertionPlaces) {
  // Keys 10, 20, ..., 100 in records 1..10 of 8 bytes.
  std::vector<uint8_t> bytes(11 * 8, 0);
  for (uint32_t i = 1; i <= 10; ++i) PutU32(&bytes[i * 8], i * 10);
  ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  for (uint32_t count : {0u, 1u, 2u, 7u, 10u}) {
    for (uint32_t key = 5; key <= 105; key += 5) {
      uint32_t index = 99;
      int32_t exact = SearchRecords(file_, 8, count, &key, &CompareKey, SearchMode::kExact, &index);
      if (key % 10 == 0 && key / 10 <= count) {
        EXPECT_EQ(std::tie(exact, index), std::make_tuple(ZARQ_OK, key / 10));
        continue;
      }
      EXPECT_EQ(std::tie(exact, index), std::make_tuple(ZARQ_E_INDEX_ENTRY_MISSING, 0)) << key;
      int32_t near =
          SearchRecords(file_, 8, count, &key, &CompareKey, SearchMode::kInsertion, &index);
      EXPECT_EQ(std::tie(near, index),
                std::make_tuple(ZARQ_NEAR_MATCH, std::min(count, key / 10) + 1))
          << "key " << key << " count " << count;
    }
  }
  // A count beyond the file ends in the read failure.
  uint32_t key = 50, index = 0;
  EXPECT_EQ(SearchRecords(file_, 8, 1000, &key, &CompareKey, SearchMode::kExact, &index),
            ZARQ_E_END_OF_FILE);
}

constexpr uint16_t kSevenFields = 0x7F;  // 28-byte records

class DataFileTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    security_ = MakeSecurityHandle(dir_, 3, false);
    SetSecurityFactsFetcher([](uint32_t, SecurityFileFacts* facts) {
      facts->file_number = 12;
      facts->record_size = 28;
      return int32_t{ZARQ_OK};
    });
  }
  void TearDown() override {
    SetSecurityFactsFetcher(nullptr);
    OpenFolderTest::TearDown();
  }
  // A data file whose header claims in_file records and that holds bytes.
  void WriteDataFile(uint16_t in_file, size_t bytes) {
    std::string content(bytes, '\x11');
    content[0] = content[1] = '\0';
    PutU16(reinterpret_cast<uint8_t*>(&content[2]), in_file);
    folder_.WriteFile("F12.DAT", content);
    FileCloseMatching(dir_, 0, kCloseDirectory);
  }
  uint32_t security_ = 0;
};

TEST_F(DataFileTest, ReadingTheCountRepairsWhatTheFileCannotBack) {
  const struct {
    uint16_t in_file;
    size_t bytes;
    uint16_t want;
    bool damaged;
  } cases[] = {
      {6, 28 * 10, 5, false},     // more bytes than the header says: fine
      {11, 28 * 9 + 5, 8, true},  // header claims 11 records, 9 whole present
      {0, 28, 0, false},         {65535, 28u * 65535, 65500, true},  // more than 65500 records
      {1, 20, 0, true},  // shorter than one record: made anew
  };
  for (const auto& c : cases) {
    WriteDataFile(c.in_file, c.bytes);
    uint16_t count = 9;
    bool damaged = !c.damaged;
    ASSERT_EQ(ReadDataRecordCount(security_, &count, kSevenFields, &damaged), ZARQ_OK);
    EXPECT_EQ(std::tie(count, damaged), std::tie(c.want, c.damaged)) << c.in_file << " " << c.bytes;
  }
  EXPECT_EQ(folder_.ReadFile("F12.DAT").size(), 28u);
  FileCloseMatching(dir_, 0, kCloseDirectory);  // Windows keeps open files
  std::remove(PathOf("F12.DAT").c_str());
  uint16_t count = 0;
  bool damaged = false;
  EXPECT_EQ(ReadDataRecordCount(security_, &count, kSevenFields, &damaged), ZARQ_E_FILE_NOT_FOUND);
}

TEST_F(DataFileTest, CreatingAndWritingTheCount) {
  const std::string chart = std::string("ZQSmart") + zarq_test::Separator() + "C12.CHT";
  folder_.MakeFolder("ZQSmart");
  folder_.WriteFile(chart, "old");
  ASSERT_EQ(CreateDataFile(security_), ZARQ_OK);  // one empty header record
  EXPECT_EQ(folder_.ReadFile("F12.DAT"), std::string("\0\0\1\0", 4) + std::string(24, '\0'));
  EXPECT_FALSE(folder_.Exists(chart));

  WriteDataFile(1, 28 * 4);
  ASSERT_EQ(WriteDataRecordCount(security_, 3), ZARQ_OK);
  std::string bytes = folder_.ReadFile("F12.DAT");
  EXPECT_EQ(bytes, std::string("\0\0\4\0", 4) + std::string(28 * 4 - 4, '\x11'));
  EXPECT_EQ(WriteDataRecordCount(security_, 65501), ZARQ_E_BAD_RECORD_COUNT);
  EXPECT_EQ(folder_.ReadFile("F12.DAT"), bytes);
}

TEST_F(DataFileTest, FieldListFilesOnlyWhereTheDirectoryKeepsThem) {
  ASSERT_EQ(WriteFieldListFile(security_, kSevenFields), ZARQ_OK);
  EXPECT_FALSE(folder_.Exists("F12.DOP"));
  FindDirectory(dir_)->flags |= kDirFieldListFiles;
  ASSERT_EQ(WriteFieldListFile(security_, kSevenFields), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("F12.DOP"),
            "\"DATE\",0,0\r\n\"OPEN\",5,5\r\n\"HIGH\",5,5\r\n\"LOW\",5,5\r\n"
            "\"CLOSE\",5,5\r\n\"VOL\",0,0\r\n\"OI\",0,0\r\n\x1A");
  EXPECT_EQ(FieldListText(0x87),
            "\"DATE\",0,0\r\n\"TIME\",5,5\r\n\"CLOSE\",5,5\r\n\"VOL\",0,0\r\n\x1A");
}

TEST_F(DataFileTest, CopyingAFileInChunks) {
  std::string content(200000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
  folder_.WriteFile("source", content);
  folder_.WriteFile("target", std::string(300000, 'x'));
  FileHandle source = kNoFileHandle, target = kNoFileHandle;
  ASSERT_EQ(FileOpen(dir_, PathOf("source").c_str(), &source, 0), ZARQ_OK);
  ASSERT_EQ(FileOpen(dir_, PathOf("target").c_str(), &target, 0), ZARQ_OK);
  ASSERT_EQ(CopyFileContents(source, target), ZARQ_OK);
  FileCloseMatching(dir_, 0, kCloseDirectory);
  EXPECT_EQ(folder_.ReadFile("target"), content);
}

}  // namespace
}  // namespace zarq
