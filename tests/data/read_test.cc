// Reading price data: the cursor and forward reads, an empty file, reading
// back page by page, reading between moments (and telling a full buffer
// from a finished range), a full read of every field mask against the
// reference decoding, the hand-over of composites, and the checks of
// arguments, lock levels and the library state.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/data/composite_seam.h"
#include "src/fileio/file_table.h"
#include "src/security/lock_table.h"
#include "tests/data/data_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using ReadTest = DataTest;

ZarqDateTimePair PairOf(const ZarqPriceRecord& record) { return {record.Date, record.Time}; }

TEST_F(ReadTest, TheCursorAndForwardReads) {
  const std::vector<ZarqPriceRecord> series = zarq_test::Series(0, 12);
  const std::vector<ZarqPriceRecord> want = AsRead(kDaily, series);
  WriteData(kDaily, series);
  const uint32_t h = Handle(kDaily);
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
  uint16_t recno = 0, count = 0;
  ZarqDateTimePair pair;
  ZarqPriceRecord one;
  ASSERT_EQ(ZARQ1_GetDataRecordCount(h, &count), ZARQ_OK);
  EXPECT_EQ(count, 12);

  // Looking at the cursor does not move it.
  ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
  ASSERT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &pair), ZARQ_OK);
  EXPECT_EQ(std::make_tuple(recno, pair.Date, pair.Time), std::make_tuple(1, want[0].Date, 0));
  ASSERT_EQ(ZARQ1_ReadDataRec(h, &one), ZARQ_OK);
  EXPECT_TRUE(SameRecord(one, want[0]));

  // 10 records from record 8 of 12: five, and the cursor past the end.
  std::vector<ZarqPriceRecord> block(10);
  ZarqDateTimePair eighth = PairOf(series[7]);
  count = 10;
  EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, block.data(), &eighth, &count, 2), ZARQ_FEWER_READ);
  block.resize(count);
  EXPECT_TRUE(SameRecords(block, {want.begin() + 7, want.end()}));
  EXPECT_EQ(ZARQ1_ReadDataRec(h, &one), ZARQ_E_END_OF_FILE);
  recno = 7;
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &pair), ZARQ_E_END_OF_FILE);
  EXPECT_EQ(std::make_tuple(recno, pair.Date), std::make_tuple(0, 0));

  // By record number, and by moment (a neighbour is read; the pair stays).
  EXPECT_EQ(ZARQ1_FindDataRec(h, 0, &pair), ZARQ_E_RECORD_NUMBER_RANGE);
  EXPECT_EQ(ZARQ1_FindDataRec(h, 13, &pair), ZARQ_E_RECORD_NUMBER_RANGE);
  ASSERT_EQ(ZARQ1_FindDataRec(h, 5, &pair), ZARQ_OK);
  EXPECT_EQ(pair.Date, want[4].Date);
  ASSERT_EQ(ZARQ1_ReadDataRec(h, &one), ZARQ_OK);
  EXPECT_TRUE(SameRecord(one, want[4]));
  ZarqDateTimePair before_first = {want[0].Date - 1, 0};
  ASSERT_EQ(ZARQ2_ReadDataRec(h, &before_first, &one, 1), ZARQ_OK);
  EXPECT_TRUE(SameRecord(one, want[0]));
  EXPECT_EQ(before_first.Date, want[0].Date - 1);
  ASSERT_EQ(ZARQ1_SeekEndData(h), ZARQ_OK);
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &pair), ZARQ_E_END_OF_FILE);
  ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
}

