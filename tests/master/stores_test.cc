// The shared stores: the security list file record by record (the checks of
// each access mode, what each mode moves, the locks it leaves behind: none,
// the header lock), the allocation of slots and file numbers, list order and
// composite-user chains with their roll-backs, the security index (sorted
// insertion and removal against a sort done here, header checks, its header
// lock), records as callers see them, format levels, and two real processes
// on one list file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"
#include "src/master/format_levels.h"
#include "src/master/index_store.h"
#include "src/master/locked_records.h"
#include "src/master/security_allocation.h"
#include "src/master/security_index.h"
#include "src/master/security_info.h"
#include "src/master/security_links.h"
#include "src/master/security_record.h"
#include "src/master/security_store.h"
#include "src/master/text_rules.h"
#include "src/platform/platform.h"
#include "tests/master/sample_records.h"
#include "tests/support/library_fixture.h"
#include "tests/support/master_builder.h"
#include "tests/support/peer.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

// A directory that holds a security database as far as the record store and
// the index store need one: the entry is marked and stamped, and the tests
// write the security list and index files themselves with the codecs. Also a
// stand-in for the locking layer's working copies.

constexpr uint32_t kTestStamp = 0x5EED1234;

// n live daily securities "S1".."Sn" linked in slot order, each in the slot
// of its data file number.
std::vector<SecurityRecord> LinkedRecords(uint32_t n) {
  std::vector<SecurityRecord> records = zarq_test::NumberedSecurities(n);
  for (SecurityRecord& r : records) {
    r.slot = r.file_number;
    r.prev_slot = r.slot - 1;
    r.next_slot = r.slot < n ? r.slot + 1 : 0;
  }
  return records;
}

// The record of slot, not linked.
SecurityRecord PlainRecord(uint32_t slot) {
  SecurityRecord r = LinkedRecords(slot).back();
  r.prev_slot = 0;
  return r;
}

// The header of a list of n securities linked in slot order.
SecurityListHeader ListHeader(uint32_t n) {
  SecurityListHeader h;
  h.stamp = kTestStamp;
  h.slot_count = h.live_count = h.last_slot = n;
  h.first_slot = n > 0 ? 1 : 0;
  h.next_file_number = n + 1;
  return h;
}

// Working copies as the locking layer would keep them, keyed by handle.
class LockedCopies {
 public:
  LockedCopies() {
    current_ = this;
    previous_ = SetLockedRecordHooks({&Fetch, &Refresh});
  }
  ~LockedCopies() { SetLockedRecordHooks(previous_); }
  std::map<uint32_t, SecurityRecord> copies;
  int32_t failure = 0;  // answered for every lookup when set

 private:
  LockedRecordHooks previous_;
  static int32_t Fetch(uint32_t handle, SecurityRecord* record) {
    auto found = current_->copies.find(handle);
    if (current_->failure != 0) return current_->failure;
    if (found == current_->copies.end()) return ZARQ_E_NOT_LOCKED;
    *record = found->second;
    return ZARQ_OK;
  }
  // Takes over the links only.
  static void Refresh(uint32_t handle, const SecurityRecord& record) {
    auto found = current_->copies.find(handle);
    if (found == current_->copies.end()) return;
    uint8_t bytes[kSecurityRecordSize];
    EncodeSecurityRecord(found->second, bytes);
    EncodeSecurityLinks(record, bytes);
    DecodeSecurityRecord(bytes, &found->second);
  }
  static inline LockedCopies* current_ = nullptr;
};

class SecurityStoreTest : public zarq_test::OpenFolderTest {
 protected:
  void SetUp() override {
    zarq_test::OpenFolderTest::SetUp();
    entry_ = FindDirectory(dir_);
    entry_->flags |= kDirHoldsDatabase;
    entry_->user_file_stamp = kTestStamp;
  }
  void TearDown() override {
    // No user file was ever joined: leave nothing to deregister.
    if (DirectoryEntry* entry = FindDirectory(dir_)) {
      entry->flags &= ~kDirHoldsDatabase;
    }
    zarq_test::OpenFolderTest::TearDown();
  }

