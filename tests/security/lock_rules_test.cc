// Security locks in one process: what a lock record grants (holders of
// other users, this user's bit left from earlier, a damaged level); that
// every refused lock leaves the lock file and the lock table as they were;
// read-only directories; unlocks that must not write (the bit gone) and a
// write-back that fails, keeping the lock for a retry.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/security/lock_table.h"
#include "src/security/security_locking.h"
#include "tests/security/security_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using LockRulesTest = SecurityTest;

constexpr uint16_t kOwn = 1;  // this process, the only user

TEST_F(LockRulesTest, TheLockRecordDecides) {
  ASSERT_EQ(Own(), kOwn);
  const struct {
    const char* what;
    LockRecord before;
    uint32_t level;
    int32_t status;
    LockRecord after;    // when granted
    uint8_t slot_level;  // when granted
    FailedLock failed;   // when refused for a conflict (directory aside)
  } cases[] = {
      {"free", {}, 32, ZARQ_OK, Held(32, {kOwn}), 32, {}},
      {"read shared", Held(16, {5}), 16, ZARQ_OK, Held(16, {kOwn, 5}), 16, {}},
      {"write over read", Held(16, {5}), 32, ZARQ_E_LOCK_CONFLICT, {}, 0, {0, 16, 5, 1}},
      {"full over two readers", Held(16, {5, 9}), 128, ZARQ_E_LOCK_CONFLICT, {}, 0, {0, 16, 0, 2}},
      {"read under write", Held(32, {5}), 16, ZARQ_E_LOCK_CONFLICT, {}, 0, {0, 32, 5, 1}},
      {"read under definition", Held(127, {9}), 16, ZARQ_E_LOCK_CONFLICT, {}, 0, {0, 127, 9, 1}},
      {"full under full", Held(128, {5}), 128, ZARQ_E_LOCK_CONFLICT, {}, 0, {0, 128, 5, 1}},
      // This user's bit left from earlier: its own lock, no more than the
      // record grants, unless it is the only holder.
      {"own read alone, write", Held(16, {kOwn}), 32, ZARQ_OK, Held(32, {kOwn}), 32, {}},
      {"own read shared, write",
       Held(16, {kOwn, 5}),
       32,
       ZARQ_E_LOCK_CONFLICT,
       {},
       0,
       {0, 16, 0, 2}},
      {"own write, read", Held(32, {kOwn}), 16, ZARQ_OK, Held(32, {kOwn}), 32, {}},
      {"damaged level", Held(5, {}), 16, ZARQ_E_BAD_LOCK_MODE, {}, 0, {}},
      {"damaged level, held", Held(200, {5}), 32, ZARQ_E_BAD_LOCK_MODE, {}, 0, {}},
  };
  uint32_t slot = 0;
  for (const auto& c : cases) {
    ++slot;
    SetLockAt(slot, c.before);
    const std::string locks = LockFile();
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(slot), c.level), c.status) << c.what;
    if (c.status != ZARQ_OK) {
      EXPECT_EQ(LockFile(), locks) << c.what;
      EXPECT_TRUE(Table().empty()) << c.what;
      if (c.status == ZARQ_E_LOCK_CONFLICT) {
        const FailedLock& f = LastFailedLock();
        EXPECT_EQ(std::tie(f.directory, f.level, f.holder, f.holders),
                  std::make_tuple(dir_, c.failed.level, c.failed.holder, c.failed.holders))
            << c.what;
      }
      continue;
    }
    EXPECT_EQ(LockAt(slot), Bytes(c.after)) << c.what;
    EXPECT_EQ(RequireLockLevel(Handle(slot), c.slot_level), ZARQ_OK) << c.what;
    if (c.slot_level < 128) {
      EXPECT_EQ(RequireLockLevel(Handle(slot), c.slot_level + 1), ZARQ_E_LOCK_TOO_WEAK) << c.what;
    }
    ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(slot)), ZARQ_OK) << c.what;
    LockRecord left = c.after;
    left.ClearUser(kOwn);
    if (!left.AnyUser()) left.level = 0;
    EXPECT_EQ(LockAt(slot), Bytes(left)) << c.what;
  }
}