TEST_F(ReadTest, AnEmptyFileHasNothingToFindOrRead) {
  const uint32_t h = Handle(kDaily);
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);  // creates the file
  ZarqDateTimePair pair = {20100104, 0};
  uint16_t recno = 0, count = 5;
  ZarqPriceRecord records[5];
  EXPECT_EQ(ZARQ1_FindDataDate(h, &pair, &recno, 1), ZARQ_E_NO_DATA);
  EXPECT_EQ(ZARQ1_FindDataRec(h, 1, &pair), ZARQ_E_NO_DATA);
  EXPECT_EQ(ZARQ1_ReadDataRec(h, records), ZARQ_E_END_OF_FILE);
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &pair), ZARQ_E_END_OF_FILE);
  EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, records, nullptr, &count, 3), ZARQ_E_END_OF_FILE);
  count = 5;
  EXPECT_EQ(ZARQ2_ReadBackMultipleRecs(h, records, nullptr, &count, 3), ZARQ_E_END_OF_FILE);
  count = 5;
  EXPECT_EQ(ZARQ2_ReadBackMultipleRecs(h, records, &pair, &count, 0), ZARQ_E_NO_DATA);
  count = 5;
  EXPECT_EQ(ZARQ2_ReadMultipleRecsByDates(h, records, &pair, &pair, &count, 1), ZARQ_E_NO_DATA);
  EXPECT_EQ(count, 0);
  count = 5;
  EXPECT_EQ(ZARQ1_GetRecordCountForDateRange(h, &pair, &pair, &count), ZARQ_OK);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
}

// Paging back from the end returns every record once: the last page ends
// at the last record, and nothing comes after the page holding record 1.
TEST_F(ReadTest, ReadingBackPagesThroughTheFileOnce) {
  const uint32_t h = Handle(kIntraday);
  for (uint16_t n : {25, 20, 4}) {
    const std::vector<ZarqPriceRecord> series = zarq_test::Series(100, n);
    WriteData(kIntraday, series);
    ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
    ASSERT_EQ(ZARQ1_SeekEndData(h), ZARQ_OK);
    std::vector<ZarqPriceRecord> pages;  // gathered from the end
    std::vector<int32_t> statuses;
    for (int page = 0; page < 5; ++page) {
      std::vector<ZarqPriceRecord> block(10);
      uint16_t count = 10;
      statuses.push_back(ZARQ2_ReadBackMultipleRecs(h, block.data(), nullptr, &count, 3));
      block.resize(count);
      pages.insert(pages.begin(), block.begin(), block.end());
      if (count == 0) break;
    }
    EXPECT_TRUE(SameRecords(pages, AsRead(kIntraday, series))) << n;
    std::vector<int32_t> want_statuses(n / 10, ZARQ_OK);
    if (n % 10 != 0) want_statuses.push_back(ZARQ_FEWER_READ);
    want_statuses.push_back(ZARQ_FEWER_READ);  // nothing before record 1
    EXPECT_EQ(statuses, want_statuses) << n;

    // The block ending at record 4: records 1 to 4, and the cursor before them.
    ASSERT_GE(n, 4);
    std::vector<ZarqPriceRecord> block(10);
    uint16_t count = 10;
    ZarqDateTimePair fourth = PairOf(series[3]);
    EXPECT_EQ(ZARQ2_ReadBackMultipleRecs(h, block.data(), &fourth, &count, 2), ZARQ_FEWER_READ);
    block.resize(count);
    EXPECT_TRUE(SameRecords(block, AsRead(kIntraday, {series.begin(), series.begin() + 4})));
    ZarqPriceRecord next;
    ASSERT_EQ(ZARQ1_ReadDataRec(h, &next), ZARQ_OK);
    EXPECT_TRUE(SameRecord(next, zarq_test::AsRead(series[0], MaskOf(kIntraday))));
    ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
  }
}

