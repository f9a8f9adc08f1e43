// Walking the list: statuses over lists with deleted records at the head,
// in the middle and at the tail; the security last returned (where next
// and previous continue) across failures and across a close; handles in
// list order; and damaged chains that loop, which every walker must end
// without keeping a lock or moving the current security.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/security/security_enumeration.h"
#include "tests/security/security_fixture.h"

namespace zarq {
namespace {

class EnumerationTest : public SecurityTest {
 protected:
  std::vector<SecurityRecord> Records() override { return zarq_test::NumberedSecurities(8); }

  // Marks exactly these records deleted.
  void Delete(const std::vector<uint32_t>& slots) {
    EditList([&](SecurityList& list) {
      for (SecurityRecord& record : list.records) record.deleted = 0;
      for (uint32_t slot : slots) list.at(slot).deleted = 1;
    });
  }
  // "symbol:status" of a call's security; the status alone when it failed.
  static std::string Step(int32_t status, const ZarqSecurityInfo& info) {
    return status < 0 ? std::to_string(status)
                      : std::string(info.Symbol) + ":" + std::to_string(status);
  }
  // First (or last) and then next (previous) from the current security
  // until a call fails.
  std::string Walk(bool forward) {
    ZarqSecurityInfo info;
    int32_t status =
        forward ? ZARQ1_GetFirstSecurityInfo(dir_, &info) : ZARQ1_GetLastSecurityInfo(dir_, &info);
    std::string steps = Step(status, info);
    for (int i = 0; i < 10 && status >= 0; ++i) {
      status = forward ? ZARQ1_GetNextSecurityInfo(0, &info) : ZARQ1_GetPrevSecurityInfo(0, &info);
      steps += " " + Step(status, info);
    }
    return steps;
  }
  std::string Next(uint32_t handle) {
    ZarqSecurityInfo info;
    int32_t status = ZARQ1_GetNextSecurityInfo(handle, &info);
    return Step(status, info);
  }
  std::string Prev(uint32_t handle) {
    ZarqSecurityInfo info;
    int32_t status = ZARQ1_GetPrevSecurityInfo(handle, &info);
    return Step(status, info);
  }
  // Damage: deleted records 2 and 3 point at each other both ways, and
  // the chain reaches them forwards from 1 and backwards from 4 and 8.
  void LoopChain() {
    EditList([](SecurityList& list) {
      list.at(2).deleted = list.at(3).deleted = 1;
      list.at(2).next_slot = list.at(2).prev_slot = 3;
      list.at(3).next_slot = list.at(3).prev_slot = 2;
      list.at(8).prev_slot = 3;
    });
  }
  // The walks that run into the loop, either while looking for a live
  // security or while looking past the one found.
  std::vector<std::pair<const char*, std::function<int32_t()>>> Walkers() {
    return {
        {"first", [this] { return ZARQ1_GetFirstSecurityInfo(dir_, &info_); }},
        {"next", [this] { return ZARQ1_GetNextSecurityInfo(Handle(1), &info_); }},
        {"last", [this] { return ZARQ1_GetLastSecurityInfo(dir_, &info_); }},
        {"previous", [this] { return ZARQ1_GetPrevSecurityInfo(Handle(5), &info_); }},
        {"handles", [this] { return ZARQ2_GetSecurityHandles(dir_, 0, 100, handles_, &count_); }},
    };
  }

