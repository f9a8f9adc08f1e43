// Composite securities: records paired and combined from the components'
// records (checked against the formula worked out here), the same by every
// form of reading; searching, the cursor, and the eight read states.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/data/composite_reader.h"
#include "src/data/composite_values.h"
#include "tests/data/data_fixture.h"

namespace zarq {
namespace {

struct Formula {
  char op;
  float primary_factor;
  float secondary_factor;
};

// The composite record of a and b as the formula defines it.
ZarqPriceRecord Expected(const ZarqPriceRecord& a, const ZarqPriceRecord& b, const Formula& f,
                         uint16_t mask) {
  auto apply = [&](float u, float v) {
    const double x = static_cast<float>(u * f.primary_factor);
    const double y = static_cast<double>(v) * f.secondary_factor;
    double r = f.op == '*' ? y * x : f.op == '+' ? y + x : f.op == '-' ? x - y : y == 0 ? 0 : x / y;
    float single = static_cast<float>(r);
    return std::isfinite(single) ? single : 0.0f;
  };
  ZarqPriceRecord r = {};
  r.Date = a.Date;
  r.Time = (mask & kFieldTime) ? a.Time : 0;
  r.FieldMask = mask;
  const bool flat = f.op == '-' || f.op == '/';
  if (IsPlaceholderRecord(a) || IsPlaceholderRecord(b)) {
    r.Close = r.Open = r.High = r.Low = 32767.0f;
  } else {
    r.Close = apply(a.Close, b.Close);
    r.Volume = std::max(0.0f, apply(a.Volume, b.Volume));
    r.Open = flat ? r.Close : apply(a.Open, b.Open);
    r.High = flat ? r.Close : apply(a.High, b.High);
    r.Low = flat ? r.Close : apply(a.Low, b.Low);
    r.OpenInterest = std::max(0.0f, apply(a.OpenInterest, b.OpenInterest));
  }
  if (!(mask & kFieldOpen)) r.Open = 0;
  if (!(mask & kFieldHigh)) r.High = 0;
  if (!(mask & kFieldLow)) r.Low = 0;
  if (!(mask & kFieldOpenInterest)) r.OpenInterest = 0;
  return r;
}

// Each primary record with its partner: the secondary record of its date,
// or (timed) the last one at or before its moment; none, no record.
std::vector<ZarqPriceRecord> Pairs(const std::vector<ZarqPriceRecord>& primary,
                                   const std::vector<ZarqPriceRecord>& secondary, bool timed,
                                   const Formula& f, uint16_t mask) {
  std::vector<ZarqPriceRecord> made;
  for (const ZarqPriceRecord& a : primary) {
    const ZarqPriceRecord* partner = nullptr;
    for (const ZarqPriceRecord& b : secondary) {
      if (!timed && b.Date == a.Date) {
        partner = &b;
        break;
      }
      if (timed && (b.Date < a.Date || (b.Date == a.Date && b.Time <= a.Time))) partner = &b;
    }
    if (partner != nullptr) made.push_back(Expected(a, *partner, f, mask));
  }
  return made;
}

std::vector<ZarqPriceRecord> Without(std::vector<ZarqPriceRecord> records,
                                     std::vector<uint32_t> indexes, uint32_t first = 0) {
  for (auto k = indexes.rbegin(); k != indexes.rend(); ++k)
    records.erase(records.begin() + (*k - first));
  return records;
}

class CompositeTest : public DataTest {
 protected:
  // Adds the composite of the fixture's securities in slots primary and
  // secondary; leaves it unlocked.
  uint32_t AddComposite(uint32_t primary, uint32_t secondary, Formula f) {
    ZarqSecurityInfo info = {};
    std::snprintf(info.Symbol, sizeof(info.Symbol), "M%u", primary);
    std::snprintf(info.Symbol2, sizeof(info.Symbol2), "M%u", secondary);
    const bool timed = MaskOf(primary) & kFieldTime;
    info.Period = timed ? 'I' : 'D';
    info.Interval = timed ? 1 : 0;
    info.FieldMask = MaskOf(primary) & MaskOf(secondary);
    info.FirstDate = info.BaseDate = 20000103;
    info.LastDate = 20011231;
    info.Composite = 1;
    info.Operator = f.op;
    info.PrimaryFactor = f.primary_factor;
    info.SecondaryFactor = f.secondary_factor;
    EXPECT_EQ(ZARQ1_AddSecurity(dir_, &info, 0), ZARQ_OK);
    return info.Handle;
  }