TEST_F(ReadTest, ReadingBetweenMomentsTellsWhetherTheRangeGoesOn) {
  const int32_t dates[] = {20090105, 20090106, 20090107, 20090108, 20090108, 20090109, 20090112};
  std::vector<ZarqPriceRecord> series;
  for (int32_t date : dates) {
    series.push_back(zarq_test::SeriesRecord(static_cast<uint32_t>(series.size())));
    series.back().Date = date;
  }
  WriteData(kDaily, series);
  const uint32_t h = Handle(kDaily);
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
  const struct {
    int32_t start, end;
    uint16_t buffer;
    int32_t status;
    uint16_t count;
  } cases[] = {
      {20090105, 20090109, 10, ZARQ_OK, 6},            // a record past the end stops it
      {20090105, 20090112, 10, ZARQ_OK, 7},            // the data ends at the end moment
      {20090105, 20090131, 10, ZARQ_FEWER_READ, 7},    // the data ends before it
      {20090105, 20090109, 3, ZARQ_BUFFER_FILLED, 3},  // more of the range follows
      {20090105, 20090107, 3, ZARQ_OK, 3},             // full, and the range is done
      {20090105, 20090108, 4, ZARQ_BUFFER_FILLED, 4},  // a record of the end moment follows
      {20090105, 20090131, 6, ZARQ_BUFFER_FILLED, 6},  // one record left, inside the range
      {20090110, 20090111, 5, ZARQ_OK, 0},             // no record in the range
      {20090113, 20090120, 5, ZARQ_E_AFTER_LAST, 0},
  };
  for (const auto& c : cases) {
    std::vector<ZarqPriceRecord> records(c.buffer);
    ZarqDateTimePair start = {c.start, 0}, end = {c.end, 0};
    uint16_t count = c.buffer;
    EXPECT_EQ(ZARQ2_ReadMultipleRecsByDates(h, records.data(), &start, &end, &count, 1), c.status)
        << c.start << ".." << c.end << " into " << c.buffer;
    ASSERT_EQ(count, c.count) << c.start << ".." << c.end << " into " << c.buffer;
    records.resize(count);
    const size_t first = c.start == 20090105 ? 0 : 6;
    if (count > 0) {
      EXPECT_TRUE(SameRecords(
          records, AsRead(kDaily, {series.begin() + first, series.begin() + first + count})));
    }
    // The cursor follows the records taken.
    uint16_t recno = 0;
    ZarqDateTimePair at;
    int32_t position = ZARQ1_GetCurrentDataPos(h, &recno, &at);
    if (c.status >= 0 && first + count < series.size()) {
      EXPECT_EQ(std::make_tuple(position, recno), std::make_tuple(0, first + count + 1));
    }
  }
  ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
}

