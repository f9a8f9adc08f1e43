// Changing price data: records placed by their moment, writes, inserts and
// deletes with the values they keep (first, last and base moments, the
// count that reaches the header at unlock), the limit of 65500 records,
// deletes by count and by dates, and every refused or failed change
// leaving the data file, its header and the list record as they were.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/master/security_list.h"
#include "tests/data/data_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using Records = std::vector<ZarqPriceRecord>;

ZarqPriceRecord Dated(uint32_t i, int32_t date, uint32_t seed = 0) {
  ZarqPriceRecord record = zarq_test::SeriesRecord(i, seed);
  record.Date = date;
  return record;
}

Records Concat(std::initializer_list<Records> parts) {
  Records all;
  for (const Records& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Records Slice(const Records& records, size_t from, size_t to) {
  return Records(records.begin() + from, records.begin() + to);
}

class WriteTest : public DataTest {
 protected:
  // Writes slot's data file and locks the security for writing.
  void Start(uint32_t slot, const Records& records, uint32_t level = ZARQ_WRITE_LOCK) {
    WriteData(slot, records);
    ASSERT_EQ(ZARQ1_LockSecurity(Handle(slot), level), ZARQ_OK);
  }
  void Unlock(uint32_t slot) { ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(slot)), ZARQ_OK); }
  // Unlocks, then expects the data file to hold records.
  void ExpectFile(uint32_t slot, const Records& records) {
    Unlock(slot);
    EXPECT_EQ(DataFile(slot), FileBytes(slot, records));
  }
  // FirstDate, FirstTime, LastDate, LastTime and BaseDate of the list record.
  std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t> Moments(uint32_t slot) {
    SecurityRecord r = ListRecord(slot);
    return {r.first_date, r.first_time, r.last_date, r.last_time, r.base_date};
  }
  void SetExtra(uint32_t slot, int32_t date, uint32_t value) {
    SecurityList list;
    ASSERT_EQ(ReadSecurityList(FindDirectory(dir_), &list), ZARQ_OK);
    list.at(slot).extra_date = date;
    list.at(slot).extra_value = value;
    ASSERT_EQ(WriteSecurityList(FindDirectory(dir_), list, false), ZARQ_OK);
  }
  uint16_t Cursor(uint32_t slot) {
    uint16_t recno = 0;
    ZarqDateTimePair pair;
    return ZARQ1_GetCurrentDataPos(Handle(slot), &recno, &pair) == ZARQ_OK ? recno : 0;
  }
};

TEST_F(WriteTest, ARecordIsPlacedByItsMoment) {
  const uint32_t h = Handle(kDaily);
  // Into an empty file: record 1, and every cached moment its date.
  Start(kDaily, {});
  const ZarqPriceRecord first = Dated(0, 20090105);
  ASSERT_EQ(ZARQ2_WriteDataRec(h, &first, 0), ZARQ_OK);
  ExpectFile(kDaily, {first});
  EXPECT_EQ(Moments(kDaily), std::make_tuple(20090105, 0, 20090105, 0, 20090105));

  const Records file = {Dated(1, 20090105), Dated(2, 20090106), Dated(3, 20090106),
                        Dated(4, 20090109)};
  const ZarqPriceRecord same = Dated(9, 20090106, 5), between = Dated(9, 20090107, 5),
                        after = Dated(9, 20090112, 5);
  const struct {
    ZarqPriceRecord record;
    uint32_t replace;
    int32_t status;
    Records want;
    uint16_t cursor;  // afterwards (0: past the end)
  } cases[] = {
      {same, 0, ZARQ_E_RECORD_EXISTS, file, 2},
      {same, 1, ZARQ_OK, {file[0], same, file[2], file[3]}, 3},
      {between, 0, ZARQ_OK, {file[0], file[1], file[2], between, file[3]}, 5},
      {after, 0, ZARQ_OK, Concat({file, {after}}), 0},
  };
  for (const auto& c : cases) {
    Start(kDaily, file);
    EXPECT_EQ(ZARQ2_WriteDataRec(h, &c.record, c.replace), c.status) << c.record.Date;
    EXPECT_EQ(Cursor(kDaily), c.cursor) << c.record.Date;
    ExpectFile(kDaily, c.want);
    EXPECT_EQ(HeaderCount(kDaily), c.want.size());
    if (c.want.back().Date != file.back().Date) {
      EXPECT_EQ(ListRecord(kDaily).last_date, c.want.back().Date);
    }
  }
}

