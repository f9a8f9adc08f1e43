// Several real processes sharing one database directory: registration in
// the user file, leaving in different orders, the last user's clean-up, a
// second process of the same identity, a crashed process's record taken
// over, a program outside the library holding the directory, and a
// security list file cut short by a crash.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "include/zarq.h"
#include "src/directory/directory_entry.h"
#include "src/directory/lock_file.h"
#include "src/directory/user_file_format.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "tests/support/library_fixture.h"
#include "tests/support/master_builder.h"
#include "tests/support/peer.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;

const uint8_t* Raw(const std::string& bytes, size_t offset = 0) {
  return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

class DirectorySharingTest : public zarq_test::InitializedTest {
 protected:
  void SetUp() override {
    InitializedTest::SetUp();
    zarq_test::WriteMasterFiles(folder_, zarq_test::NumberedSecurities(10));
  }
  // Starts a peer with an identity and opens the folder there; returns the
  // directory number it got.
  std::string StartPeer(zarq_test::Peer* peer, const std::string& identity,
                        int32_t want = ZARQ_OK) {
    EXPECT_TRUE(peer->Start());
    EXPECT_EQ(peer->Call("init " + identity), ZARQ_OK);
    std::string number;
    EXPECT_EQ(peer->Call("open " + folder_.path() + " 0", &number), want);
    return number;
  }
  UserFileHeader Users() { return DecodeUserFileHeader(Raw(folder_.ReadFile("~ZARQ.USR"))); }
  UserRecord User(int index) {
    return DecodeUserRecord(Raw(folder_.ReadFile("~ZARQ.USR"), index * kUserRecordSize));
  }
  int32_t Open(uint32_t flags = 0) {
    return ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, flags);
  }

  zarq_test::TempFolder folder_;
  uint8_t dir_ = 0;
};

TEST_F(DirectorySharingTest, ThreeUsersComeAndLeave) {
  zarq_test::Peer first, second;
  std::string first_dir = StartPeer(&first, "App1 U1");
  std::string second_dir = StartPeer(&second, "App2 U2");
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(Users().users, 3);
  EXPECT_EQ(Users().records, 3);
  EXPECT_STREQ(User(1).identity, "App1:U1");
  EXPECT_STREQ(User(2).identity, "App2:U2");
  EXPECT_STREQ(User(3).identity, "UnitTest:Tester");
  EXPECT_EQ(FindDirectory(dir_)->user_record, 3);

  ASSERT_EQ(second.Call("close " + second_dir), ZARQ_OK);  // a middle record: zeroed
  EXPECT_FALSE(User(2).in_use);
  EXPECT_EQ(Users().users, 2);
  EXPECT_EQ(Users().records, 3);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);  // the last record: the file shrinks
  EXPECT_EQ(folder_.ReadFile("~ZARQ.USR").size(), 3u * kUserRecordSize);
  EXPECT_EQ(Users().users, 1);
  EXPECT_TRUE(folder_.Exists("~ZARQ.SEC"));

  ASSERT_EQ(first.Call("close " + first_dir), ZARQ_OK);  // the last user cleans up
  for (const char* name : {"~ZARQ.SEC", "~ZARQ.INX", "~ZARQ.LCK", "~ZARQ.USR"}) {
    EXPECT_FALSE(folder_.Exists(name)) << name;
  }
  EXPECT_EQ(folder_.ReadFile("MASTER").size(), 11u * 53);
  EXPECT_NE(fs::status(folder_.Join("MASTER")).permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_EQ(first.Exit(), 0);
  EXPECT_EQ(second.Exit(), 0);
}

TEST_F(DirectorySharingTest, TheSameIdentityTwiceIsRefused) {
  zarq_test::Peer twin;
  std::string twin_dir = StartPeer(&twin, "UnitTest Tester");
  EXPECT_EQ(Open(), ZARQ_E_ALREADY_REGISTERED);
  char application[31], user[31];
  ASSERT_EQ(ZARQ1_GetLastFailedOpenDirInfo(application, user), ZARQ_OK);
  EXPECT_STREQ(application, "UnitTest");
  EXPECT_STREQ(user, "Tester");
  EXPECT_EQ(Users().users, 1);
  ASSERT_EQ(twin.Call("close " + twin_dir), ZARQ_OK);
  EXPECT_EQ(twin.Exit(), 0);
}

