// Whole-file maintenance of price data: values computed here for
// adjustments, field changes, merges, sorts and duplicate removal; every
// rebuild refused at its write or its swap leaves the data file and the
// list record byte for byte as they were; a process killed after a swap
// and before its unlock leaves data that read right.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/data/data_sorting.h"
#include "src/frame/entry_frame.h"
#include "tests/data/data_fixture.h"
#include "tests/support/peer.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

constexpr uint32_t kFive = 4;  // 0x1F: date, close, volume, high, low

// Series records of the given days, prices drawn from seed.
std::vector<ZarqPriceRecord> Days(std::initializer_list<uint32_t> days, uint32_t seed) {
  std::vector<ZarqPriceRecord> records;
  for (uint32_t day : days) records.push_back(zarq_test::SeriesRecord(day, seed));
  return records;
}

ZarqDateTimePair PairOf(uint32_t day) {
  ZarqPriceRecord record = zarq_test::SeriesRecord(day);
  return {record.Date, record.Time};
}

class MaintenanceTest : public DataTest {
 protected:
  // A daily security of seven fields (slot 10) holding records.
  uint32_t AddSource(const std::vector<ZarqPriceRecord>& records) {
    ZarqSecurityInfo info = {};
    std::snprintf(info.Symbol, sizeof(info.Symbol), "SRC");
    info.Period = 'D';
    info.FieldMask = 0x7F;
    info.FirstDate = info.BaseDate = records.front().Date;
    info.LastDate = records.back().Date;
    EXPECT_EQ(ZARQ1_AddSecurity(dir_, &info, 0), ZARQ_OK);
    EXPECT_EQ(ZARQ1_LockSecurity(info.Handle, ZARQ_WRITE_LOCK), ZARQ_OK);
    EXPECT_EQ(ZARQ2_WriteMultipleRecs(info.Handle, records.data(),
                                      static_cast<uint16_t>(records.size()), 1),
              ZARQ_OK);
    EXPECT_EQ(ZARQ1_UnlockSecurity(info.Handle), ZARQ_OK);
    return info.Handle;
  }
};

TEST_F(MaintenanceTest, AdjustComputesEachFieldInItsRangeOnly) {
  std::vector<ZarqPriceRecord> records = Days({1, 2, 3, 4, 5}, 1);
  records[3].High = records[3].Low = records[3].Close = 32767.0f;  // a placeholder
  WriteData(kDaily, records);
  ZarqAdjustSpec adjustment = {};
  adjustment.CloseOperator = '*', adjustment.CloseOperand = 2.0f;
  adjustment.HighOperator = '+', adjustment.HighOperand = 1.25f;
  adjustment.LowOperator = 'x', adjustment.LowOperand = 3.0f;  // any other character multiplies
  adjustment.OpenOperator = '/', adjustment.OpenOperand = 4.0f;
  adjustment.OpenInterestOperator = '-', adjustment.OpenInterestOperand = 0.0f;  // 0: untouched
  adjustment.VolumeOperator = '*', adjustment.VolumeOperand = 0.5f;
  const ZarqDateTimePair from = PairOf(2), to = PairOf(4);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(kDaily), ZARQ_WRITE_LOCK), ZARQ_OK);
  ZarqAdjustSpec bad = adjustment;
  bad.HighOperand = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(ZARQ2_AdjustData(Handle(kDaily), &from, &to, &bad), ZARQ_E_INVALID_ARGUMENT);
  bad.HighOperand = std::numeric_limits<float>::infinity();
  EXPECT_EQ(ZARQ2_AdjustData(Handle(kDaily), &from, &to, &bad), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ2_AdjustData(Handle(kDaily), &from, &to, nullptr), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ2_AdjustData(Handle(kDaily), &to, &from, &adjustment), ZARQ_E_BAD_RECORD_COUNT);
  EXPECT_EQ(DataFile(kDaily), FileBytes(kDaily, records));
  ASSERT_EQ(ZARQ2_AdjustData(Handle(kDaily), &from, &to, &adjustment), ZARQ_OK);
  uint16_t recno = 0;
  ZarqDateTimePair at;
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(Handle(kDaily), &recno, &at), ZARQ_OK);
  EXPECT_EQ(recno, 4);
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(kDaily)), ZARQ_OK);

  std::vector<ZarqPriceRecord> want = AsRead(kDaily, records);
  for (int k : {1, 2}) {  // days 2 and 3; day 4 is the placeholder
    ZarqPriceRecord& r = want[k];
    r.Close = static_cast<float>(double{r.Close} * 2.0);
    r.High = static_cast<float>(double{r.High} + 1.25);
    r.Low = static_cast<float>(double{r.Low} * 3.0);
    r.Open = static_cast<float>(double{r.Open} / 4.0);
    r.Volume = static_cast<float>(std::floor(double{r.Volume} * 0.5));
  }
  EXPECT_EQ(want[1].Volume, 501.0f);  // 1003 halved, rounded down
  EXPECT_TRUE(SameRecords(Locked(kDaily), want));
}

