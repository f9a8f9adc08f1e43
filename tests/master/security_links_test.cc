// List order and composite-user chains: where a new security enters the
// list, unlinking a reused slot, the chains of composites, and that a
// failure part way leaves every link as it was.

#include "src/master/security_links.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "include/zarq.h"
#include "src/master/security_allocation.h"
#include "src/master/security_store.h"
#include "tests/master/store_fixture.h"

namespace zarq {
namespace {

using zarq_test::FailingWrites;
using zarq_test::LinkedRecords;
using zarq_test::ListHeader;
using zarq_test::PlainRecord;

class LinkTest : public zarq_test::StoreTest {
 protected:
  // Allocates a slot in a list of five and links a new plain security
  // there; the record is then written as an addition would write it.
  int32_t AddPlain(uint32_t anchor, SecurityListHeader* header, SecurityRecord* fresh) {
    *header = StoredHeader();
    uint32_t file_number = 0, slot = 0;
    bool reused = false;
    int32_t status = AllocateSecurity(dir_, header, &file_number, &slot, &reused);
    if (status != ZARQ_OK) return status;
    *fresh = PlainRecord(slot);
    status = LinkSecurityRecord(dir_, header, fresh, anchor);
    if (status != ZARQ_OK) return status;
    return AccessSecurityRecord(Handle(slot), fresh, SecurityAccess::kWriteNew);
  }
};

TEST_F(LinkTest, NewSecurityGoesBeforeALiveAnchorOrAtTheEnd) {
  struct Case {
    const char* what;
    uint32_t anchor;
    uint32_t deleted;  // slot marked deleted first, 0 for none
    std::vector<uint32_t> order;
  };
  const Case cases[] = {
      {"middle", Handle(3), 0, {1, 2, 6, 3, 4, 5}},
      {"head", Handle(1), 0, {6, 1, 2, 3, 4, 5}},
      {"tail", Handle(5), 0, {1, 2, 3, 4, 6, 5}},
      {"composite flag", Handle(3, true), 0, {1, 2, 6, 3, 4, 5}},
      {"none", 0, 0, {1, 2, 3, 4, 5, 6}},
      {"deleted anchor", Handle(3), 3, {1, 2, 3, 4, 5, 6}},
      {"other directory",
       MakeSecurityHandle(static_cast<uint8_t>(dir_ + 1), 3, false),
       0,
       {1, 2, 3, 4, 5, 6}},
      {"beyond the list", Handle(40), 0, {1, 2, 3, 4, 5, 6}},
      {"its own slot", Handle(6), 0, {1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    std::vector<SecurityRecord> records = LinkedRecords(5);
    if (c.deleted != 0) records[c.deleted - 1].deleted = 1;
    WriteList(ListHeader(5), records);
    SecurityListHeader header;
    SecurityRecord fresh;
    ASSERT_EQ(AddPlain(c.anchor, &header, &fresh), ZARQ_OK) << c.what;
    EXPECT_EQ(ListOrder(header), c.order) << c.what;
  }
}

TEST_F(LinkTest, LockedNeighboursFollow) {
  WriteLinkedList(5);
  zarq_test::LockedCopies locked;
  locked.copies[Handle(2)] = Stored(2);
  locked.copies[Handle(3)] = Stored(3);
  std::strcpy(locked.copies[Handle(3)].name, "unsaved change");
  SecurityListHeader header;
  SecurityRecord fresh;
  ASSERT_EQ(AddPlain(Handle(3), &header, &fresh), ZARQ_OK);
  EXPECT_EQ(locked.copies[Handle(2)].next_slot, 6u);
  EXPECT_EQ(locked.copies[Handle(3)].prev_slot, 6u);
  EXPECT_STREQ(locked.copies[Handle(3)].name, "unsaved change");
}

TEST_F(LinkTest, AFailedWriteLeavesEveryLinkAsItWas) {
  // Before slot 3: slot 2 is written first, then slot 3. A composite at
  // the end: slot 5, then the two component chains.
  struct Case {
    const char* what;
    uint32_t anchor;
    bool composite;
    int write_to_fail;
  };
  const Case cases[] = {
      {"first neighbour", Handle(3), false, 1},
      {"second neighbour", Handle(3), false, 2},
      {"primary chain", 0, true, 2},
      {"secondary chain", 0, true, 3},
  };
  for (const Case& c : cases) {
    WriteLinkedList(5);
    std::vector<uint8_t> before = ReadFile(kKindSecurityList);
    SecurityListHeader header = StoredHeader();
    uint32_t file_number = 0, slot = 0;
    bool reused = false;
    ASSERT_EQ(AllocateSecurity(dir_, &header, &file_number, &slot, &reused), ZARQ_OK);
    const SecurityListHeader allocated = header;
    SecurityRecord fresh = PlainRecord(slot);
    if (c.composite) {
      fresh.composite = 1;
      fresh.op = '+';
      fresh.primary_slot = 1;
      fresh.secondary_slot = 2;
    }
    const SecurityRecord unlinked = fresh;

    FailingWrites os;
    os.write_to_fail = c.write_to_fail;
    zarq_test::ScopedPlatform installed(&os);
    EXPECT_EQ(LinkSecurityRecord(dir_, &header, &fresh, c.anchor), ZARQ_E_ACCESS_DENIED) << c.what;
    EXPECT_EQ(ReadFile(kKindSecurityList), before) << c.what;
    EXPECT_EQ(header, allocated) << c.what;
    EXPECT_EQ(fresh, unlinked) << c.what;
    EXPECT_EQ(os.lock_calls, os.unlock_calls) << c.what;
  }
}

TEST_F(LinkTest, UnlinkingADeletedRecord) {
  struct Case {
    uint32_t slot;
    uint32_t count;
    std::vector<uint32_t> order;
  };
  const Case cases[] = {
      {3, 5, {1, 2, 4, 5}},
      {1, 5, {2, 3, 4, 5}},
      {5, 5, {1, 2, 3, 4}},
      {1, 1, {}},
  };
  for (const Case& c : cases) {
    std::vector<SecurityRecord> records = LinkedRecords(c.count);
    records[c.slot - 1].deleted = 1;
    WriteList(ListHeader(c.count), records);
    SecurityListHeader header = StoredHeader();
    ASSERT_EQ(UnlinkDeletedRecord(Handle(c.slot), &header), ZARQ_OK);
    EXPECT_EQ(ListOrder(header), c.order) << "slot " << c.slot;
  }

  // A live record stays where it is.
  WriteLinkedList(5);
  std::vector<uint8_t> before = ReadFile(kKindSecurityList);
  SecurityListHeader header = StoredHeader();
  ASSERT_EQ(UnlinkDeletedRecord(Handle(3), &header), ZARQ_OK);
  EXPECT_EQ(header, StoredHeader());
  EXPECT_EQ(ReadFile(kKindSecurityList), before);
}

TEST_F(LinkTest, UnlinkRollsBackWhenTheSecondNeighbourFails) {
  std::vector<SecurityRecord> records = LinkedRecords(5);
  records[2].deleted = 1;
  WriteList(ListHeader(5), records);
  std::vector<uint8_t> before = ReadFile(kKindSecurityList);
  SecurityListHeader header = StoredHeader();
  FailingWrites os;
  os.write_to_fail = 2;
  zarq_test::ScopedPlatform installed(&os);
  EXPECT_EQ(UnlinkDeletedRecord(Handle(3), &header), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(ReadFile(kKindSecurityList), before);
  EXPECT_EQ(header, StoredHeader());
}

class CompositeChainTest : public zarq_test::StoreTest {
 protected:
  // Slots 1 and 2 are plain; 3 (1+2), 4 (1*2) and 5 (2-1) are composites,
  // none of them in a chain yet.
  void SetUp() override {
    StoreTest::SetUp();
    std::vector<SecurityRecord> records = LinkedRecords(5);
    auto make = [&](uint32_t slot, char op, uint32_t primary, uint32_t secondary) {
      SecurityRecord& r = records[slot - 1];
      r.composite = 1;
      r.op = op;
      r.primary_slot = primary;
      r.secondary_slot = secondary;
    };
    make(3, '+', 1, 2);
    make(4, '*', 1, 2);
    make(5, '-', 2, 1);
    WriteList(ListHeader(5), records);
  }
  // The composites on slot's chain through field.
  std::vector<uint32_t> Chain(uint32_t slot, uint32_t SecurityRecord::*field) {
    std::vector<uint32_t> chain;
    for (uint32_t next = Stored(slot).*field; next != 0 && chain.size() < 10;
         next = Stored(next).*field) {
      chain.push_back(next);
    }
    return chain;
  }
  std::vector<uint32_t> Primary(uint32_t slot) {
    return Chain(slot, &SecurityRecord::next_primary_user);
  }
  std::vector<uint32_t> Secondary(uint32_t slot) {
    return Chain(slot, &SecurityRecord::next_secondary_user);
  }
};

TEST_F(CompositeChainTest, AppendAndSplice) {
  const SecurityRecord third_before = Stored(3);
  for (uint32_t slot : {3u, 4u, 5u}) ASSERT_EQ(AddCompositeUser(dir_, Stored(slot)), ZARQ_OK);
  EXPECT_EQ(Primary(1), (std::vector<uint32_t>{3, 4}));
  EXPECT_EQ(Secondary(2), (std::vector<uint32_t>{3, 4}));
  EXPECT_EQ(Primary(2), (std::vector<uint32_t>{5}));
  EXPECT_EQ(Secondary(1), (std::vector<uint32_t>{5}));

  // Appending one already there would make the chain loop.
  ASSERT_EQ(AddCompositeUser(dir_, Stored(3)), ZARQ_OK);
  EXPECT_EQ(Primary(1), (std::vector<uint32_t>{3, 4}));

  // A caller's copy of 3 from before 4 joined still splices 3 out
  // without losing 4: the composite's own links come from the file.
  ASSERT_EQ(third_before.next_primary_user, 0u);
  ASSERT_EQ(RemoveCompositeUser(dir_, third_before), ZARQ_OK);
  EXPECT_EQ(Primary(1), (std::vector<uint32_t>{4}));
  EXPECT_EQ(Secondary(2), (std::vector<uint32_t>{4}));

  // Not in the chain, or not a composite: nothing happens.
  std::vector<uint8_t> before = ReadFile(kKindSecurityList);
  ASSERT_EQ(RemoveCompositeUser(dir_, Stored(3)), ZARQ_OK);
  ASSERT_EQ(RemoveCompositeUser(dir_, Stored(1)), ZARQ_OK);
  EXPECT_EQ(ReadFile(kKindSecurityList), before);
}

TEST_F(CompositeChainTest, LockedComponentsFollow) {
  zarq_test::LockedCopies locked;
  locked.copies[Handle(1)] = Stored(1);
  locked.copies[Handle(4, true)] = Stored(4);
  ASSERT_EQ(AddCompositeUser(dir_, Stored(3)), ZARQ_OK);
  ASSERT_EQ(AddCompositeUser(dir_, Stored(4)), ZARQ_OK);
  EXPECT_EQ(locked.copies[Handle(1)].next_primary_user, 3u);
  ASSERT_EQ(RemoveCompositeUser(dir_, Stored(3)), ZARQ_OK);
  EXPECT_EQ(locked.copies[Handle(1)].next_primary_user, 4u);
}

TEST_F(CompositeChainTest, AFailureLeavesBothChainsAsTheyWere) {
  ASSERT_EQ(AddCompositeUser(dir_, Stored(3)), ZARQ_OK);
  std::vector<uint8_t> before = ReadFile(kKindSecurityList);
  {
    FailingWrites os;
    os.write_to_fail = 2;  // the secondary chain
    zarq_test::ScopedPlatform installed(&os);
    EXPECT_EQ(AddCompositeUser(dir_, Stored(4)), ZARQ_E_ACCESS_DENIED);
  }
  EXPECT_EQ(ReadFile(kKindSecurityList), before);
  {
    FailingWrites os;
    os.write_to_fail = 2;
    zarq_test::ScopedPlatform installed(&os);
    EXPECT_EQ(RemoveCompositeUser(dir_, Stored(3)), ZARQ_E_ACCESS_DENIED);
  }
  EXPECT_EQ(ReadFile(kKindSecurityList), before);
}

TEST_F(CompositeChainTest, ALoopingChainIsReportedNotFollowedForEver) {
  // 1 -> 3 -> 4 -> 3 -> ...
  SecurityRecord record = Stored(1);
  record.next_primary_user = 3;
  ASSERT_EQ(AccessSecurityRecord(Handle(1), &record, SecurityAccess::kWriteLinks), ZARQ_OK);
  record = Stored(3);
  record.next_primary_user = 4;
  ASSERT_EQ(AccessSecurityRecord(Handle(3), &record, SecurityAccess::kWriteLinks), ZARQ_OK);
  record = Stored(4);
  record.next_primary_user = 3;
  ASSERT_EQ(AccessSecurityRecord(Handle(4), &record, SecurityAccess::kWriteLinks), ZARQ_OK);
  // Composite 5 is built on 1 as its primary too, outside the loop.
  SecurityRecord other = Stored(5);
  other.primary_slot = 1;
  ASSERT_EQ(AccessSecurityRecord(Handle(5), &other, SecurityAccess::kWriteLinks), ZARQ_OK);
  std::vector<uint8_t> before = ReadFile(kKindSecurityList);

  EXPECT_EQ(AddCompositeUser(dir_, other), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(RemoveCompositeUser(dir_, other), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(ReadFile(kKindSecurityList), before);

  // A chain leading out of the list is a missing security too.
  record = Stored(4);
  record.next_primary_user = 7000;
  ASSERT_EQ(AccessSecurityRecord(Handle(4), &record, SecurityAccess::kWriteLinks), ZARQ_OK);
  EXPECT_EQ(AddCompositeUser(dir_, other), ZARQ_E_NO_SUCH_SECURITY);
}

}  // namespace
}  // namespace zarq
