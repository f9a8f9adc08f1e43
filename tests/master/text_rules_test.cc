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
  for (size_t i = strnlen(out, sizeof(out)); i < sizeof(out); ++i) EXPECT_EQ(out[i], 0);
  return std::string(out, strnlen(out, sizeof(out)));
}

TEST(TextRulesTest, NormalizeSymbol) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"IBM", "IBM"},
      {"ibm  ", "ibm"},    // trailing spaces go, case stays
      {"  A B", "  A B"},  // leading and inner spaces stay
      {"A\tB\x01\x1F"
       "C",
       "ABC"},                                  // control characters are dropped
      {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMN"},  // 14 bytes looked at
      {"\t\t\t\t\t\t\t\t\t\t\t\t\t\tX", ""},    // ... even when they are dropped
      {"\xC4"
       "X\x7F",
       "\xC4"
       "X\x7F"},  // bytes of 127 and above stay
  };
  SetNextInvalidSymbolNumberForTesting(1);
  for (const auto& c : cases) {
    std::string want = *c.want ? c.want : "INVALID1";
    EXPECT_EQ(Normalized(c.in), want) << c.in;
  }
}

TEST(TextRulesTest, InvalidSymbolsCountToThirtyTwoThousandAndStartAgain) {
  SetNextInvalidSymbolNumberForTesting(1);
  EXPECT_EQ(Normalized(""), "INVALID1");
  EXPECT_EQ(Normalized("   "), "INVALID2");
  EXPECT_EQ(Normalized("\x01\x02"), "INVALID3");
  SetNextInvalidSymbolNumberForTesting(31999);
  EXPECT_EQ(Normalized(""), "INVALID31999");
  EXPECT_EQ(Normalized(""), "INVALID32000");
  EXPECT_EQ(Normalized(""), "INVALID1");
  char out[kSymbolFieldSize];
  EXPECT_EQ(NormalizeSymbol(nullptr, out), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(NormalizeSymbol("X", nullptr), ZARQ_E_INVALID_ARGUMENT);
}

TEST(TextRulesTest, CopyCleanTextClearsItsFieldAndMayWorkInPlace) {
  char out[12];
  std::memset(out, 'x', sizeof(out));
  CopyCleanText(out, "Na\x01me  of many words", 6);
  EXPECT_STREQ(out, "Name");  // "Name o" less the trailing space
  for (int i = 4; i <= 6; ++i) EXPECT_EQ(out[i], 0);
  EXPECT_EQ(out[7], 'x');  // n + 1 bytes cleared, no more

  char text[16] = "\tin place  ";
  CopyCleanText(text, text, 15);
  EXPECT_STREQ(text, "in place");
  char shifted[16] = "xxABC";
  CopyCleanText(shifted + 1, shifted, 4);
  EXPECT_STREQ(shifted + 1, "xxAB");

  std::memset(out, 'x', sizeof(out));
  CopyCleanText(out, nullptr, 3);
  EXPECT_EQ(std::string(out, 5), std::string("\0\0\0\0x", 5));
  CopyCleanText(out, "abc", -1);  // nothing happens
  EXPECT_EQ(out[0], 0);
  CopyCleanText(nullptr, "abc", 3);
}

TEST(TextRulesTest, PadText) {
  char text[8] = "AB";
  PadText(text, ' ', 5);
  EXPECT_EQ(std::string(text, 6), std::string("AB   \0", 6));
  char full[4] = {'W', 'X', 'Y', 'Z'};  // no NUL within the length
  PadText(full, '*', 4);
  EXPECT_EQ(std::string(full, 4), "WXYZ");
  PadText(text, '*', 0);
  PadText(nullptr, '*', 3);
  EXPECT_EQ(std::string(text, 6), std::string("AB   \0", 6));
}

}  // namespace
}  // namespace zarq
