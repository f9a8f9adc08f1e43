// The price record codecs specialised per set of fields against the
// general codec: every mask (the bits above the low byte too) and stored
// words that reach every branch of the conversions: the zero exponents,
// the largest ones, dates and times beyond 32 bits, negatives, NaNs,
// infinities and denormals on the way in.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "include/zarq.h"
#include "src/format/field_mask.h"
#include "src/format/price_batch.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"

namespace zarq {
namespace {

constexpr size_t kRecords = 64;

std::vector<uint16_t> Masks() {
  std::vector<uint16_t> masks;
  for (uint16_t mask = 0; mask < 0x100; ++mask) masks.push_back(mask);
  for (uint16_t mask : {0x017F, 0x80FF, 0xFF00, 0xFFFF}) masks.push_back(mask);
  return masks;
}

// A stored MBF word: arbitrary, or with an exponent at a boundary, or a
// plausible date or time.
uint32_t StoredWord(std::mt19937& random) {
  static constexpr uint8_t kExponents[] = {0, 1, 2, 3, 0x98, 0x9F, 0xA0, 0xA1, 0xFE, 0xFF};
  uint32_t word = random();
  switch (random() % 4) {
    case 0:
      return word;
    case 1:
      return (word & 0x00FFFFFFu) | uint32_t{kExponents[random() % std::size(kExponents)]} << 24;
    default: {
      ZarqPriceRecord record = {};
      record.Date = static_cast<int32_t>(18000101 + random() % 4000000);
      record.Time = static_cast<int32_t>(random() % 2400000);
      record.FieldMask = kFieldDate | kFieldTime;
      uint8_t stored[kMaxStoredRecordSize];
      EncodePriceRecord(record, stored);
      return GetU32(stored + (random() % 2) * 4);
    }
  }
}

float AnyFloat(std::mt19937& random) {
  static constexpr uint32_t kSpecial[] = {0x00000000, 0x80000000, 0x00000001, 0x7F800000,
                                          0xFF800000, 0x7FC00000, 0x7F000000, 0x7E800000};
  uint32_t bits = random() % 4 == 0 ? kSpecial[random() % std::size(kSpecial)] : random();
  return std::bit_cast<float>(bits);
}

TEST(BatchCodecTest, DecodingInPlaceGivesTheGeneralDecodersBytesForEveryMask) {
  std::mt19937 random(20240607);
  for (uint16_t mask : Masks()) {
    const size_t size = static_cast<size_t>(StoredRecordSize(mask));
    std::vector<uint8_t> stored(kRecords * size);
    for (size_t at = 0; at < stored.size(); at += 4) PutU32(&stored[at], StoredWord(random));
    std::vector<ZarqPriceRecord> want(kRecords);
    for (size_t i = 0; i < kRecords; ++i) DecodePriceRecord(&stored[i * size], mask, &want[i]);

    std::vector<ZarqPriceRecord> got(kRecords);
    std::memset(got.data(), 0xA5, got.size() * sizeof(ZarqPriceRecord));
    std::memcpy(got.data(), stored.data(), stored.size());
    DecodePriceRecordsInPlace(got.data(), kRecords, mask);
    ASSERT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(ZarqPriceRecord)), 0)
        << "mask " << mask;
  }
}

TEST(BatchCodecTest, EncodingManyGivesTheGeneralEncodersBytesForEveryMask) {
  std::mt19937 random(19991231);
  for (uint16_t mask : Masks()) {
    std::vector<ZarqPriceRecord> records(kRecords);
    for (ZarqPriceRecord& record : records) {
      record.Date =
          static_cast<int32_t>(random() % 3 == 0 ? random() : 18000101 + random() % 4000000);
      record.Time = static_cast<int32_t>(random() % 3 == 0 ? random() : random() % 2400000);
      record.Open = AnyFloat(random);
      record.High = AnyFloat(random);
      record.Low = AnyFloat(random);
      record.Close = AnyFloat(random);
      record.Volume = AnyFloat(random);
      record.OpenInterest = AnyFloat(random);
      record.FieldMask = static_cast<uint16_t>(random());  // ignored
    }
    const size_t size = static_cast<size_t>(StoredRecordSize(mask));
    std::vector<uint8_t> want(kRecords * size);
    for (size_t i = 0; i < kRecords; ++i) {
      ZarqPriceRecord record = records[i];
      record.FieldMask = mask;
      EncodePriceRecord(record, &want[i * size]);
    }
    std::vector<uint8_t> got(kRecords * size + 1, 0x5A);
    EncodePriceRecords(records.data(), kRecords, mask, got.data());
    EXPECT_EQ(got.back(), 0x5A) << "mask " << mask;  // nothing past the records
    got.pop_back();
    ASSERT_EQ(got, want) << "mask " << mask;
  }
}

}  // namespace
}  // namespace zarq
