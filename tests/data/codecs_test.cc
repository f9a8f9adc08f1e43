// Stored values: the stored float against an independent formula, the
// values it cannot hold, clean-up and clamps; price records (canonical
// masks, the layout of every mask, round trips, in-place decoding, record
// order, placeholders); and the halving buffer allocator.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "src/data/field_mask.h"
#include "src/data/mbf.h"
#include "src/data/price_codec.h"
#include "src/data/record_buffer.h"
#include "src/data/stored_values.h"

namespace zarq {
namespace {

using Bytes = std::array<uint8_t, 4>;

Bytes ToMbf(float value) {
  Bytes out;
  IeeeToMbf(value, out.data());
  return out;
}
uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }
float FromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

TEST(MbfTest, AgreesWithTheFormulaForEveryExponent) {
  std::mt19937 random(20091231);
  for (int exponent = 3; exponent <= 255; ++exponent) {
    for (int i = 0; i < 200; ++i) {
      uint32_t word = random();
      Bytes mbf = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                   static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(exponent)};
      // +-(1 + m / 2^23) x 2^(E - 129)
      double want = std::ldexp(1.0 + (word & 0x7FFFFF) / 8388608.0, exponent - 129);
      if (word & 0x800000) want = -want;
      float value = MbfToIeee(mbf.data(), kClampNone);
      ASSERT_EQ(static_cast<double>(value), want) << exponent << " " << word;
      ASSERT_EQ(ToMbf(value), mbf) << exponent << " " << word;
    }
  }
}

TEST(MbfTest, KnownValuesAndUnstorableOnes) {
  // clang-format off
  const std::pair<float, Bytes> known[] = {
      {1.0f, {0x00, 0x00, 0x00, 0x81}}, {0.5f, {0x00, 0x00, 0x00, 0x80}},
      {-1.0f, {0x00, 0x00, 0x80, 0x81}}, {10.0f, {0x00, 0x00, 0x20, 0x84}},
      {1091231.0f, {0xF8, 0x34, 0x05, 0x95}},  // the record date of 20091231
      {1.5f * 0x1p126f, {0x00, 0x00, 0x40, 0xFF}}};
  // clang-format on
  for (const auto& [value, mbf] : known) {
    EXPECT_EQ(ToMbf(value), mbf) << value;
    EXPECT_EQ(MbfToIeee(mbf.data(), kClampNone), value) << value;
  }
  // Zero of either sign, denormals, 2^127 and above, infinities and NaN.
  for (uint32_t bits : {0x00000000u, 0x80000000u, 0x00000001u, 0x807FFFFFu, 0x7F000000u,
                        0xFF000000u, 0x7F7FFFFFu, 0x7F800000u, 0xFF800000u, 0x7FC00000u}) {
    EXPECT_EQ(ToMbf(FromBits(bits)), (Bytes{0, 0, 0, 0})) << std::hex << bits;
  }
  // The exponent bytes 0..2 read as +0.0 whatever the other bytes.
  for (uint8_t exponent : {0, 1, 2}) {
    Bytes mbf = {0x12, 0x34, 0xFF, exponent};
    EXPECT_EQ(Bits(MbfToIeee(mbf.data(), kClampSigned)), 0u);
  }
  // A record date reads the same whatever the clamp.
  for (int32_t mode : {kClampNone, kClampSigned, kClampUnsigned}) {
    EXPECT_EQ(ZarqDateFromRecordFloat(MbfToIeee(known[4].second.data(), mode)), 20091231);
  }
}