TEST_F(MaintenanceTest, ChangeFieldsSynthesisesOpensAndRefusesNonCanonicalMasks) {
  std::vector<ZarqPriceRecord> records = Days({1, 2, 3, 4}, 1);
  records[1].Low = 20.0f;  // the first close below its low: the open is the low
  records[2].High = records[2].Low = records[2].Close = 32767.0f;
  WriteData(kFive, records);
  const std::string before = DataFile(kFive);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(kFive), ZARQ_FULL_LOCK), ZARQ_OK);
  for (uint16_t mask : {0x0000, 0x009F, 0x002F, 0x01FF}) {
    EXPECT_EQ(ZARQ2_ChangeFieldsInData(Handle(kFive), mask), ZARQ_E_BAD_FIELD_MASK) << mask;
  }
  EXPECT_EQ(ZARQ2_ChangeFieldsInData(Handle(kFive), 0x1F), ZARQ_OK);
  EXPECT_EQ(DataFile(kFive), before);
  ASSERT_EQ(ZARQ2_ChangeFieldsInData(Handle(kFive), 0x3F), ZARQ_OK);
  // The list learns the mask with the swap, before any unlock.
  EXPECT_EQ(ListRecord(kFive).field_mask, 0x3F);
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(kFive)), ZARQ_OK);

  std::vector<ZarqPriceRecord> want;
  float previous = 0.0f;
  for (const ZarqPriceRecord& record : records) {
    ZarqPriceRecord r = zarq_test::AsRead(record, 0x3F);
    r.Open = std::min(r.High, std::max(previous, r.Low));
    if (r.High != 32767.0f) previous = r.Close;  // the placeholder's close is no price
    want.push_back(r);
  }
  EXPECT_EQ(want[0].Open, want[0].Low);
  EXPECT_EQ(want[3].Open, std::min(want[3].High, std::max(want[1].Close, want[3].Low)));
  EXPECT_TRUE(SameRecords(Locked(kFive), want));
  EXPECT_EQ(HeaderCount(kFive), 4);
}

TEST_F(MaintenanceTest, MergeResolvesTiesByMode) {
  const uint32_t source = AddSource(Days({3, 4}, 2));
  const std::vector<ZarqPriceRecord> d = Days({1, 3, 5}, 1), s = Days({3, 4}, 2);
  struct Case {
    uint32_t mode;
    std::vector<ZarqPriceRecord> want;
  };
  for (const Case& c : {Case{0, {d[0], s[0], s[1], d[2]}}, Case{1, {d[0], d[1], s[1], d[2]}},
                        Case{7, {d[0], d[1], s[0], s[1], d[2]}}}) {
    WriteData(kDaily, d);
    ASSERT_EQ(ZARQ1_LockSecurity(source, ZARQ_READ_LOCK), ZARQ_OK);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(kDaily), ZARQ_WRITE_LOCK), ZARQ_OK);
    EXPECT_EQ(ZARQ2_MergeData(source, Handle(kDaily), c.mode), ZARQ_OK);
    EXPECT_EQ(ZARQ2_MergeData(Handle(kDaily), Handle(kDaily), c.mode), ZARQ_E_SAME_SECURITY);
    EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(kDaily)), ZARQ_OK);
    EXPECT_EQ(ZARQ1_UnlockSecurity(source), ZARQ_OK);
    EXPECT_TRUE(SameRecords(Locked(kDaily), AsRead(kDaily, c.want))) << "mode " << c.mode;
    EXPECT_EQ(ListRecord(kDaily).last_date, d[2].Date);
  }
  ASSERT_EQ(ZARQ1_LockSecurity(source, ZARQ_READ_LOCK), ZARQ_OK);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(kIntraday), ZARQ_WRITE_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ2_MergeData(source, Handle(kIntraday), 0), ZARQ_E_LAYOUT_DIFFERS);
}

