// Sorting a stretch of the list by name: the order computed here, a peer
// adding a security meanwhile, and a peer killed part way through its
// relinking, after which both walks still end and no security is lost when
// the master files are written back.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/frame/ascii_text.h"
#include "tests/security/list_checks.h"
#include "tests/security/security_fixture.h"
#include "tests/support/peer.h"

namespace zarq {
namespace {

class SortSecuritiesTest : public SecurityTest {
 protected:
  // Names in mixed letter case, out of name order in slot order.
  std::vector<SecurityRecord> Records() override {
    std::vector<SecurityRecord> records = SecurityTest::Records();
    for (SecurityRecord& record : records) {
      std::string name = (record.slot % 2 ? "name of " : "NAME OF ") + std::string(record.symbol);
      CopyBounded(record.name, sizeof(record.name), name.c_str());
    }
    return records;
  }
  static std::string Lower(std::string text) {
    for (char& c : text) c = AsciiLower(c);
    return text;
  }
  // The number of steps of the walk from start along next (or prev), or
  // -1 when it does not end within SlotCount steps.
  int Walk(bool forward) {
    std::string bytes = folder_.ReadFile("~ZARQ.SEC");
    SecurityListHeader header;
    EXPECT_EQ(DecodeSecurityListHeader(Raw(bytes), &header), ZARQ_OK);
    int steps = 0;
    for (uint32_t slot = forward ? header.first_slot : header.last_slot; slot != 0; ++steps) {
      if (steps > static_cast<int>(header.slot_count) || slot > header.slot_count) return -1;
      SecurityRecord record;
      DecodeSecurityRecord(Raw(bytes, slot * kSecurityRecordSize), &record);
      slot = forward ? record.next_slot : record.prev_slot;
    }
    return steps;
  }
};

TEST_F(SortSecuritiesTest, OrdersTheWholeListByNameWhileAPeerAdds) {
  std::vector<SecurityRecord> before = CheckListAgrees(folder_);
  EXPECT_EQ(ZARQ2_SortSecurities(Handle(3), Handle(3)), ZARQ_OK);
  EXPECT_EQ(ZARQ2_SortSecurities(Handle(3), ((uint32_t{dir_} + 1) << 24) | 4),
            ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ2_SortSecurities(Handle(9), Handle(3)), ZARQ_E_NO_SUCH_SECURITY);
  zarq_test::Peer peer;
  const std::string dir = StartPeer(&peer, "Adder A");
  ASSERT_TRUE(peer.Send("add " + dir + " ADDED"));
  const uint32_t composite = MakeSecurityHandle(dir_, 31, true);
  ASSERT_EQ(ZARQ2_SortSecurities(Handle(1), composite), ZARQ_OK);
  EXPECT_EQ(peer.Answer(), ZARQ_OK);

  std::stable_sort(before.begin(), before.end(),
                   [](const auto& a, const auto& b) { return Lower(a.name) < Lower(b.name); });
  std::vector<SecurityRecord> after = CheckListAgrees(folder_);
  after.erase(std::remove_if(after.begin(), after.end(),
                             [](const auto& r) { return std::string(r.symbol) == "ADDED"; }),
              after.end());
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i].slot, before[i].slot) << i;
  EXPECT_EQ(peer.Exit(), 0);
}

TEST_F(SortSecuritiesTest, APeerKilledMidRelinkLeavesWalksThatEndAndLosesNoSecurity) {
  zarq_test::Peer heir;
  const std::string list = folder_.ReadFile("~ZARQ.SEC");
  for (uint32_t crash_at : {1u, 5u, 9u, 13u, 17u}) {
    folder_.WriteFile("~ZARQ.SEC", list);
    zarq_test::Peer sorter;
    const uint32_t dir = std::stoul(StartPeer(&sorter, "Sorter S", ZARQ_OPEN_ALLOW_SAME_USER));
    ASSERT_EQ(sorter.Call("arm " + std::to_string(crash_at) + " 0"), ZARQ_OK);
    const uint32_t first = MakeSecurityHandle(static_cast<uint8_t>(dir), 1, false);
    const uint32_t last = MakeSecurityHandle(static_cast<uint8_t>(dir), 31, true);
    EXPECT_EQ(sorter.Call("sortsec " + std::to_string(first) + " " + std::to_string(last)), -9998)
        << crash_at;
    sorter.Kill();
    EXPECT_GE(Walk(true), 0) << crash_at;
    EXPECT_GE(Walk(false), 0) << crash_at;
  }
  ASSERT_EQ(heir.Call("close " + StartPeer(&heir, "Sorter S", ZARQ_OPEN_ALLOW_SAME_USER)), 0);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  ASSERT_EQ(Open(), ZARQ_OK);
  uint32_t count = 0;
  EXPECT_EQ(ZARQ1_GetSecurityCount(dir_, &count), ZARQ_OK);
  EXPECT_EQ(count, 31u);
  EXPECT_EQ(heir.Exit(), 0);
}

}  // namespace
}  // namespace zarq