// One read of 65,500 records into the caller's array, for every mask,
// gives byte for byte what the general decoder makes of each stored
// record, arbitrary bytes included; the file is read in whole chunks.
TEST_F(ReadTest, AFullReadOfEveryMaskIsTheReferenceDecoding) {
  constexpr uint16_t kCount = 65500;
  std::mt19937 random(65500);
  std::vector<ZarqPriceRecord> got(kCount), want(kCount);
  for (uint32_t slot = 1; slot <= std::size(kMasks); ++slot) {
    const uint32_t size = SizeOf(slot);
    std::string bytes((kCount + 1) * size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    PutU16(reinterpret_cast<uint8_t*>(&bytes[2]), kCount + 1);
    folder_.WriteFile(FileName(slot), bytes);
    for (uint32_t k = 0; k < kCount; ++k) {
      DecodePriceRecord(Raw(bytes, (k + 1) * size), MaskOf(slot), &want[k]);
    }
    const uint32_t h = Handle(slot);
    ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
    ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
    uint16_t count = kCount;
    zarq_test::InstalledFaults counting;
    ASSERT_EQ(ZARQ2_ReadMultipleRecs(h, got.data(), nullptr, &count, 3), ZARQ_OK);
    const size_t chunks = (kCount * size + kIoChunkBytes - 1) / kIoChunkBytes;
    EXPECT_EQ(counting.read_sizes.size(), chunks) << "slot " << slot;
    ASSERT_EQ(count, kCount);
    ASSERT_EQ(std::memcmp(got.data(), want.data(), kCount * sizeof(ZarqPriceRecord)), 0)
        << "mask " << MaskOf(slot);
    ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
  }
}

// What the fake composite reader was asked.
std::vector<std::string> g_calls;

int32_t FakeFind(uint32_t, int32_t* date, int32_t*, uint32_t mode, bool set_cursor) {
  g_calls.push_back("find " + std::to_string(mode) + (set_cursor ? " moving" : ""));
  *date = 20200102;
  return ZARQ_NEAR_MATCH;
}
int32_t FakeRead(uint32_t, ZarqPriceRecord* out, uint16_t* count) {
  g_calls.push_back("read " + std::to_string(*count));
  for (uint16_t i = 0; i < *count; ++i) out[i] = zarq_test::SeriesRecord(i);
  return ZARQ_OK;
}
int32_t FakeReadBack(uint32_t, ZarqPriceRecord*, const ZarqDateTimePair&, uint16_t* count,
                     uint32_t) {
  g_calls.push_back("back " + std::to_string(*count));
  return ZARQ_OK;
}
int32_t FakeReadByDates(uint32_t, ZarqPriceRecord*, const ZarqDateTimePair&,
                        const ZarqDateTimePair&, uint16_t* count, uint32_t) {
  g_calls.push_back("dates " + std::to_string(*count));
  return ZARQ_OK;
}
void FakeReset(uint32_t, DataCursor cursor) {
  g_calls.push_back("reset " + std::to_string(cursor.record) + " " + std::to_string(cursor.extra));
}

// A composite held as the composite layer holds one: searches and reads
// go to the composite reader (-125 from the real one, which has no read
// state for it), cursor changes restart it, writes and record numbers are
// refused.
TEST_F(ReadTest, CompositesAreHandedToTheCompositeReader) {
  const uint32_t h = MakeSecurityHandle(dir_, 20, true);
  LockSlot& slot = LockSlotAt(kLockSlotCount - 1);
  slot = LockSlot{};
  slot.flags = kSlotInUse | kSlotExplicit;
  slot.handle = h;
  slot.directory = dir_;
  slot.level = ZARQ_READ_LOCK;
  slot.nesting = 1;
  slot.record_count = 5;
  slot.start_position[0] = 3;
  slot.start_position[1] = 7;
  slot.record.composite = 1;
  slot.record.field_mask = 0x7F;
  slot.record.period = 'D';
  ZarqDateTimePair pair = {20200101, 0};
  ZarqPriceRecord records[4];
  uint16_t recno = 0, count = 4;
  auto refused = [&](uint32_t expected_status) {
    count = 4;
    EXPECT_EQ(ZARQ1_FindDataDate(h, &pair, &recno, 1), expected_status);
    EXPECT_EQ(ZARQ1_ReadDataRec(h, records), expected_status);
    EXPECT_EQ(ZARQ2_ReadBackMultipleRecs(h, records, &pair, &count, 0), expected_status);
  };
  refused(ZARQ_E_NO_COMPOSITE_STATE);
  EXPECT_EQ(ZARQ1_SeekEndData(h), ZARQ_E_IS_COMPOSITE);
  EXPECT_EQ(ZARQ1_FindDataRec(h, 1, &pair), ZARQ_E_IS_COMPOSITE);
  EXPECT_EQ(ZARQ1_WriteDataRec(h, records), ZARQ_E_IS_COMPOSITE);
  EXPECT_EQ(ZARQ2_InsertMultipleRecs(h, records, 1, 3), ZARQ_E_IS_COMPOSITE);
  EXPECT_EQ(ZARQ1_DeleteDataRec(h), ZARQ_E_IS_COMPOSITE);
  pair = {20200101, 0};

  g_calls.clear();
  const CompositeReader previous =
      InstallCompositeReader({&FakeFind, &FakeRead, &FakeReadBack, &FakeReadByDates, &FakeReset});
  ASSERT_EQ(ZARQ1_SeekBeginData(h), ZARQ_OK);
  count = 4;
  EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, records, &pair, &count, 1), ZARQ_OK);
  EXPECT_EQ(std::make_tuple(count, pair.Date), std::make_tuple(4, 20200101));
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, &pair), ZARQ_OK);
  EXPECT_EQ(std::make_tuple(recno, pair.Date), std::make_tuple(0, records[0].Date));
  count = 2;
  EXPECT_EQ(ZARQ2_ReadMultipleRecsByDates(h, records, &pair, &pair, &count, 1), ZARQ_OK);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"reset 3 7", "reset 0 0", "find 1 moving", "read 4",
                                               "read 1", "reset 0 0", "dates 2"}));
  InstallCompositeReader(previous);
  slot = LockSlot{};
}

