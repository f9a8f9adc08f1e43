// The security list file record by record: the checks of each access
// mode, what each mode moves, the locks it leaves behind (none), the
// header lock, and the allocation of slots and file numbers.

#include "src/master/security_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/master/security_allocation.h"
#include "src/master/security_links.h"
#include "tests/master/store_fixture.h"

namespace zarq {
namespace {

using zarq_test::FailingWrites;
using zarq_test::LinkedRecords;
using zarq_test::ListHeader;
using zarq_test::PlainRecord;

using SecurityStoreTest = zarq_test::StoreTest;

enum class Damage { kNone, kStamp, kMagic, kVersion };

struct AccessCase {
  Damage damage;
  SecurityAccess mode;
  uint32_t slot;
  int32_t expected;
};

TEST_F(SecurityStoreTest, ChecksOfEachModeAndNoLockLeftBehind) {
  const AccessCase cases[] = {
      {Damage::kNone, SecurityAccess::kRead, 4, ZARQ_OK},
      {Damage::kNone, SecurityAccess::kRead, 5, ZARQ_E_NO_SUCH_SECURITY},
      {Damage::kNone, SecurityAccess::kReadRaw, 5, ZARQ_OK},
      {Damage::kNone, SecurityAccess::kWriteData, 4, ZARQ_OK},
      {Damage::kNone, SecurityAccess::kWriteData, 5, ZARQ_E_NO_SUCH_SECURITY},
      {Damage::kNone, SecurityAccess::kWriteNew, 5, ZARQ_OK},  // SlotCount + 1
      {Damage::kNone, SecurityAccess::kWriteNew, 6, ZARQ_E_NO_SUCH_SECURITY},
      {Damage::kNone, SecurityAccess::kWriteLinks, 5, ZARQ_OK},
      {Damage::kStamp, SecurityAccess::kRead, 1, ZARQ_E_STAMP_MISMATCH},
      {Damage::kStamp, SecurityAccess::kWriteData, 1, ZARQ_E_STAMP_MISMATCH},
      {Damage::kStamp, SecurityAccess::kWriteNew, 5, ZARQ_E_STAMP_MISMATCH},
      {Damage::kStamp, SecurityAccess::kReadRaw, 1, ZARQ_OK},
      {Damage::kStamp, SecurityAccess::kWriteLinks, 1, ZARQ_OK},
      {Damage::kMagic, SecurityAccess::kRead, 1, ZARQ_E_BAD_LIST_FILE},
      {Damage::kMagic, SecurityAccess::kWriteNew, 5, ZARQ_E_BAD_LIST_FILE},
      {Damage::kMagic, SecurityAccess::kReadRaw, 1, ZARQ_OK},
      {Damage::kVersion, SecurityAccess::kRead, 1, ZARQ_E_BAD_VERSION},
      {Damage::kVersion, SecurityAccess::kWriteData, 1, ZARQ_E_BAD_VERSION},
  };
  for (const AccessCase& c : cases) {
    // Slots 1..5 are in the file; the header counts 4, so slot 5 lies
    // beyond the list but inside the file.
    SecurityListHeader header = ListHeader(4);
    if (c.damage == Damage::kStamp) header.stamp = zarq_test::kTestStamp + 1;
    if (c.damage == Damage::kMagic) header.magic = 0x4D16FE5D;
    if (c.damage == Damage::kVersion) header.file_version = 801;
    WriteList(header, LinkedRecords(5));
    std::vector<uint8_t> before = ReadFile(kKindSecurityList);

    zarq_test::FaultPlatform os;
    zarq_test::ScopedPlatform installed(&os);
    SecurityRecord record = PlainRecord(c.slot);
    std::snprintf(record.name, sizeof(record.name), "written");
    int32_t status = AccessSecurityRecord(Handle(c.slot), &record, c.mode);
    EXPECT_EQ(status, c.expected) << "mode " << static_cast<int>(c.mode) << " slot " << c.slot;
    EXPECT_EQ(os.lock_calls, os.unlock_calls) << "mode " << static_cast<int>(c.mode);
    if (status != ZARQ_OK) {
      EXPECT_EQ(ReadFile(kKindSecurityList), before);
    }
  }
}

TEST_F(SecurityStoreTest, BadHandles) {
  WriteLinkedList(3);
  SecurityRecord record;
  uint8_t unopened = static_cast<uint8_t>(dir_ + 1);
  const uint32_t handles[] = {0,
                              Handle(1) & 0xFF000000u,  // slot 0
                              (Handle(1) & 0xFF000000u) | 6001,
                              1,  // directory 0
                              (126u << 24) | 1,
                              (0x80u << 24) | 1,  // a negative directory number
                              MakeSecurityHandle(unopened, 1, false)};
  for (uint32_t handle : handles) {
    for (SecurityAccess mode : {SecurityAccess::kRead, SecurityAccess::kReadRaw,
                                SecurityAccess::kWriteLinks, SecurityAccess::kWriteNew}) {
      EXPECT_EQ(AccessSecurityRecord(handle, &record, mode), ZARQ_E_INVALID_HANDLE)
          << std::hex << handle << " mode " << std::dec << static_cast<int>(mode);
    }
  }
  // The composite flag and stray bits above the slot do not matter.
  EXPECT_EQ(AccessSecurityRecord(Handle(2, true) | 0x10000, &record, SecurityAccess::kRead),
            ZARQ_OK);
  EXPECT_EQ(record.slot, 2u);
}

TEST_F(SecurityStoreTest, EachModeMovesItsPartOnly) {
  WriteLinkedList(3);
  SecurityRecord changed = PlainRecord(2);
  std::snprintf(changed.name, sizeof(changed.name), "changed name");
  changed.next_slot = 77;
  changed.next_primary_user = 55;

  ASSERT_EQ(AccessSecurityRecord(Handle(2), &changed, SecurityAccess::kWriteData), ZARQ_OK);
  SecurityRecord stored = Stored(2);
  EXPECT_STREQ(stored.name, "changed name");
  EXPECT_EQ(stored.next_slot, 3u);  // the links stayed
  EXPECT_EQ(stored.next_primary_user, 0u);

  std::snprintf(changed.name, sizeof(changed.name), "not this");
  ASSERT_EQ(AccessSecurityRecord(Handle(2), &changed, SecurityAccess::kWriteLinks), ZARQ_OK);
  stored = Stored(2);
  EXPECT_STREQ(stored.name, "changed name");  // the data stayed
  EXPECT_EQ(stored.next_slot, 77u);
  EXPECT_EQ(stored.next_primary_user, 55u);

  SecurityRecord fresh = PlainRecord(4);
  fresh.prev_slot = 3;
  ASSERT_EQ(AccessSecurityRecord(Handle(4), &fresh, SecurityAccess::kWriteNew), ZARQ_OK);
  EXPECT_EQ(Stored(4), fresh);
  EXPECT_EQ(ReadFile(kKindSecurityList).size(), 5u * kSecurityRecordSize);

  for (SecurityAccess mode : {SecurityAccess::kRead, SecurityAccess::kReadRaw}) {
    SecurityRecord read;
    ASSERT_EQ(AccessSecurityRecord(Handle(2), &read, mode), ZARQ_OK);
    EXPECT_EQ(read, Stored(2));
  }
}

TEST_F(SecurityStoreTest, WritesNeverLandBeyondTheFile) {
  // A damaged header claims 10 slots; the file holds 3.
  SecurityListHeader header = ListHeader(10);
  WriteList(header, LinkedRecords(3));
  SecurityRecord record = PlainRecord(8);
  for (SecurityAccess mode :
       {SecurityAccess::kWriteData, SecurityAccess::kWriteLinks, SecurityAccess::kWriteNew}) {
    EXPECT_EQ(AccessSecurityRecord(Handle(8), &record, mode), ZARQ_E_NO_SUCH_SECURITY);
  }
  EXPECT_EQ(AccessSecurityRecord(Handle(6000), &record, SecurityAccess::kWriteLinks),
            ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(ReadFile(kKindSecurityList).size(), 4u * kSecurityRecordSize);
  // Reads beyond the end fail as reads do.
  EXPECT_EQ(AccessSecurityRecord(Handle(8), &record, SecurityAccess::kReadRaw), ZARQ_E_END_OF_FILE);
}

TEST_F(SecurityStoreTest, FailedWriteReleasesTheRecordLock) {
  WriteLinkedList(3);
  FailingWrites os;
  os.write_to_fail = 1;
  zarq_test::ScopedPlatform installed(&os);
  SecurityRecord record = PlainRecord(2);
  EXPECT_EQ(AccessSecurityRecord(Handle(2), &record, SecurityAccess::kWriteData),
            ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(os.lock_calls, 2);  // header and record
  EXPECT_EQ(os.unlock_calls, 2);
}

TEST_F(SecurityStoreTest, HeaderAccessAndItsLock) {
  EXPECT_EQ(LockSecurityHeader(static_cast<uint8_t>(dir_ + 1)), ZARQ_E_DIRECTORY_NOT_OPEN);
  entry_->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(LockSecurityHeader(dir_), ZARQ_E_NOT_REGISTERED);
  entry_->flags |= kDirHoldsDatabase;
  SecurityListHeader header;
  EXPECT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kRead), ZARQ_E_FILE_NOT_FOUND);

  WriteLinkedList(3);
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  FileHandle file = Open(kKindSecurityList);
  {
    SecurityHeaderLock lock;
    ASSERT_EQ(lock.Acquire(dir_), ZARQ_OK);
    // Accesses inside the held lock nest in it.
    ASSERT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kRead), ZARQ_OK);
    EXPECT_EQ(header, ListHeader(3));
    header.next_file_number = 99;
    ASSERT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kWrite), ZARQ_OK);
    EXPECT_TRUE(FileHasLocks(file));
  }
  EXPECT_FALSE(FileHasLocks(file));
  EXPECT_EQ(os.lock_calls, 1);
  EXPECT_EQ(os.unlock_calls, 1);
  EXPECT_EQ(StoredHeader().next_file_number, 99u);

  // A header that fails its own checks is never written.
  header.magic = 0;
  EXPECT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kWrite), ZARQ_E_BAD_LIST_FILE);
  header.magic = kSecurityListMagic;
  header.file_version = 900;
  EXPECT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kWrite), ZARQ_E_BAD_VERSION);
  EXPECT_EQ(StoredHeader().magic, kSecurityListMagic);
  EXPECT_EQ(os.lock_calls, os.unlock_calls);
}