// Writes, inserts and deletes at either end keep the first, last and base
// moments (with times for an intraday security) and the count, which
// reach the list record and the header at the unlock. The records carry
// mask 0x7F: the file holding 0xBF records shows the security's fields
// are stored whatever the record's own mask.
TEST_F(WriteTest, ChangesKeepTheCachedMomentsInStep) {
  const uint32_t h = Handle(kIntraday);
  const Records series = zarq_test::Series(10, 30);
  auto moments = [&](const ZarqPriceRecord& first, const ZarqPriceRecord& last, int32_t base) {
    return std::make_tuple(first.Date, first.Time, last.Date, last.Time, base);
  };
  Start(kIntraday, {});
  ASSERT_EQ(ZARQ2_WriteMultipleRecs(h, &series[5], 20, 1), ZARQ_OK);  // 15..34
  ExpectFile(kIntraday, Slice(series, 5, 25));
  EXPECT_EQ(Moments(kIntraday), moments(series[5], series[24], series[5].Date));

  // Before the first and after the last.
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_WRITE_LOCK), ZARQ_OK);
  ASSERT_EQ(ZARQ2_InsertMultipleRecs(h, &series[0], 5, 1), ZARQ_OK);
  EXPECT_EQ(Cursor(kIntraday), 6);
  ASSERT_EQ(ZARQ1_SeekEndData(h), ZARQ_OK);
  ASSERT_EQ(ZARQ1_InsertDataRec(h, &series[25]), ZARQ_OK);
  ASSERT_EQ(ZARQ2_WriteMultipleRecs(h, &series[26], 4, 3), ZARQ_OK);
  ExpectFile(kIntraday, series);
  EXPECT_EQ(HeaderCount(kIntraday), 30);
  EXPECT_EQ(Moments(kIntraday), moments(series[0], series[29], series[0].Date));

  // Deleting from the first record moves the first moment, and the base
  // date with it; from the end the last moment.
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_WRITE_LOCK), ZARQ_OK);
  ZarqDateTimePair pair = {series[0].Date, series[0].Time};
  ASSERT_EQ(ZARQ2_DeleteMultipleRecs(h, &pair, 3, 2), ZARQ_OK);
  EXPECT_EQ(Cursor(kIntraday), 1);
  pair = {series[27].Date, series[27].Time};
  ASSERT_EQ(ZARQ2_DeleteMultipleRecs(h, &pair, 3, 2), ZARQ_OK);
  EXPECT_EQ(Cursor(kIntraday), 24);  // the new last record
  ExpectFile(kIntraday, Slice(series, 3, 27));
  EXPECT_EQ(Moments(kIntraday), moments(series[3], series[26], series[3].Date));
}

// A first record written before the base date takes the base date along.
TEST_F(WriteTest, BaseDateNeverLiesAfterFirstDate) {
  const uint32_t h = Handle(kDaily);
  const Records file = {Dated(0, 20050103), Dated(1, 20050104)};
  const ZarqPriceRecord earlier = Dated(2, 19990105), earliest = Dated(3, 19980105);
  Start(kDaily, file);
  ASSERT_EQ(ListRecord(kDaily).base_date, 20000103);
  ZarqDateTimePair pair;
  ASSERT_EQ(ZARQ1_FindDataRec(h, 1, &pair), ZARQ_OK);
  ASSERT_EQ(ZARQ1_WriteDataRec(h, &earlier), ZARQ_OK);
  ExpectFile(kDaily, {earlier, file[1]});
  EXPECT_EQ(Moments(kDaily), std::make_tuple(19990105, 0, 20050104, 0, 19990105));
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_WRITE_LOCK), ZARQ_OK);
  ASSERT_EQ(ZARQ2_InsertMultipleRecs(h, &earliest, 1, 1), ZARQ_OK);
  Unlock(kDaily);
  EXPECT_EQ(Moments(kDaily), std::make_tuple(19980105, 0, 20050104, 0, 19980105));
}

