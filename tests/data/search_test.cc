// Searching price data by moment: the modes on a small file, the search
// against a linear reference over random sorted files with duplicates
// (and ticks, for an intraday security) from every cursor position,
// counted ranges against the same reference, moments at the ends of the
// 32-bit range, and the number of records a search reads.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/data/locked_data.h"
#include "tests/data/data_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using SearchTest = DataTest;

ZarqPriceRecord At(int32_t date, int32_t time = 0) {
  ZarqPriceRecord record = zarq_test::SeriesRecord(0);
  record.Date = date;
  record.Time = time;
  return record;
}

TEST_F(SearchTest, ModesOnASmallFile) {
  WriteData(kDaily, {At(20090105), At(20090106), At(20090106), At(20090106), At(20090109)});
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(kDaily), ZARQ_READ_LOCK), ZARQ_OK);
  const struct {
    int32_t date;
    uint32_t mode;
    int32_t status;
    uint16_t recno;
    int32_t found;  // the pair's date afterwards
  } cases[] = {
      {20090106, 0, ZARQ_OK, 2, 20090106},
      {20090106, 1, ZARQ_OK, 2, 20090106},
      {20090106, 2, ZARQ_OK, 2, 20090106},
      {20090107, 0, ZARQ_NEAR_MATCH, 4, 20090106},
      {20090107, 1, ZARQ_NEAR_MATCH, 5, 20090109},
      {20090107, 2, ZARQ_E_NO_EXACT_RECORD, 0, 20090107},
      {20090112, 0, ZARQ_NEAR_MATCH, 5, 20090109},
      {20090112, 1, ZARQ_E_AFTER_LAST, 0, 20090112},
      {20090112, 2, ZARQ_E_AFTER_LAST, 0, 20090112},
      {20090102, 1, ZARQ_NEAR_MATCH, 1, 20090105},
      {20090102, 0, ZARQ_E_BEFORE_FIRST, 0, 20090102},
      {20090102, 2, ZARQ_E_BEFORE_FIRST, 0, 20090102},
  };
  for (const auto& c : cases) {
    ZarqDateTimePair pair = {c.date, 1234};  // a daily security's time becomes 0
    uint16_t recno = 99;
    EXPECT_EQ(ZARQ1_FindDataDate(Handle(kDaily), &pair, &recno, c.mode), c.status)
        << c.date << " mode " << c.mode;
    EXPECT_EQ(std::make_tuple(recno, pair.Date, pair.Time), std::make_tuple(c.recno, c.found, 0))
        << c.date << " mode " << c.mode;
  }
  ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(kDaily)), ZARQ_OK);
}

struct Found {
  int32_t status;
  uint16_t recno;
  Moment moment;
  bool operator==(const Found& o) const {
    return std::tie(status, recno, moment.date, moment.time) ==
           std::tie(o.status, o.recno, o.moment.date, o.moment.time);
  }
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
  return out << f.status << " record " << f.recno << " at " << f.moment.date << " "
             << f.moment.time;
}

// What a search must find, by looking at every record in turn.
Found Reference(const std::vector<Moment>& records, Moment target, uint32_t mode, bool timed) {
  if (!timed) target.time = 0;
  auto before = [&](const Moment& a, const Moment& b) { return CompareMoments(a, b, timed) < 0; };
  if (before(target, records.front()) && mode != 1) return {ZARQ_E_BEFORE_FIRST, 0, target};
  if (before(records.back(), target) && mode != 0) return {ZARQ_E_AFTER_LAST, 0, target};
  size_t i = 0;
  while (i < records.size() && before(records[i], target)) ++i;
  if (i < records.size() && !before(target, records[i])) {
    return {ZARQ_OK, static_cast<uint16_t>(i + 1), target};
  }
  if (mode == 1) {
    if (i == records.size()) return {ZARQ_E_AFTER_LAST, 0, target};
    return {ZARQ_NEAR_MATCH, static_cast<uint16_t>(i + 1), records[i]};
  }
  if (mode == 0) {
    if (i == 0) return {ZARQ_E_BEFORE_FIRST, 0, target};
    return {ZARQ_NEAR_MATCH, static_cast<uint16_t>(i), records[i - 1]};
  }
  return {ZARQ_E_NO_EXACT_RECORD, 0, target};
}

// A sorted file of n records whose moments repeat often: few dates, and
// for an intraday security few times with ticks.
std::vector<Moment> RandomMoments(std::mt19937& random, size_t n, bool timed) {
  static constexpr int32_t kTimes[] = {0, 930000, 930001, 930999, 1000500, 2359999};
  std::vector<Moment> moments(n);
  for (Moment& m : moments) {
    m.date = 20090105 + static_cast<int32_t>(random() % 6);
    m.time = timed ? kTimes[random() % std::size(kTimes)] : 0;
  }
  std::sort(moments.begin(), moments.end(),
            [&](const Moment& a, const Moment& b) { return CompareMoments(a, b, timed) < 0; });
  return moments;
}