// Allocation.

struct Allocation {
  int32_t status;
  uint32_t file_number;
  uint32_t slot;
  bool reused;
};

class AllocationTest : public SecurityStoreTest {
 protected:
  Allocation Allocate(SecurityListHeader* header) {
    Allocation a{};
    a.status = AllocateSecurity(dir_, header, &a.file_number, &a.slot, &a.reused);
    return a;
  }
  // A full list of 6000 slots whose file numbers are the slots; the slots
  // given are deleted.
  void WriteFullList(const std::vector<uint32_t>& deleted, uint32_t next_file_number) {
    std::vector<SecurityRecord> records = LinkedRecords(kMaxSlots);
    for (uint32_t slot : deleted) records[slot - 1].deleted = 1;
    SecurityListHeader header = ListHeader(kMaxSlots);
    header.live_count = kMaxSlots - static_cast<uint32_t>(deleted.size());
    header.next_file_number = next_file_number;
    WriteList(header, records);
  }
};

TEST_F(AllocationTest, PastNumber6000TheLowestFreeNumberIsSearched) {
  std::vector<SecurityRecord> records = LinkedRecords(5);
  const uint32_t numbers[] = {1, 2, 3, 4, 6};
  for (int i = 0; i < 5; ++i) records[i].file_number = numbers[i];
  records[2].deleted = 1;  // number 3 is free again
  SecurityListHeader header = ListHeader(5);
  header.live_count = 4;
  for (uint32_t next : {6001u, 0u}) {  // 0 would name no data file
    header.next_file_number = next;
    WriteList(header, records);
    SecurityListHeader in_memory = header;
    Allocation a = Allocate(&in_memory);
    EXPECT_EQ(a.status, ZARQ_OK);
    EXPECT_EQ(a.file_number, 3u);
    EXPECT_EQ(a.slot, 6u);
    EXPECT_EQ(in_memory.next_file_number, next);
    EXPECT_EQ(in_memory.live_count, 5u);
  }
}