// A full file's last record can be rewritten and the 65,500th record
// appended by insert; only a change that would leave more is refused.
TEST_F(WriteTest, TheLimitOf65500RecordsIsExact) {
  const uint32_t h = Handle(kDaily);
  const ZarqPriceRecord last = zarq_test::SeriesRecord(65499, 7);
  const Records two = {last, zarq_test::SeriesRecord(65500)};
  const struct {
    const char* what;
    uint16_t records;
    std::function<int32_t()> change;
    int32_t status;
    uint16_t count;
  } cases[] = {
      {"overwrite the last of 65500", 65500,
       [&] {
         ZarqDateTimePair pair;
         ZARQ1_FindDataRec(h, 65500, &pair);
         return ZARQ1_WriteDataRec(h, &last);
       },
       ZARQ_OK, 65500},
      {"insert the 65500th", 65499,
       [&] {
         ZARQ1_SeekEndData(h);
         return ZARQ1_InsertDataRec(h, &last);
       },
       ZARQ_OK, 65500},
      {"insert 2 into 65495", 65495, [&] { return ZARQ2_InsertMultipleRecs(h, two.data(), 2, 3); },
       ZARQ_OK, 65497},
      {"insert into 65500", 65500, [&] { return ZARQ1_InsertDataRec(h, &last); }, ZARQ_E_NO_INSERT,
       65500},
      {"append to 65500", 65500,
       [&] {
         ZARQ1_SeekEndData(h);
         return ZARQ1_WriteDataRec(h, &last);
       },
       ZARQ_E_TOO_MANY_RECORDS, 65500},
      {"write 2 from the last of 65500", 65500,
       [&] {
         ZarqDateTimePair pair;
         ZARQ1_FindDataRec(h, 65500, &pair);
         return ZARQ2_WriteMultipleRecs(h, two.data(), 2, 3);
       },
       ZARQ_E_TOO_MANY_RECORDS, 65500},
  };
  for (const auto& c : cases) {
    Start(kDaily, zarq_test::Series(0, c.records));
    EXPECT_EQ(c.change(), c.status) << c.what;
    uint16_t count = 0;
    ASSERT_EQ(ZARQ1_GetDataRecordCount(h, &count), ZARQ_OK);
    EXPECT_EQ(count, c.count) << c.what;
    Unlock(kDaily);
    EXPECT_EQ(HeaderCount(kDaily), c.count) << c.what;
    if (c.status == ZARQ_OK && c.count == 65500) {
      EXPECT_EQ(ListRecord(kDaily).last_date, last.Date) << c.what;
    }
  }
  // 10 records into 65,495 would be 65,505.
  Records ten = zarq_test::Series(70000, 10);
  Start(kDaily, zarq_test::Series(0, 65495));
  EXPECT_EQ(ZARQ2_InsertMultipleRecs(h, ten.data(), 10, 3), ZARQ_E_TOO_MANY_RECORDS);
  Unlock(kDaily);
}

TEST_F(WriteTest, DeletingByCountAndByDates) {
  const uint32_t h = Handle(kDaily);
  const Records file = zarq_test::Series(0, 12);
  auto pair_of = [&](size_t i) { return ZarqDateTimePair{file[i].Date, 0}; };
  const struct {
    const char* what;
    std::function<int32_t()> change;
    int32_t status;
    Records want;
    uint16_t cursor;  // afterwards (0: past the end)
  } cases[] = {
      {"5 from 3 before the end",
       [&] {
         ZarqDateTimePair p = pair_of(9);
         return ZARQ2_DeleteMultipleRecs(h, &p, 5, 2);
       },
       ZARQ_FEWER_DELETED, Slice(file, 0, 9), 9},
      {"65537 from record 5 (to the end, never 1 for 65537 mod 65536)",
       [&] {
         ZarqDateTimePair p = pair_of(4);
         return ZARQ2_DeleteMultipleRecs(h, &p, 65537, 2);
       },
       ZARQ_FEWER_DELETED, Slice(file, 0, 4), 4},
      {"the cursor's record",
       [&] {
         ZarqDateTimePair p;
         ZARQ1_FindDataRec(h, 6, &p);
         return ZARQ1_DeleteDataRec(h);
       },
       ZARQ_OK, Concat({Slice(file, 0, 5), Slice(file, 6, 12)}), 6},
      {"a count of 0",
       [&] {
         ZarqDateTimePair p = pair_of(4);
         return ZARQ2_DeleteMultipleRecs(h, &p, 0, 2);
       },
       ZARQ_E_BAD_RECORD_COUNT, file, 1},
      {"a neighbour found",
       [&] {
         ZarqDateTimePair p = {file[0].Date - 1, 0};
         return ZARQ2_DeleteMultipleRecs(h, &p, 2, 1);
       },
       ZARQ_NEAR_MATCH, file, 1},
      {"by dates",
       [&] {
         ZarqDateTimePair a = pair_of(2), b = pair_of(5);
         return ZARQ2_DeleteMultipleRecsByDates(h, &a, 2, &b, 2);
       },
       ZARQ_OK, Concat({Slice(file, 0, 2), Slice(file, 6, 12)}), 3},
      {"by dates, the end before the start",
       [&] {
         ZarqDateTimePair a = pair_of(5), b = pair_of(2);
         return ZARQ2_DeleteMultipleRecsByDates(h, &a, 2, &b, 2);
       },
       ZARQ_E_BAD_RECORD_COUNT, file, 1},
  };
  for (const auto& c : cases) {
    Start(kDaily, file);
    EXPECT_EQ(c.change(), c.status) << c.what;
    EXPECT_EQ(Cursor(kDaily), c.cursor) << c.what;
    ExpectFile(kDaily, c.want);
    if (c.want.back().Date != file.back().Date) {
      EXPECT_EQ(ListRecord(kDaily).last_date, c.want.back().Date) << c.what;
    }
  }
}