// Every moment of the file, a tick and a day before and after it, and the
// ends of the 32-bit range.
std::vector<Moment> Targets(const std::vector<Moment>& records) {
  std::vector<Moment> targets = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX},  {INT_MIN, INT_MAX},
                                 {INT_MAX, INT_MIN}, {20090107, INT_MIN}, {20090107, INT_MAX}};
  for (const Moment& m : records) {
    for (Moment t : {m, Moment{m.date, m.time - 1}, Moment{m.date, m.time + 1},
                     Moment{m.date - 1, m.time}, Moment{m.date + 1, m.time}}) {
      targets.push_back(t);
    }
  }
  std::sort(targets.begin(), targets.end(), [](const Moment& a, const Moment& b) {
    return std::tie(a.date, a.time) < std::tie(b.date, b.time);
  });
  targets.erase(std::unique(targets.begin(), targets.end(),
                            [](const Moment& a, const Moment& b) {
                              return a.date == b.date && a.time == b.time;
                            }),
                targets.end());
  return targets;
}

// Places the cursor at record c (0: unpositioned, count + 1: past the end).
void PlaceCursor(uint32_t handle, uint16_t c, uint16_t count) {
  ZarqDateTimePair ignored;
  if (c == 0) {
    ASSERT_EQ(ZARQ1_SeekBeginData(handle), ZARQ_OK);
  } else if (c > count) {
    ASSERT_EQ(ZARQ1_SeekEndData(handle), ZARQ_OK);
  } else {
    ASSERT_EQ(ZARQ1_FindDataRec(handle, c, &ignored), ZARQ_OK);
  }
}

TEST_F(SearchTest, EveryModeAndCursorAgreesWithALinearSearch) {
  std::mt19937 random(4242);
  for (uint32_t slot : {kDaily, kIntraday}) {
    const bool timed = slot == kIntraday;
    for (int round = 0; round < 2; ++round) {
      const std::vector<Moment> moments = RandomMoments(random, 24 + 13 * round, timed);
      std::vector<ZarqPriceRecord> records;
      for (const Moment& m : moments) records.push_back(At(m.date, m.time));
      WriteData(slot, records);
      const uint32_t handle = Handle(slot);
      ASSERT_EQ(ZARQ1_LockSecurity(handle, ZARQ_READ_LOCK), ZARQ_OK);
      const uint16_t count = static_cast<uint16_t>(moments.size());
      const std::vector<Moment> targets = Targets(moments);
      for (uint16_t c = 0; c <= count + 1; ++c) {
        for (const Moment& target : targets) {
          for (uint32_t mode : {0u, 1u, 2u, 3u}) {
            PlaceCursor(handle, c, count);
            ZarqDateTimePair pair = {target.date, target.time};
            uint16_t recno = 0;
            Found got{
                ZARQ1_FindDataDate(handle, &pair, &recno, mode), recno, {pair.Date, pair.Time}};
            ASSERT_EQ(got, Reference(moments, target, mode, timed))
                << "slot " << slot << " cursor " << c << " target " << target.date << " "
                << target.time << " mode " << mode;
          }
        }
      }
      // Counting a range finds its ends the same way and moves no cursor.
      for (const Moment& start : targets) {
        for (const Moment& end : targets) {
          Found a = Reference(moments, start, 1, timed);
          Found b = Reference(moments, end, 0, timed);
          int32_t status = a.status < 0 ? a.status : b.status < 0 ? b.status : ZARQ_OK;
          uint16_t want = status == ZARQ_OK && a.recno <= b.recno ? b.recno - a.recno + 1 : 0;
          ZarqDateTimePair from = {start.date, start.time}, to = {end.date, end.time};
          uint16_t n = 99;
          ASSERT_EQ(ZARQ1_GetRecordCountForDateRange(handle, &from, &to, &n), status);
          ASSERT_EQ(n, want) << start.date << " " << start.time << " .. " << end.date << " "
                             << end.time;
        }
      }
      ASSERT_EQ(ZARQ1_UnlockSecurity(handle), ZARQ_OK);
    }
  }
}

// A search reads one record per probe: at most log2(n) + 2 records, among
// many equal records too, and one or two at (or just after) the cursor.
TEST_F(SearchTest, ASearchReadsLogarithmicallyManyRecords) {
  constexpr uint16_t kCount = 65500;
  std::vector<ZarqPriceRecord> records(kCount, At(20100104));
  for (uint16_t i = kCount / 2; i < kCount; ++i) records[i] = At(20100105);
  WriteData(kDaily, records);
  const uint32_t handle = Handle(kDaily);
  ASSERT_EQ(ZARQ1_LockSecurity(handle, ZARQ_READ_LOCK), ZARQ_OK);
  const struct {
    uint16_t cursor;
    int32_t date;
    uint16_t found;
    size_t max_reads;
  } cases[] = {
      {0, 20100104, 1, 18},
      {0, 20100105, kCount / 2 + 1, 18},
      {0, 20100106, 0, 0},
      {kCount / 2 + 1, 20100105, kCount / 2 + 1, 2},
      {40000, 20100105, kCount / 2 + 1, 18},
  };
  for (const auto& c : cases) {
    PlaceCursor(handle, c.cursor, kCount);
    zarq_test::InstalledFaults counting;
    ZarqDateTimePair pair = {c.date, 0};
    uint16_t recno = 0;
    ZARQ1_FindDataDate(handle, &pair, &recno, 2);
    EXPECT_EQ(recno, c.found) << c.date;
    EXPECT_LE(counting.read_sizes.size(), c.max_reads) << c.date << " from " << c.cursor;
  }
  ASSERT_EQ(ZARQ1_UnlockSecurity(handle), ZARQ_OK);
}

}  // namespace
}  // namespace zarq