TEST_F(MaintenanceTest, SortIsStableAndKeepsTheBytesInMemoryAndInRuns) {
  std::vector<ZarqPriceRecord> records = Days({9, 5, 3, 7, 3, 1, 8, 5, 2}, 1);
  records[4].Close = 99.0f;  // the second day 3: equal moment, other prices
  records[7].Close = 98.0f;
  std::vector<ZarqPriceRecord> sorted = {records[5], records[8], records[2], records[4], records[1],
                                         records[7], records[3], records[6], records[0]};
  struct Case {
    uint32_t run_limit;
    int32_t status;
  };
  for (const Case& c :
       {Case{UINT32_MAX, ZARQ_OK}, Case{4, ZARQ_OK}, Case{2, ZARQ_E_OUT_OF_MEMORY}}) {
    WriteData(kIntraday, records);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(kIntraday), ZARQ_WRITE_LOCK), ZARQ_OK);
    EXPECT_EQ(EnterInitialized([&] { return SortDataInRuns(Handle(kIntraday), c.run_limit); }),
              c.status);
    EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(kIntraday)), ZARQ_OK);
    EXPECT_EQ(DataFile(kIntraday), FileBytes(kIntraday, c.status == ZARQ_OK ? sorted : records))
        << c.run_limit;
    EXPECT_FALSE(folder_.Exists("F2.TMP") || folder_.Exists("S2.TMP"));
  }
  EXPECT_EQ(ListRecord(kIntraday).first_date, sorted.front().Date);
  EXPECT_EQ(ListRecord(kIntraday).last_time, sorted.back().Time);
  // A file in order is read and left alone.
  WriteData(kIntraday, sorted);
  zarq_test::InstalledFaults faults;
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(kIntraday), ZARQ_WRITE_LOCK), ZARQ_OK);
  const size_t writes = faults.write_sizes.size();
  EXPECT_EQ(ZARQ2_SortData(Handle(kIntraday)), ZARQ_OK);
  EXPECT_EQ(faults.write_sizes.size(), writes);
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(kIntraday)), ZARQ_OK);
}

TEST_F(MaintenanceTest, RemoveDuplicatesKeepsFirstOrLastAndSortsOnce) {
  const std::vector<ZarqPriceRecord> a = Days({1, 2, 3}, 1), b = Days({2}, 2);
  struct Case {
    std::vector<ZarqPriceRecord> input;
    uint32_t keep;
    std::vector<ZarqPriceRecord> want;
  };
  for (const Case& c : {Case{{a[0], a[1], b[0], a[2]}, 0, {a[0], a[1], a[2]}},
                        Case{{a[0], a[1], b[0], a[2]}, 1, {a[0], b[0], a[2]}},
                        Case{{a[2], a[1], a[0], b[0]}, 0, {a[0], a[1], a[2]}},
                        Case{{a[2], a[1], a[0], b[0]}, 1, {a[0], b[0], a[2]}},
                        Case{{a[0], a[1], a[2]}, 1, {a[0], a[1], a[2]}}}) {
    WriteData(kDaily, c.input);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(kDaily), ZARQ_WRITE_LOCK), ZARQ_OK);
    EXPECT_EQ(ZARQ2_RemoveDuplicateDataRecs(Handle(kDaily), c.keep), ZARQ_OK);
    EXPECT_EQ(HeaderCount(kDaily), c.want.size());  // counted before the unlock
    EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(kDaily)), ZARQ_OK);
    EXPECT_EQ(DataFile(kDaily), FileBytes(kDaily, c.want));
  }
}