TEST_F(DirectorySharingTest, ACrashedProcessesRecordIsTakenOverWithItsLockMarks) {
  zarq_test::Peer keeper, crashed;
  std::string keeper_dir = StartPeer(&keeper, "Keeper K");
  StartPeer(&crashed, "UnitTest Tester");
  // The crashed process held securities 2 (alone) and 3 (with the keeper).
  std::string locks = folder_.ReadFile("~ZARQ.LCK");
  LockRecord alone, shared;
  alone.level = 32;
  alone.SetUser(2);
  shared.level = 16;
  shared.SetUser(1);
  shared.SetUser(2);
  std::string bytes(kLockRecordSize, '\0');
  EncodeLockRecord(alone, reinterpret_cast<uint8_t*>(bytes.data()));
  locks.replace(2 * kLockRecordSize, kLockRecordSize, bytes);
  EncodeLockRecord(shared, reinterpret_cast<uint8_t*>(bytes.data()));
  locks.replace(3 * kLockRecordSize, kLockRecordSize, bytes);
  folder_.WriteFile("~ZARQ.LCK", locks);
  crashed.Kill();

  EXPECT_EQ(Open(), ZARQ_E_ALREADY_REGISTERED);
  ASSERT_EQ(Open(ZARQ_OPEN_ALLOW_SAME_USER), ZARQ_OK);
  EXPECT_EQ(FindDirectory(dir_)->user_record, 2);
  EXPECT_EQ(Users().users, 2);
  locks = folder_.ReadFile("~ZARQ.LCK");
  LockRecord two = DecodeLockRecord(Raw(locks, 2 * kLockRecordSize));
  LockRecord three = DecodeLockRecord(Raw(locks, 3 * kLockRecordSize));
  EXPECT_EQ(two.level, 0);
  EXPECT_FALSE(two.AnyUser());
  EXPECT_EQ(three.level, 16);
  EXPECT_TRUE(three.HasUser(1));
  EXPECT_FALSE(three.HasUser(2));
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  ASSERT_EQ(keeper.Call("close " + keeper_dir), ZARQ_OK);
  EXPECT_FALSE(folder_.Exists("~ZARQ.USR"));
  EXPECT_EQ(keeper.Exit(), 0);
}

TEST_F(DirectorySharingTest, AProgramOutsideTheLibraryHoldsTheDirectory) {
  folder_.WriteFile("~NONZARQ.USR", std::string("Charting Program:Somebody Else\0junk", 35));
  EXPECT_EQ(Open(), ZARQ_E_HELD_BY_OTHER_PROGRAM);
  char application[31], user[31];
  ASSERT_EQ(ZARQ1_GetLastFailedOpenDirInfo(application, user), ZARQ_OK);
  EXPECT_STREQ(application, "Charting Program");
  EXPECT_STREQ(user, "Somebody Else");
  EXPECT_FALSE(folder_.Exists("~ZARQ.USR"));
  std::remove(folder_.Join("~NONZARQ.USR").c_str());
  ASSERT_EQ(Open(), ZARQ_OK);  // an open that works clears the names
  ASSERT_EQ(ZARQ1_GetLastFailedOpenDirInfo(application, user), ZARQ_OK);
  EXPECT_STREQ(application, "");
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
}

TEST_F(DirectorySharingTest, AListFileCutShortByACrashKeepsItsWholeRecords) {
  zarq_test::Peer keeper;
  std::string keeper_dir = StartPeer(&keeper, "Keeper K");
  ASSERT_EQ(folder_.ReadFile("~ZARQ.SEC").size(), 11u * kSecurityRecordSize);
  fs::resize_file(folder_.Join("~ZARQ.SEC"), 11 * kSecurityRecordSize - 100);

  ASSERT_EQ(Open(), ZARQ_OK);
  std::string list = folder_.ReadFile("~ZARQ.SEC");
  SecurityListHeader header;
  ASSERT_EQ(DecodeSecurityListHeader(Raw(list), &header), ZARQ_OK);
  EXPECT_EQ(header.slot_count, 9u);
  EXPECT_EQ(header.live_count, 9u);
  EXPECT_EQ(header.first_slot, 1u);
  EXPECT_EQ(header.last_slot, 9u);  // relinked within the records left
  for (uint32_t slot = 1; slot <= 9; ++slot) {
    SecurityRecord record;
    DecodeSecurityRecord(Raw(list, slot * kSecurityRecordSize), &record);
    EXPECT_EQ(record.symbol, "S" + std::to_string(slot));
    EXPECT_EQ(record.next_slot, slot == 9 ? 0u : slot + 1);
  }
  EXPECT_EQ(folder_.ReadFile("~ZARQ.INX").size(), 10u * kIndexRecordSize);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  ASSERT_EQ(keeper.Call("close " + keeper_dir), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("MASTER").size(), 10u * 53);
  EXPECT_EQ(keeper.Exit(), 0);
}

}  // namespace
}  // namespace zarq
