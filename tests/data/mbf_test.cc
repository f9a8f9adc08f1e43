// The stored float: conversions against an independent formula, the
// values it cannot hold, and the clean-up and clamps of read values.

#include "src/data/mbf.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

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

// The value of MBF bytes by the format's definition, for exponent bytes of
// 3 and above: +-(1 + m / 2^23) x 2^(E - 129).
double MbfValue(const Bytes& b) {
  uint32_t m = b[0] | (b[1] << 8) | ((b[2] & 0x7Fu) << 16);
  double value = std::ldexp(1.0 + m / 8388608.0, b[3] - 129);
  return (b[2] & 0x80) ? -value : value;
}

TEST(MbfTest, AgreesWithTheFormulaForEveryExponent) {
  std::mt19937 random(20091231);
  for (int exponent = 3; exponent <= 255; ++exponent) {
    for (int i = 0; i < 200; ++i) {
      uint32_t word = random();
      Bytes mbf = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                   static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(exponent)};
      float value = MbfToIeee(mbf.data(), kClampNone);
      ASSERT_EQ(static_cast<double>(value), MbfValue(mbf)) << exponent << " " << word;
      ASSERT_EQ(ToMbf(value), mbf) << exponent << " " << word;
    }
  }
}

TEST(MbfTest, EveryStorableIeeeValueSurvivesTheRoundTrip) {
  std::mt19937 random(7);
  for (uint32_t exponent = 1; exponent <= 253; ++exponent) {
    for (int i = 0; i < 100; ++i) {
      uint32_t bits = (random() & 0x807FFFFFu) | (exponent << 23);
      Bytes mbf = ToMbf(FromBits(bits));
      ASSERT_EQ(Bits(MbfToIeee(mbf.data(), kClampNone)), bits) << std::hex << bits;
    }
  }
}

TEST(MbfTest, KnownValues) {
  const struct {
    float value;
    Bytes mbf;
  } cases[] = {
      {1.0f, {0x00, 0x00, 0x00, 0x81}},
      {0.5f, {0x00, 0x00, 0x00, 0x80}},
      {-1.0f, {0x00, 0x00, 0x80, 0x81}},
      {10.0f, {0x00, 0x00, 0x20, 0x84}},
      {1091231.0f, {0xF8, 0x34, 0x05, 0x95}},  // the record date of 20091231
      {1.5f * 0x1p126f, {0x00, 0x00, 0x40, 0xFF}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToMbf(c.value), c.mbf) << c.value;
    EXPECT_EQ(MbfToIeee(c.mbf.data(), kClampNone), c.value) << c.value;
  }
}

TEST(MbfTest, UnstorableValuesAreStoredAsZero) {
  const uint32_t cases[] = {
      0x00000000u,  // +0
      0x80000000u,  // -0: the sign is not kept
      0x00000001u,  // smallest denormal
      0x807FFFFFu,  // largest negative denormal
      0x7F000000u,  // 2^127
      0xFF000000u,  // -2^127
      0x7F7FFFFFu,  // largest finite
      0x7F800000u,  // +infinity
      0xFF800000u,  // -infinity
      0x7FC00000u,  // quiet NaN
      0x7F800001u,  // signalling NaN
  };
  for (uint32_t bits : cases) {
    EXPECT_EQ(ToMbf(FromBits(bits)), (Bytes{0, 0, 0, 0})) << std::hex << bits;
  }
  // Just below 2^127 is still storable.
  EXPECT_EQ(ToMbf(FromBits(0x7EFFFFFFu))[3], 0xFF);
}

TEST(MbfTest, SmallestExponentsReadAsPositiveZero) {
  for (uint8_t exponent : {0, 1, 2}) {
    for (uint8_t high : {0x00, 0x80, 0xFF}) {
      Bytes mbf = {0x12, 0x34, high, exponent};
      EXPECT_EQ(Bits(MbfToIeee(mbf.data(), kClampSigned)), 0u);
    }
  }
}

