// Copying a security into another directory: added, refused or replaced
// while a peer holds the source, and refused into its own directory; the
// count as this process holds it, not as the file header says.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "include/zarq.h"
#include "tests/security/security_fixture.h"
#include "tests/support/peer.h"

namespace zarq {
namespace {

class CopySecurityTest : public SecurityTest {
 protected:
  static constexpr char kOld[] = "old";
  // Opens other holding T1, and S1 (file number 2, its data "old") unless
  // fresh.
  static uint8_t OpenOther(const zarq_test::TempFolder& other, bool fresh) {
    std::vector<SecurityRecord> records = {zarq_test::DailySecurity("T1", 1)};
    if (!fresh) records.push_back(zarq_test::DailySecurity("S1", 2));
    zarq_test::WriteMasterFiles(other, records);
    other.WriteFile("F2.DAT", std::string(kRecordSize, '\0') + kOld);
    uint8_t number = 0;
    EXPECT_EQ(ZARQ1_OpenDirectory(other.path().c_str(), &number, 0), ZARQ_OK);
    return number;
  }
  // The list record and data file of S1 in other.
  static std::pair<SecurityRecord, std::string> S1In(const zarq_test::TempFolder& other) {
    std::string list = other.ReadFile("~ZARQ.SEC");
    for (uint32_t slot = 1; (slot + 1) * kSecurityRecordSize <= list.size(); ++slot) {
      SecurityRecord record;
      DecodeSecurityRecord(Raw(list, slot * kSecurityRecordSize), &record);
      if (std::string(record.symbol) == "S1" && !record.deleted) {
        return {record, other.ReadFile("F" + std::to_string(record.file_number) + ".DAT")};
      }
    }
    return {};
  }
  // Scratch files a copy left in other.
  static int Scratch(const zarq_test::TempFolder& other) {
    int n = 0;
    for (const auto& file : std::filesystem::directory_iterator(other.path())) {
      n += file.path().extension() == ".TMP" ? 1 : 0;
    }
    return n;
  }
  int UsersOf(uint32_t slot) { return DecodeLockRecord(Raw(LockAt(slot))).CountUsers(); }
};

TEST_F(CopySecurityTest, IntoAnotherDirectoryWhileAPeerHoldsTheSourceNeverIntoItsOwn) {
  WriteDataFile(1, 50);
  zarq_test::Peer peer;
  const std::string peer_dir = StartPeer(&peer, "Holder H");
  const std::string theirs = std::to_string(MakeSecurityHandle(std::stoi(peer_dir), 1, false));
  ASSERT_EQ(peer.Call("seclock " + theirs + " 16"), ZARQ_OK);
  EXPECT_EQ(ZARQ2_CopySecurity(Handle(1), dir_ + 1, 0, 0), ZARQ_E_NOT_LOCKED);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);
  const std::string source = folder_.ReadFile("F1.DAT");
  struct Case {
    bool fresh;
    uint32_t replace;
    int32_t status;
  } cases[] = {{true, 0, ZARQ_OK}, {false, 0, ZARQ_E_SECURITY_EXISTS}, {false, 1, ZARQ_OK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fresh ? "fresh" : c.replace ? "replace" : "exists");
    zarq_test::TempFolder other;
    const uint8_t number = OpenOther(other, c.fresh);
    EXPECT_EQ(ZARQ2_CopySecurity(Handle(1), number, 0, c.replace), c.status);
    auto [record, data] = S1In(other);
    if (c.status == ZARQ_OK) {
      EXPECT_EQ(data, source);
      EXPECT_EQ(std::tuple(record.first_date, record.last_date, record.field_mask),
                std::tuple(20100104, 20101231, 0x7F));
    } else {
      EXPECT_EQ(data, std::string(kRecordSize, '\0') + kOld);
    }
    EXPECT_EQ(Scratch(other), 0);
    EXPECT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
  }
  // In its own directory the destination would be the source itself.
  const SecurityListHeader header = ListHeader();
  for (uint32_t replace : {0u, 1u}) {
    EXPECT_EQ(ZARQ2_CopySecurity(Handle(1), dir_, 1, replace), ZARQ_E_SAME_SECURITY);
  }
  EXPECT_EQ(ZARQ2_CopySecurity(Handle(31) | kCompositeHandleBit, dir_ + 1, 0, 1),
            ZARQ_E_IS_COMPOSITE);
  EXPECT_EQ(Counts(ListHeader()), Counts(header));
  // The source is as it was, held by both.
  EXPECT_EQ(folder_.ReadFile("F1.DAT"), source);
  EXPECT_EQ(UsersOf(1), 2);
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_OK);
  EXPECT_EQ(UsersOf(1), 1);
  EXPECT_EQ(peer.Exit(), 0);
}

// Records appended under a write lock are counted in the file header only
// at the unlock; the copy takes the count the source has here.
TEST_F(CopySecurityTest, TakesTheCountAsHeldHereNotTheFileHeaders) {
  WriteDataFile(1, 50);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_WRITE_LOCK), ZARQ_OK);
  ZarqPriceRecord added[2] = {};
  for (int k = 0; k < 2; ++k) {
    added[k].Date = 20110103 + k;
    added[k].Close = 10.0f + k;
    added[k].FieldMask = 0x7F;
  }
  ASSERT_EQ(ZARQ1_SeekEndData(Handle(1)), ZARQ_OK);
  ASSERT_EQ(ZARQ2_WriteMultipleRecs(Handle(1), added, 2, 0), ZARQ_OK);
  ASSERT_EQ(DataCount(1), 50);
  zarq_test::TempFolder other;
  const uint8_t number = OpenOther(other, true);
  ASSERT_EQ(ZARQ2_CopySecurity(Handle(1), number, 0, 0), ZARQ_OK);
  auto [record, data] = S1In(other);
  EXPECT_EQ(data.size(), 53 * kRecordSize);
  EXPECT_EQ(GetU16(Raw(data, 2)), 53);
  EXPECT_EQ(record.last_date, 20110104);
  EXPECT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
}

}  // namespace
}  // namespace zarq
