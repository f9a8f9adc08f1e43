// Directories: numbers and their reuse, the limit of 125, paths opened
// twice, counted opens, folder creation, path lookups; the user file
// (registering, leaving, verifying) and the lock file (creation, header
// checks, clearing a user's marks).

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/directory/directory_users.h"
#include "src/directory/lock_file.h"
#include "src/directory/user_file_format.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/frame/library_state.h"
#include "src/frame/little_endian.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;

class DirectoryOpenTest : public zarq_test::InitializedTest {
 protected:
  uint8_t Open(const std::string& path, int32_t want = ZARQ_OPENED_NO_DATABASE,
               uint32_t flags = 0) {
    uint8_t number = 0;
    EXPECT_EQ(ZARQ1_OpenDirectory(path.c_str(), &number, flags), want) << path;
    return number;
  }
  zarq_test::TempFolder folder_;
};

// The number counter lives for the process: numbering is shown in a child.
TEST_F(DirectoryOpenTest, NumbersAndTheirReuse) {
  EXPECT_EXIT(
      {
        std::vector<std::string> paths;
        for (int i = 0; i < 130; ++i) paths.push_back(folder_.MakeFolder("d" + std::to_string(i)));
        bool ok = Open(paths[0]) == 1 && Open(paths[1]) == 2 && Open(paths[2]) == 3;
        ok = ok && ZARQ1_CloseDirectory(2) == ZARQ_OK && Open(paths[3]) == 4;
        for (int i = 4; i <= 124; ++i) ok = ok && Open(paths[i]) == i + 1;  // up to 125
        // The counter has passed 125: the lowest free number comes back.
        ok = ok && Open(paths[125]) == 2;
        uint8_t number = 0;
        ok = ok &&
             ZARQ1_OpenDirectory(paths[126].c_str(), &number, 0) == ZARQ_E_TOO_MANY_DIRECTORIES;
        ok = ok && ZARQ1_CloseDirectory(50) == ZARQ_OK && Open(paths[127]) == 50;
        ok = ok && ZARQ1_CloseDirectory(1) == ZARQ_OK && Open(paths[128]) == 1;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DirectoryOpenTest, APathOpenedTwiceAndCountedOpens) {
  const uint8_t first = Open(folder_.path());
  std::vector<std::string> same = {folder_.path() + kPathSeparator};
  if (kPathSeparator == '/') {
    fs::create_directory_symlink(folder_.path(), folder_.path() + "-link");
    same.push_back(folder_.path() + "-link");
  }
  uint8_t number = 0;
  for (const std::string& path : same) {
    number = 0;
    EXPECT_EQ(ZARQ1_OpenDirectory(path.c_str(), &number, 0), ZARQ_E_DIRECTORY_OPEN) << path;
    EXPECT_EQ(number, first);
  }
  fs::remove(folder_.path() + "-link");
  EXPECT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), &number, ZARQ_OPEN_COUNT_AGAIN), ZARQ_OK);
  EXPECT_EQ(number, first);
  EXPECT_EQ(ZARQ1_CloseDirectory(first), ZARQ_OK);
  EXPECT_NE(FindDirectory(first), nullptr);  // one open remains
  EXPECT_EQ(ZARQ1_CloseDirectory(first), ZARQ_OK);
  EXPECT_EQ(FindDirectory(first), nullptr);
  EXPECT_EQ(ZARQ1_CloseDirectory(first), ZARQ_E_DIRECTORY_NOT_OPEN);

  // Shutdown closes a directory whatever its count.
  Open(folder_.path());
  ASSERT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), &number, ZARQ_OPEN_COUNT_AGAIN), ZARQ_OK);
  ASSERT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  ASSERT_EQ(ZARQ1_Initialize("UnitTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  EXPECT_EQ(OpenDirectories().size(), 0u);
}

TEST_F(DirectoryOpenTest, PathsAndNumbers) {
  uint8_t number = Open(folder_.path());
  char path[300];
  ASSERT_EQ(ZARQ1_GetDataPath(number, path, 0), ZARQ_OK);
  EXPECT_EQ(std::string(path), folder_.path() + kPathSeparator);
  ASSERT_EQ(ZARQ1_GetDataPath(number, path, 1), ZARQ_OK);
  EXPECT_EQ(std::string(path), folder_.path());
  EXPECT_EQ(ZARQ1_GetDataPath(number + 1, path, 0), ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(ZARQ1_GetDataPath(number, nullptr, 0), ZARQ_E_INVALID_ARGUMENT);

  uint8_t found = 0;
  EXPECT_EQ(ZARQ1_GetDirectoryNumber((folder_.path() + kPathSeparator).c_str(), &found), ZARQ_OK);
  EXPECT_EQ(found, number);
  std::string other = folder_.MakeFolder("other");
  EXPECT_EQ(ZARQ1_GetDirectoryNumber(other.c_str(), &found), ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(ZARQ1_GetDirectoryNumber(folder_.Join("missing").c_str(), &found), ZARQ_E_NOT_A_FOLDER);
}

TEST_F(DirectoryOpenTest, MissingFoldersAndCreation) {
  std::string deep = folder_.Join("x") + kPathSeparator + "y" + kPathSeparator + "z";
  uint8_t number = 9;
  EXPECT_EQ(ZARQ1_OpenDirectory(deep.c_str(), &number, 0), ZARQ_E_NOT_A_FOLDER);
  EXPECT_EQ(number, 0);
  EXPECT_NE(Open(deep, ZARQ_OPENED_NO_DATABASE, ZARQ_OPEN_CREATE_FOLDER), 0);
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(ZARQ1_OpenDirectory("", &number, 0), ZARQ_E_BAD_PATH);
  EXPECT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), nullptr, 0), ZARQ_E_INVALID_ARGUMENT);
  folder_.WriteFile("plain-file", "x");
  EXPECT_EQ(ZARQ1_OpenDirectory(folder_.Join("plain-file").c_str(), &number, 0),
            ZARQ_E_NOT_A_FOLDER);
}