  // want, as every form of reading gives it from the start: record by
  // record, in one block, by dates, and backward page by page.
  void ExpectEveryReadGives(uint32_t h, const std::vector<ZarqPriceRecord>& want) {
    std::vector<ZarqPriceRecord> got;
    ZarqPriceRecord one;
    ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
    int32_t status;
    while ((status = ZARQ1_ReadDataRec(h, &one)) == ZARQ_OK) got.push_back(one);
    EXPECT_EQ(status, ZARQ_E_END_OF_FILE);
    EXPECT_TRUE(SameRecords(got, want)) << "single";

    std::vector<ZarqPriceRecord> all(want.size() + 5);
    uint16_t count = static_cast<uint16_t>(all.size());
    ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
    EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, all.data(), nullptr, &count, 3), ZARQ_FEWER_READ);
    EXPECT_TRUE(SameRecords({all.begin(), all.begin() + count}, want)) << "block";

    const ZarqDateTimePair from = {19990101, 0}, to = {20991231, 0};
    count = static_cast<uint16_t>(all.size());
    EXPECT_EQ(ZARQ2_ReadMultipleRecsByDates(h, all.data(), &from, &to, &count, 1), ZARQ_FEWER_READ);
    EXPECT_TRUE(SameRecords({all.begin(), all.begin() + count}, want)) << "by dates";

    got.clear();
    ZarqPriceRecord page[4];
    uint32_t mode = 0;
    do {
      count = 4;
      status = ZARQ2_ReadBackMultipleRecs(h, page, &to, &count, mode);
      ASSERT_TRUE(status == ZARQ_OK || status == ZARQ_FEWER_READ) << status;
      got.insert(got.begin(), page, page + count);
      mode = 3;
    } while (count > 0);
    EXPECT_TRUE(SameRecords(got, want)) << "backward";
  }

  // Daily records 0..39 of M1 without days 5, 6 and 20, a placeholder on
  // day 12; of M5 days 2..35 without days 6, 10 and 11, a close of 0 on
  // day 15: missing days on either side, and the secondary ends early.
  void WriteDailyComponents() {
    primary_ = Without(zarq_test::Series(0, 40), {5, 6, 20});
    primary_[10].High = primary_[10].Low = primary_[10].Close = 32767.0f;  // day 12
    secondary_ = Without(zarq_test::Series(2, 34, 3), {6, 10, 11}, 2);
    secondary_[10].Close = 0.0f;  // day 15
    WriteData(1, primary_);
    WriteData(5, secondary_);
  }
  ZarqDateTimePair Day(uint32_t i) { return {zarq_test::SeriesRecord(i).Date, 0}; }

  std::vector<ZarqPriceRecord> primary_, secondary_;
};

TEST_F(CompositeTest, EveryOperatorPairsAndCombinesAlikeInEveryRead) {
  WriteDailyComponents();
  for (const Formula f : {Formula{'+', 1.5f, 2.0f}, Formula{'-', 0.5f, 2.0f},
                          Formula{'*', 0.5f, 0.25f}, Formula{'/', 3.0f, 1.0f}}) {
    SCOPED_TRACE(f.op);
    const uint32_t h = AddComposite(1, 5, f);
    ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
    const std::vector<ZarqPriceRecord> want =
        Pairs(AsRead(1, primary_), AsRead(5, secondary_), false, f, 0x3F);
    ASSERT_EQ(want.size(), 29u);  // days 2..35 less 5, 6, 10, 11, 20
    ExpectEveryReadGives(h, want);
    uint16_t count = 0;
    EXPECT_EQ(ZARQ1_GetDataRecordCount(h, &count), ZARQ_OK);
    EXPECT_EQ(count, 31);  // the primary's days 2..35
    ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
  }
}

