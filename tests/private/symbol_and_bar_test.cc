// Symbol texts and trading bars (ordinals 213 and 214).

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "include/zarq.h"
#include "src/private/symbol_text.h"
#include "src/private/trading_bar.h"

namespace zarq {
namespace {

TEST(SymbolTextTest, PlainAndCompositeTexts) {
  struct Case {
    std::string text;
    int32_t status;
    const char* symbol;
    const char* second;
    char op;
  };
  const std::string ab =
      "\xDB"
      "ABC"
      "\xB3";
  const Case cases[] = {
      {ab + "XYZ/", ZARQ_OK, "ABC", "XYZ", '/'},
      {"MSFT", ZARQ_OK, "MSFT", "", 0},
      {std::string(14, 'A'), ZARQ_OK, "AAAAAAAAAAAAAA", "", 0},
      {std::string(15, 'A'), ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},
      {"", ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},
      {"\x01"
       "ABC",
       ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},
      {ab + "XYZ", ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},      // no operator
      {ab, ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},              // nothing after the split
      {ab + "+", ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},        // empty second symbol
      {"\xDB\xB3XYZ+", ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},  // empty first symbol
      {"\xDB" + std::string(15, 'A') + "\xB3X*", ZARQ_E_BAD_SYMBOL_TEXT, "", "", 0},
      // The split beyond the 31 characters read.
      {"\xDB" + std::string(14, 'A') + std::string(16, 'B') + "\xB3X*", ZARQ_E_BAD_SYMBOL_TEXT, "",
       "", 0},
  };
  for (const Case& c : cases) {
    char symbol[16];
    char second[16];
    char op = 'x';
    std::memset(symbol, 'x', sizeof(symbol));
    std::memset(second, 'x', sizeof(second));
    symbol[15] = second[15] = '\0';
    EXPECT_EQ(ParseSecuritySymbol(symbol, second, &op, c.text.c_str()), c.status) << c.text;
    EXPECT_STREQ(symbol, c.symbol) << c.text;
    EXPECT_STREQ(second, c.second) << c.text;
    EXPECT_EQ(op, c.op) << c.text;
  }
  char s[15], t[15], op;
  EXPECT_EQ(ParseSecuritySymbol(s, t, &op, nullptr), ZARQ_E_INVALID_ARGUMENT);
}

TEST(TradingBarTest, BarsOfTheWindow) {
  struct Case {
    int32_t start, end;
    uint32_t length;
    ZarqDateTimePair moment;
    bool hour;
    ZarqDateTimePair bar_start, bar_ref, bar_end;
  };
  const Case cases[] = {
      {930000,
       1600000,
       15,
       {20090601, 1007123},
       false,
       {20090601, 1000000},
       {20090601, 1000000},
       {20090601, 1015000}},
      {930000,
       1600000,
       45,
       {20090601, 1007000},
       false,
       {20090601, 930000},
       {20090601, 930000},
       {20090601, 1015000}},
      {930000,
       1600000,
       40,
       {20090601, 1045000},
       true,  // counted from the hour, ends at the next
       {20090601, 1040000},
       {20090601, 1040000},
       {20090601, 1100000}},
      {930000,
       1600000,
       60,
       {20090601, 1545000},
       false,  // never past the window end
       {20090601, 1530000},
       {20090601, 1530000},
       {20090601, 1600000}},
      {930000,
       1600000,
       15,
       {20090601, 1700000},
       false,  // outside: the bar at the end
       {20090601, 1600000},
       {20090601, 1600000},
       {20090601, 1615000}},
      // A session from 18:00 to 17:00 the next day: 01:00 belongs to the
      // session of the day before and its bar stays on the moment's date.
      {1800000,
       1700000,
       60,
       {20090602, 100000},
       false,
       {20090602, 100000},
       {20090602, 100000},
       {20090602, 200000}},
      {1800000,
       1700000,
       60,
       {20090601, 2330000},
       false,
       {20090601, 2300000},
       {20090601, 2300000},
       {20090602, 0}},
  };
  for (const Case& c : cases) {
    ZarqDateTimePair s, r, e;
    ASSERT_EQ(GetTradingBar(c.start, c.end, c.length, &c.moment, &s, &r, &e, c.hour), ZARQ_OK);
    const std::string what = std::to_string(c.moment.Date) + " " + std::to_string(c.moment.Time);
    EXPECT_EQ(s.Date * 10000000LL + s.Time, c.bar_start.Date * 10000000LL + c.bar_start.Time)
        << what;
    EXPECT_EQ(r.Date * 10000000LL + r.Time, c.bar_ref.Date * 10000000LL + c.bar_ref.Time) << what;
    EXPECT_EQ(e.Date * 10000000LL + e.Time, c.bar_end.Date * 10000000LL + c.bar_end.Time) << what;
  }
  ZarqDateTimePair m{20090601, 1000000}, s, r, e;
  EXPECT_EQ(GetTradingBar(930000, 1600000, 0, &m, &s, &r, &e, false), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(GetTradingBar(930000, 1600000, 5, &m, &s, nullptr, &e, false), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(GetTradingBar(930000, 1600000, 5, nullptr, &s, &r, &e, false), ZARQ_E_INVALID_ARGUMENT);
}

}  // namespace
}  // namespace zarq