TEST_F(DirectoryOpenTest, WritableAndReadOnlyFoldersLeaveNoFileBehind) {
  uint8_t number = Open(folder_.path());
  EXPECT_FALSE(FindDirectory(number)->read_only());
  EXPECT_FALSE(FindDirectory(number)->Has(kDirHoldsDatabase));
  ASSERT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
  zarq_test::InstalledFaults os;
  os.open_error = 5;  // no right to create files there
  number = Open(folder_.path());
  EXPECT_TRUE(FindDirectory(number)->read_only());
  ASSERT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
  // A CD-ROM is read-only without any file being written to it.
  os.open_error = 0;
  os.drive_type = kDriveCdRom;
  number = Open(folder_.path());
  EXPECT_TRUE(FindDirectory(number)->read_only());
  EXPECT_EQ(FindDirectory(number)->drive_kind, kDriveKindCdRom | kDriveKindRemovable);
  ASSERT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
  EXPECT_TRUE(fs::is_empty(folder_.path()));
}

std::string Header(uint16_t users, uint16_t records, uint32_t stamp = 0x81000001,
                   uint16_t max_users = kMaxUsers) {
  UserFileHeader header{.stamp = stamp, .users = users, .records = records, .max_users = max_users};
  std::string bytes(kUserRecordSize, '\0');
  EncodeUserFileHeader(header, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

std::string User(const char* identity, int32_t tag = 5) {
  UserRecord record{.in_use = true, .instance_tag = tag};
  std::strcpy(record.identity, identity);
  std::string bytes(kUserRecordSize, '\0');
  EncodeUserRecord(record, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

const std::string kFree(kUserRecordSize, '\0');

class DirectoryUsersTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    entry_ = FindDirectory(dir_);
    folder_.WriteFile("~ZARQ.SEC", "");  // the shared files exist
  }
  const uint8_t* Raw(const std::string& name, size_t offset) {
    bytes_ = folder_.ReadFile(name);
    return reinterpret_cast<const uint8_t*>(bytes_.data()) + offset;
  }
  UserFileHeader FileHeader() { return DecodeUserFileHeader(Raw("~ZARQ.USR", 0)); }
  UserRecord FileRecord(int index) {
    return DecodeUserRecord(Raw("~ZARQ.USR", index * kUserRecordSize));
  }
  int32_t Register(bool allow_same = false) {
    needs_init_ = true;
    return RegisterUser(entry_, &needs_init_, allow_same);
  }
  DirectoryEntry* entry_ = nullptr;
  bool needs_init_ = false;
  std::string bytes_;
};

TEST_F(DirectoryUsersTest, TheFirstUserCreatesTheFileAndKeepsItsHeaderLocked) {
  folder_.WriteFile("~ZARQ.USR", "left by a build cut short");
  ASSERT_EQ(CreateUserFile(entry_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").size(), 0u);  // no header until the build is done
  ASSERT_EQ(RegisterFirstUser(entry_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").size(), 2u * kUserRecordSize);
  UserFileHeader header = FileHeader();
  EXPECT_EQ(std::tie(header.magic, header.version, header.users, header.records, header.max_users),
            std::make_tuple(kUserFileMagic, 800, 1, 1, 256));
  EXPECT_EQ(header.stamp, entry_->user_file_stamp);
  EXPECT_EQ(header.stamp & 0x80402000u, 0x80402000u);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").substr(29, 6), std::string("v10.1\0", 6));
  EXPECT_STREQ(FileRecord(1).identity, "UnitTest:Tester");
  EXPECT_EQ(FileRecord(1).instance_tag, InstanceTag());
  EXPECT_EQ(entry_->user_record, 1);
  // Another handle cannot take the header while it is locked.
  FileHandle other = kNoFileHandle;
  ASSERT_EQ(FileOpen(dir_, PathOf("~ZARQ.USR").c_str(), &other, kOpenReadOnly | kOpenWorkingFile),
            ZARQ_OK);
  ASSERT_EQ(FileSeek(other, 0, 0, kSeekStart), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(other, kLockRegionNoWait, kUserRecordSize), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(LockUserHeader(entry_, false), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(other, kLockRegionNoWait, kUserRecordSize), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(other, kUnlockRegion, kUserRecordSize), ZARQ_OK);
}

// Appending, leaving and taking over a crashed process's record are shown
// with real processes by the DirectorySharingTest cases.
TEST_F(DirectoryUsersTest, RegisteringLeavingAndALostRegistration) {
  // The identity matches without regard to case.
  const std::string same = Header(2, 3) + User("A:a") + kFree + User("unittest:TESTER", 77);
  folder_.WriteFile("~ZARQ.USR", same);
  EXPECT_EQ(Register(), ZARQ_E_ALREADY_REGISTERED);
  EXPECT_EQ(entry_->user_record, 0);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR"), same);
  // The first free record is taken before appending.
  folder_.WriteFile("~ZARQ.USR", Header(2, 3) + User("A:a") + kFree + User("B:b"));
  ASSERT_EQ(Register(), ZARQ_OK);
  EXPECT_FALSE(needs_init_);
  EXPECT_TRUE(entry_->Has(kDirHoldsDatabase));
  EXPECT_EQ(std::tie(entry_->user_record, entry_->user_file_stamp), std::make_tuple(2, 0x81000001));
  EXPECT_EQ(std::make_tuple(FileHeader().users, FileHeader().records), std::make_tuple(3, 3));
  EXPECT_STREQ(FileRecord(2).identity, "UnitTest:Tester");

  bool was_last = true;
  entry_->user_file_stamp = 42;
  EXPECT_EQ(LeaveUser(entry_, &was_last), ZARQ_E_STAMP_MISMATCH);
  entry_->user_file_stamp = 0x81000001;
  ASSERT_EQ(LeaveUser(entry_, &was_last), ZARQ_OK);
  EXPECT_FALSE(was_last || FileRecord(2).in_use);
  folder_.WriteFile("~ZARQ.USR", Header(1, 1) + User("UnitTest:Tester", InstanceTag()));
  entry_->user_record = 1;
  ASSERT_EQ(LeaveUser(entry_, &was_last), ZARQ_OK);
  EXPECT_TRUE(was_last);
  EXPECT_EQ(FileHeader().users, 0);
  EXPECT_EQ(LockUserHeader(entry_, false), ZARQ_OK);  // the last one leaves it locked

  folder_.WriteFile("~ZARQ.USR", Header(1, 1) + User("UnitTest:Tester", InstanceTag()));
  entry_->flags |= kDirHoldsDatabase;
  entry_->user_record = 1;
  EXPECT_EQ(VerifyUserRecord(entry_), ZARQ_OK);
  folder_.WriteFile("~ZARQ.USR", Header(1, 1) + User("UnitTest:Tester", InstanceTag() + 1));
  EXPECT_EQ(VerifyUserRecord(entry_), ZARQ_E_REGISTRATION_LOST);
  EXPECT_TRUE(entry_->Has(kDirRegistrationLost));
  EXPECT_EQ(VerifyUserRecord(entry_), ZARQ_E_REGISTRATION_LOST);
  entry_->flags &= ~kDirRegistrationLost;
  std::remove(PathOf("~ZARQ.USR").c_str());
  EXPECT_EQ(VerifyUserRecord(entry_), ZARQ_E_REGISTRATION_LOST);
  entry_->flags &= ~(kDirRegistrationLost | kDirHoldsDatabase);
}

TEST_F(DirectoryUsersTest, DamagedAndFullUserFiles) {
  folder_.WriteFile("~ZARQ.USR", Header(3, 3, 1, 3) + User("A:a") + User("B:b") + User("C:c"));
  EXPECT_EQ(Register(), ZARQ_E_TOO_MANY_USERS);
  for (auto [offset, want] : {std::pair{0, ZARQ_E_BAD_USER_FILE}, {4, ZARQ_E_BAD_VERSION}}) {
    std::string damaged = Header(1, 1) + User("A:a");
    damaged[offset] ^= 0x40;
    folder_.WriteFile("~ZARQ.USR", damaged);
    EXPECT_EQ(Register(), want);
  }
  // A file left empty, or cut inside its header, by a first user that
  // crashed; or no users and no security list file: built anew.
  for (const std::string& left : {std::string(), std::string(30, 'x'), Header(0, 0)}) {
    folder_.WriteFile("~ZARQ.USR", left);
    if (left.size() == kUserRecordSize) std::remove(PathOf("~ZARQ.SEC").c_str());
    ASSERT_EQ(Register(), ZARQ_OK);
    EXPECT_TRUE(needs_init_);
  }
}

// Clearing a crashed user's marks is shown by DirectorySharingTest.
TEST_F(DirectoryUsersTest, LockFileCreationRecordsAndHeaderChecks) {
  entry_->user_file_stamp = 0x81000001;
  ASSERT_EQ(CreateLockFile(entry_, 5), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.LCK").size(), 37u * 6);
  LockFileHeader header;
  ASSERT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, false), ZARQ_OK);
  EXPECT_EQ(header.record_count, 5u);
  EXPECT_FALSE(HeaderLockHeld(*entry_));
  // Bit 0x80 of byte 0 is user 1; bit 0x01 of byte 1 is user 16.
  LockRecord bits{.level = 16};
  bits.SetUser(1);
  bits.SetUser(16);
  ASSERT_EQ(WriteLockRecord(entry_, 4, bits), ZARQ_OK);
  const std::string bytes = folder_.ReadFile("~ZARQ.LCK");
  EXPECT_EQ(bytes.substr(4 * 37, 3), "\x10\x80\x01");
  EXPECT_EQ(DecodeLockRecord(Raw("~ZARQ.LCK", 4 * 37)).FirstUser(), 1);

  for (auto [offset, want] : {std::pair{0, ZARQ_E_BAD_LOCK_FILE}, {4, ZARQ_E_BAD_VERSION}}) {
    std::string damaged = bytes;
    damaged[offset] ^= 0x40;
    folder_.WriteFile("~ZARQ.LCK", damaged);
    FileCloseMatching(dir_, 0, kCloseDirectory);
    EXPECT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, false), want);
  }
  folder_.WriteFile("~ZARQ.LCK", bytes);
  entry_->user_file_stamp = 7;
  EXPECT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, true), ZARQ_E_STAMP_MISMATCH);
  EXPECT_FALSE(HeaderLockHeld(*entry_));
}

}  // namespace
}  // namespace zarq