// Deleting every record leaves the header alone: the last moment and the
// base date become the first moment, which stays; the extra values go.
TEST_F(WriteTest, DeletingEveryRecordEmptiesTheFile) {
  const uint32_t h = Handle(kIntraday);
  const Records file = zarq_test::Series(0, 12);
  SetExtra(kIntraday, 20100105, 77);
  Start(kIntraday, file);
  ZarqDateTimePair pair = {file[0].Date, file[0].Time};
  ASSERT_EQ(ZARQ2_DeleteMultipleRecs(h, &pair, 12, 2), ZARQ_OK);
  EXPECT_EQ(Cursor(kIntraday), 0);  // no record at the cursor (1)
  ZarqPriceRecord record;
  EXPECT_EQ(ZARQ1_ReadDataRec(h, &record), ZARQ_E_END_OF_FILE);
  ExpectFile(kIntraday, {});
  EXPECT_EQ(DataFile(kIntraday).size(), SizeOf(kIntraday));
  EXPECT_EQ(Moments(kIntraday),
            std::make_tuple(file[0].Date, file[0].Time, file[0].Date, file[0].Time, file[0].Date));
  const SecurityRecord list = ListRecord(kIntraday);
  EXPECT_EQ(std::make_tuple(list.extra_date, list.extra_value), std::make_tuple(0, 0u));
}

