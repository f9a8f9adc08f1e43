// Security locks between real processes: read locks shared and recorded
// with every holder, stronger ones refused; a write lock's changes kept
// from others until its unlock; a process whose registration was taken
// over writing nothing at unlock; and close and shutdown releasing locks
// still held and landing their changes.

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "include/zarq.h"
#include "src/security/lock_table.h"
#include "src/security/security_locking.h"
#include "tests/security/security_fixture.h"
#include "tests/support/peer.h"

namespace zarq {
namespace {

using LockSharingTest = SecurityTest;

TEST_F(LockSharingTest, ReadLocksAreSharedAndStrongerOnesRefused) {
  zarq_test::Peer peer;
  std::string peer_dir = StartPeer(&peer, "Other User");  // user record 2; this process has 1
  std::string s1;
  ASSERT_EQ(peer.Call("lookup " + peer_dir + " S1 D", &s1), ZARQ_OK);
  ASSERT_EQ(peer.Call("seclock " + s1 + " 16"), ZARQ_OK);

  for (uint32_t level : {ZARQ_WRITE_LOCK, ZARQ_DEFINITION_LOCK, ZARQ_FULL_LOCK}) {
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(1), level), ZARQ_E_LOCK_CONFLICT) << level;
    const FailedLock& failed = LastFailedLock();
    EXPECT_EQ(std::tie(failed.directory, failed.level, failed.holder, failed.holders),
              std::make_tuple(dir_, 16, 2, 1))
        << level;
  }
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);
  EXPECT_EQ(LockAt(1), Bytes(Held(16, {1, 2})));
  EXPECT_EQ(peer.Call("seclock " + s1 + " 32"), ZARQ_E_LOCK_CONFLICT);  // held there already

  for (uint32_t slot = 2; slot <= 24; ++slot) {
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(slot), ZARQ_READ_LOCK), ZARQ_OK) << slot;
  }
  const std::string full = LockFile();
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(25), ZARQ_READ_LOCK), ZARQ_E_LOCK_TABLE_FULL);
  EXPECT_EQ(LockFile(), full);

  ASSERT_EQ(peer.Call("secunlock " + s1), ZARQ_OK);
  EXPECT_EQ(LockAt(1), Bytes(Held(16, {1})));
  for (uint32_t slot = 1; slot <= 24; ++slot) ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(slot)), 0);
  EXPECT_EQ(LockFile().substr(kLockRecordSize), std::string(31 * kLockRecordSize, '\0'));
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(peer.Exit(), 0);
}

// The peer write-locks a security and changes its record count and
// ExtraValue; nothing of it shows here before the unlock, all of it after.
TEST_F(LockSharingTest, AWriteLocksChangesReachOthersAtUnlock) {
  const struct {
    uint32_t slot;
    uint16_t records;
    uint8_t long_data;  // LongDataFlag before
    uint16_t count;     // the count and ExtraValue the peer sets
    uint32_t extra;
    uint8_t want_long_data;
  } cases[] = {
      {1, 3, 0, 5, 77, 0},         // a few records more
      {2, 40000, 0, 40001, 0, 1},  // past 32766, the count alone changed
      {3, 40000, 1, 12, 77, 0},    // back under it
      {4, 3, 1, 3, 77, 0},         // a stale mark, the count unchanged: set right all the same
  };
  zarq_test::Peer peer;
  std::string peer_dir = StartPeer(&peer, "Other User");
  for (const auto& c : cases) {
    WriteDataFile(c.slot, c.records);
    EditList([&](SecurityList& list) { list.at(c.slot).long_data_flag = c.long_data; });
    const SecurityRecord before = ListRecord(c.slot);
    std::string handle;
    ASSERT_EQ(peer.Call("lookup " + peer_dir + " S" + std::to_string(c.slot) + " D", &handle), 0);
    ASSERT_EQ(peer.Call("seclock " + handle + " 32"), ZARQ_OK);
    ASSERT_EQ(peer.Call("update " + handle + " " + std::to_string(c.count) + " " +
                        std::to_string(c.extra)),
              ZARQ_OK);

    EXPECT_EQ(DataCount(c.slot), c.records) << c.slot;
    EXPECT_EQ(ListRecord(c.slot), before) << c.slot;
    ZarqSecurityInfo info;
    ASSERT_EQ(ZARQ1_GetSecurityInfo(Handle(c.slot), &info), ZARQ_OK);
    EXPECT_EQ(info.ExtraValue, 0u) << c.slot;
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(c.slot), ZARQ_READ_LOCK), ZARQ_E_LOCK_CONFLICT);

    ASSERT_EQ(peer.Call("secunlock " + handle), ZARQ_OK);
    EXPECT_EQ(DataCount(c.slot), c.count) << c.slot;
    const SecurityRecord after = ListRecord(c.slot);
    EXPECT_EQ(std::tie(after.extra_value, after.long_data_flag, after.first_date, after.last_date),
              std::make_tuple(c.extra, c.want_long_data, 20100104, 20101231))
        << c.slot;
    EXPECT_EQ(LockAt(c.slot), std::string(kLockRecordSize, '\0')) << c.slot;
  }
  EXPECT_EQ(peer.Exit(), 0);
}

