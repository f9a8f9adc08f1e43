// Converting reads (ordinals 215 and 216): weekly, monthly and n-record
// bars of a small daily series worked out by hand, fifteen-minute bars of
// five-minute data in a trading window with and without filler bars, the
// plain read and the refusals, and bars by dates.

#include "src/private/converted_reads.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/security_handle.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"
#include "tests/data/data_fixture.h"
#include "tests/data/price_series.h"

namespace zarq {
namespace {

constexpr uint32_t kDaily = 1;    // seven fields
constexpr uint32_t kCloses = 2;   // DATE CLOSE VOL HIGH: no open, no low
constexpr uint32_t kFiveMin = 3;  // intraday, 5 minutes, 09:30 to 16:00
constexpr uint16_t kMaskOf[] = {0, 0x7F, 0x0F, 0xBF};

ZarqPriceRecord Bar(int32_t date, int32_t time, float o, float h, float l, float c, float v,
                    float oi = 0, uint16_t mask = 0x7F) {
  return ZarqPriceRecord{date, time, o, h, l, c, v, oi, mask, 0};
}

// Eleven trading days of June and July 2009, with a placeholder on 11 June.
std::vector<ZarqPriceRecord> DailySeries() {
  return {
      Bar(20090601, 0, 10, 12, 9, 11, 100, 1),         Bar(20090602, 0, 11, 13, 10, 12, 100, 2),
      Bar(20090603, 0, 12, 14, 11, 13, 100, 3),        Bar(20090604, 0, 13, 15, 12, 14, 100, 4),
      Bar(20090605, 0, 14, 16, 13, 15, 100, 5),        Bar(20090608, 0, 15, 17, 14, 16, 200, 8),
      Bar(20090609, 0, 16, 18, 15, 17, 200, 9),        Bar(20090610, 0, 17, 19, 16, 18, 200, 10),
      Bar(20090611, 0, 0, 32767, 32767, 32767, 0, 11), Bar(20090612, 0, 18, 20, 17, 19, 200, 12),
      Bar(20090701, 0, 20, 25, 19, 21, 50, 1),         Bar(20090702, 0, 21, 22, 18, 20, 50, 2)};
}

// Five-minute bars stamped at their end, 09:35 to 16:00 of 1 June 2009,
// bar i with close 100 + i and volume i + 1 (and one each side of the window).
std::vector<ZarqPriceRecord> FiveMinuteSeries(bool with_gap) {
  std::vector<ZarqPriceRecord> records{Bar(20090601, 930000, 1, 1, 1, 1, 1000)};
  for (int i = 0; i < 78; ++i) {
    if (with_gap && i >= 6 && i < 12) continue;  // 10:05 to 10:30 missing
    const int32_t minute = 9 * 60 + 35 + 5 * i;
    const float c = 100.0f + i;
    records.push_back(Bar(20090601, (minute / 60 * 100 + minute % 60) * 1000, c - 0.5f, c + 1,
                          c - 1, c, static_cast<float>(i + 1)));
  }
  records.push_back(Bar(20090601, 1605000, 1, 1, 1, 1, 1000));
  return records;
}

class ConvertedReadTest : public DatabaseOpenTest {
 protected:
  void SetUp() override {
    DatabaseOpenTest::SetUp();
    std::vector<SecurityRecord> records;
    for (uint32_t slot = 1; slot <= 3; ++slot) {
      SecurityRecord r = zarq_test::DailySecurity("C" + std::to_string(slot), slot);
      r.field_mask = kMaskOf[slot];
      if (slot == kFiveMin) {
        r.period = 'I';
        r.interval = 5;
        r.start_time = 930000;
        r.end_time = 1600000;
      }
      records.push_back(r);
    }
    zarq_test::WriteMasterFiles(folder_, records);
    ASSERT_EQ(Open(), ZARQ_OK);
  }
  uint32_t Handle(uint32_t slot) const { return MakeSecurityHandle(dir_, slot, false); }

  void Store(uint32_t slot, const std::vector<ZarqPriceRecord>& records) {
    const uint32_t size = StoredRecordSize(kMaskOf[slot]);
    std::string bytes((records.size() + 1) * size, '\0');
    PutU16(reinterpret_cast<uint8_t*>(&bytes[2]), static_cast<uint16_t>(records.size() + 1));
    for (size_t k = 0; k < records.size(); ++k) {
      ZarqPriceRecord record = records[k];
      record.FieldMask = kMaskOf[slot];
      EncodePriceRecord(record, reinterpret_cast<uint8_t*>(&bytes[(k + 1) * size]));
    }
    folder_.WriteFile("F" + std::to_string(slot) + ".DAT", bytes);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(slot), ZARQ_READ_LOCK), ZARQ_OK);
  }