// A refused or failed change leaves the data file (header included) and
// the list record byte for byte as they were: invalid moments anywhere in
// a block, limits, and a write failing at each of the change's writes.
TEST_F(WriteTest, RefusedAndFailedChangesLeaveTheFilesAsTheyWere) {
  const Records bad_date = {Dated(50, 20090105), Dated(51, 20090230), Dated(52, 20090301)};
  const Records bad_last = {Dated(50, 20090105), Dated(51, 20090106), Dated(52, 20090229)};
  Records bad_time = zarq_test::Series(60, 3);
  bad_time[2].Time = 1260000;                             // minute 60
  const Records big = zarq_test::Series(20000, 5000, 3);  // several I/O chunks
  const ZarqPriceRecord one = zarq_test::SeriesRecord(20, 9);
  struct Case {
    const char* what;
    uint32_t slot;
    uint16_t records;  // in the file before
    std::function<int32_t(uint32_t)> change;
    int32_t status;  // 0: fails by an injected write failure, at each write
  };
  const Case cases[] = {
      {"overwrite, bad date second", kDaily, 20,
       [&](uint32_t h) {
         ZarqDateTimePair p;
         ZARQ1_FindDataRec(h, 3, &p);
         return ZARQ2_WriteMultipleRecs(h, bad_date.data(), 3, 3);
       },
       ZARQ_E_BAD_DATE},
      {"append, bad date last", kDaily, 20,
       [&](uint32_t h) {
         ZARQ1_SeekEndData(h);
         return ZARQ2_WriteMultipleRecs(h, bad_last.data(), 3, 3);
       },
       ZARQ_E_BAD_DATE},
      {"insert, bad date second", kDaily, 20,
       [&](uint32_t h) {
         ZarqDateTimePair p;
         ZARQ1_FindDataRec(h, 3, &p);
         return ZARQ2_InsertMultipleRecs(h, bad_date.data(), 3, 3);
       },
       ZARQ_E_BAD_DATE},
      {"insert into an empty file, bad date", kDaily, 0,
       [&](uint32_t h) { return ZARQ2_InsertMultipleRecs(h, bad_date.data(), 3, 1); },
       ZARQ_E_BAD_DATE},
      {"write by moment, bad date", kDaily, 20,
       [&](uint32_t h) { return ZARQ2_WriteDataRec(h, &bad_date[1], 1); }, ZARQ_E_BAD_DATE},
      {"intraday, bad time last", kIntraday, 20,
       [&](uint32_t h) { return ZARQ2_WriteMultipleRecs(h, bad_time.data(), 3, 1); },
       ZARQ_E_BAD_TIME},
      {"insert 2 into 65499", kDaily, 65499,
       [&](uint32_t h) { return ZARQ2_InsertMultipleRecs(h, bad_last.data(), 2, 3); },
       ZARQ_E_TOO_MANY_RECORDS},
      {"delete past the end", kDaily, 20,
       [&](uint32_t h) {
         ZARQ1_SeekEndData(h);
         return ZARQ1_DeleteDataRec(h);
       },
       ZARQ_E_BAD_RECORD_COUNT},
      {"overwrite the middle", kDaily, 20,
       [&](uint32_t h) {
         ZarqDateTimePair p;
         ZARQ1_FindDataRec(h, 3, &p);
         return ZARQ2_WriteMultipleRecs(h, big.data(), 5000, 3);
       },
       0},
      {"append", kIntraday, 20,
       [&](uint32_t h) { return ZARQ2_WriteMultipleRecs(h, big.data(), 5000, 1); }, 0},
      {"insert before a long tail", kDaily, 6000,
       [&](uint32_t h) {
         ZarqDateTimePair p;
         ZARQ1_FindDataRec(h, 2, &p);
         return ZARQ1_InsertDataRec(h, &one);
       },
       0},
      {"insert into an empty file", kIntraday, 0,
       [&](uint32_t h) { return ZARQ1_InsertDataRec(h, &one); }, 0},
      {"delete before a long tail", kDaily, 6000,
       [&](uint32_t h) {
         ZarqDateTimePair p;
         ZARQ1_FindDataRec(h, 1, &p);
         return ZARQ1_DeleteDataRec(h);
       },
       0},
  };
  // A change failing at write fail_at must leave the files as they were,
  // unless the write was one after the change stood (a write-through the
  // unlock makes again): then they are as the unfailed change leaves them.
  struct Files {
    std::string data, list;
  };
  Files changed;
  auto attempt = [&](const Case& c, int fail_at, int* writes) {
    SetExtra(c.slot, 20100105, 77);
    Start(c.slot, zarq_test::Series(0, c.records));
    const Files before = {DataFile(c.slot), ListBytes(c.slot)};
    int32_t status = 0;
    {
      zarq_test::InstalledFaults faults;
      faults.write_to_fail = fail_at;
      status = c.change(Handle(c.slot));
      *writes = static_cast<int>(faults.write_sizes.size());
    }
    Unlock(c.slot);
    const Files& want = status == ZARQ_OK && fail_at > 0 ? changed : before;
    EXPECT_TRUE(DataFile(c.slot) == want.data && ListBytes(c.slot) == want.list)
        << c.what << ", write " << fail_at << " failing";
    return status;
  };
  for (const Case& c : cases) {
    int writes = 0;
    if (c.status != 0) {
      EXPECT_EQ(attempt(c, 0, &writes), c.status) << c.what;
      EXPECT_EQ(writes, 0) << c.what;
      continue;
    }
    // The change's own writes are counted in a run that fails at none.
    SetExtra(c.slot, 20100105, 77);
    Start(c.slot, zarq_test::Series(0, c.records));
    {
      zarq_test::InstalledFaults counting;
      ASSERT_GE(c.change(Handle(c.slot)), 0) << c.what;
      writes = static_cast<int>(counting.write_sizes.size());
    }
    Unlock(c.slot);
    changed = {DataFile(c.slot), ListBytes(c.slot)};
    ASSERT_GT(writes, 0) << c.what;
    int failed = 0;
    for (int k = 1; k <= writes; ++k) {
      int ignored = 0;
      int32_t status = attempt(c, k, &ignored);
      EXPECT_TRUE(status == ZARQ_OK || status == ZARQ_E_ACCESS_DENIED) << c.what << ", write " << k;
      failed += status == ZARQ_E_ACCESS_DENIED;
    }
    EXPECT_GT(failed, 0) << c.what;
  }
}

}  // namespace
}  // namespace zarq
