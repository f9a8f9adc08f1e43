// Stored price records: canonical masks, the layout of every mask, round
// trips, in-place decoding, record order and placeholder records.

#include "src/data/price_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "src/data/field_mask.h"
#include "src/data/mbf.h"

namespace zarq {
namespace {

TEST(FieldMaskTest, CanonicalMasksAndRecordSizes) {
  const struct {
    int32_t count;
    char period;
    uint16_t want;
  } cases[] = {{3, 'D', 0},    {9, 'I', 0},    {4, 'D', 0x0F}, {6, 'M', 0x3F}, {7, 'D', 0x7F},
               {8, 'D', 0x7F}, {4, 'I', 0x87}, {5, 'i', 0x8F}, {7, 'I', 0xBF}, {8, 'I', 0xFF}};
  for (const auto& c : cases) {
    EXPECT_EQ(FieldMaskForCount(c.count, c.period), c.want) << c.count << c.period;
  }
  // A damaged mask never gives a record smaller than the fields coded.
  EXPECT_EQ(StoredRecordSize(0x0001), 12);
  EXPECT_EQ(StoredRecordSize(0xFF07), 12);
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
  ZarqPriceRecord r{20091231 - k,  (mask & kFieldTime) ? 1230456 : 0,
                    10.5f + k,     12.25f + k,
                    9.75f + k,     11.0f + k,
                    123456.0f + k, 789.0f + k,
                    mask,          0};
  return r;
}

TEST(PriceCodecTest, EveryCanonicalMaskStoresItsFieldsInOrderAndReadsThemBack) {
  for (uint16_t mask : CanonicalMasks()) {
    ZarqPriceRecord in = Sample(mask);
    std::vector<uint8_t> stored(StoredRecordSize(mask));
    EncodePriceRecord(in, stored.data());

    std::vector<float> want = {1091231.0f};
    if (mask & kFieldTime) want.push_back(4123056.0f);  // the record time of 12:30 tick 456
    for (auto [bit, value] : {std::pair{kFieldOpen, in.Open},
                              {kFieldHigh, in.High},
                              {kFieldLow, in.Low},
                              {kFieldClose, in.Close},
                              {kFieldVolume, in.Volume},
                              {kFieldOpenInterest, in.OpenInterest}}) {
      if (mask & bit) want.push_back(value);
    }
    ASSERT_EQ(stored.size(), 4 * want.size()) << std::hex << mask;
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(MbfToIeee(&stored[4 * i], kClampNone), want[i]) << std::hex << mask << " " << i;
    }

    ZarqPriceRecord out;
    std::memset(&out, 0xAB, sizeof(out));
    DecodePriceRecord(stored.data(), mask, &out);
    ZarqPriceRecord expected = in;
    if (!(mask & kFieldOpen)) expected.Open = 0;
    if (!(mask & kFieldHigh)) expected.High = 0;
    if (!(mask & kFieldLow)) expected.Low = 0;
    if (!(mask & kFieldOpenInterest)) expected.OpenInterest = 0;
    EXPECT_EQ(std::memcmp(&out, &expected, sizeof(out)), 0) << std::hex << mask;
  }
}

TEST(PriceCodecTest, InPlaceDecodingOfAFullBuffer) {
  for (uint16_t mask : CanonicalMasks()) {
    const int n = 50, size = StoredRecordSize(mask);
    std::vector<ZarqPriceRecord> buffer(n), want(n);
    for (int k = 0; k < n; ++k) {
      uint8_t stored[32];
      EncodePriceRecord(Sample(mask, k), stored);
      std::memcpy(reinterpret_cast<uint8_t*>(buffer.data()) + k * size, stored, size);
      DecodePriceRecord(stored, mask, &want[k]);
    }
    DecodePriceRecordsInPlace(buffer.data(), n, mask);
    EXPECT_EQ(std::memcmp(buffer.data(), want.data(), n * sizeof(ZarqPriceRecord)), 0)
        << std::hex << mask;
  }
}

TEST(PriceCodecTest, RecordOrderUsesZarqTimes) {
  uint8_t a[32], b[32];
  ZarqPriceRecord ra = Sample(0x9F), rb = Sample(0x9F);
  rb.Time = 1300000;  // record time 130000, below 12:30 tick 456's 4123056
  EncodePriceRecord(ra, a);
  EncodePriceRecord(rb, b);
  int32_t date = 0, time = 0;
  RecordToZarqDateTime(a, &date, &time, true);
  EXPECT_EQ(date, 20091231);
  EXPECT_EQ(time, 1230456);
  EXPECT_LT(CompareStoredRecords(a, b, true), 0);
  EXPECT_GT(CompareStoredRecords(b, a, true), 0);
  EXPECT_EQ(CompareStoredRecords(a, b, false), 0);
  rb.Date = 20091230;
  EncodePriceRecord(rb, b);
  EXPECT_EQ(CompareStoredRecords(a, b, true), 1);
  EXPECT_GT(CompareDateTime(INT32_MAX, 0, INT32_MIN, 0, false), 0);  // no overflow
  EXPECT_LT(CompareDateTime(7, INT32_MIN, 7, INT32_MAX, true), 0);
}

TEST(PriceCodecTest, PlaceholderRecords) {
  const float m = 32767.0f;
  const struct {
    float open, high, low, close;
    bool want;
  } cases[] = {
      {1, m, m, m, true},  {0, m, -0.0f, 0, true},
      {m, m, m, 1, true},  {m, 0, 0, 5, true},
      {m, m, 5, 0, false}, {1, m, 0, 1, false},
      {m, 0, 1, 0, false}, {m, std::nextafter(m, 0.0f), 0, 0, false},  // exactly 32767.0 only
  };
  for (const auto& c : cases) {
    ZarqPriceRecord r{0, 0, c.open, c.high, c.low, c.close, 0, 0, 0, 0};
    EXPECT_EQ(IsPlaceholderRecord(r), c.want) << c.open << " " << c.high << " " << c.low;
  }
}

}  // namespace
}  // namespace zarq
