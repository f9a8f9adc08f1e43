// The stored float against an independent formula, the values it cannot
// hold, and the clean-up and clamps of values read from files.

#include "src/data/mbf.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
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
  const std::pair<float, Bytes> known[] = {
      {1.0f, {0x00, 0x00, 0x00, 0x81}},
      {0.5f, {0x00, 0x00, 0x00, 0x80}},
      {-1.0f, {0x00, 0x00, 0x80, 0x81}},
      {10.0f, {0x00, 0x00, 0x20, 0x84}},
      {1091231.0f, {0xF8, 0x34, 0x05, 0x95}},  // the record date of 20091231
      {1.5f * 0x1p126f, {0x00, 0x00, 0x40, 0xFF}},
  };
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
  const struct {
    uint32_t in;
    int32_t mode;
    float want;
  } cases[] = {
      {0x00000001u, kClampNone, 0.0f},    // denormal
      {0x7FC00000u, kClampSigned, 0.0f},  // NaN
      {0x7F800000u, kClampNone, FromBits(0x7F7FFFFFu)},
      {0xFF800000u, kClampNone, FromBits(0xFF7FFFFFu)},  // -inf keeps its sign
      {0xFF800000u, kClampSigned, -2147483648.0f},
      {Bits(3e9f), kClampSigned, 2147483648.0f},  // 2^31 - 1 stored as a single
      {Bits(5e9f), kClampUnsigned, 4294967296.0f},
      {Bits(5e9f), 7, 4294967296.0f},  // any other mode clamps unsigned
      {Bits(-1.5f), kClampUnsigned, 0.0f},
      {Bits(-1.5f), kClampSigned, -1.5f},
      {Bits(1e30f), kClampNone, 1e30f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Bits(SanitizeFloat(FromBits(c.in), c.mode)), Bits(c.want))
        << std::hex << c.in << " mode " << c.mode;
  }
}

TEST(StoredValuesTest, DamagedValuesSaturateInsteadOfOverflowing) {
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

}  // namespace
}  // namespace zarq
