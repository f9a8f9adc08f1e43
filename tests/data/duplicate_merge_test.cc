// Master files listing one security twice, of different field sets, with a
// composite built on the second copy: refused without open flag 0x08 and
// left as they were; with it the second copy's data merged into the
// first's (whose records win a moment both have), the composite moved to
// the first copy; a merge too large for a data file changes no data file.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "tests/data/data_fixture.h"

namespace zarq {
namespace {

constexpr uint16_t kFirstMask = 0x1F;   // date, close, volume, high, low
constexpr uint16_t kSecondMask = 0x7F;  // and open, open interest

class DuplicateMergeTest : public DatabaseOpenTest {
 protected:
  // DUP (file 1), S2, DUP again (file 3), the composite DUP - S2 on file 3.
  void WriteDatabase(uint32_t first_count, uint32_t second_count) {
    SecurityRecord first = zarq_test::DailySecurity("DUP", 1);
    first.field_mask = kFirstMask;
    SecurityRecord second = zarq_test::DailySecurity("DUP", 3);
    second.field_mask = kSecondMask;
    zarq_test::WriteMasterFiles(folder_, {first, zarq_test::DailySecurity("S2", 2), second,
                                          zarq_test::CompositeSecurity("DUP", "S2", '-', 3, 2, 4)});
    // The first copy's days 1.., the second's from the first's last day on
    // (short runs out of order).
    std::vector<ZarqPriceRecord> ones, twos;
    for (uint32_t k = 0; k < first_count; ++k) ones.push_back(Day(k + 1, 1.0f));
    for (uint32_t k = second_count; k > 0; --k) twos.push_back(Day(first_count + k - 1, 2.0f));
    if (second_count > 100) std::reverse(twos.begin(), twos.end());
    folder_.WriteFile("F1.DAT", Bytes(ones, kFirstMask));
    folder_.WriteFile("F3.DAT", Bytes(twos, kSecondMask));
  }
  static ZarqPriceRecord Day(uint32_t day, float close) {
    ZarqPriceRecord record = zarq_test::SeriesRecord(day);
    record.Close = close;
    return record;
  }
  static std::string Bytes(std::vector<ZarqPriceRecord> records, uint16_t mask) {
    const uint32_t size = StoredRecordSize(mask);
    std::string bytes((records.size() + 1) * size, '\0');
    PutU16(reinterpret_cast<uint8_t*>(&bytes[2]), static_cast<uint16_t>(records.size() + 1));
    for (size_t k = 0; k < records.size(); ++k) {
      records[k].FieldMask = mask;
      EncodePriceRecord(records[k], reinterpret_cast<uint8_t*>(&bytes[(k + 1) * size]));
    }
    return bytes;
  }
};

TEST_F(DuplicateMergeTest, RefusedWithoutTheFlagOrWhenTooLargeAndMergedWithIt) {
  // Refused: nothing is changed and no working file is left.
  struct Refusal {
    uint32_t flags, first, second;
    int32_t status;
  } refusals[] = {{0, 3, 3, ZARQ_E_DUPLICATE_SECURITY},
                  {ZARQ_OPEN_MERGE_DUPLICATES, 33000, 33000, ZARQ_E_TOO_MANY_RECORDS}};
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.flags);
    WriteDatabase(r.first, r.second);
    const std::string masters = folder_.ReadFile("MASTER") + folder_.ReadFile("EMASTER");
    const std::string data = folder_.ReadFile("F1.DAT") + folder_.ReadFile("F3.DAT");
    EXPECT_EQ(Open(r.flags), r.status);
    EXPECT_FALSE(WorkingFilesExist());
    EXPECT_TRUE(folder_.ReadFile("F1.DAT") + folder_.ReadFile("F3.DAT") == data);
    // A refused merge writes the list back: both copies as they were.
    if (r.flags == 0)
      EXPECT_TRUE(folder_.ReadFile("MASTER") + folder_.ReadFile("EMASTER") == masters);
    EXPECT_EQ(std::tuple(EmasterRecord(1).field_mask, EmasterRecord(3).field_mask),
              std::tuple(kFirstMask, kSecondMask));
  }

  // Days 1..3 and 3..5: the first copy keeps day 3, the second brings 4, 5.
  WriteDatabase(3, 3);
  ASSERT_EQ(Open(ZARQ_OPEN_MERGE_DUPLICATES), ZARQ_OK);
  EXPECT_EQ(Counts(ListHeader()), std::tuple(4u, 3u, 1u, 4u, 5u));
  EXPECT_EQ(ListRecord(3).deleted, 1);
  EXPECT_FALSE(folder_.Exists("F3.DAT"));
  const SecurityRecord composite = ListRecord(4);
  EXPECT_EQ(std::tuple(composite.primary_file_number, composite.primary_slot), std::tuple(1u, 1u));
  EXPECT_EQ(ListRecord(1).field_mask, kSecondMask);

  const uint32_t dup = MakeSecurityHandle(dir_, 1, false);
  ASSERT_EQ(ZARQ1_LockSecurity(dup, ZARQ_READ_LOCK), ZARQ_OK);
  std::vector<ZarqPriceRecord> read(8);
  uint16_t count = 8;
  ASSERT_EQ(ZARQ1_SeekBeginData(dup), ZARQ_OK);
  ASSERT_EQ(ZARQ2_ReadMultipleRecs(dup, read.data(), nullptr, &count, 3), ZARQ_FEWER_READ);
  ASSERT_EQ(count, 5);
  for (uint32_t k = 0; k < 5; ++k) {
    EXPECT_EQ(read[k].Date, Day(k + 1, 0).Date) << k;
    EXPECT_EQ(read[k].Close, k < 3 ? 1.0f : 2.0f) << k;
  }
  EXPECT_EQ(read[4].Open, Day(5, 2.0f).Open);
  EXPECT_EQ(ZARQ1_UnlockSecurity(dup), ZARQ_OK);
  const uint32_t on_dup = MakeSecurityHandle(dir_, 4, true);
  EXPECT_EQ(ZARQ1_LockSecurity(on_dup, ZARQ_READ_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ1_UnlockSecurity(on_dup), ZARQ_OK);
}

// Both copies naming one data file: nothing to merge, and the file stays.
TEST_F(DuplicateMergeTest, CopiesOfOneDataFileKeepIt) {
  SecurityRecord first = zarq_test::DailySecurity("DUP", 1);
  zarq_test::WriteMasterFiles(folder_, {first, zarq_test::DailySecurity("S2", 2), first});
  const std::string data = Bytes({Day(1, 1.0f), Day(2, 1.0f)}, first.field_mask);
  folder_.WriteFile("F1.DAT", data);
  ASSERT_EQ(Open(ZARQ_OPEN_MERGE_DUPLICATES), ZARQ_OK);
  EXPECT_EQ(std::tuple(ListHeader().live_count, ListRecord(3).deleted), std::tuple(2u, 1));
  EXPECT_TRUE(folder_.ReadFile("F1.DAT") == data);
}

}  // namespace
}  // namespace zarq
