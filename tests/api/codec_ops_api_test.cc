// The stored-format private operations (ordinals 200, 203 to 207) through
// the shipped library: in every library state, and safe with null pointers.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/api/private_ops.h"
#include "zarq.h"
#include "zarq_private.h"

namespace {

void ExerciseOps() {
  using namespace zarq_test;
  float ten = 10.0f, value = 0;
  uint8_t mbf[4] = {1, 2, 3, 4};
  IeeeToMbfOp()(mbf, &ten);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(mbf), 4), std::string("\0\0\x20\x84", 4));
  const uint8_t large[4] = {0, 0, 0x7F, 0xFF};  // about 1.7e38
  MbfToIeeeOp()(&value, large, ZARQ_CLAMP_SIGNED);
  EXPECT_EQ(value, 2147483648.0f);
  SanitizeFloatOp()(&value, ZARQ_CLAMP_NONE);
  EXPECT_EQ(value, 2147483648.0f);

  ZarqPriceRecord record{};
  record.High = record.Low = record.Close = 32767.0f;
  EXPECT_EQ(IsPlaceholderRecordOp()(&record), 1);

  char text[10];
  std::memset(text, 'x', sizeof(text));
  CopyCleanTextOp()(text, " a\tb  ", 8);
  EXPECT_EQ(std::string(text, 10), std::string(" ab\0\0\0\0\0\0x", 10));
  PadTextOp()(text, '.', 6);
  EXPECT_EQ(std::string(text, 7), std::string(" ab...\0", 7));

  IeeeToMbfOp()(nullptr, &ten);
  IeeeToMbfOp()(mbf, nullptr);
  MbfToIeeeOp()(nullptr, mbf, 0);
  MbfToIeeeOp()(&value, nullptr, 0);
  SanitizeFloatOp()(nullptr, 1);
  EXPECT_EQ(IsPlaceholderRecordOp()(nullptr), 0);
  CopyCleanTextOp()(nullptr, "abc", 3);
  PadTextOp()(nullptr, ' ', 5);
}

TEST(CodecOpsApiTest, WorkInEveryLibraryStateAndIgnoreNullPointers) {
  ASSERT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  ExerciseOps();
  ASSERT_EQ(ZARQ1_Initialize("Codecs", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  ExerciseOps();
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
}

}  // namespace
