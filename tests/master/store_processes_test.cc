// Two real processes on one security list file: record locks let them
// rewrite different records at the same time, and the header lock
// serialises their header changes so that none is lost.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/master/security_store.h"
#include "src/platform/platform.h"
#include "tests/master/store_fixture.h"
#include "tests/support/peer.h"

namespace zarq {
namespace {

class StoreProcessesTest : public zarq_test::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    ASSERT_TRUE(peer_.Start());
    ASSERT_EQ(peer_.Call("init Peer Other"), ZARQ_OK);
    ASSERT_EQ(peer_.Call("open " + folder_.path() + " 0", &peer_dir_), ZARQ_OPENED_NO_DATABASE);
    ASSERT_EQ(peer_.Call("storeattach " + peer_dir_ + " " + std::to_string(zarq_test::kTestStamp)),
              ZARQ_OK);
  }
  void TearDown() override {
    EXPECT_EQ(peer_.Call("storedetach " + peer_dir_), ZARQ_OK);
    EXPECT_EQ(peer_.Exit(), 0);
    StoreTest::TearDown();
  }

  zarq_test::Peer peer_;
  std::string peer_dir_;
};

TEST_F(StoreProcessesTest, DifferentRecordsRewrittenAtOnce) {
  constexpr uint32_t kRounds = 20;
  WriteLinkedList(20);
  const SecurityListHeader header = StoredHeader();
  ASSERT_TRUE(peer_.Send("rewrite " + peer_dir_ + " 11 20 " + std::to_string(kRounds) + " peer"));
  for (uint32_t round = 1; round <= kRounds; ++round) {
    for (uint32_t slot = 1; slot <= 10; ++slot) {
      SecurityRecord record;
      ASSERT_EQ(AccessSecurityRecord(Handle(slot), &record, SecurityAccess::kRead), ZARQ_OK);
      record.extra_value = round;
      std::snprintf(record.name, sizeof(record.name), "test %u", slot);
      ASSERT_EQ(AccessSecurityRecord(Handle(slot), &record, SecurityAccess::kWriteData), ZARQ_OK);
    }
  }
  ASSERT_EQ(peer_.Answer(nullptr, 120000), ZARQ_OK);

  std::vector<SecurityRecord> original = zarq_test::LinkedRecords(20);
  for (uint32_t slot = 1; slot <= 20; ++slot) {
    SecurityRecord expected = original[slot - 1];
    expected.extra_value = kRounds;
    std::memset(expected.name, 0, sizeof(expected.name));
    std::snprintf(expected.name, sizeof(expected.name), "%s %u", slot <= 10 ? "test" : "peer",
                  slot);
    EXPECT_EQ(Stored(slot), expected) << "slot " << slot;
  }
  EXPECT_EQ(StoredHeader(), header);
}

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