// A process of this identity takes the user record over (as after a
// crash) while this one still holds a write lock with changes: the other
// locks the security and changes it too; this process's unlock must
// neither land its changes nor take the other's bit (the same bit).
TEST_F(LockSharingTest, AfterATakeoverByTheSameIdentityAnUnlockWritesNothing) {
  WriteDataFile(1, 3);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_WRITE_LOCK), ZARQ_OK);
  Change(Handle(1), 9, 5);
  zarq_test::Peer twin;
  std::string twin_dir = StartPeer(&twin, "UnitTest Tester", ZARQ_OPEN_ALLOW_SAME_USER);
  std::string s1;
  ASSERT_EQ(twin.Call("lookup " + twin_dir + " S1 D", &s1), ZARQ_OK);
  ASSERT_EQ(twin.Call("seclock " + s1 + " 32"), ZARQ_OK);
  ASSERT_EQ(twin.Call("update " + s1 + " 4 6"), ZARQ_OK);
  EXPECT_EQ(LockAt(1), Bytes(Held(32, {Own()})));
  const std::string locks = LockFile();
  const SecurityRecord record = ListRecord(1);

  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_E_REGISTRATION_LOST);
  EXPECT_EQ(LockFile(), locks);
  EXPECT_EQ(DataCount(1), 3);
  EXPECT_EQ(ListRecord(1), record);
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(2), ZARQ_READ_LOCK), ZARQ_E_REGISTRATION_LOST);

  ASSERT_EQ(twin.Call("secunlock " + s1), ZARQ_OK);
  EXPECT_EQ(DataCount(1), 4);
  EXPECT_EQ(ListRecord(1).extra_value, 6u);
  EXPECT_EQ(LockAt(1), std::string(kLockRecordSize, '\0'));
  ASSERT_EQ(twin.Call("close " + twin_dir), ZARQ_OK);
  EXPECT_EQ(twin.Exit(), 0);
}

// After the takeover this process's bit is the other's: setting it on a
// free record would hand the other a lock it never took ("its own bit"),
// and both would hold the security.
TEST_F(LockSharingTest, AfterATakeoverByTheSameIdentityNoNewLockIsTaken) {
  zarq_test::Peer twin;
  std::string twin_dir = StartPeer(&twin, "UnitTest Tester", ZARQ_OPEN_ALLOW_SAME_USER);
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(2), ZARQ_WRITE_LOCK), ZARQ_E_REGISTRATION_LOST);
  EXPECT_EQ(LockAt(2), std::string(kLockRecordSize, '\0'));
  std::string s2;
  ASSERT_EQ(twin.Call("lookup " + twin_dir + " S2 D", &s2), ZARQ_OK);
  // Whichever process holds S2, never both.
  EXPECT_EQ(twin.Call("seclock " + s2 + " 32"), Table().empty() ? ZARQ_OK : ZARQ_E_LOCK_CONFLICT);
  ASSERT_EQ(twin.Call("close " + twin_dir), ZARQ_OK);
  EXPECT_EQ(twin.Exit(), 0);
}

TEST_F(LockSharingTest, CloseAndShutdownReleaseEveryLockAndLandItsChanges) {
  zarq_test::Peer keeper;  // keeps the working files after this process leaves
  std::string keeper_dir = StartPeer(&keeper, "Keeper K");
  for (bool shutdown : {false, true}) {
    if (shutdown) {
      ASSERT_EQ(Open(), ZARQ_OK);
    }
    const uint32_t extra = shutdown ? 200 : 100;
    WriteDataFile(2, 3);
    WriteDataFile(3, 3);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(2), ZARQ_WRITE_LOCK), ZARQ_OK);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(3), ZARQ_FULL_LOCK), ZARQ_OK);
    Change(Handle(2), 7, extra + 2);
    Change(Handle(3), 8, extra + 3);
    if (shutdown) {
      ASSERT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
      ASSERT_EQ(ZARQ1_Initialize("UnitTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
    } else {
      ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
    }
    EXPECT_EQ(folder_.ReadFile("~ZARQ.LCK").substr(kLockRecordSize),
              std::string(31 * kLockRecordSize, '\0'))
        << shutdown;
    EXPECT_EQ(std::make_tuple(DataCount(2), DataCount(3)), std::make_tuple(7, 8)) << shutdown;
    EXPECT_EQ(std::make_tuple(ListRecord(2).extra_value, ListRecord(3).extra_value),
              std::make_tuple(extra + 2, extra + 3))
        << shutdown;
  }
  ASSERT_EQ(keeper.Call("close " + keeper_dir), ZARQ_OK);
  EXPECT_EQ(keeper.Exit(), 0);
}

}  // namespace
}  // namespace zarq