TEST_F(LockRulesTest, ARefusedLockLeavesTheLockFileAndTheTableAsTheyWere) {
  EditList([](SecurityList& list) { list.at(4).deleted = 1; });
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(2), ZARQ_WRITE_LOCK), ZARQ_OK);
  const uint32_t top = static_cast<uint32_t>(dir_) << 24;
  const struct {
    const char* what;
    uint32_t handle;
    uint32_t level;
    int32_t status;
  } cases[] = {
      {"level 0", Handle(1), 0, ZARQ_E_BAD_LOCK_MODE},
      {"level 17", Handle(1), 17, ZARQ_E_BAD_LOCK_MODE},
      {"level 64", Handle(1), 64, ZARQ_E_BAD_LOCK_MODE},
      {"level 129", Handle(1), 129, ZARQ_E_BAD_LOCK_MODE},
      {"level 16 + 256", Handle(1), 16 + 256, ZARQ_E_BAD_LOCK_MODE},
      {"slot 0", top, 16, ZARQ_E_NO_SUCH_SECURITY},
      {"slot beyond the lock file", top | 32, 16, ZARQ_E_NO_SUCH_SECURITY},
      {"slot 6001", top | 6001, 16, ZARQ_E_NO_SUCH_SECURITY},
      {"deleted security", Handle(4), 16, ZARQ_E_NO_SUCH_SECURITY},
      {"bits 16..22", Handle(1) | 0x00010000, 16, ZARQ_E_INVALID_HANDLE},
      {"composite flag of a plain security", Handle(1) | kCompositeHandleBit, 16,
       ZARQ_E_INVALID_HANDLE},
      {"plain handle of a composite", Handle(31), 16, ZARQ_E_INVALID_HANDLE},
      {"composite of a component written here", Handle(31) | kCompositeHandleBit, 16,
       ZARQ_E_LOCK_CONFLICT},
      {"composite flag of a security locked here", Handle(2) | kCompositeHandleBit, 16,
       ZARQ_E_INVALID_HANDLE},
      {"locked here already", Handle(2), 16, ZARQ_E_LOCK_CONFLICT},
      {"directory not open", MakeSecurityHandle(dir_ + 1, 1, false), 16, ZARQ_E_DIRECTORY_NOT_OPEN},
  };
  const std::string locks = LockFile();
  const auto table = Table();
  for (const auto& c : cases) {
    zarq_test::InstalledFaults os;  // counts file calls
    EXPECT_EQ(ZARQ1_LockSecurity(c.handle, c.level), c.status) << c.what;
    if (c.status == ZARQ_E_BAD_LOCK_MODE) {  // refused before any file is touched
      EXPECT_EQ(os.read_sizes.size() + os.write_sizes.size() + os.lock_calls, 0u) << c.what;
    }
    EXPECT_EQ(LockFile(), locks) << c.what;
    EXPECT_EQ(Table(), table) << c.what;
  }
  const FailedLock& failed = LastFailedLock();  // of the one locked here already
  EXPECT_EQ(std::tie(failed.level, failed.holder, failed.holders), std::make_tuple(32, Own(), 1));
}

TEST_F(LockRulesTest, AReadOnlyDirectoryGrantsReadLocksOnly) {
  WriteDataFile(1, 3);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  zarq_test::InstalledFaults os;
  os.deny_writes_in = folder_.path();
  ASSERT_EQ(Open(), ZARQ_OK);
  ASSERT_TRUE(FindDirectory(dir_)->read_only());
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);
  const std::string locks = LockFile();
  for (uint32_t level : {ZARQ_WRITE_LOCK, ZARQ_DEFINITION_LOCK, ZARQ_FULL_LOCK}) {
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(2), level), ZARQ_E_READ_ONLY_DIRECTORY) << level;
  }
  EXPECT_EQ(LockFile(), locks);
  EXPECT_EQ(Table().size(), 1u);
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_OK);
  EXPECT_EQ(LockAt(1), std::string(kLockRecordSize, '\0'));
}

TEST_F(LockRulesTest, AnUnlockWithoutItsBitWritesNothing) {
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_E_NOT_LOCKED);  // never locked
  WriteDataFile(1, 3);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_WRITE_LOCK), ZARQ_OK);
  Change(Handle(1), 8, 9);
  const SecurityRecord record = ListRecord(1);
  SetLockAt(1, {});  // the bit is gone (a repair of the lock file, say)

  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_E_NOT_LOCKED);
  EXPECT_EQ(DataCount(1), 3);
  EXPECT_EQ(ListRecord(1), record);
  EXPECT_EQ(LockAt(1), std::string(kLockRecordSize, '\0'));
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_WRITE_LOCK), ZARQ_OK);
}

// The write-back writes the data file's count, then the list record, then
// the lock record: a failure at any of them keeps the lock, and the next
// unlock finishes what is left.
TEST_F(LockRulesTest, AFailedWriteBackKeepsTheLockForARetry) {
  for (int failing : {1, 2, 3}) {
    WriteDataFile(1, 3);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_WRITE_LOCK), ZARQ_OK);
    Change(Handle(1), 6, 40 + failing);
    const std::string locks = LockFile();
    {
      zarq_test::InstalledFaults os;
      os.write_to_fail = failing;
      EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_E_ACCESS_DENIED) << failing;
    }
    EXPECT_EQ(LockFile(), locks) << failing;
    ASSERT_EQ(Table().size(), 1u) << failing;
    EXPECT_EQ(RequireLockLevel(Handle(1), ZARQ_WRITE_LOCK), ZARQ_OK) << failing;

    ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_OK) << failing;
    EXPECT_EQ(DataCount(1), 6) << failing;
    EXPECT_EQ(ListRecord(1).extra_value, 40u + failing) << failing;
    EXPECT_EQ(LockAt(1), std::string(kLockRecordSize, '\0')) << failing;
    EXPECT_TRUE(Table().empty()) << failing;
  }
}

}  // namespace
}  // namespace zarq