  // Ordinal 215 ending at end into an array of want bars.
  std::vector<ZarqPriceRecord> Back(uint32_t slot, ZarqDateTimePair end, uint16_t want, char target,
                                    uint32_t n, int32_t fill, int32_t* status) {
    std::vector<ZarqPriceRecord> out(want == 0 ? 1 : want);
    uint16_t count = want;
    *status = ReadBackConvertedRecs(Handle(slot), out.data(), &end, &count, 0, target, n, fill);
    out.resize(count);
    return out;
  }
};

TEST_F(ConvertedReadTest, DailyDataMakesWeeksMonthsAndBlocksOfRecords) {
  Store(kDaily, DailySeries());
  struct Case {
    char target;
    uint32_t n;
    std::vector<ZarqPriceRecord> bars;
  };
  const Case cases[] = {
      {'W',
       0,
       {Bar(20090605, 0, 10, 16, 9, 15, 500, 5), Bar(20090612, 0, 15, 20, 14, 19, 800, 12),
        Bar(20090702, 0, 20, 25, 18, 20, 100, 2)}},
      {'m',
       0,
       {Bar(20090612, 0, 10, 20, 9, 19, 1300, 12), Bar(20090702, 0, 20, 25, 18, 20, 100, 2)}},
      {'O',
       5,
       {Bar(20090601, 0, 10, 12, 9, 11, 100, 1), Bar(20090608, 0, 11, 17, 10, 16, 600, 8),
        Bar(20090702, 0, 16, 25, 15, 20, 700, 2)}},
  };
  for (const Case& c : cases) {
    int32_t status = 0;
    auto bars = Back(kDaily, {20090702, 0}, 10, c.target, c.n, 0, &status);
    EXPECT_EQ(status, ZARQ_FEWER_READ) << c.target;
    EXPECT_TRUE(SameRecords(bars, c.bars)) << c.target;
  }
  // Room for two: the latest two weeks, and nothing outside the array.
  ZarqPriceRecord guarded[4];
  std::memset(guarded, 0x5A, sizeof(guarded));
  const ZarqPriceRecord guard = guarded[0];
  ZarqDateTimePair end{20090702, 0};
  uint16_t count = 2;
  EXPECT_EQ(ReadBackConvertedRecs(Handle(kDaily), guarded + 1, &end, &count, 0, 'W', 0, 0),
            ZARQ_OK);
  EXPECT_EQ(count, 2);
  EXPECT_TRUE(SameRecord(guarded[0], guard));
  EXPECT_TRUE(SameRecord(guarded[3], guard));
  EXPECT_TRUE(SameRecords({guarded[1], guarded[2]}, {cases[0].bars[1], cases[0].bars[2]}));
  // Bars by dates: whole weeks from the one holding the start.
  ZarqPriceRecord out[3];
  ZarqDateTimePair start{20090603, 0};
  end = {20090612, 0};
  count = 3;
  EXPECT_EQ(ReadConvertedRecsByDates(Handle(kDaily), out, &start, &end, &count, 0, 'W', 0, 0),
            ZARQ_OK);
  EXPECT_TRUE(SameRecords({out, out + count}, {cases[0].bars[0], cases[0].bars[1]}));
  count = 1;
  EXPECT_EQ(ReadConvertedRecsByDates(Handle(kDaily), out, &start, &end, &count, 0, 'W', 0, 0),
            ZARQ_BUFFER_FILLED);
  EXPECT_TRUE(SameRecords({out, out + count}, {cases[0].bars[1]}));
}

TEST_F(ConvertedReadTest, MissingPricesTakeTheClose) {
  std::vector<ZarqPriceRecord> series = DailySeries();
  series.erase(series.begin() + 8);  // without a low its placeholder is no placeholder
  Store(kCloses, series);
  int32_t status = 0;
  auto bars = Back(kCloses, {20090630, 0}, 1, 'M', 0, 0, &status);
  EXPECT_EQ(status, ZARQ_OK);
  EXPECT_TRUE(SameRecords(bars, {Bar(20090612, 0, 11, 20, 11, 19, 1300, 0, 0x3F)}));
}

TEST_F(ConvertedReadTest, PlainReadsRefusalsAndCounts) {
  Store(kDaily, DailySeries());
  Store(kFiveMin, FiveMinuteSeries(false));
  ZarqPriceRecord plain[3];
  ZarqDateTimePair end{20090702, 0};
  uint16_t count = 3;
  ASSERT_EQ(ZARQ2_ReadBackMultipleRecs(Handle(kDaily), plain, &end, &count, 0), ZARQ_OK);
  struct Case {
    uint32_t slot;
    char target;
    uint32_t n;
    uint16_t count;
    int32_t status;
  };
  const Case cases[] = {
      {kDaily, 'D', 0, 3, ZARQ_OK},  // its own period: the plain read
      {kDaily, 'O', 1, 3, ZARQ_OK},
      {kDaily, 'N', 15, 3, ZARQ_E_PERIOD_NOT_LONGER},
      {kDaily, 'X', 0, 3, ZARQ_E_PERIOD_NOT_LONGER},
      {kFiveMin, 'N', 3, 3, ZARQ_E_PERIOD_NOT_LONGER},
      {kDaily, 'W', 0, 0, ZARQ_E_BAD_RECORD_COUNT},
      {kDaily, 'W', 0, 65501, ZARQ_E_BAD_RECORD_COUNT},
  };
  for (const Case& c : cases) {
    ZarqPriceRecord out[3];
    std::memset(out, 0x5A, sizeof(out));
    const ZarqPriceRecord untouched = out[0];
    uint16_t got = c.count;
    EXPECT_EQ(ReadBackConvertedRecs(Handle(c.slot), out, &end, &got, 0, c.target, c.n, 0), c.status)
        << c.target << c.count;
    if (c.status == ZARQ_OK) {
      EXPECT_TRUE(SameRecords({out, out + got}, {plain, plain + 3})) << c.target;
    } else {
      EXPECT_EQ(got, 0);
      EXPECT_TRUE(SameRecord(out[0], untouched));
    }
  }
}