  uint32_t Handle(uint32_t slot, bool composite = false) const {
    return MakeSecurityHandle(dir_, slot, composite);
  }
  // The file of kind through the file table.
  FileHandle Open(uint16_t kind) {
    FileHandle file = kNoFileHandle;
    EXPECT_EQ(OpenDirectoryFile(dir_, kind, kOpenCreate, &file), ZARQ_OK);
    EXPECT_EQ(FileSeek(file, 1, 0, kSeekStart), ZARQ_OK);
    return file;
  }
  // The working files of the folder, written and read past the library.
  void WriteFile(const char* name, const std::vector<uint8_t>& bytes) {
    folder_.WriteFile(name, std::string(bytes.begin(), bytes.end()));
  }
  std::vector<uint8_t> ReadFile(const char* name) {
    std::string bytes = folder_.ReadFile(name);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> List() { return ReadFile("~ZARQ.SEC"); }

  // The security list file: the header, then record i in slot i + 1.
  void WriteList(const SecurityListHeader& header, const std::vector<SecurityRecord>& records) {
    std::vector<uint8_t> bytes((records.size() + 1) * kSecurityRecordSize);
    EncodeSecurityListHeader(header, bytes.data());
    for (size_t i = 0; i < records.size(); ++i) {
      EncodeSecurityRecord(records[i], &bytes[(i + 1) * kSecurityRecordSize]);
    }
    WriteFile("~ZARQ.SEC", bytes);
  }
  void WriteLinkedList(uint32_t n) { WriteList(ListHeader(n), LinkedRecords(n)); }

  SecurityListHeader StoredHeader() {
    SecurityListHeader header;
    DecodeSecurityListHeader(List().data(), &header);
    return header;
  }
  // The stored record of slot, read past the store.
  SecurityRecord Stored(uint32_t slot) { return RecordAt(List(), slot); }
  static SecurityRecord RecordAt(const std::vector<uint8_t>& list, uint32_t slot) {
    SecurityRecord record;
    size_t offset = size_t{slot} * kSecurityRecordSize;
    EXPECT_LE(offset + kSecurityRecordSize, list.size()) << "slot " << slot;
    if (offset + kSecurityRecordSize <= list.size()) {
      DecodeSecurityRecord(&list[offset], &record);
    }
    return record;
  }
  // The slots from first_slot on by NextSlot, checking every PrevSlot on
  // the way and that the walk ends at last_slot.
  std::vector<uint32_t> ListOrder(const SecurityListHeader& header) {
    std::vector<uint8_t> list = List();
    std::vector<uint32_t> order;
    uint32_t previous = 0;
    for (uint32_t slot = header.first_slot; slot != 0 && order.size() <= 6000;) {
      SecurityRecord record = RecordAt(list, slot);
      EXPECT_EQ(record.prev_slot, previous) << "slot " << slot;
      order.push_back(previous = slot);
      slot = record.next_slot;
    }
    EXPECT_EQ(header.last_slot, previous);
    return order;
  }

  DirectoryEntry* entry_ = nullptr;
};

using enum SecurityAccess;

TEST_F(SecurityStoreTest, ChecksOfEachModeAndNoLockLeftBehind) {
  enum Damage { kNone, kStamp, kMagic, kVersion };
  // clang-format off
  const struct { Damage damage; SecurityAccess mode; uint32_t slot; int32_t want; } cases[] = {
      {kNone, kRead, 4, ZARQ_OK}, {kNone, kRead, 5, ZARQ_E_NO_SUCH_SECURITY},
      {kNone, kReadRaw, 5, ZARQ_OK}, {kNone, kWriteData, 4, ZARQ_OK},
      {kNone, kWriteData, 5, ZARQ_E_NO_SUCH_SECURITY}, {kNone, kWriteLinks, 5, ZARQ_OK},
      {kNone, kWriteNew, 5, ZARQ_OK} /* SlotCount + 1 */, {kNone, kWriteNew, 6, ZARQ_E_NO_SUCH_SECURITY},
      {kStamp, kRead, 1, ZARQ_E_STAMP_MISMATCH}, {kStamp, kWriteData, 1, ZARQ_E_STAMP_MISMATCH},
      {kStamp, kWriteNew, 5, ZARQ_E_STAMP_MISMATCH}, {kStamp, kReadRaw, 1, ZARQ_OK},
      {kStamp, kWriteLinks, 1, ZARQ_OK}, {kMagic, kRead, 1, ZARQ_E_BAD_LIST_FILE},
      {kMagic, kWriteNew, 5, ZARQ_E_BAD_LIST_FILE}, {kMagic, kReadRaw, 1, ZARQ_OK},
      {kVersion, kRead, 1, ZARQ_E_BAD_VERSION}, {kVersion, kWriteData, 1, ZARQ_E_BAD_VERSION}};
  // clang-format on
  for (const auto& c : cases) {
    // Slots 1..5 are in the file; the header counts 4, so slot 5 lies
    // beyond the list but inside the file.
    SecurityListHeader header = ListHeader(4);
    if (c.damage == kStamp) header.stamp = kTestStamp + 1;
    if (c.damage == kMagic) header.magic = 0x4D16FE5D;
    if (c.damage == kVersion) header.file_version = 801;
    WriteList(header, LinkedRecords(5));
    std::vector<uint8_t> before = List();
    zarq_test::InstalledFaults os;
    SecurityRecord record = PlainRecord(c.slot);
    std::snprintf(record.name, sizeof(record.name), "written");
    int32_t status = AccessSecurityRecord(Handle(c.slot), &record, c.mode);
    EXPECT_EQ(status, c.want) << "mode " << static_cast<int>(c.mode) << " slot " << c.slot;
    EXPECT_EQ(os.lock_calls, os.unlock_calls) << "mode " << static_cast<int>(c.mode);
    EXPECT_TRUE(status == ZARQ_OK || List() == before);
  }
  // A failed write releases the header and record locks.
  WriteLinkedList(3);
  zarq_test::InstalledFaults os;
  os.write_to_fail = 1;
  SecurityRecord record = PlainRecord(2);
  EXPECT_EQ(AccessSecurityRecord(Handle(2), &record, kWriteData), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(std::tie(os.lock_calls, os.unlock_calls), std::make_tuple(2, 2));
}

TEST_F(SecurityStoreTest, BadHandlesAndWritesBeyondTheFile) {
  // A damaged header claims 10 slots; the file holds 3.
  WriteList(ListHeader(10), LinkedRecords(3));
  SecurityRecord record = PlainRecord(8);
  const uint32_t directory = Handle(1) & 0xFF000000u;
  for (uint32_t handle : {0u, directory /* slot 0 */, directory | 6001, 1u /* directory 0 */,
                          (126u << 24) | 1, (0x80u << 24) | 1 /* negative */,
                          MakeSecurityHandle(static_cast<uint8_t>(dir_ + 1), 1, false)}) {
    for (SecurityAccess mode : {kRead, kReadRaw, kWriteLinks, kWriteNew}) {
      EXPECT_EQ(AccessSecurityRecord(handle, &record, mode), ZARQ_E_INVALID_HANDLE)
          << std::hex << handle << " mode " << std::dec << static_cast<int>(mode);
    }
  }
  for (SecurityAccess mode : {kWriteData, kWriteLinks, kWriteNew}) {
    EXPECT_EQ(AccessSecurityRecord(Handle(8), &record, mode), ZARQ_E_NO_SUCH_SECURITY);
  }
  EXPECT_EQ(AccessSecurityRecord(Handle(6000), &record, kWriteLinks), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(List().size(), 4u * kSecurityRecordSize);
  // Reads beyond the end fail as reads do.
  EXPECT_EQ(AccessSecurityRecord(Handle(8), &record, kReadRaw), ZARQ_E_END_OF_FILE);
  // The composite flag and stray bits above the slot do not matter.
  EXPECT_EQ(AccessSecurityRecord(Handle(2, true) | 0x10000, &record, kRead), ZARQ_OK);
  EXPECT_EQ(record.slot, 2u);
}

TEST_F(SecurityStoreTest, EachModeMovesItsPartOnly) {
  WriteLinkedList(3);
  SecurityRecord want = Stored(2), changed = want;
  std::snprintf(changed.name, sizeof(changed.name), "changed name");
  changed.next_slot = 77;
  changed.next_primary_user = 55;
  ASSERT_EQ(AccessSecurityRecord(Handle(2), &changed, kWriteData), ZARQ_OK);
  std::strcpy(want.name, "changed name");
  EXPECT_EQ(Stored(2), want);  // the links stayed
  std::snprintf(changed.name, sizeof(changed.name), "not this");
  ASSERT_EQ(AccessSecurityRecord(Handle(2), &changed, kWriteLinks), ZARQ_OK);
  want.next_slot = 77;
  want.next_primary_user = 55;
  EXPECT_EQ(Stored(2), want);  // the data stayed
  for (SecurityAccess mode : {kRead, kReadRaw}) {
    SecurityRecord read;
    ASSERT_EQ(AccessSecurityRecord(Handle(2), &read, mode), ZARQ_OK);
    EXPECT_EQ(read, want);
  }
  SecurityRecord fresh = PlainRecord(4);
  fresh.prev_slot = 3;
  ASSERT_EQ(AccessSecurityRecord(Handle(4), &fresh, kWriteNew), ZARQ_OK);
  EXPECT_EQ(Stored(4), fresh);
  EXPECT_EQ(List().size(), 5u * kSecurityRecordSize);
}

TEST_F(SecurityStoreTest, HeaderAccessAndItsLock) {
  EXPECT_EQ(LockSecurityHeader(static_cast<uint8_t>(dir_ + 1)), ZARQ_E_DIRECTORY_NOT_OPEN);
  entry_->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(LockSecurityHeader(dir_), ZARQ_E_NOT_REGISTERED);
  entry_->flags |= kDirHoldsDatabase;
  SecurityListHeader header;
  EXPECT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kRead), ZARQ_E_FILE_NOT_FOUND);
  WriteLinkedList(3);
  zarq_test::InstalledFaults os;
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
  EXPECT_EQ(std::tie(os.lock_calls, os.unlock_calls), std::make_tuple(1, 1));
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

class AllocationTest : public SecurityStoreTest {
 protected:
  struct Allocation {
    int32_t status;
    uint32_t file_number, slot;
    bool reused;
  };
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
  records[4].file_number = 6;
  records[2].deleted = 1;  // number 3 is free again
  SecurityListHeader header = ListHeader(5);
  header.live_count = 4;
  for (uint32_t next : {6001u, 0u}) {  // 0 would name no data file
    header.next_file_number = next;
    WriteList(header, records);
    SecurityListHeader in_memory = header;
    Allocation a = Allocate(&in_memory);
    EXPECT_EQ(std::tie(a.status, a.file_number, a.slot), std::make_tuple(ZARQ_OK, 3, 6));
    EXPECT_EQ(std::tie(in_memory.next_file_number, in_memory.live_count), std::make_tuple(next, 5));
  }
}

TEST_F(AllocationTest, SixThousandLiveSecuritiesOrNoFreeNumberOrSlot) {
  // No list file at all: any search would fail otherwise.
  {
    zarq_test::InstalledFaults os;
    SecurityListHeader header = ListHeader(kMaxSlots), before = header;
    header.next_file_number = before.next_file_number = 6001;
    Allocation a = Allocate(&header);
    EXPECT_EQ(std::tie(a.status, a.slot, a.file_number),
              std::make_tuple(ZARQ_E_DIRECTORY_FULL, 0, 0));
    EXPECT_EQ(header, before);
    EXPECT_TRUE(os.read_sizes.empty());
  }
  // The header says one slot is free; the records disagree.
  WriteFullList({}, 6001);
  SecurityListHeader header = StoredHeader();
  header.live_count = kMaxSlots - 1;
  SecurityListHeader before = header;
  EXPECT_EQ(Allocate(&header).status, ZARQ_E_DIRECTORY_FULL);  // every number in use
  header.next_file_number = before.next_file_number = 17;
  EXPECT_EQ(Allocate(&header).status, ZARQ_E_DIRECTORY_FULL);  // no deleted slot
  EXPECT_EQ(header, before);
}

TEST_F(AllocationTest, AFullListReusesTheLowestDeletedSlotAfterUnlinkingIt) {
  for (uint32_t next : {6001u, 4321u}) {
    WriteFullList({20, 10, 5999}, next);
    SecurityListHeader header = StoredHeader();
    Allocation a = Allocate(&header);
    ASSERT_EQ(a.status, ZARQ_OK);
    EXPECT_EQ(std::tie(a.slot, a.reused), std::make_tuple(10, true));
    EXPECT_EQ(a.file_number, next == 6001 ? 10u : 4321u);
    EXPECT_EQ(std::tie(header.slot_count, header.live_count),
              std::make_tuple(kMaxSlots, kMaxSlots - 2));
    ASSERT_EQ(UnlinkDeletedRecord(Handle(a.slot), &header), ZARQ_OK);
    EXPECT_EQ(Stored(9).next_slot, 11u);
    EXPECT_EQ(Stored(11).prev_slot, 9u);
    EXPECT_EQ(ListOrder(header).size(), kMaxSlots - 1);
  }
}

class LinkTest : public SecurityStoreTest {
 protected:
  // Allocates a slot and links a new plain security there before anchor;
  // the record is then written as an addition would write it.
  int32_t AddPlain(uint32_t anchor, SecurityListHeader* header) {
    *header = StoredHeader();
    uint32_t file_number = 0, slot = 0;
    bool reused = false;
    int32_t status = AllocateSecurity(dir_, header, &file_number, &slot, &reused);
    if (status != ZARQ_OK) return status;
    SecurityRecord fresh = PlainRecord(slot);
    status = LinkSecurityRecord(dir_, header, &fresh, anchor);
    return status != ZARQ_OK ? status : AccessSecurityRecord(Handle(slot), &fresh, kWriteNew);
  }
};

TEST_F(LinkTest, NewSecurityGoesBeforeALiveAnchorOrAtTheEnd) {
  const std::vector<uint32_t> at_end = {1, 2, 3, 4, 5, 6};
  // clang-format off
  const struct { const char* what; uint32_t anchor, deleted; std::vector<uint32_t> order; } cases[] = {
      {"middle", Handle(3), 0, {1, 2, 6, 3, 4, 5}}, {"head", Handle(1), 0, {6, 1, 2, 3, 4, 5}},
      {"tail", Handle(5), 0, {1, 2, 3, 4, 6, 5}},
      {"composite flag", Handle(3, true), 0, {1, 2, 6, 3, 4, 5}},
      {"none", 0, 0, at_end}, {"deleted anchor", Handle(3), 3 /* marked deleted */, at_end},
      {"other directory", MakeSecurityHandle(dir_ + 1, 3, false), 0, at_end},
      {"beyond the list", Handle(40), 0, at_end}, {"its own slot", Handle(6), 0, at_end}};
  // clang-format on
  for (const auto& c : cases) {
    std::vector<SecurityRecord> records = LinkedRecords(5);
    if (c.deleted != 0) records[c.deleted - 1].deleted = 1;
    WriteList(ListHeader(5), records);
    SecurityListHeader header;
    ASSERT_EQ(AddPlain(c.anchor, &header), ZARQ_OK) << c.what;
    EXPECT_EQ(ListOrder(header), c.order) << c.what;
  }
  // Locked neighbours follow, keeping their unsaved changes.
  WriteLinkedList(5);
  LockedCopies locked;
  locked.copies[Handle(2)] = Stored(2);
  locked.copies[Handle(3)] = Stored(3);
  std::strcpy(locked.copies[Handle(3)].name, "unsaved change");
  SecurityListHeader header;
  ASSERT_EQ(AddPlain(Handle(3), &header), ZARQ_OK);
  EXPECT_EQ(locked.copies[Handle(2)].next_slot, 6u);
  EXPECT_EQ(locked.copies[Handle(3)].prev_slot, 6u);
  EXPECT_STREQ(locked.copies[Handle(3)].name, "unsaved change");
}

TEST_F(LinkTest, AFailedWriteLeavesEveryLinkAsItWas) {
  // Before slot 3: slot 2 is written first, then slot 3. A composite at the
  // end: slot 5, then the two component chains.
  // clang-format off
  const struct { const char* what; uint32_t anchor; bool composite; int write_to_fail; } cases[] = {
      {"first neighbour", Handle(3), false, 1}, {"second neighbour", Handle(3), false, 2},
      {"primary chain", 0, true, 2}, {"secondary chain", 0, true, 3}};
  // clang-format on
  for (const auto& c : cases) {
    WriteLinkedList(5);
    std::vector<uint8_t> before = List();
    SecurityListHeader header = StoredHeader();
    uint32_t file_number = 0, slot = 0;
    bool reused = false;
    ASSERT_EQ(AllocateSecurity(dir_, &header, &file_number, &slot, &reused), ZARQ_OK);
    const SecurityListHeader allocated = header;
    SecurityRecord fresh = PlainRecord(slot);
    fresh.composite = c.composite;
    std::tie(fresh.op, fresh.primary_slot, fresh.secondary_slot) =
        c.composite ? std::make_tuple('+', 1u, 2u) : std::make_tuple('\0', 0u, 0u);
    const SecurityRecord unlinked = fresh;
    zarq_test::InstalledFaults os;
    os.write_to_fail = c.write_to_fail;
    EXPECT_EQ(LinkSecurityRecord(dir_, &header, &fresh, c.anchor), ZARQ_E_ACCESS_DENIED) << c.what;
    EXPECT_EQ(List(), before) << c.what;
    EXPECT_EQ(header, allocated) << c.what;
    EXPECT_EQ(fresh, unlinked) << c.what;
    EXPECT_EQ(os.lock_calls, os.unlock_calls) << c.what;
  }
}

TEST_F(LinkTest, UnlinkingADeletedRecordAndItsRollBack) {
  const std::tuple<uint32_t, uint32_t, std::vector<uint32_t>> cases[] = {
      {3, 5, {1, 2, 4, 5}}, {1, 5, {2, 3, 4, 5}}, {5, 5, {1, 2, 3, 4}}, {1, 1, {}}};
  for (const auto& [slot, count, order] : cases) {
    std::vector<SecurityRecord> records = LinkedRecords(count);
    records[slot - 1].deleted = 1;
    WriteList(ListHeader(count), records);
    SecurityListHeader header = StoredHeader();
    ASSERT_EQ(UnlinkDeletedRecord(Handle(slot), &header), ZARQ_OK);
    EXPECT_EQ(ListOrder(header), order) << "slot " << slot;
  }
  // A live record stays where it is.
  WriteLinkedList(5);
  std::vector<uint8_t> before = List();
  SecurityListHeader header = StoredHeader();
  ASSERT_EQ(UnlinkDeletedRecord(Handle(3), &header), ZARQ_OK);
  EXPECT_EQ(header, StoredHeader());
  EXPECT_EQ(List(), before);
  // The second neighbour's write fails: the first is rolled back.
  std::vector<SecurityRecord> records = LinkedRecords(5);
  records[2].deleted = 1;
  WriteList(ListHeader(5), records);
  before = List();
  header = StoredHeader();
  zarq_test::InstalledFaults os;
  os.write_to_fail = 2;
  EXPECT_EQ(UnlinkDeletedRecord(Handle(3), &header), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(List(), before);
  EXPECT_EQ(header, StoredHeader());
}

using Slots = std::vector<uint32_t>;

class CompositeChainTest : public SecurityStoreTest {
 protected:
  // Slots 1 and 2 are plain; 3 (1+2), 4 (1*2) and 5 (2-1) are composites,
  // none of them in a chain yet.
  void SetUp() override {
    SecurityStoreTest::SetUp();
    std::vector<SecurityRecord> records = LinkedRecords(5);
    for (auto [slot, op, primary, secondary] :
         {std::tuple{3, '+', 1u, 2u}, {4, '*', 1u, 2u}, {5, '-', 2u, 1u}}) {
      SecurityRecord& r = records[slot - 1];
      std::tie(r.composite, r.op, r.primary_slot, r.secondary_slot) =
          std::make_tuple(1, op, primary, secondary);
    }
    WriteList(ListHeader(5), records);
  }
  // The composites on slot's chain through field.
  std::vector<uint32_t> Chain(uint32_t slot, bool primary) {
    uint32_t SecurityRecord::*field =
        primary ? &SecurityRecord::next_primary_user : &SecurityRecord::next_secondary_user;
    std::vector<uint32_t> chain;
    for (uint32_t next = Stored(slot).*field; next != 0 && chain.size() < 10;
         next = Stored(next).*field) {
      chain.push_back(next);
    }
    return chain;
  }
  void SetNextPrimaryUser(uint32_t slot, uint32_t next) {
    SecurityRecord record = Stored(slot);
    record.next_primary_user = next;
    ASSERT_EQ(AccessSecurityRecord(Handle(slot), &record, kWriteLinks), ZARQ_OK);
  }
};

TEST_F(CompositeChainTest, AppendAndSplice) {
  const SecurityRecord third_before = Stored(3);
  for (uint32_t slot : {3u, 4u, 5u}) ASSERT_EQ(AddCompositeUser(dir_, Stored(slot)), ZARQ_OK);
  EXPECT_EQ(Chain(1, true), (Slots{3, 4}));
  EXPECT_EQ(Chain(2, false), (Slots{3, 4}));
  EXPECT_EQ(Chain(2, true), Slots{5});
  EXPECT_EQ(Chain(1, false), Slots{5});
  // Appending one already there would make the chain loop.
  ASSERT_EQ(AddCompositeUser(dir_, Stored(3)), ZARQ_OK);
  EXPECT_EQ(Chain(1, true), (Slots{3, 4}));
  // A caller's copy of 3 from before 4 joined still splices 3 out without
  // losing 4: the composite's own links come from the file.
  ASSERT_EQ(third_before.next_primary_user, 0u);
  ASSERT_EQ(RemoveCompositeUser(dir_, third_before), ZARQ_OK);
  EXPECT_EQ(Chain(1, true), Slots{4});
  EXPECT_EQ(Chain(2, false), Slots{4});
  // Not in the chain, or not a composite: nothing happens.
  std::vector<uint8_t> before = List();
  ASSERT_EQ(RemoveCompositeUser(dir_, Stored(3)), ZARQ_OK);
  ASSERT_EQ(RemoveCompositeUser(dir_, Stored(1)), ZARQ_OK);
  EXPECT_EQ(List(), before);
}

TEST_F(CompositeChainTest, FailuresLeaveBothChainsAndLockedComponentsFollow) {
  ASSERT_EQ(AddCompositeUser(dir_, Stored(3)), ZARQ_OK);
  std::vector<uint8_t> before = List();
  {
    zarq_test::InstalledFaults os;
    os.write_to_fail = 2;  // the secondary chain
    EXPECT_EQ(AddCompositeUser(dir_, Stored(4)), ZARQ_E_ACCESS_DENIED);
    EXPECT_EQ(List(), before);
    os.write_sizes.clear();
    EXPECT_EQ(RemoveCompositeUser(dir_, Stored(3)), ZARQ_E_ACCESS_DENIED);
    EXPECT_EQ(List(), before);
  }
  LockedCopies locked;
  locked.copies[Handle(1)] = Stored(1);
  locked.copies[Handle(4, true)] = Stored(4);
  ASSERT_EQ(RemoveCompositeUser(dir_, Stored(3)), ZARQ_OK);
  EXPECT_EQ(locked.copies[Handle(1)].next_primary_user, 0u);
  ASSERT_EQ(AddCompositeUser(dir_, Stored(4)), ZARQ_OK);
  ASSERT_EQ(AddCompositeUser(dir_, Stored(3)), ZARQ_OK);
  EXPECT_EQ(Chain(1, true), (Slots{4, 3}));
  EXPECT_EQ(locked.copies[Handle(1)].next_primary_user, 4u);
  EXPECT_EQ(locked.copies[Handle(4, true)].next_primary_user, 3u);
}

TEST_F(CompositeChainTest, ALoopingChainIsReportedNotFollowedForEver) {
  // 1 -> 3 -> 4 -> 3 -> ...
  SetNextPrimaryUser(1, 3);
  SetNextPrimaryUser(3, 4);
  SetNextPrimaryUser(4, 3);
  // Composite 5 is built on 1 as its primary too, outside the loop.
  SecurityRecord other = Stored(5);
  other.primary_slot = 1;
  ASSERT_EQ(AccessSecurityRecord(Handle(5), &other, kWriteLinks), ZARQ_OK);
  std::vector<uint8_t> before = List();
  EXPECT_EQ(AddCompositeUser(dir_, other), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(RemoveCompositeUser(dir_, other), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(List(), before);
  // A chain leading out of the list is a missing security too.
  SetNextPrimaryUser(4, 7000);
  EXPECT_EQ(AddCompositeUser(dir_, other), ZARQ_E_NO_SUCH_SECURITY);
}

class IndexTest : public SecurityStoreTest {
 protected:
  static IndexHeader Header(uint32_t count = 0) {
    return IndexHeader{.stamp = kTestStamp, .entry_count = count};
  }
  void WriteIndex(const std::vector<IndexEntry>& entries, IndexHeader header = Header()) {
    std::vector<uint8_t> bytes((entries.size() + 1) * kIndexRecordSize);
    EncodeIndexHeader(header, bytes.data());
    for (size_t i = 0; i < entries.size(); ++i) {
      EncodeIndexEntry(entries[i], &bytes[(i + 1) * kIndexRecordSize]);
    }
    WriteFile("~ZARQ.INX", bytes);
  }
  // The entries 1..EntryCount of the file.
  std::vector<IndexEntry> Entries() {
    std::vector<uint8_t> bytes = ReadFile("~ZARQ.INX");
    IndexHeader header;
    EXPECT_EQ(DecodeIndexHeader(bytes.data(), &header), ZARQ_OK);
    std::vector<IndexEntry> entries(header.entry_count);
    bytes.resize(std::max(bytes.size(), (entries.size() + 1) * kIndexRecordSize));
    for (size_t i = 0; i < entries.size(); ++i) {
      DecodeIndexEntry(&bytes[(i + 1) * kIndexRecordSize], &entries[i]);
    }
    return entries;
  }
  // The entries of records, sorted here.
  static std::vector<IndexEntry> Sorted(const std::vector<SecurityRecord>& records) {
    std::vector<IndexEntry> entries;
    for (const SecurityRecord& r : records) entries.push_back(IndexEntryFor(r));
    std::sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
      return CompareIndexEntries(a, b) < 0;
    });
    return entries;
  }
};

// Records with distinct identities of every shape the order knows: symbols
// of mixed case and high bytes, all periods, intervals, composites of the
// same symbol with different second symbols.
std::vector<SecurityRecord> VariedRecords(size_t count, std::mt19937* rng) {
  const char letters[] = {'A', 'B', 'a', 'b', '0', '_', '\xC4', '\xE9'};
  auto text = [&](char* out, int most) {
    std::memset(out, 0, kSymbolFieldSize);
    for (int i = 0, length = 1 + static_cast<int>((*rng)() % most); i < length; ++i) {
      out[i] = letters[(*rng)() % sizeof(letters)];
    }
  };
  std::vector<SecurityRecord> records;
  while (records.size() < count) {
    SecurityRecord r = PlainRecord(static_cast<uint32_t>(records.size() + 1));
    text(r.symbol, 4);
    r.period = "DWMI"[(*rng)() % 4];
    r.interval = r.period == 'I' ? static_cast<uint16_t>(1 + (*rng)() % 3) : 0;
    if ((*rng)() % 4 == 0) {
      r.composite = 1;
      r.op = "+-*/"[(*rng)() % 4];
      text(r.symbol2, 3);
    }
    if (std::none_of(records.begin(), records.end(), [&](const SecurityRecord& e) {
          return CompareIndexEntries(IndexEntryFor(e), IndexEntryFor(r)) == 0;
        })) {
      records.push_back(r);
    }
  }
  return records;
}

TEST_F(IndexTest, RandomInsertionsAndRemovalsKeepTheFileSorted) {
  WriteIndex({});
  std::mt19937 rng(20240611);
  std::vector<SecurityRecord> records = VariedRecords(300, &rng);
  std::shuffle(records.begin(), records.end(), rng);
  for (const SecurityRecord& r : records) ASSERT_EQ(AddToIndex(dir_, r), ZARQ_OK) << r.symbol;
  ASSERT_EQ(Entries(), Sorted(records));

  // The same identity under another slot is refused and changes nothing.
  std::vector<uint8_t> before = ReadFile("~ZARQ.INX");
  for (int i = 0; i < 20; ++i) {
    SecurityRecord again = records[rng() % records.size()];
    again.slot = 5999;
    std::strcpy(again.name, "another name");
    EXPECT_EQ(AddToIndex(dir_, again), ZARQ_E_SECURITY_EXISTS) << again.symbol;
  }
  EXPECT_EQ(ReadFile("~ZARQ.INX"), before);

  std::shuffle(records.begin(), records.end(), rng);
  for (size_t i = 0; i < 150; ++i) ASSERT_EQ(RemoveFromIndex(dir_, records[i]), ZARQ_OK);
  EXPECT_EQ(Entries(), Sorted(std::vector(records.begin() + 150, records.end())));
  before = ReadFile("~ZARQ.INX");
  EXPECT_EQ(RemoveFromIndex(dir_, records[0]), ZARQ_E_INDEX_ENTRY_MISSING);
  EXPECT_EQ(ReadFile("~ZARQ.INX"), before);
  EXPECT_FALSE(IndexHeaderHeld(dir_));
}

TEST_F(IndexTest, ReplacingAnIdentity) {
  WriteIndex({});
  std::vector<SecurityRecord> records = LinkedRecords(3);
  for (const SecurityRecord& r : records) ASSERT_EQ(AddToIndex(dir_, r), ZARQ_OK);
  SecurityRecord renamed = records[1];
  std::strcpy(renamed.symbol, "A-FIRST");
  ASSERT_EQ(ReplaceInIndex(dir_, records[1], renamed), ZARQ_OK);
  std::vector<IndexEntry> entries = Entries();
  EXPECT_EQ(entries, Sorted({records[0], renamed, records[2]}));
  // Onto an identity that exists: refused, nothing changed.
  SecurityRecord clash = records[0];
  std::strcpy(clash.symbol, "S3");
  EXPECT_EQ(ReplaceInIndex(dir_, records[0], clash), ZARQ_E_SECURITY_EXISTS);
  EXPECT_EQ(Entries(), entries);
  // An old entry that is missing: the new one is taken out again.
  SecurityRecord ghost = PlainRecord(9), ghost_renamed = ghost;
  std::strcpy(ghost_renamed.symbol, "NEW");
  EXPECT_EQ(ReplaceInIndex(dir_, ghost, ghost_renamed), ZARQ_E_INDEX_ENTRY_MISSING);
  EXPECT_EQ(Entries(), entries);
}

TEST_F(IndexTest, AFailedWriteAfterTheGapOpenedClosesItAgain) {
  WriteIndex(Sorted(LinkedRecords(50)), Header(50));
  std::vector<uint8_t> before = ReadFile("~ZARQ.INX");
  SecurityRecord first = PlainRecord(60);
  std::strcpy(first.symbol, "0FIRST");
  zarq_test::InstalledFaults os;
  os.write_to_fail = 2;  // the moved block is write 1; the new entry write 2
  EXPECT_EQ(AddToIndex(dir_, first), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(ReadFile("~ZARQ.INX"), before);
  EXPECT_FALSE(IndexHeaderHeld(dir_));
  EXPECT_EQ(os.lock_calls, os.unlock_calls);
}

TEST_F(IndexTest, HeaderChecksAndLimits) {
  IndexHeader bad_magic = Header(), bad_version = Header(), bad_stamp = Header();
  bad_magic.magic = kSecurityListMagic;
  bad_version.file_version = 801;
  bad_stamp.stamp = 1;
  const std::pair<IndexHeader, int32_t> cases[] = {{bad_magic, ZARQ_E_BAD_INDEX_FILE},
                                                   {bad_version, ZARQ_E_BAD_VERSION},
                                                   {bad_stamp, ZARQ_E_STAMP_MISMATCH},
                                                   {Header(6000), ZARQ_E_DIRECTORY_FULL}};
  for (const auto& [header, want] : cases) {
    WriteIndex({}, header);
    std::vector<uint8_t> before = ReadFile("~ZARQ.INX");
    zarq_test::InstalledFaults os;
    EXPECT_EQ(AddToIndex(dir_, PlainRecord(1)), want);
    EXPECT_EQ(ReadFile("~ZARQ.INX"), before) << want;
    EXPECT_EQ(os.lock_calls, os.unlock_calls) << want;
    EXPECT_FALSE(IndexHeaderHeld(dir_));
  }
  WriteIndex({});
  EXPECT_EQ(RemoveFromIndex(dir_, PlainRecord(1)), ZARQ_OK);  // from an empty index: no failure
  // A replacement may pass 6000 for the moment; no further.
  uint32_t count = 6001;
  EXPECT_EQ(IndexInsert(Open(kKindIndex), &count, PlainRecord(1), true), ZARQ_E_DIRECTORY_FULL);
  entry_->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(AddToIndex(dir_, PlainRecord(1)), ZARQ_E_NOT_REGISTERED);
  IndexHeader header;
  EXPECT_EQ(AccessIndexHeader(static_cast<uint8_t>(dir_ + 1), Open(kKindIndex), &header,
                              IndexHeaderAccess::kRead, false),
            ZARQ_E_DIRECTORY_NOT_OPEN);
}

TEST_F(IndexTest, AKeptHeaderLockIsPerDirectory) {
  WriteIndex({});
  zarq_test::TempFolder other_folder;
  uint8_t other = 0;
  ASSERT_EQ(ZARQ1_OpenDirectory(other_folder.path().c_str(), &other, 0), ZARQ_OPENED_NO_DATABASE);
  DirectoryEntry* other_entry = FindDirectory(other);
  other_entry->flags |= kDirHoldsDatabase;
  other_entry->user_file_stamp = kTestStamp;
  uint8_t bytes[kIndexRecordSize];
  EncodeIndexHeader(Header(), bytes);
  other_folder.WriteFile("~ZARQ.INX", std::string(bytes, bytes + kIndexRecordSize));
  FileHandle other_file = kNoFileHandle;
  ASSERT_EQ(FileOpen(other, other_folder.Join("~ZARQ.INX").c_str(), &other_file, 0), ZARQ_OK);

  FileHandle file = Open(kKindIndex);
  IndexHeader header;
  ASSERT_EQ(AccessIndexHeader(dir_, file, &header, IndexHeaderAccess::kRead, true), ZARQ_OK);
  EXPECT_TRUE(IndexHeaderHeld(dir_) && FileHasLocks(file));
  // Another directory's whole access neither takes nor gives up this one.
  ASSERT_EQ(AccessIndexHeader(other, other_file, &header, IndexHeaderAccess::kRead, false),
            ZARQ_OK);
  EXPECT_FALSE(FileHasLocks(other_file));
  EXPECT_TRUE(IndexHeaderHeld(dir_) && FileHasLocks(file));
  // Nested in the held lock, a read does not lock twice; the write ends it.
  ASSERT_EQ(AccessIndexHeader(dir_, file, &header, IndexHeaderAccess::kRead, true), ZARQ_OK);
  ASSERT_EQ(AccessIndexHeader(dir_, file, &header, IndexHeaderAccess::kWrite, false), ZARQ_OK);
  EXPECT_FALSE(IndexHeaderHeld(dir_) || FileHasLocks(file));
  other_entry->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(ZARQ1_CloseDirectory(other), ZARQ_OK);
}

// Records as callers see them (ZarqSecurityInfo) both ways, and the format
// level: raised by additions, reported by ordinal 211.
class SecurityInfoTest : public SecurityStoreTest {
 protected:
  // Slot 2 of three holds the intraday composite of the samples.
  void SetUp() override {
    SecurityStoreTest::SetUp();
    std::vector<SecurityRecord> records = LinkedRecords(3);
    SecurityRecord& composite = records[1] = zarq_test::IntradayComposite();
    std::tie(composite.slot, composite.prev_slot, composite.next_slot) = std::make_tuple(2, 1, 3);
    WriteList(ListHeader(3), records);
  }
};

TEST_F(SecurityInfoTest, RecordToInfo) {
  ZarqSecurityInfo info;
  std::memset(&info, 0xAB, sizeof(info));
  uint32_t prev = 99, next = 99;
  ASSERT_EQ(RecordToInfo(Handle(2), &prev, &next, &info), ZARQ_OK);
  EXPECT_EQ(std::tie(info.Size, info.Handle, prev, next),
            std::make_tuple(148, Handle(2, true), 1, 3));  // the handle shows a composite
  EXPECT_STREQ(info.Symbol2, "MSFT");
  EXPECT_EQ(info.Reserved1[0] | info.Reserved1[1] | info.Reserved1[2] | info.Reserved2, 0);
  {
    // A locked security shows its working copy, with the file's links.
    LockedCopies locked;
    SecurityRecord& copy = locked.copies[Handle(2, true)] = Stored(2);
    std::strcpy(copy.name, "not yet written");
    copy.prev_slot = 42;
    ASSERT_EQ(RecordToInfo(Handle(2), &prev, &next, &info), ZARQ_OK);
    EXPECT_STREQ(info.Name, "not yet written");
    EXPECT_EQ(prev, 1u);
    locked.failure = ZARQ_E_REGISTRATION_LOST;
    EXPECT_EQ(RecordToInfo(Handle(2), &prev, &next, &info), ZARQ_E_REGISTRATION_LOST);
  }
  SecurityRecord deleted = Stored(3);
  deleted.deleted = 1;
  ASSERT_EQ(AccessSecurityRecord(Handle(3), &deleted, kWriteData), ZARQ_OK);
  EXPECT_EQ(RecordToInfo(Handle(3), nullptr, nullptr, &info), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_STREQ(info.Symbol, "S3");  // filled all the same
  EXPECT_EQ(RecordToInfo(0, nullptr, nullptr, &info), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(info.Symbol[0], '\0');
  EXPECT_EQ(RecordToInfo(Handle(7), nullptr, nullptr, &info), ZARQ_E_NO_SUCH_SECURITY);
  entry_->flags |= kDirRegistrationLost;
  EXPECT_EQ(RecordToInfo(Handle(1), nullptr, nullptr, &info), ZARQ_E_REGISTRATION_LOST);
  entry_->flags &= ~(kDirRegistrationLost | kDirHoldsDatabase);
  EXPECT_EQ(RecordToInfo(Handle(1), nullptr, nullptr, &info), ZARQ_E_NOT_REGISTERED);
}

TEST_F(SecurityInfoTest, InfoToRecordCleansAndTakesFromLockedComponents) {
  ZarqSecurityInfo info{};
  std::strcpy(info.Symbol, "ab\tc  ");
  std::strcpy(info.Name, "A\x01 name  ");
  info.Period = 'd';
  info.Interval = 15;
  info.FirstTime = info.LastTime = info.StartTime = info.EndTime = 930000;
  info.Flagged = 7;
  info.FieldMask = 0x7F;
  info.BaseDate = info.FirstDate = 20200102;
  info.LastDate = 20200630;
  info.Symbol2[0] = 'X';  // no part of a plain security
  info.Operator = '+';
  SecurityRecord r;
  ASSERT_EQ(InfoToRecord(9, 0, 0, info, 33, &r), ZARQ_OK);
  EXPECT_EQ(std::tie(r.in_use, r.slot, r.period, r.interval, r.file_number, r.flagged, r.op),
            std::make_tuple(1, 9, 'D', 0, 33, 1, 0));
  EXPECT_EQ(r.first_time | r.last_time | r.start_time | r.end_time | r.symbol2[0], 0);
  EXPECT_EQ(std::string(r.symbol) + "|" + r.name, "abc|A name");
  info.Period = 'i';
  info.FieldMask = 0xBF;
  ASSERT_EQ(InfoToRecord(9, 0, 0, info, 33, &r), ZARQ_OK);
  EXPECT_EQ(std::tie(r.period, r.interval, r.end_time), std::make_tuple('I', 15, 930000));
  info.Period = 'Q';
  EXPECT_EQ(InfoToRecord(9, 0, 0, info, 33, &r), ZARQ_E_BAD_PERIOD);

  info.Period = 'D';
  info.FieldMask = 0x7F;
  info.Composite = 1;
  std::strcpy(info.Symbol2, " q\x02r");
  info.Operator = '*';
  LockedCopies locked;
  SecurityRecord& primary = locked.copies[Handle(1)] = PlainRecord(1);
  std::tie(primary.file_number, primary.first_date, primary.last_date) =
      std::make_tuple(11, 20190301, 20190930);
  EXPECT_EQ(InfoToRecord(9, Handle(1), Handle(3), info, 40, &r), ZARQ_E_NOT_LOCKED);
  SecurityRecord& secondary = locked.copies[Handle(3)] = PlainRecord(3);
  std::tie(secondary.file_number, secondary.field_mask) = std::make_tuple(13, 0x3F);
  ASSERT_EQ(InfoToRecord(9, Handle(1), Handle(3), info, 40, &r), ZARQ_OK);
  EXPECT_STREQ(r.symbol2, " qr");
  EXPECT_EQ(std::tie(r.composite, r.op, r.primary_slot, r.secondary_slot, r.primary_file_number,
                     r.secondary_file_number),
            std::make_tuple(1, '*', 1, 3, 11, 13));
  // The dates of the primary, the fields both components have.
  EXPECT_EQ(std::tie(r.first_date, r.last_date, r.field_mask),
            std::make_tuple(20190301, 20190930, 0x3F));
}

TEST_F(SecurityInfoTest, FormatLevelRisesOnlyAndIsReported) {
  SecurityListHeader header = ListHeader(3);
  header.live_count = 300;
  WriteList(header, LinkedRecords(3));
  zarq_test::InstalledFaults os;
  ASSERT_EQ(RaiseFormatLevel(dir_, zarq_test::DailyRecord()), ZARQ_OK);  // the 1990s
  EXPECT_EQ(StoredHeader().format_level, 600);
  ASSERT_EQ(RaiseFormatLevel(dir_, zarq_test::IntradayComposite()), ZARQ_OK);
  EXPECT_EQ(StoredHeader().format_level, 651);
  size_t writes = os.write_sizes.size();
  ASSERT_EQ(RaiseFormatLevel(dir_, zarq_test::DailyRecord()), ZARQ_OK);
  EXPECT_EQ(StoredHeader().format_level, 651);
  EXPECT_EQ(os.write_sizes.size(), writes);  // nothing to write
  EXPECT_EQ(os.lock_calls, os.unlock_calls);
  uint16_t levels[4] = {1, 1, 1, 1};
  EXPECT_EQ(ZARQP_GetFormatLevels(dir_, levels), ZARQ_OK);
  EXPECT_EQ(std::vector(levels, levels + 4), (std::vector<uint16_t>{8, 0, 651, 800}));
  EXPECT_EQ(ZARQP_GetFormatLevels(static_cast<uint8_t>(dir_ + 1), levels),
            ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(std::vector(levels, levels + 4), std::vector<uint16_t>(4, 0));
  EXPECT_EQ(ZARQP_GetFormatLevels(dir_, nullptr), ZARQ_E_INVALID_ARGUMENT);
  entry_->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(RaiseFormatLevel(dir_, PlainRecord(1)), ZARQ_E_NOT_REGISTERED);
}

class StoreProcessesTest : public SecurityStoreTest {
 protected:
  void SetUp() override {
    SecurityStoreTest::SetUp();
    ASSERT_TRUE(peer_.Start());
    ASSERT_EQ(peer_.Call("init Peer Other"), ZARQ_OK);
    ASSERT_EQ(peer_.Call("open " + folder_.path() + " 0", &peer_dir_), ZARQ_OPENED_NO_DATABASE);
    ASSERT_EQ(peer_.Call("store " + peer_dir_ + " " + std::to_string(kTestStamp)), ZARQ_OK);
  }
  void TearDown() override {
    EXPECT_EQ(peer_.Call("store " + peer_dir_ + " 0"), ZARQ_OK);
    EXPECT_EQ(peer_.Exit(), 0);
    SecurityStoreTest::TearDown();
  }
  zarq_test::Peer peer_;
  std::string peer_dir_;
};

// Record locks let the two rewrite different records at the same time.
TEST_F(StoreProcessesTest, DifferentRecordsRewrittenAtOnce) {
  constexpr uint32_t kRounds = 20;
  WriteLinkedList(20);
  const SecurityListHeader header = StoredHeader();
  ASSERT_TRUE(peer_.Send("rewrite " + peer_dir_ + " 11 20 " + std::to_string(kRounds) + " peer"));
  for (uint32_t round = 1; round <= kRounds; ++round) {
    for (uint32_t slot = 1; slot <= 10; ++slot) {
      SecurityRecord record;
      ASSERT_EQ(AccessSecurityRecord(Handle(slot), &record, kRead), ZARQ_OK);
      record.extra_value = round;
      std::snprintf(record.name, sizeof(record.name), "test %u", slot);
      ASSERT_EQ(AccessSecurityRecord(Handle(slot), &record, kWriteData), ZARQ_OK);
    }
  }
  ASSERT_EQ(peer_.Answer(nullptr, 120000), ZARQ_OK);
  std::vector<SecurityRecord> expected = LinkedRecords(20);
  for (SecurityRecord& r : expected) {
    r.extra_value = kRounds;
    std::memset(r.name, 0, sizeof(r.name));
    std::snprintf(r.name, sizeof(r.name), "%s %u", r.slot <= 10 ? "test" : "peer", r.slot);
    EXPECT_EQ(Stored(r.slot), r) << "slot " << r.slot;
  }
  EXPECT_EQ(StoredHeader(), header);
}

// The header lock serialises header changes so that none is lost.
TEST_F(StoreProcessesTest, TheHeaderLockLosesNoUpdate) {
  constexpr int kTimes = 50;
  constexpr uint32_t kHoldMs = 2;
  WriteLinkedList(3);
  const uint32_t start = StoredHeader().next_file_number;
  ASSERT_TRUE(peer_.Send("bumpheader " + peer_dir_ + " " + std::to_string(kTimes) + " " +
                         std::to_string(kHoldMs)));
  for (int i = 0; i < kTimes; ++i) {
    SecurityHeaderLock lock;
    ASSERT_EQ(lock.Acquire(dir_), ZARQ_OK);
    SecurityListHeader header;
    ASSERT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kRead), ZARQ_OK);
    Os().Sleep(kHoldMs);
    ++header.next_file_number;
    ASSERT_EQ(AccessSecurityHeader(dir_, &header, ListHeaderAccess::kWrite), ZARQ_OK);
    ASSERT_EQ(lock.Release(), ZARQ_OK);
  }
  ASSERT_EQ(peer_.Answer(nullptr, 120000), ZARQ_OK);
  EXPECT_EQ(StoredHeader().next_file_number, start + 2 * kTimes);
}

}  // namespace
}  // namespace zarq
