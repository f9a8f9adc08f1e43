// Stored price records: canonical masks, the byte layout of every mask,
// round trips, in-place decoding, record order and placeholder records.

#include "src/data/price_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "src/data/field_mask.h"
#include "src/data/mbf.h"
#include "src/datetime/record_time.h"

namespace zarq {
namespace {

TEST(FieldMaskTest, CanonicalMaskOfEveryCount) {
  const struct {
    int32_t count;
    char period;
    uint16_t want;
  } cases[] = {
      {3, 'D', 0},    {9, 'I', 0},    {-1, 'D', 0},   {4, 'D', 0x0F}, {5, 'W', 0x1F},
      {6, 'M', 0x3F}, {7, 'D', 0x7F}, {8, 'D', 0x7F}, {4, 'I', 0x87}, {5, 'i', 0x8F},
      {6, 'I', 0x9F}, {7, 'I', 0xBF}, {8, 'I', 0xFF}, {260, 'D', 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FieldMaskForCount(c.count, c.period), c.want) << c.count << c.period;
  }
}

TEST(FieldMaskTest, DamagedMasksNeverShrinkTheRecordBelowItsFields) {
  EXPECT_EQ(StoredRecordSize(0x7F), 28);
  EXPECT_EQ(StoredRecordSize(0xFF), 32);
  EXPECT_EQ(StoredRecordSize(0x0000), 12);  // DATE, CLOSE, VOL are always coded
  EXPECT_EQ(StoredRecordSize(0x0001), 12);
  EXPECT_EQ(StoredRecordSize(0xFF00), 12);  // bits above 0xFF name no field
  EXPECT_EQ(StoredRecordSize(0xFFFF), 32);
}

std::vector<uint16_t> CanonicalMasks() {
  std::vector<uint16_t> masks;
  for (int count = 4; count <= 8; ++count) {
    masks.push_back(FieldMaskForCount(count, 'D'));
    masks.push_back(FieldMaskForCount(count, 'I'));
  }
  return masks;
}

ZarqPriceRecord Sample(uint16_t mask, int k = 0) {
  ZarqPriceRecord r{};
  r.Date = 20091231 - k;
  r.Time = (mask & kFieldTime) ? 1230456 : 0;
  r.Open = 10.5f + k;
  r.High = 12.25f + k;
  r.Low = 9.75f + k;
  r.Close = 11.0f + k;
  r.Volume = 123456.0f + k;
  r.OpenInterest = 789.0f + k;
  r.FieldMask = mask;
  return r;
}

float MbfAt(const uint8_t* stored, int field) { return MbfToIeee(stored + 4 * field, kClampNone); }

TEST(PriceCodecTest, EveryCanonicalMaskStoresItsFieldsInOrderAndReadsThemBack) {
  for (uint16_t mask : CanonicalMasks()) {
    ZarqPriceRecord in = Sample(mask);
    std::vector<uint8_t> stored(StoredRecordSize(mask));
    EncodePriceRecord(in, stored.data());

    // Expected stored fields in stored order.
    std::vector<float> want = {1091231.0f};
    if (mask & kFieldTime) want.push_back(static_cast<float>(ZarqTimeToRecord(in.Time)));
    if (mask & kFieldOpen) want.push_back(in.Open);
    if (mask & kFieldHigh) want.push_back(in.High);
    if (mask & kFieldLow) want.push_back(in.Low);
    want.push_back(in.Close);
    want.push_back(in.Volume);
    if (mask & kFieldOpenInterest) want.push_back(in.OpenInterest);
    ASSERT_EQ(stored.size(), 4 * want.size()) << std::hex << mask;
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(MbfAt(stored.data(), static_cast<int>(i)), want[i]) << std::hex << mask << " " << i;
    }

    ZarqPriceRecord out;
    std::memset(&out, 0xAB, sizeof(out));
    DecodePriceRecord(stored.data(), mask, &out);
    EXPECT_EQ(out.Date, in.Date);
    EXPECT_EQ(out.Time, in.Time);
    EXPECT_EQ(out.Open, (mask & kFieldOpen) ? in.Open : 0.0f);
    EXPECT_EQ(out.High, (mask & kFieldHigh) ? in.High : 0.0f);
    EXPECT_EQ(out.Low, (mask & kFieldLow) ? in.Low : 0.0f);
    EXPECT_EQ(out.Close, in.Close);
    EXPECT_EQ(out.Volume, in.Volume);
    EXPECT_EQ(out.OpenInterest, (mask & kFieldOpenInterest) ? in.OpenInterest : 0.0f);
    EXPECT_EQ(out.FieldMask, mask);
    EXPECT_EQ(out.Reserved, 0);
  }
}

TEST(PriceCodecTest, DateBytesAndCloseOffsets) {
  ZarqPriceRecord in = Sample(0x87);  // DATE CLOSE VOL TIME
  uint8_t stored[32];
  EncodePriceRecord(in, stored);
  EXPECT_EQ(std::vector<uint8_t>(stored, stored + 4),
            (std::vector<uint8_t>{0xF8, 0x34, 0x05, 0x95}));
  EXPECT_EQ(MbfAt(stored, 1), 4123056.0f);  // 12:30 tick 456
  EXPECT_EQ(MbfAt(stored, 2), in.Close);    // bytes 8-11 with TIME

  in = Sample(0x07 | 0x40);  // no OPEN, HIGH, LOW; not a canonical mask, still coded
  EncodePriceRecord(in, stored);
  EXPECT_EQ(MbfAt(stored, 1), in.Close);  // bytes 4-7 without TIME
}

TEST(PriceCodecTest, InPlaceDecodingOfAFullBuffer) {
  for (uint16_t mask : CanonicalMasks()) {
    const int n = 50;
    std::vector<ZarqPriceRecord> buffer(n);
    std::vector<ZarqPriceRecord> want(n);
    const int size = StoredRecordSize(mask);
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    for (int k = 0; k < n; ++k) {
      uint8_t stored[32];
      EncodePriceRecord(Sample(mask, k), stored);
      std::memcpy(bytes + k * size, stored, size);
      DecodePriceRecord(stored, mask, &want[k]);
    }
    DecodePriceRecordsInPlace(buffer.data(), n, mask);
    for (int k = 0; k < n; ++k) {
      ASSERT_EQ(std::memcmp(&buffer[k], &want[k], sizeof(ZarqPriceRecord)), 0)
          << std::hex << mask << " record " << std::dec << k;
    }
  }
}

TEST(PriceCodecTest, DamagedValuesDecodeToBoundedNumbers) {
  // Exponent byte FF everywhere: 2^127-sized dates and times.
  std::vector<uint8_t> stored(StoredRecordSize(0xFF), 0xFF);
  ZarqPriceRecord out;
  DecodePriceRecord(stored.data(), 0xFF, &out);
  EXPECT_EQ(out.Date, INT32_MIN + 19000000);  // clamped to -2^31, then shifted
  EXPECT_NE(out.Close, 0.0f);

  // A mask without the required fields still reads exactly 12 bytes.
  std::vector<uint8_t> small(StoredRecordSize(0x0001));
  ZarqPriceRecord in = Sample(0x0001);
  EncodePriceRecord(in, small.data());
  DecodePriceRecord(small.data(), 0x0001, &out);
  EXPECT_EQ(out.Date, in.Date);
  EXPECT_EQ(out.Close, in.Close);
  EXPECT_EQ(out.FieldMask, 0x0001);
}

TEST(PriceCodecTest, RecordDateTimeAndOrder) {
  uint8_t a[32], b[32];
  ZarqPriceRecord ra = Sample(0x9F), rb = Sample(0x9F);
  ra.Time = 1230456;  // record time 4123056
  rb.Time = 1300000;  // record time 130000: smaller, yet later
  EncodePriceRecord(ra, a);
  EncodePriceRecord(rb, b);
  int32_t date = 0, time = 0;
  RecordToZarqDateTime(a, &date, &time, true);
  EXPECT_EQ(date, 20091231);
  EXPECT_EQ(time, 1230456);
  RecordToZarqDateTime(a, &date, &time, false);
  EXPECT_EQ(time, 0);

  EXPECT_LT(CompareStoredRecords(a, b, true), 0);
  EXPECT_GT(CompareStoredRecords(b, a, true), 0);
  EXPECT_EQ(CompareStoredRecords(a, b, false), 0);
  rb.Date = 20091230;
  EncodePriceRecord(rb, b);
  EXPECT_EQ(CompareStoredRecords(a, b, true), 1);

  EXPECT_EQ(CompareDateTime(20090102, 5, 20090101, 9, true), 1);
  EXPECT_EQ(CompareDateTime(20090101, 5, 20090101, 9, true), -4);
  EXPECT_EQ(CompareDateTime(20090101, 5, 20090101, 9, false), 0);
  EXPECT_GT(CompareDateTime(INT32_MAX, 0, INT32_MIN, 0, false), 0);
  EXPECT_LT(CompareDateTime(0, INT32_MIN, 0, INT32_MAX, true), 0);
}

TEST(PriceCodecTest, PlaceholderRecords) {
  const float m = 32767.0f;
  const struct {
    float open, high, low, close;
    bool want;
  } cases[] = {
      {1, m, m, m, true},     {0, m, 0, 0, true},
      {0, m, -0.0f, 0, true}, {m, m, m, 1, true},
      {m, 0, 0, 5, true},     {m, m, 5, 0, false},
      {1, m, m, 2, false},    {1, m, 0, 1, false},
      {m, 0, 1, 0, false},    {m, std::nextafter(m, 0.0f), 0, 0, false},
      {1, 2, 3, 4, false},
  };
  for (const auto& c : cases) {
    ZarqPriceRecord r{};
    r.Open = c.open;
    r.High = c.high;
    r.Low = c.low;
    r.Close = c.close;
    EXPECT_EQ(IsPlaceholderRecord(r), c.want)
        << c.open << " " << c.high << " " << c.low << " " << c.close;
  }
}

}  // namespace
}  // namespace zarq
