// Chunked reading and writing, sizing and positioning, and the statuses
// of their failures (with a faulty platform).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/fileio/file_table.h"
#include "src/fileio/system_error_map.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class FileIoTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    ASSERT_EQ(FileOpen(dir_, PathOf("data.bin").c_str(), &file_, kOpenCreate), ZARQ_OK);
  }
  FileHandle file_ = kNoFileHandle;
  zarq_test::FaultPlatform os_;
};

TEST_F(FileIoTest, ReadsAndWritesGoInChunksOfAtMost64512Bytes) {
  std::string bytes(150000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  zarq_test::ScopedPlatform installed(&os_);
  ASSERT_EQ(FileWrite(file_, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  EXPECT_EQ(os_.write_sizes, (std::vector<uint32_t>{64512, 64512, 20976}));
  ASSERT_EQ(FileSeek(file_, 0, 0, kSeekStart), ZARQ_OK);
  std::string back(bytes.size(), '\0');
  ASSERT_EQ(FileRead(file_, static_cast<uint32_t>(back.size()), back.data()), ZARQ_OK);
  EXPECT_EQ(os_.read_sizes, (std::vector<uint32_t>{64512, 64512, 20976}));
  EXPECT_EQ(back, bytes);
}

TEST_F(FileIoTest, ReadFailures) {
  ASSERT_EQ(FileWrite(file_, 10, "0123456789"), ZARQ_OK);
  char buffer[20];
  EXPECT_EQ(FileRead(file_, 5, buffer), ZARQ_E_END_OF_FILE);  // at the end
  ASSERT_EQ(FileSeek(file_, 1, 8, kSeekRecord), ZARQ_OK);
  EXPECT_EQ(FileRead(file_, 5, buffer), ZARQ_E_SHORT_READ);  // across the end
  ASSERT_EQ(FileSeek(file_, 0, 0, kSeekStart), ZARQ_OK);
  os_.short_read = true;
  zarq_test::ScopedPlatform installed(&os_);
  EXPECT_EQ(FileRead(file_, 5, buffer), ZARQ_E_SHORT_READ);
}

TEST_F(FileIoTest, WriteFailuresAndDiskFull) {
  zarq_test::ScopedPlatform installed(&os_);
  os_.write_error = 39;  // the system's own disk-full error
  EXPECT_EQ(FileWrite(file_, 4, "abcd"), ZARQ_E_DISK_FULL);
  os_.write_error = 29;  // a write fault on a volume without room for the chunk
  os_.free_bytes_override = 3;
  EXPECT_EQ(FileWrite(file_, 4, "abcd"), ZARQ_E_DISK_FULL);
  os_.free_bytes_override = 1ull << 40;  // with room it stays a write fault
  EXPECT_EQ(FileWrite(file_, 4, "abcd"), ZARQ_E_WRITE_FAILED);
  os_.write_error = 5;
  os_.free_bytes_override = 0;
  EXPECT_EQ(FileWrite(file_, 4, "abcd"), ZARQ_E_ACCESS_DENIED);
}

TEST_F(FileIoTest, OpenFailuresAreMapped) {
  zarq_test::ScopedPlatform installed(&os_);
  FileHandle handle = kNoFileHandle;
  os_.open_error = 5;
  EXPECT_EQ(FileOpen(dir_, PathOf("new.bin").c_str(), &handle, kOpenCreate), ZARQ_E_ACCESS_DENIED);
  os_.open_error = 1234;  // unmapped
  EXPECT_EQ(FileOpen(dir_, PathOf("new.bin").c_str(), &handle, kOpenCreate), ZARQ_E_OPEN_FAILED);
  EXPECT_EQ(handle, kNoFileHandle);
}

TEST_F(FileIoTest, SetSizeZeroFillsAndKeepsThePosition) {
  ASSERT_EQ(FileWrite(file_, 4, "abcd"), ZARQ_OK);
  ASSERT_EQ(FileSeek(file_, 1, 2, kSeekRecord), ZARQ_OK);
  ASSERT_EQ(FileSetSize(file_, 250), ZARQ_OK);
  uint32_t size = 0;
  ASSERT_EQ(FileGetSize(file_, &size), ZARQ_OK);
  EXPECT_EQ(size, 250u);
  char two[2];
  ASSERT_EQ(FileRead(file_, 2, two), ZARQ_OK);  // still at byte 2
  EXPECT_EQ(std::string(two, 2), "cd");
  std::string rest(246, 'x');
  ASSERT_EQ(FileRead(file_, 246, rest.data()), ZARQ_OK);
  EXPECT_EQ(rest, std::string(246, '\0'));
  ASSERT_EQ(FileSetSize(file_, 3), ZARQ_OK);
  ASSERT_EQ(FileGetSize(file_, &size), ZARQ_OK);
  EXPECT_EQ(size, 3u);
}

TEST_F(FileIoTest, SeekModes) {
  ASSERT_EQ(FileWrite(file_, 48, std::string(48, 'z').data()), ZARQ_OK);
  EXPECT_EQ(FileSeek(file_, 24, -1, kSeekRecord), ZARQ_E_SEEK_FAILED);
  EXPECT_EQ(FileSeek(file_, 24, 1, kSeekRecord), ZARQ_OK);
  EXPECT_EQ(FileSeek(file_, 24, 1, kSeekRelative), ZARQ_OK);
  EXPECT_EQ(FileSeek(file_, 0, 0, kSeekEnd), ZARQ_OK);
  char byte;
  EXPECT_EQ(FileRead(file_, 1, &byte), ZARQ_E_END_OF_FILE);
  EXPECT_EQ(FileSeek(file_, 0, 0, kSeekStart), ZARQ_OK);
  EXPECT_EQ(FileRead(file_, 1, &byte), ZARQ_OK);
}

TEST(SystemErrorMapTest, TheTable) {
  struct {
    uint32_t error;
    int32_t want;
  } cases[] = {{0, ZARQ_OK},
               {2, ZARQ_E_FILE_NOT_FOUND},
               {18, ZARQ_E_FILE_NOT_FOUND},
               {3, ZARQ_E_NOT_A_FOLDER},
               {5, ZARQ_E_ACCESS_DENIED},
               {33, ZARQ_E_RANGE_LOCKED},
               {39, ZARQ_E_DISK_FULL},
               {53, ZARQ_E_NETWORK},
               {88, ZARQ_E_NETWORK},
               {82, ZARQ_E_CANNOT_CREATE_FOLDER},
               {87, ZARQ_E_INVALID_ARGUMENT},
               {0x10021, ZARQ_E_RANGE_LOCKED},  // only the low 16 bits count
               {1234, -777}};
  for (const auto& c : cases) EXPECT_EQ(MapSystemError(c.error, -777), c.want) << c.error;
}

}  // namespace
}  // namespace zarq