TEST_F(MaintenanceTest, ARebuildRefusedAtItsWriteOrSwapChangesNothing) {
  const uint32_t source = AddSource(Days({2, 6}, 2));
  ZarqAdjustSpec adjustment = {};
  adjustment.CloseOperator = '*', adjustment.CloseOperand = 3.0f;
  const ZarqDateTimePair from = PairOf(1), to = PairOf(9);
  struct Rebuild {
    const char* name;
    uint32_t slot;
    std::vector<uint32_t> days;
    std::function<int32_t()> run;
  };
  const std::vector<Rebuild> rebuilds = {
      {"adjust",
       kDaily,
       {1, 3, 5},
       [&] { return ZARQ2_AdjustData(Handle(kDaily), &from, &to, &adjustment); }},
      {"fields", kFive, {1, 3, 5}, [&] { return ZARQ2_ChangeFieldsInData(Handle(kFive), 0x3F); }},
      {"merge", kDaily, {1, 3, 5}, [&] { return ZARQ2_MergeData(source, Handle(kDaily), 0); }},
      {"sort", kDaily, {5, 3, 1}, [&] { return ZARQ2_SortData(Handle(kDaily)); }},
      {"duplicates",
       kDaily,
       {1, 3, 3},
       [&] { return ZARQ2_RemoveDuplicateDataRecs(Handle(kDaily), 0); }},
  };
  for (const Rebuild& rebuild : rebuilds) {
    for (bool at_swap : {false, true}) {
      std::vector<ZarqPriceRecord> records;
      for (uint32_t day : rebuild.days) records.push_back(zarq_test::SeriesRecord(day, 1));
      WriteData(rebuild.slot, records);
      const std::string data = DataFile(rebuild.slot), list = ListBytes(rebuild.slot);
      ASSERT_EQ(ZARQ1_LockSecurity(source, ZARQ_READ_LOCK), ZARQ_OK);
      ASSERT_EQ(ZARQ1_LockSecurity(Handle(rebuild.slot), ZARQ_FULL_LOCK), ZARQ_OK);
      {
        zarq_test::InstalledFaults faults;
        if (at_swap) faults.rename_fails_from = ".TMP";
        if (!at_swap) faults.write_to_fail = 2;
        EXPECT_LT(rebuild.run(), 0) << rebuild.name << " " << at_swap;
      }
      EXPECT_EQ(DataFile(rebuild.slot), data) << rebuild.name << " " << at_swap;
      EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(rebuild.slot)), ZARQ_OK);
      EXPECT_EQ(ZARQ1_UnlockSecurity(source), ZARQ_OK);
      EXPECT_EQ(DataFile(rebuild.slot), data) << rebuild.name << " " << at_swap;
      EXPECT_EQ(ListBytes(rebuild.slot), list) << rebuild.name << " " << at_swap;
    }
  }
}

// A peer merges (or changes fields) and dies before its unlock: the heir's
// takeover finds the swapped file whole and the list agreeing with it.
TEST_F(MaintenanceTest, APeerKilledAfterItsSwapLeavesDataThatReadRight) {
  const std::vector<ZarqPriceRecord> d = Days({1, 3, 5}, 1), s = Days({2, 3, 4, 6}, 2);
  AddSource(s);
  WriteData(kDaily, d);
  WriteData(kFive, d);
  auto start = [&](zarq_test::Peer* peer, int flags) {
    EXPECT_TRUE(peer->Start());
    EXPECT_EQ(peer->Call("init Maint M"), ZARQ_OK);
    std::string number;
    EXPECT_EQ(peer->Call("open " + folder_.path() + " " + std::to_string(flags), &number), 0);
    return number;
  };
  zarq_test::Peer worker;
  const std::string dir = start(&worker, 0);
  std::string src, dst, five;
  ASSERT_EQ(worker.Call("lookup " + dir + " SRC D", &src), ZARQ_OK);
  ASSERT_EQ(worker.Call("lookup " + dir + " M1 D", &dst), ZARQ_OK);
  ASSERT_EQ(worker.Call("lookup " + dir + " M4 D", &five), ZARQ_OK);
  for (const std::string& command :
       {"seclock " + src + " 16", "seclock " + dst + " 32", "merge " + src + " " + dst + " 1",
        "seclock " + five + " 128", "fields " + five + " 63"}) {
    ASSERT_EQ(worker.Call(command), ZARQ_OK) << command;
  }
  worker.Kill();
  zarq_test::Peer heir;
  ASSERT_EQ(heir.Call("close " + start(&heir, ZARQ_OPEN_ALLOW_SAME_USER)), ZARQ_OK);

  EXPECT_TRUE(SameRecords(Locked(kDaily), AsRead(kDaily, {d[0], s[0], d[1], s[2], d[2], s[3]})));
  EXPECT_EQ(HeaderCount(kDaily), 6);
  EXPECT_EQ(ListRecord(kFive).field_mask, 0x3F);
  std::vector<ZarqPriceRecord> five_read = Locked(kFive);
  ASSERT_EQ(five_read.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    ZarqPriceRecord want = zarq_test::AsRead(d[k], 0x3F);
    want.Open = five_read[k].Open;
    EXPECT_TRUE(SameRecord(five_read[k], want)) << k;
  }
  EXPECT_EQ(five_read[1].Open, std::min(d[1].High, std::max(d[0].Close, d[1].Low)));
  EXPECT_EQ(heir.Exit(), 0);
}

}  // namespace
}  // namespace zarq