// Intraday: the partner is the last secondary record at or before the
// primary's moment, which may be one of an earlier day.
TEST_F(CompositeTest, AnIntradayPartnerIsTheLastRecordAtOrBefore) {
  const std::vector<ZarqPriceRecord> primary = zarq_test::Series(0, 20);
  const std::vector<ZarqPriceRecord> secondary = Without(zarq_test::Series(2, 14, 5), {4, 5, 9}, 2);
  WriteData(2, primary);
  WriteData(9, secondary);
  const Formula f = {'*', 1.0f, 2.0f};
  const uint32_t h = AddComposite(2, 9, f);
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
  const std::vector<ZarqPriceRecord> want =
      Pairs(AsRead(2, primary), AsRead(9, secondary), true, f, 0xBF);
  ASSERT_EQ(want.size(), 18u);
  ExpectEveryReadGives(h, want);
  // A search for a moment between records finds the pair before it.
  ZarqDateTimePair at = {primary[6].Date, primary[6].Time + 1};
  uint16_t recno = 9;
  EXPECT_EQ(ZARQ1_FindDataDate(h, &at, &recno, 0), ZARQ_NEAR_MATCH);
  EXPECT_EQ(std::make_tuple(at.Date, at.Time, recno),
            std::make_tuple(primary[6].Date, primary[6].Time, 0));
}

// A search moves the cursor to the pair it finds (by the target against
// both components, never past the target in mode 0), a failed one leaves
// the sequence as it was; rewinding and asking the position do not read
// on. Day 10 is the shape of primary d1 d2 d3 against secondary d1 d3.
TEST_F(CompositeTest, SearchesAndTheCursor) {
  WriteDailyComponents();
  const uint32_t h = AddComposite(1, 5, {'+', 1.0f, 1.0f});
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
  const struct {
    uint32_t day;
    uint32_t mode;
    int32_t status;
    uint32_t found;
  } searches[] = {
      {9, 2, ZARQ_OK, 9},           {10, 0, ZARQ_NEAR_MATCH, 9},  // secondary misses 10, 11
      {10, 1, ZARQ_NEAR_MATCH, 12}, {10, 2, ZARQ_E_NO_EXACT_RECORD, 0},
      {20, 0, ZARQ_NEAR_MATCH, 19}, {20, 1, ZARQ_NEAR_MATCH, 21},  // primary misses 20
      {6, 0, ZARQ_NEAR_MATCH, 4},   {6, 1, ZARQ_NEAR_MATCH, 7},    // both miss 6
      {0, 1, ZARQ_NEAR_MATCH, 2},   {0, 0, ZARQ_E_BEFORE_FIRST, 0},
      {37, 0, ZARQ_NEAR_MATCH, 35}, {37, 1, ZARQ_E_AFTER_LAST, 0},
  };
  ZarqPriceRecord record;
  for (const auto& s : searches) {
    SCOPED_TRACE(std::to_string(s.day) + " mode " + std::to_string(s.mode));
    ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
    ASSERT_EQ(ZARQ1_ReadDataRec(h, &record), ZARQ_OK);
    ZarqDateTimePair pair = Day(s.day);
    uint16_t recno = 0;
    EXPECT_EQ(ZARQ1_FindDataDate(h, &pair, &recno, s.mode), s.status);
    // The next read gives the pair found, or after a failure the pair
    // after the one read.
    const uint32_t next = s.status >= 0 ? s.found : 3;
    if (s.status >= 0) {
      EXPECT_EQ(pair.Date, Day(s.found).Date);
    }
    ASSERT_EQ(ZARQ1_ReadDataRec(h, &record), ZARQ_OK);
    EXPECT_EQ(record.Date, Day(next).Date);
  }

  // Read, position queries that do not move, a search, read on, rewind.
  ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
  uint16_t recno = 7;
  ZarqDateTimePair at;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &at), ZARQ_OK);
    EXPECT_EQ(std::make_tuple(recno, at.Date), std::make_tuple(0, Day(2).Date));
  }
  ZarqPriceRecord read[10];
  uint16_t count = 3;
  ASSERT_EQ(ZARQ2_ReadMultipleRecs(h, read, nullptr, &count, 3), ZARQ_OK);
  EXPECT_EQ(read[2].Date, Day(4).Date);
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &at), ZARQ_OK);
  EXPECT_EQ(at.Date, Day(7).Date);
  at = Day(16);
  ASSERT_EQ(ZARQ2_ReadDataRec(h, &at, &record, 2), ZARQ_OK);
  ASSERT_EQ(ZARQ1_ReadDataRec(h, &record), ZARQ_OK);
  EXPECT_EQ(record.Date, Day(17).Date);
  ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
  ASSERT_EQ(ZARQ1_ReadDataRec(h, &record), ZARQ_OK);
  EXPECT_EQ(record.Date, Day(2).Date);
  // A bounded read stops before a pair after its end and leaves it next.
  const ZarqDateTimePair from = Day(8), to = Day(13);
  count = 10;
  EXPECT_EQ(ZARQ2_ReadMultipleRecsByDates(h, read, &from, &to, &count, 1), ZARQ_OK);
  ASSERT_EQ(count, 4);  // 8, 9, 12, 13
  ASSERT_EQ(ZARQ1_ReadDataRec(h, &record), ZARQ_OK);
  EXPECT_EQ(record.Date, Day(14).Date);
}

