// The directory user file (registering, leaving, verifying) and the lock
// file (creation, header checks, clearing a user's marks).

#include "src/directory/directory_users.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "src/directory/lock_file.h"
#include "src/directory/user_file_format.h"
#include "src/fileio/file_table.h"
#include "src/frame/library_state.h"
#include "src/frame/little_endian.h"
#include "tests/support/library_fixture.h"

namespace zarq {
namespace {

std::string Header(uint16_t users, uint16_t records, uint32_t stamp = 0x81000001,
                   uint16_t max_users = kMaxUsers) {
  UserFileHeader header;
  header.users = users;
  header.records = records;
  header.stamp = stamp;
  header.max_users = max_users;
  std::string bytes(kUserRecordSize, '\0');
  EncodeUserFileHeader(header, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

std::string User(const char* identity, int32_t tag = 5, bool in_use = true) {
  UserRecord record;
  record.in_use = in_use;
  record.instance_tag = tag;
  std::strcpy(record.identity, identity);
  std::string bytes(kUserRecordSize, '\0');
  EncodeUserRecord(record, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

std::string Free() { return std::string(kUserRecordSize, '\0'); }

class DirectoryUsersTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    entry_ = FindDirectory(dir_);
    folder_.WriteFile("~ZARQ.SEC", "");  // the shared files exist
  }
  UserFileHeader FileHeader() {
    std::string bytes = folder_.ReadFile("~ZARQ.USR");
    return DecodeUserFileHeader(reinterpret_cast<const uint8_t*>(bytes.data()));
  }
  UserRecord FileRecord(int index) {
    std::string bytes = folder_.ReadFile("~ZARQ.USR");
    return DecodeUserRecord(reinterpret_cast<const uint8_t*>(bytes.data()) +
                            index * kUserRecordSize);
  }
  int32_t Register(bool allow_same = false) {
    bool needs_init = true;
    int32_t status = RegisterUser(entry_, &needs_init, allow_same);
    needs_init_ = needs_init;
    return status;
  }
  DirectoryEntry* entry_ = nullptr;
  bool needs_init_ = false;
};

TEST_F(DirectoryUsersTest, TheFirstUserCreatesTheFileAndKeepsItsHeaderLocked) {
  ASSERT_EQ(CreateUserFile(entry_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").size(), 2u * kUserRecordSize);
  UserFileHeader header = FileHeader();
  EXPECT_EQ(header.magic, kUserFileMagic);
  EXPECT_EQ(header.version, 800);
  EXPECT_EQ(header.users, 1);
  EXPECT_EQ(header.records, 1);
  EXPECT_EQ(header.max_users, 256);
  EXPECT_EQ(header.stamp, entry_->user_file_stamp);
  EXPECT_EQ(header.stamp & 0x80402000u, 0x80402000u);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").substr(29, 6), std::string("v10.1\0", 6));
  EXPECT_STREQ(FileRecord(1).identity, "UnitTest:Tester");
  EXPECT_EQ(FileRecord(1).instance_tag, InstanceTag());
  EXPECT_EQ(entry_->user_record, 1);
  // Another handle cannot take the header while it is locked.
  FileHandle other = kNoFileHandle;
  ASSERT_EQ(FileOpen(dir_, PathOf("~ZARQ.USR").c_str(), &other, kOpenReadOnly), ZARQ_OK);
  ASSERT_EQ(FileSeek(other, 0, 0, kSeekStart), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(other, kLockRegionNoWait, kUserRecordSize), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(LockUserHeader(entry_, false), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(other, kLockRegionNoWait, kUserRecordSize), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(other, kUnlockRegion, kUserRecordSize), ZARQ_OK);
}

TEST_F(DirectoryUsersTest, NewUsersTakeTheFirstFreeRecordBeforeAppending) {
  folder_.WriteFile("~ZARQ.USR", Header(2, 3) + User("A:a") + Free() + User("B:b"));
  ASSERT_EQ(Register(), ZARQ_OK);
  EXPECT_FALSE(needs_init_);
  EXPECT_EQ(entry_->user_record, 2);
  EXPECT_TRUE(entry_->Has(kDirHoldsDatabase));
  EXPECT_EQ(entry_->user_file_stamp, 0x81000001u);
  EXPECT_EQ(FileHeader().users, 3);
  EXPECT_EQ(FileHeader().records, 3);
  EXPECT_STREQ(FileRecord(2).identity, "UnitTest:Tester");

  folder_.WriteFile("~ZARQ.USR", Header(2, 2) + User("A:a") + User("B:b"));
  ASSERT_EQ(Register(), ZARQ_OK);
  EXPECT_EQ(entry_->user_record, 3);
  EXPECT_EQ(FileHeader().records, 3);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").size(), 4u * kUserRecordSize);
}

TEST_F(DirectoryUsersTest, TheSameIdentityIsRefusedUnlessAllowed) {
  const std::string before = Header(2, 2) + User("A:a") + User("unittest:TESTER", 77);
  folder_.WriteFile("~ZARQ.USR", before);
  EXPECT_EQ(Register(), ZARQ_E_ALREADY_REGISTERED);
  EXPECT_EQ(entry_->user_record, 0);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR"), before);
  ASSERT_EQ(Register(true), ZARQ_OK);  // a crashed process's record is taken over
  EXPECT_EQ(entry_->user_record, 2);
  EXPECT_EQ(FileHeader().users, 2);
  EXPECT_EQ(FileRecord(2).instance_tag, InstanceTag());
}

TEST_F(DirectoryUsersTest, DamagedAndFullUserFiles) {
  folder_.WriteFile("~ZARQ.USR", Header(3, 3, 1, 3) + User("A:a") + User("B:b") + User("C:c"));
  EXPECT_EQ(Register(), ZARQ_E_TOO_MANY_USERS);
  std::string bad_magic = Header(1, 1) + User("A:a");
  bad_magic[0] = 'x';
  folder_.WriteFile("~ZARQ.USR", bad_magic);
  EXPECT_EQ(Register(), ZARQ_E_BAD_USER_FILE);
  std::string old = Header(1, 1) + User("A:a");
  PutU16(reinterpret_cast<uint8_t*>(old.data()) + 4, 100);
  folder_.WriteFile("~ZARQ.USR", old);
  EXPECT_EQ(Register(), ZARQ_E_BAD_VERSION);
  // A file left empty, or cut inside its header, by a first user that
  // crashed: the shared files are built anew.
  for (const std::string& left : {std::string(), std::string(30, 'x')}) {
    folder_.WriteFile("~ZARQ.USR", left);
    ASSERT_EQ(Register(), ZARQ_OK);
    EXPECT_TRUE(needs_init_);
  }
  // No users and no security list file: built anew too.
  folder_.WriteFile("~ZARQ.USR", Header(0, 0));
  std::remove(PathOf("~ZARQ.SEC").c_str());
  ASSERT_EQ(Register(), ZARQ_OK);
  EXPECT_TRUE(needs_init_);
}

TEST_F(DirectoryUsersTest, LeavingZeroesARecordOrShrinksTheFile) {
  folder_.WriteFile("~ZARQ.USR", Header(3, 3) + User("A:a") + User("B:b") + User("C:c"));
  entry_->user_file_stamp = 0x81000001;
  entry_->user_record = 2;
  bool was_last = true;
  ASSERT_EQ(LeaveUser(entry_, &was_last), ZARQ_OK);
  EXPECT_FALSE(was_last);
  EXPECT_FALSE(FileRecord(2).in_use);
  EXPECT_EQ(FileHeader().users, 2);
  EXPECT_EQ(FileHeader().records, 3);
  entry_->user_record = 3;
  ASSERT_EQ(LeaveUser(entry_, &was_last), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").size(), 3u * kUserRecordSize);
  EXPECT_EQ(FileHeader().records, 2);
  EXPECT_EQ(FileHeader().users, 1);
  entry_->user_record = 1;
  ASSERT_EQ(LeaveUser(entry_, &was_last), ZARQ_OK);
  EXPECT_TRUE(was_last);
  EXPECT_EQ(FileHeader().users, 0);
  EXPECT_EQ(LockUserHeader(entry_, false), ZARQ_OK);  // it was left locked
  entry_->user_file_stamp = 42;
  entry_->user_record = 1;
  EXPECT_EQ(LeaveUser(entry_, &was_last), ZARQ_E_STAMP_MISMATCH);
}

TEST_F(DirectoryUsersTest, ALostRegistrationIsNoticed) {
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

TEST_F(DirectoryUsersTest, LockFileCreationHeaderChecksAndClearingAUser) {
  entry_->user_file_stamp = 0x81000001;
  ASSERT_EQ(CreateLockFile(entry_, 5), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.LCK").size(), 37u * 6);
  LockFileHeader header;
  ASSERT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, false), ZARQ_OK);
  EXPECT_EQ(header.record_count, 5u);
  EXPECT_FALSE(HeaderLockHeld(*entry_));

  // Users 3 and 9 hold records 1 and 4; user 3 alone holds record 2.
  LockRecord both;
  both.level = 16;
  both.SetUser(3);
  both.SetUser(9);
  LockRecord alone;
  alone.level = 32;
  alone.SetUser(3);
  ASSERT_EQ(WriteLockRecord(entry_, 1, both), ZARQ_OK);
  ASSERT_EQ(WriteLockRecord(entry_, 2, alone), ZARQ_OK);
  ASSERT_EQ(WriteLockRecord(entry_, 4, both), ZARQ_OK);
  entry_->user_record = 3;
  ASSERT_EQ(ClearUserFromLockFile(entry_), ZARQ_OK);
  std::string bytes = folder_.ReadFile("~ZARQ.LCK");
  auto record = [&](int n) {
    return DecodeLockRecord(reinterpret_cast<const uint8_t*>(bytes.data()) + 37 * n);
  };
  EXPECT_EQ(record(1).level, 16);
  EXPECT_FALSE(record(1).HasUser(3));
  EXPECT_TRUE(record(1).HasUser(9));
  EXPECT_EQ(record(2).level, 0);
  EXPECT_FALSE(record(2).AnyUser());
  EXPECT_EQ(record(4).FirstUser(), 9);
  // Bit 0x80 of byte 0 is user 1; bit 0x01 of byte 1 is user 16.
  LockRecord bits;
  bits.SetUser(1);
  bits.SetUser(16);
  EXPECT_EQ(bits.holders[0], 0x80);
  EXPECT_EQ(bits.holders[1], 0x01);

  std::string damaged = bytes;
  damaged[0] = 0;
  folder_.WriteFile("~ZARQ.LCK", damaged);
  FileCloseMatching(dir_, 0, kCloseDirectory);
  EXPECT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, false), ZARQ_E_BAD_LOCK_FILE);
  damaged = bytes;
  PutU16(reinterpret_cast<uint8_t*>(damaged.data()) + 4, 801);
  folder_.WriteFile("~ZARQ.LCK", damaged);
  EXPECT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, false), ZARQ_E_BAD_VERSION);
  folder_.WriteFile("~ZARQ.LCK", bytes);
  entry_->user_file_stamp = 7;
  EXPECT_EQ(AccessLockHeader(entry_, &header, HeaderAccess::kRead, true), ZARQ_E_STAMP_MISMATCH);
  EXPECT_FALSE(HeaderLockHeld(*entry_));
}

}  // namespace
}  // namespace zarq
