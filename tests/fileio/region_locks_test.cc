// Byte-range locks: nesting, the overlap rules, handles of one process,
// and real second processes holding a range.

#include <gtest/gtest.h>

#include <string>

#include "src/fileio/file_table.h"
#include "src/platform/platform.h"
#include "tests/support/library_fixture.h"
#include "tests/support/peer.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class RegionLockTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    ASSERT_EQ(FileOpen(dir_, PathOf("shared.bin").c_str(), &file_, kOpenCreate), ZARQ_OK);
    ASSERT_EQ(FileSetSize(file_, 1000), ZARQ_OK);
  }
  int32_t Lock(FileHandle handle, uint32_t offset, uint32_t length, int mode) {
    int32_t status = FileSeek(handle, 1, static_cast<int32_t>(offset), kSeekRecord);
    return status != ZARQ_OK ? status : FileLockRegion(handle, mode, length);
  }
  FileHandle file_ = kNoFileHandle;
  zarq_test::FaultPlatform os_;
};

TEST_F(RegionLockTest, LocksOfOneRangeNest) {
  zarq_test::ScopedPlatform installed(&os_);
  EXPECT_EQ(Lock(file_, 0, 37, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(file_, 0, 37, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(os_.lock_calls, 1);
  EXPECT_EQ(Lock(file_, 0, 37, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(os_.unlock_calls, 0);  // still held once
  EXPECT_TRUE(FileHasLocks(file_));
  EXPECT_EQ(Lock(file_, 0, 37, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(os_.unlock_calls, 1);
  EXPECT_FALSE(FileHasLocks(file_));
}

TEST_F(RegionLockTest, OverlapsAreRefusedAndTouchingRangesGoToTheSystem) {
  zarq_test::ScopedPlatform installed(&os_);
  ASSERT_EQ(Lock(file_, 100, 10, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(file_, 95, 6, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(Lock(file_, 98, 20, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(Lock(file_, 100, 5, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(os_.lock_calls, 1);  // refused without asking the system
  EXPECT_EQ(Lock(file_, 95, 5, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(file_, 110, 5, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(os_.lock_calls, 3);
  EXPECT_EQ(Lock(file_, 95, 5, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(Lock(file_, 110, 5, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(Lock(file_, 100, 10, kUnlockRegion), ZARQ_OK);
}

TEST_F(RegionLockTest, BadRequests) {
  EXPECT_EQ(Lock(file_, 0, 1, 7), ZARQ_E_BAD_LOCK_MODE);
  EXPECT_EQ(FileLockRegion(static_cast<FileHandle>(987654), kLockRegionNoWait, 1),
            ZARQ_E_BAD_FILE_HANDLE);
  // Unlocking a range never locked leaves nothing recorded.
  Lock(file_, 500, 5, kUnlockRegion);
  EXPECT_FALSE(FileHasLocks(file_));
}

TEST_F(RegionLockTest, TwoHandlesOfOneProcessExcludeEachOther) {
  FileHandle reader = kNoFileHandle;
  ASSERT_EQ(FileOpen(dir_, PathOf("shared.bin").c_str(), &reader, kOpenReadOnly), ZARQ_OK);
  ASSERT_NE(reader, file_);
  ASSERT_EQ(Lock(file_, 0, 10, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(reader, 5, 10, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(Lock(file_, 0, 10, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(Lock(reader, 5, 10, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(reader, 5, 10, kUnlockRegion), ZARQ_OK);
}

TEST_F(RegionLockTest, ARangeHeldByAnotherProcess) {
  zarq_test::Peer peer;
  ASSERT_TRUE(peer.Start());
  ASSERT_EQ(peer.Call("init Peer Other"), ZARQ_OK);
  std::string number;
  ASSERT_EQ(peer.Call("open " + folder_.path() + " 0", &number), ZARQ_OPENED_NO_DATABASE);
  ASSERT_EQ(peer.Call("lock " + number + " shared.bin 0 100 2"), ZARQ_OK);

  uint32_t start = Os().TickCount();
  EXPECT_EQ(Lock(file_, 50, 10, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_LT(Os().TickCount() - start, 2000u);

  start = Os().TickCount();
  EXPECT_EQ(Lock(file_, 50, 10, kLockRegionWaiting), ZARQ_E_RANGE_LOCKED);
  uint32_t waited = Os().TickCount() - start;
  EXPECT_GE(waited, 9900u);
  EXPECT_LT(waited, 15000u);

  // The holder lets go after 1.5 s: the waiting lock succeeds then.
  ASSERT_TRUE(peer.Send("sleep 1500"));
  ASSERT_TRUE(peer.Send("unlock " + number + " shared.bin 0 100"));
  start = Os().TickCount();
  EXPECT_EQ(Lock(file_, 50, 10, kLockRegionWaiting), ZARQ_OK);
  waited = Os().TickCount() - start;
  EXPECT_GE(waited, 1000u);
  EXPECT_LT(waited, 9000u);
  EXPECT_EQ(peer.Answer(), ZARQ_OK);
  EXPECT_EQ(peer.Answer(), ZARQ_OK);
  EXPECT_EQ(Lock(file_, 50, 10, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(peer.Exit(), 0);
}

}  // namespace
}  // namespace zarq