TEST(MbfTest, SanitizeCleansThenClamps) {
  const struct {
    uint32_t in;
    int32_t mode;
    uint32_t want;
  } cases[] = {
      {0x00000001u, kClampNone, 0x00000000u},      // denormal
      {0x80400000u, kClampNone, 0x00000000u},      // negative denormal
      {0x7FC00000u, kClampSigned, 0x00000000u},    // NaN
      {0xFFC00001u, kClampUnsigned, 0x00000000u},  // negative NaN
      {0x7F800000u, kClampNone, 0x7F7FFFFFu},      // +inf: largest finite
      {0xFF800000u, kClampNone, 0xFF7FFFFFu},      // -inf keeps its sign
      {0x7F800000u, kClampSigned, Bits(2147483648.0f)},
      {0xFF800000u, kClampSigned, Bits(-2147483648.0f)},
      {0xFF800000u, kClampUnsigned, 0x00000000u},
      {Bits(3e9f), kClampSigned, Bits(2147483648.0f)},
      {Bits(-3e9f), kClampSigned, Bits(-2147483648.0f)},
      {Bits(2147483648.0f), kClampSigned, Bits(2147483648.0f)},
      {Bits(5e9f), kClampUnsigned, Bits(4294967296.0f)},
      {Bits(5e9f), 7, Bits(4294967296.0f)},  // any other mode clamps unsigned
      {Bits(-1.5f), kClampUnsigned, 0x00000000u},
      {Bits(-1.5f), -3, 0x00000000u},
      {Bits(-1.5f), kClampSigned, Bits(-1.5f)},
      {Bits(-1.5f), kClampNone, Bits(-1.5f)},
      {0x80000000u, kClampUnsigned, 0x80000000u},  // -0 is not below 0
      {Bits(1e30f), kClampNone, Bits(1e30f)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Bits(SanitizeFloat(FromBits(c.in), c.mode)), c.want)
        << std::hex << c.in << " mode " << c.mode;
  }
}

TEST(MbfTest, DatesDecodeWhateverTheClamp) {
  Bytes mbf = {0xF8, 0x34, 0x05, 0x95};
  for (int32_t mode : {kClampNone, kClampSigned, kClampUnsigned}) {
    EXPECT_EQ(ZarqDateFromRecordFloat(MbfToIeee(mbf.data(), mode)), 20091231);
  }
}

TEST(StoredValuesTest, ConversionsSaturateInsteadOfOverflowing) {
  EXPECT_EQ(TruncateToInt32(2147483648.0f), INT32_MAX);
  EXPECT_EQ(TruncateToInt32(-3e9f), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(std::nanf("")), 0);
  EXPECT_EQ(TruncateToInt32(-7.9f), -7);
  EXPECT_EQ(ZarqDateFromRecordFloat(2147483648.0f), INT32_MAX);
  for (int32_t date : {18000101, 18991231, 19000101, 20091231, 22001231}) {
    EXPECT_EQ(ZarqDateFromRecordFloat(RecordDateAsFloat(date)), date);
  }
  EXPECT_EQ(RecordDateAsFloat(18991231), -8769.0f);  // before 1900: negative
  EXPECT_EQ(RecordDateAsFloat(INT32_MIN), static_cast<float>(-2166476352.0));
  EXPECT_EQ(ZarqTimeFromRecordValue(4123056), 1230456);
  EXPECT_EQ(ZarqTimeFromRecordValue(93015), 930015);
  EXPECT_EQ(ZarqTimeFromRecordValue(0), 0);
  // Far beyond any record time: bounded, not overflowing.
  EXPECT_EQ(ZarqTimeFromRecordValue(INT32_MAX), ZarqTimeFromRecordValue(99999999));
  EXPECT_EQ(ZarqTimeFromRecordValue(INT32_MIN), ZarqTimeFromRecordValue(-99999999));
}

}  // namespace
}  // namespace zarq