TEST_F(AllocationTest, SixThousandLiveSecuritiesFailBeforeAnySearch) {
  // No list file at all: any search would fail otherwise.
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  SecurityListHeader header = ListHeader(kMaxSlots);
  header.next_file_number = 6001;
  SecurityListHeader before = header;
  Allocation a = Allocate(&header);
  EXPECT_EQ(a.status, ZARQ_E_DIRECTORY_FULL);
  EXPECT_EQ(a.slot, 0u);
  EXPECT_EQ(a.file_number, 0u);
  EXPECT_EQ(header, before);
  EXPECT_TRUE(os.read_sizes.empty());
}

TEST_F(AllocationTest, NoFreeNumberOrNoDeletedSlot) {
  // The header says one slot is free; the records disagree.
  WriteFullList({}, 6001);
  SecurityListHeader header = StoredHeader();
  header.live_count = kMaxSlots - 1;
  SecurityListHeader before = header;
  EXPECT_EQ(Allocate(&header).status, ZARQ_E_DIRECTORY_FULL);  // every number in use
  header.next_file_number = 17;
  before.next_file_number = 17;
  EXPECT_EQ(Allocate(&header).status, ZARQ_E_DIRECTORY_FULL);  // no deleted slot
  EXPECT_EQ(header, before);
}

TEST_F(AllocationTest, AFullListReusesTheLowestDeletedSlotAfterUnlinkingIt) {
  for (uint32_t next : {6001u, 4321u}) {
    WriteFullList({20, 10, 5999}, next);
    SecurityListHeader header = StoredHeader();
    Allocation a = Allocate(&header);
    ASSERT_EQ(a.status, ZARQ_OK);
    EXPECT_EQ(a.slot, 10u);
    EXPECT_TRUE(a.reused);
    EXPECT_EQ(a.file_number, next == 6001 ? 10u : 4321u);
    EXPECT_EQ(header.slot_count, kMaxSlots);
    EXPECT_EQ(header.live_count, kMaxSlots - 2);

    ASSERT_EQ(UnlinkDeletedRecord(Handle(a.slot), &header), ZARQ_OK);
    EXPECT_EQ(Stored(9).next_slot, 11u);
    EXPECT_EQ(Stored(11).prev_slot, 9u);
    std::vector<uint32_t> order = ListOrder(header);
    EXPECT_EQ(order.size(), kMaxSlots - 1);
  }
}

}  // namespace
}  // namespace zarq
