// A security's data file as a whole: its header count and the repairs of
// reading it, creation, field-list files, copying. The security's record
// comes from a test fetcher standing in for the lock table.

#include "src/data/data_file.h"

#include <gtest/gtest.h>

#include <string>

#include "src/directory/directory_entry.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "tests/support/library_fixture.h"

namespace zarq {
namespace {

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
    if (bytes >= 4) {
      content[0] = content[1] = '\0';
      content[2] = static_cast<char>(in_file & 0xFF);
      content[3] = static_cast<char>(in_file >> 8);
    }
    folder_.WriteFile("F12.DAT", content);
    FileCloseMatching(dir_, 0, kCloseDirectory);
  }
  int32_t Count(uint16_t* count, bool* damaged) {
    return ReadDataRecordCount(security_, count, kSevenFields, damaged);
  }
  uint32_t security_ = 0;
};

TEST_F(DataFileTest, ANewDataFileIsOneEmptyHeaderRecord) {
  folder_.MakeFolder("ZQSmart");
  folder_.WriteFile(std::string("ZQSmart") + zarq_test::Separator() + "C12.CHT", "old");
  ASSERT_EQ(CreateDataFile(security_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("F12.DAT"), std::string("\0\0\1\0", 4) + std::string(24, '\0'));
  EXPECT_FALSE(folder_.Exists(std::string("ZQSmart") + zarq_test::Separator() + "C12.CHT"));
}

TEST_F(DataFileTest, ReadingTheCountRepairsWhatTheFileCannotBack) {
  uint16_t count = 9;
  bool damaged = true;
  WriteDataFile(6, 28 * 10);  // more bytes than the header says: fine
  ASSERT_EQ(Count(&count, &damaged), ZARQ_OK);
  EXPECT_EQ(count, 5);
  EXPECT_FALSE(damaged);
  WriteDataFile(11, 28 * 9 + 5);  // header claims 11 records, 9 whole present
  ASSERT_EQ(Count(&count, &damaged), ZARQ_OK);
  EXPECT_EQ(count, 8);
  EXPECT_TRUE(damaged);
  WriteDataFile(0, 28);
  ASSERT_EQ(Count(&count, &damaged), ZARQ_OK);
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(damaged);
  WriteDataFile(65535, 28u * 65535);  // more than 65500 records
  ASSERT_EQ(Count(&count, &damaged), ZARQ_OK);
  EXPECT_EQ(count, 65500);
  EXPECT_TRUE(damaged);
  WriteDataFile(1, 20);  // shorter than one record: made anew
  ASSERT_EQ(Count(&count, &damaged), ZARQ_OK);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(damaged);
  EXPECT_EQ(folder_.ReadFile("F12.DAT").size(), 28u);
  FileCloseMatching(dir_, 0, kCloseDirectory);  // Windows keeps open files
  std::remove(PathOf("F12.DAT").c_str());
  EXPECT_EQ(Count(&count, &damaged), ZARQ_E_FILE_NOT_FOUND);
}

TEST_F(DataFileTest, WritingTheCount) {
  WriteDataFile(1, 28 * 4);
  ASSERT_EQ(WriteDataRecordCount(security_, 3), ZARQ_OK);
  std::string bytes = folder_.ReadFile("F12.DAT");
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\0\4\0", 4));
  EXPECT_EQ(bytes.substr(4), std::string(28 * 4 - 4, '\x11'));  // the rest is kept
  EXPECT_EQ(WriteDataRecordCount(security_, 65501), ZARQ_E_BAD_RECORD_COUNT);
  EXPECT_EQ(folder_.ReadFile("F12.DAT"), bytes);
}

TEST_F(DataFileTest, FieldListFilesOnlyWhereTheDirectoryKeepsThem) {
  ASSERT_EQ(WriteFieldListFile(security_, kSevenFields), ZARQ_OK);
  EXPECT_FALSE(folder_.Exists("F12.DOP"));
  FindDirectory(dir_)->flags |= kDirFieldListFiles;
  ASSERT_EQ(WriteFieldListFile(security_, kSevenFields), ZARQ_OK);
  std::string text = folder_.ReadFile("F12.DOP");
  EXPECT_EQ(text,
            "\"DATE\",0,0\r\n\"OPEN\",5,5\r\n\"HIGH\",5,5\r\n\"LOW\",5,5\r\n"
            "\"CLOSE\",5,5\r\n\"VOL\",0,0\r\n\"OI\",0,0\r\n\x1A");
  EXPECT_EQ(text.size(), 82u);
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