  ZarqSecurityInfo info_;
  uint32_t handles_[100];
  uint32_t count_ = 0;
};

TEST_F(EnumerationTest, StatusesOverDeletedRuns) {
  const struct {
    std::vector<uint32_t> deleted;
    const char* forward;
    const char* backward;
  } cases[] = {
      {{},
       "S1:0 S2:0 S3:0 S4:0 S5:0 S6:0 S7:0 S8:6 -191",
       "S8:0 S7:0 S6:0 S5:0 S4:0 S3:0 S2:0 S1:5 -191"},
      {{1, 2, 4, 5, 8}, "S3:0 S6:0 S7:6 -191", "S7:0 S6:0 S3:5 -191"},
      {{1, 2, 3, 4, 6, 7, 8}, "S5:6 -191", "S5:5 -191"},
      {{1, 2, 3, 4, 5, 6, 7, 8}, "-191", "-191"},
  };
  for (const auto& c : cases) {
    Delete(c.deleted);
    EXPECT_EQ(Walk(true), c.forward);
    EXPECT_EQ(Walk(false), c.backward);
  }
}

TEST_F(EnumerationTest, NextAndPreviousFromDeletedAndFailedPlaces) {
  Delete({1, 2, 4, 5, 8});
  EXPECT_EQ(Next(Handle(1)), "S3:5");  // nothing live before S3
  EXPECT_EQ(Prev(Handle(8)), "S7:6");  // nothing live after S7
  EXPECT_EQ(Next(Handle(4)), "S6:0");
  EXPECT_EQ(Next(0), "S7:6");
  EXPECT_EQ(Next(0), "-191");
  EXPECT_EQ(Prev(0), "S6:0");  // a failed call left the current security at S7
  ZarqSecurityInfo info;
  EXPECT_EQ(ZARQ1_GetSecurityInfo(Handle(4), &info), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_STREQ(info.Symbol, "S4");  // described all the same
  EXPECT_EQ(ZARQ1_GetSecurityInfo(Handle(9), &info), ZARQ_E_NO_SUCH_SECURITY);
}

// A closed directory's security is nobody's current one, even when the
// directory's number is handed out again.
TEST_F(EnumerationTest, TheCurrentSecurityEndsWithItsDirectory) {
  auto reopen_with_number_one = [&] {
    ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
    // Numbers are handed out again once the counter has passed 125.
    for (int i = 0; i < 130; ++i) {
      DirectoryEntry* entry = nullptr;
      ASSERT_EQ(AddDirectory(&entry), ZARQ_OK);
      uint8_t number = entry->number;
      RemoveDirectory(entry);
      if (number == kMaxOpenDirectories) break;
    }
    ASSERT_EQ(Open(), ZARQ_OK);
    ASSERT_EQ(dir_, 1);
  };
  reopen_with_number_one();
  ZarqSecurityInfo info;
  ASSERT_EQ(ZARQ1_GetFirstSecurityInfo(dir_, &info), ZARQ_OK);
  ASSERT_EQ(CurrentSecurity(), Handle(1));
  reopen_with_number_one();
  EXPECT_EQ(CurrentSecurity(), 0u);
  EXPECT_EQ(Next(0), "-191");
  EXPECT_EQ(Prev(0), "-191");
}

TEST_F(EnumerationTest, HandlesInListOrder) {
  Delete({2});
  uint32_t handles[10] = {};
  uint32_t count = 99;
  const struct {
    uint32_t start, max;
    int32_t status;
    std::vector<uint32_t> slots;
  } cases[] = {
      {0, 10, ZARQ_OK, {1, 3, 4, 5, 6, 7, 8}},
      {0, 0, ZARQ_OK, {}},
      {Handle(2), 3, ZARQ_OK, {3, 4, 5}},  // a deleted start: skipped, the walk goes on
      {Handle(7), 10, ZARQ_OK, {7, 8}},
      {MakeSecurityHandle(dir_ + 1, 1, false), 10, ZARQ_E_INVALID_HANDLE, {}},
      {Handle(3) | 0x00200000, 10, ZARQ_E_INVALID_HANDLE, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZARQ2_GetSecurityHandles(dir_, c.start, c.max, handles, &count), c.status);
    std::vector<uint32_t> want;
    for (uint32_t slot : c.slots) want.push_back(Handle(slot));
    EXPECT_EQ(std::vector<uint32_t>(handles, handles + count), want) << c.start;
  }
  // A chain of live records only that leads back to its start.
  EditList([](SecurityList& list) { list.at(8).next_slot = 1; });
  EXPECT_EQ(ZARQ2_GetSecurityHandles(dir_, 0, 10, handles, &count), ZARQ_E_BAD_LIST_FILE);
  EXPECT_EQ(RangesHeld(), 0);
}

TEST_F(EnumerationTest, EveryWalkerEndsALoopingChainAndKeepsNoLock) {
  LoopChain();
  for (const auto& [what, walk] : Walkers()) {
    EXPECT_EQ(walk(), ZARQ_E_BAD_LIST_FILE) << what;
    EXPECT_EQ(RangesHeld(), 0) << what;
  }
}

TEST_F(EnumerationTest, AFailedWalkLeavesTheCurrentSecurity) {
  LoopChain();
  for (const auto& [what, walk] : Walkers()) {
    ASSERT_EQ(Next(Handle(4)), "S5:0");
    ASSERT_LT(walk(), 0) << what;
    EXPECT_EQ(CurrentSecurity(), Handle(5)) << what;
  }
}

}  // namespace
}  // namespace zarq