TEST_F(ConvertedReadTest, FiveMinuteBarsMakeFifteenMinuteBars) {
  Store(kFiveMin, FiveMinuteSeries(false));
  int32_t status = 0;
  auto bars = Back(kFiveMin, {20090601, 2359000}, 30, 'N', 15, 0, &status);
  EXPECT_EQ(status, ZARQ_FEWER_READ);
  ASSERT_EQ(bars.size(), 26u);
  for (int k = 0; k < 26; ++k) {
    const int32_t minute = 9 * 60 + 45 + 15 * k;
    const float c = 100.0f + 3 * k;
    EXPECT_TRUE(
        SameRecord(bars[k], Bar(20090601, (minute / 60 * 100 + minute % 60) * 1000, c - 0.5f, c + 3,
                                c - 1, c + 2, static_cast<float>(9 * k + 6), 0, 0xBF)))
        << k << ": " << bars[k].Time << " " << bars[k].Open << " " << bars[k].Volume;
  }
  // Daily bars of the session: the window's records only.
  bars = Back(kFiveMin, {20090601, 2359000}, 2, 'D', 0, 0, &status);
  EXPECT_EQ(status, ZARQ_FEWER_READ);
  EXPECT_TRUE(SameRecords(bars, {Bar(20090601, 0, 99.5f, 178, 99, 177, 3081, 0, 0x3F)}));
}

TEST_F(ConvertedReadTest, FillersSpanAGapWithinTheSession) {
  Store(kFiveMin, FiveMinuteSeries(true));
  int32_t status = 0;
  auto bars = Back(kFiveMin, {20090601, 1100000}, 10, 'N', 15, 1, &status);
  EXPECT_EQ(status, ZARQ_FEWER_READ);
  const std::vector<ZarqPriceRecord> want = {
      Bar(20090601, 945000, 99.5f, 103, 99, 102, 6, 0, 0xBF),
      Bar(20090601, 1000000, 102.5f, 106, 102, 105, 15, 0, 0xBF),
      Bar(20090601, 1015000, 105, 105, 105, 105, 0, 0, 0xBF),
      Bar(20090601, 1030000, 105, 105, 105, 105, 0, 0, 0xBF),
      Bar(20090601, 1045000, 111.5f, 115, 111, 114, 42, 0, 0xBF),
      Bar(20090601, 1100000, 114.5f, 118, 114, 117, 51, 0, 0xBF)};
  EXPECT_TRUE(SameRecords(bars, want));
  bars = Back(kFiveMin, {20090601, 1100000}, 10, 'N', 15, 0, &status);
  EXPECT_TRUE(SameRecords(bars, {want[0], want[1], want[4], want[5]}));
  // Fillers take free slots only.
  bars = Back(kFiveMin, {20090601, 1100000}, 3, 'N', 15, 1, &status);
  EXPECT_EQ(status, ZARQ_OK);
  EXPECT_TRUE(SameRecords(bars, {want[3], want[4], want[5]}));
}

TEST_F(ConvertedReadTest, BlocksContinueWithoutLosingRecords) {
  // Exactly one block's worth of records, then some: every n-record bar
  // is there, the earliest one included.
  for (uint32_t total : {1792u, 1793u}) {
    ZARQ1_UnlockSecurity(Handle(kDaily));
    Store(kDaily, zarq_test::Series(0, total));
    int32_t status = 0;
    auto bars = Back(kDaily, {22001231, 0}, 600, 'O', 7, 0, &status);
    EXPECT_EQ(status, ZARQ_FEWER_READ);
    ASSERT_EQ(bars.size(), (total + 6) / 7) << total;
    EXPECT_EQ(bars.front().Date, zarq_test::SeriesRecord((total - 1) % 7).Date) << total;
    float volume = 0;
    for (const auto& bar : bars) volume += bar.Volume;
    EXPECT_EQ(volume, total * 1000.0f + total * (total - 1) / 2.0f) << total;
  }
}

}  // namespace
}  // namespace zarq