// The combined close to the bit, as every build must give it: x87
// extended precision (a 32-bit build without SSE) gives other bits for the
// first, third and fourth. No overflow reaches the caller.
TEST(CompositeValuesTest, TheSameBitsOnEveryBuild) {
  const struct {
    char op;
    float a, b, primary_factor, secondary_factor;
    uint32_t close;
  } cases[] = {
      {'*', 10.1f, 3.7f, 3.3f, 1.7f, 0x4351A54Eu},
      {'/', 1.0f, 3.0f, 0.1f, 0.7f, 0x3D430C31u},
      {'+', 16777215.0f, 0.3f, 1.00000012f, 0.9f, 0x4B800000u},
      {'-', 0.1f, 0.1f, 3.0f, 2.9f, 0x3C23D708u},
      {'/', 123.456f, 7.89f, 1.1f, 0.3f, 0x42657DD4u},
      {'*', 1e30f, 1e30f, 1.0f, 1.0f, 0u},  // beyond a single
      {'*', 1e38f, 0.0f, 1e10f, 1.0f, 0u},  // infinity times 0
      {'/', 5.0f, 0.0f, 1.0f, 1.0f, 0u},
  };
  for (const auto& c : cases) {
    ZarqPriceRecord a = {}, b = {};
    a.Close = c.a;
    b.Close = c.b;
    const ZarqPriceRecord r =
        CombineRecords(a, b, {c.op, c.primary_factor, c.secondary_factor, 0x07});
    EXPECT_EQ(std::bit_cast<uint32_t>(r.Close), c.close) << c.op << " " << c.a;
  }
}

// Eight composites lock; the ninth is refused before anything is taken,
// and the library stays usable and closes.
TEST_F(CompositeTest, TheNinthCompositeIsRefusedCleanly) {
  std::vector<uint32_t> composites;
  for (uint32_t secondary : {3u, 4u, 5u}) {
    for (char op : {'+', '-', '*'}) composites.push_back(AddComposite(1, secondary, {op, 1, 1}));
  }
  for (size_t i = 0; i < 8; ++i) ASSERT_EQ(ZARQ1_LockSecurity(composites[i], 16), ZARQ_OK) << i;
  const std::string locks = folder_.ReadFile("~ZARQ.LCK");
  EXPECT_EQ(ZARQ1_LockSecurity(composites[8], ZARQ_READ_LOCK), ZARQ_E_LOCK_TABLE_FULL);
  EXPECT_EQ(folder_.ReadFile("~ZARQ.LCK"), locks);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_INITIALIZED);
  EXPECT_EQ(CompositeStatesInUse(), 8);
  // DefinitionLock needs no read state.
  EXPECT_EQ(ZARQ1_LockSecurity(composites[8], ZARQ_DEFINITION_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ1_UnlockSecurity(composites[8]), ZARQ_OK);
  ASSERT_EQ(ZARQ1_UnlockSecurity(composites[0]), ZARQ_OK);
  EXPECT_EQ(ZARQ1_LockSecurity(composites[8], ZARQ_READ_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(CompositeStatesInUse(), 0);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_INITIALIZED);
}

}  // namespace
}  // namespace zarq