TEST(MbfTest, SanitizeCleansThenClamps) {
  // clang-format off
  const struct { uint32_t in; int32_t mode; float want; } cases[] = {
      {0x00000001u, kClampNone, 0.0f} /* denormal */, {0x7FC00000u, kClampSigned, 0.0f} /* NaN */,
      {0x7F800000u, kClampNone, FromBits(0x7F7FFFFFu)},
      {0xFF800000u, kClampNone, FromBits(0xFF7FFFFFu)},  // -inf keeps its sign
      {0xFF800000u, kClampSigned, -2147483648.0f},
      {Bits(3e9f), kClampSigned, 2147483648.0f},  // 2^31 - 1 stored as a single
      {Bits(5e9f), kClampUnsigned, 4294967296.0f},
      {Bits(5e9f), 7, 4294967296.0f},  // any other mode clamps unsigned
      {Bits(-1.5f), kClampUnsigned, 0.0f}, {Bits(-1.5f), kClampSigned, -1.5f},
      {Bits(1e30f), kClampNone, 1e30f}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(Bits(SanitizeFloat(FromBits(c.in), c.mode)), Bits(c.want))
        << std::hex << c.in << " mode " << c.mode;
  }
  // Damaged values saturate instead of overflowing.
  EXPECT_EQ(TruncateToInt32(2147483648.0f), INT32_MAX);
  EXPECT_EQ(TruncateToInt32(std::nanf("")), 0);
  EXPECT_EQ(ZarqDateFromRecordFloat(2147483648.0f), INT32_MAX);
  for (int32_t date : {18000101, 18991231, 20091231, 22001231}) {
    EXPECT_EQ(ZarqDateFromRecordFloat(RecordDateAsFloat(date)), date);
  }
  EXPECT_EQ(RecordDateAsFloat(INT32_MIN), static_cast<float>(-2166476352.0));
  EXPECT_EQ(ZarqTimeFromRecordValue(4123056), 1230456);
  EXPECT_EQ(ZarqTimeFromRecordValue(INT32_MAX), ZarqTimeFromRecordValue(99999999));
}

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
  return {20091231 - k,  (mask & kFieldTime) ? 1230456 : 0,
          10.5f + k,     12.25f + k,
          9.75f + k,     11.0f + k,
          123456.0f + k, 789.0f + k,
          mask,          0};
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

    // In place: a buffer of stored records becomes the decoded records.
    const int n = 50, size = StoredRecordSize(mask);
    std::vector<ZarqPriceRecord> buffer(n), decoded(n);
    for (int k = 0; k < n; ++k) {
      EncodePriceRecord(Sample(mask, k), stored.data());
      std::memcpy(reinterpret_cast<uint8_t*>(buffer.data()) + k * size, stored.data(), size);
      DecodePriceRecord(stored.data(), mask, &decoded[k]);
    }
    DecodePriceRecordsInPlace(buffer.data(), n, mask);
    EXPECT_EQ(std::memcmp(buffer.data(), decoded.data(), n * sizeof(ZarqPriceRecord)), 0)
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
  EXPECT_EQ(std::tie(date, time), std::make_tuple(20091231, 1230456));
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
  const float m = 32767.0f, below = std::nextafter(m, 0.0f);  // exactly 32767.0 only
  const struct {
    float open, high, low, close;
    bool want;
  } cases[] = {{1, m, m, m, true},  {0, m, -0.0f, 0, true}, {m, m, m, 1, true},
               {m, 0, 0, 5, true},  {m, m, 5, 0, false},    {1, m, 0, 1, false},
               {m, 0, 1, 0, false}, {m, below, 0, 0, false}};
  for (const auto& c : cases) {
    ZarqPriceRecord r{0, 0, c.open, c.high, c.low, c.close, 0, 0, 0, 0};
    EXPECT_EQ(IsPlaceholderRecord(r), c.want) << c.open << " " << c.high << " " << c.low;
  }
}

size_t g_limit = 0;
std::vector<size_t> g_requests;

// Refuses requests above g_limit and records what it was asked.
void* Limited(size_t bytes) {
  g_requests.push_back(bytes);
  return bytes <= g_limit ? std::malloc(bytes) : nullptr;
}

TEST(RecordBufferTest, HalvesToWholeRecordsDownToTheMinimum) {
  // clang-format off
  const struct {
    uint32_t count; uint16_t size; uint32_t min; size_t limit;
    uint32_t want_count; std::vector<size_t> want_requests;
  } cases[] = {
      {1000, 100, 1, 30000, 250, {100000, 50000, 25000}},
      {7, 178, 1, 600, 3, {1246, 534}},  // 623 rounds down to 3 records
      {1000, 100, 5, 400, 0, {100000, 50000, 25000, 12500, 6200, 3100, 1500, 700}},
      {3, 100, 10, 100, 0, {300}},                    // the minimum is at most the count
      {100000, 178, 1, 1u << 30, 94254, {16777212}},  // capped to whole records
      {0, 100, 1, 1000, 0, {}}, {10, 100, 0, 0, 0, {1000, 500, 200, 100}}};  // 0 still stops
  // clang-format on
  for (const auto& c : cases) {
    g_limit = c.limit;
    g_requests.clear();
    uint32_t count = c.count;
    HeapBuffer buffer = AllocRecordBuffer(&count, c.size, c.min, Limited);
    EXPECT_EQ(std::tie(count, g_requests), std::tie(c.want_count, c.want_requests))
        << c.count << "x" << c.size << " limit " << c.limit;
    EXPECT_EQ(buffer != nullptr, c.want_count != 0);
  }
  // Byte buffers halve without rounding.
  g_limit = 300;
  g_requests.clear();
  uint32_t bytes = 1001;
  HeapBuffer buffer = AllocByteBuffer(&bytes, 1, Limited);
  EXPECT_EQ(std::tie(bytes, g_requests),
            std::make_tuple(250u, std::vector<size_t>{1001, 500, 250}));
  bytes = 1001;
  EXPECT_EQ(AllocByteBuffer(&bytes, 400, Limited), nullptr);
  EXPECT_EQ(bytes, 0u);
  g_limit = 1u << 30;
  bytes = 0xFFFFFFFFu;
  buffer = AllocByteBuffer(&bytes, 1024, Limited);
  EXPECT_EQ(bytes, kMaxBufferBytes);
}

}  // namespace
}  // namespace zarq
