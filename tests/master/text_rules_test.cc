// Symbol and name cleaning.

#include "src/master/text_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "include/zarq.h"

namespace zarq {
namespace {

std::string Normalized(const char* source) {
  char out[kSymbolFieldSize];
  std::memset(out, 0x55, sizeof(out));
  EXPECT_EQ(NormalizeSymbol(source, out), ZARQ_OK);
  EXPECT_EQ(out[14], 0);
  return out;
}

TEST(TextRulesTest, NormalizeSymbol) {
  SetNextInvalidSymbolNumberForTesting(31999);
  const std::pair<const char*, const char*> cases[] = {
      {"ibm  ", "ibm"},    // trailing spaces go, case stays
      {"  A B", "  A B"},  // leading and inner spaces stay
      {"A\tB\x01\x1F"
       "C",
       "ABC"},                                            // control characters are dropped
      {"\xC4X\x7F", "\xC4X\x7F"},                         // bytes of 127 and above stay
      {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMN"},            // 14 bytes looked at,
      {"\t\t\t\t\t\t\t\t\t\t\t\t\t\tX", "INVALID31999"},  // even when dropped
      {"   ", "INVALID32000"},
      {"", "INVALID1"},  // the counter starts again
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(Normalized(in), want) << in;
  char out[kSymbolFieldSize];
  EXPECT_EQ(NormalizeSymbol(nullptr, out), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(NormalizeSymbol("X", nullptr), ZARQ_E_INVALID_ARGUMENT);
}

TEST(TextRulesTest, CopyCleanTextAndPadText) {
  char out[12];
  std::memset(out, 'x', sizeof(out));
  CopyCleanText(out, "Na\x01me  of many words", 6);
  EXPECT_EQ(std::string(out, 8), std::string("Name\0\0\0x", 8));  // n + 1 bytes cleared

  char text[16] = "\tin place  ";
  CopyCleanText(text, text, 15);  // source and destination may overlap
  EXPECT_STREQ(text, "in place");
  char shifted[16] = "xxABC";
  CopyCleanText(shifted + 1, shifted, 4);
  EXPECT_STREQ(shifted + 1, "xxAB");
  CopyCleanText(out, nullptr, 3);
  EXPECT_STREQ(out, "");
  CopyCleanText(nullptr, "abc", 3);

  char padded[8] = "AB";
  PadText(padded, ' ', 5);
  EXPECT_EQ(std::string(padded, 6), std::string("AB   \0", 6));
  char full[4] = {'W', 'X', 'Y', 'Z'};  // no NUL within the length: nothing to read past
  PadText(full, '*', 4);
  EXPECT_EQ(std::string(full, 4), "WXYZ");
  PadText(nullptr, '*', 3);
}

}  // namespace
}  // namespace zarq