// Counts are checked before the lock; a security not locked (or locked
// too weakly for a change) is refused; a null pointer is -124; outside the
// initialised state every output is cleared and the state returned.
TEST_F(ReadTest, ArgumentsLockLevelsAndTheLibraryState) {
  WriteData(kDaily, zarq_test::Series(0, 3));
  const uint32_t h = Handle(kDaily);
  ZarqPriceRecord records[2];
  ZarqDateTimePair pair = {20000101, 0};
  for (uint16_t bad : {0, 65501}) {
    uint16_t count = bad;
    EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, records, &pair, &count, 1), ZARQ_E_BAD_RECORD_COUNT);
    count = bad;
    EXPECT_EQ(ZARQ2_ReadBackMultipleRecs(h, records, &pair, &count, 0), ZARQ_E_BAD_RECORD_COUNT);
    count = bad;
    EXPECT_EQ(ZARQ2_ReadMultipleRecsByDates(h, records, &pair, &pair, &count, 1),
              ZARQ_E_BAD_RECORD_COUNT);
  }
  EXPECT_EQ(ZARQ1_ReadDataRec(h, records), ZARQ_E_NOT_LOCKED);
  EXPECT_EQ(ZARQ1_SeekBeginData(h), ZARQ_E_NOT_LOCKED);
  ASSERT_EQ(ZARQ1_LockSecurity(h, ZARQ_READ_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ1_WriteDataRec(h, records), ZARQ_E_LOCK_TOO_WEAK);
  EXPECT_EQ(ZARQ2_DeleteMultipleRecs(h, &pair, 1, 1), ZARQ_E_LOCK_TOO_WEAK);

  uint16_t recno = 0, count = 1;
  EXPECT_EQ(ZARQ1_ReadDataRec(h, nullptr), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_FindDataDate(h, nullptr, &recno, 0), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, records, nullptr, &count, 1), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ2_ReadMultipleRecs(h, records, &pair, nullptr, 1), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_GetCurrentDataPos(h, &recno, nullptr), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ2_WriteMultipleRecs(h, nullptr, 1, 3), ZARQ_E_INVALID_ARGUMENT);
  ASSERT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);

  ASSERT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  const std::vector<std::function<int32_t(uint16_t*, ZarqDateTimePair*)>> calls = {
      [&](uint16_t* n, ZarqDateTimePair* p) { return ZARQ1_GetCurrentDataPos(h, n, p); },
      [&](uint16_t* n, ZarqDateTimePair*) { return ZARQ1_GetDataRecordCount(h, n); },
      [&](uint16_t* n, ZarqDateTimePair* p) {
        return ZARQ1_GetRecordCountForDateRange(h, p, p, n);
      },
      [&](uint16_t* n, ZarqDateTimePair* p) { return ZARQ1_FindDataDate(h, p, n, 1); },
      [&](uint16_t*, ZarqDateTimePair* p) { return ZARQ1_FindDataRec(h, 1, p); },
      [&](uint16_t* n, ZarqDateTimePair* p) { return ZARQ2_ReadMultipleRecs(h, records, p, n, 1); },
      [&](uint16_t* n, ZarqDateTimePair* p) {
        return ZARQ2_ReadBackMultipleRecs(h, records, p, n, 1);
      },
      [&](uint16_t* n, ZarqDateTimePair* p) {
        return ZARQ2_ReadMultipleRecsByDates(h, records, p, p, n, 1);
      },
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    uint16_t n = 2;
    ZarqDateTimePair p = {20000101, 0};
    EXPECT_EQ(calls[i](&n, &p), ZARQ_STATE_UNINITIALIZED) << i;
    EXPECT_EQ(n, i == 4 ? 2 : 0) << i;
    if (i == 0 || i == 4) {
      EXPECT_EQ(p.Date, 0) << i;
    }
  }
}

}  // namespace
}  // namespace zarq
