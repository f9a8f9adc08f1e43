// Date and time text: every minute and a range of dates formatted and
// parsed back in the user's settings (on Linux also in settings given
// through the environment), the text output contract, the parser's faults
// of old, and the pictures made from POSIX locale formats.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "include/zarq.h"
#include "src/datetime/calendar.h"
#include "src/datetime/date_rules.h"
#include "src/platform/regional_values.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using Settings = std::map<std::string, std::string>;

// Sets the regional variables of settings (LC_ALL=C and every other
// ZARQ_ variable unset) for its lifetime, then restores them. POSIX only:
// on Windows the values come from the user's locale.
class ScopedRegion {
 public:
  explicit ScopedRegion(const Settings& settings) {
#ifndef _WIN32
    for (const char* name : {"ZARQ_SDATE", "ZARQ_SSHORTDATE", "ZARQ_STIME", "ZARQ_STIMEFORMAT",
                             "ZARQ_S1159", "ZARQ_S2359", "LC_ALL"}) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      unsetenv(name);
    }
    setenv("LC_ALL", "C", 1);
    for (const auto& [name, value] : settings) setenv(name.c_str(), value.c_str(), 1);
#else
    (void)settings;
#endif
  }
  ~ScopedRegion() {
#ifndef _WIN32
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
#endif
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

std::string FormatTime(int32_t time, bool ticks) {
  char text[64];
  EXPECT_EQ(ZARQ1_FormatTime(text, sizeof(text), time, ticks), ZARQ_OK) << time;
  return text;
}

std::string FormatDate(int32_t date) {
  char text[64];
  EXPECT_EQ(ZARQ1_FormatDate(text, sizeof(text), date), ZARQ_OK) << date;
  return text;
}

// Every minute with ticks 0, 7 and 999, and dates across the valid range,
// come back from their text; a picture without seconds keeps no ticks.
void ExpectRoundTrips(bool picture_has_seconds) {
  for (int32_t minute = 0; minute < 1440; ++minute) {
    for (int32_t ticks : {0, 7, 999}) {
      const int32_t time = (minute / 60 * 100 + minute % 60) * 1000 + ticks;
      for (bool with_ticks : {true, false}) {
        const std::string text = FormatTime(time, with_ticks);
        uint32_t parsed = 1;
        ASSERT_EQ(ZARQ1_ParseTimeString(&parsed, text.c_str()), ZARQ_OK) << text;
        const bool kept = with_ticks && picture_has_seconds;
        ASSERT_EQ(static_cast<int32_t>(parsed), kept ? time : time - ticks) << text;
      }
    }
  }
  auto check_date = [](int32_t date) {
    const std::string text = FormatDate(date);
    uint32_t parsed = 0;
    ASSERT_EQ(ZARQ1_ParseDateString(&parsed, text.c_str()), ZARQ_OK) << text;
    ASSERT_EQ(static_cast<int32_t>(parsed), date) << text;
  };
  for (int32_t day = DateToDayNumber(19990101); day <= DateToDayNumber(20011231); ++day) {
    check_date(DayNumberToDate(day));
  }
  for (int32_t day = DateToDayNumber(kFirstValidDate); day <= DateToDayNumber(kLastValidDate);
       day += 97) {
    check_date(DayNumberToDate(day));
  }
}

TEST(DateTextTest, TheUsersSettingsRoundTrip) {
  ScopedRegion region({});
  ExpectRoundTrips(true);
}

#ifndef _WIN32
struct Region {
  const char* what;
  Settings settings;
  bool seconds;
};

TEST(DateTextTest, SettingsFromTheEnvironmentRoundTrip) {
  const Region regions[] = {
      {"day first, 24 hours, no designators",
       {{"ZARQ_SSHORTDATE", "d/M/yyyy"},
        {"ZARQ_STIMEFORMAT", "HH:mm:ss"},
        {"ZARQ_S1159", ""},
        {"ZARQ_S2359", ""}},
       true},
      {"ISO dates, designator first, another separator",
       {{"ZARQ_SSHORTDATE", "yyyy-MM-dd"},
        {"ZARQ_SDATE", "-"},
        {"ZARQ_STIMEFORMAT", "tt hh.mm.ss"},
        {"ZARQ_STIME", "."},
        {"ZARQ_S1159", "vorm."},
        {"ZARQ_S2359", "nachm."}},
       true},
      {"names, quoted text, no seconds",
       {{"ZARQ_SSHORTDATE", "dddd, d 'de' MMMM 'de' yyyy"}, {"ZARQ_STIMEFORMAT", "H:mm"}},
       false},
  };
  for (const Region& r : regions) {
    SCOPED_TRACE(r.what);
    ScopedRegion region(r.settings);
    ExpectRoundTrips(r.seconds);
  }
  ScopedRegion region(Settings{{"ZARQ_SSHORTDATE", "dddd, d 'de' MMMM 'de' yyyy"}});
  EXPECT_EQ(FormatDate(20090601), "Monday, 1 de June de 2009");
}

TEST(DateTextTest, UnsetOrUnknownLocalesShowTheUnitedStatesDefaults) {
  for (const char* locale : {"C", "POSIX", "xx_NOWHERE.UTF-8"}) {
    ScopedRegion region(Settings{{"LC_ALL", locale}});
    EXPECT_EQ(FormatDate(20090601), "6/1/2009") << locale;
    EXPECT_EQ(FormatTime(1230456, true), "12:30:456 PM") << locale;
    EXPECT_EQ(FormatTime(1230456, false), "12:30 PM") << locale;
  }
  // A variable set but empty is a value.
  ScopedRegion region(Settings{{"ZARQ_STIMEFORMAT", ""}});
  uint32_t time = 5;
  EXPECT_EQ(ZARQ1_ParseTimeString(&time, "3:07 PM"), ZARQ_OK);
  EXPECT_EQ(time, 0u);
}

struct Parse {
  const char* text;
  int32_t status;
  uint32_t value;
};

void ExpectTimes(const Settings& settings, const std::vector<Parse>& cases) {
  ScopedRegion region(settings);
  for (const Parse& c : cases) {
    uint32_t time = 77;
    EXPECT_EQ(ZARQ1_ParseTimeString(&time, c.text), c.status) << c.text;
    EXPECT_EQ(time, c.value) << c.text;
  }
}

void ExpectDates(const Settings& settings, const std::vector<Parse>& cases) {
  ScopedRegion region(settings);
  for (const Parse& c : cases) {
    uint32_t date = 77;
    EXPECT_EQ(ZARQ1_ParseDateString(&date, c.text), c.status) << c.text;
    EXPECT_EQ(date, c.value) << c.text;
  }
}

TEST(DateTextTest, TimesParse) {
  ExpectTimes({}, {{"3:07:45 PM", ZARQ_OK, 1507045},
                   {"12:15:00 AM", ZARQ_OK, 15000},  // 12 in the morning is hour 0
                   {"12 AM", ZARQ_OK, 0},
                   {"12:30:456 pm", ZARQ_OK, 1230456},
                   {"3:07 P", ZARQ_OK, 307000},       // a designator matches whole
                   {"3:07 PMX", ZARQ_OK, 1507000},    // then the text may go on
                   {"65545:30", ZARQ_E_BAD_TIME, 0},  // no 16-bit wrap
                   {"1:100", ZARQ_E_BAD_TIME, 0},
                   {"24:00", ZARQ_E_BAD_TIME, 2400000},
                   {"", ZARQ_OK, 0}});
  // Empty designators never match: 24-hour times stay as they are.
  ExpectTimes({{"ZARQ_STIMEFORMAT", "HH:mm:ss tt"}, {"ZARQ_S1159", ""}, {"ZARQ_S2359", ""}},
              {{"03:00:00", ZARQ_OK, 300000}, {"15:00:00", ZARQ_OK, 1500000}});
  // One t is the designator's first letter.
  ExpectTimes({{"ZARQ_STIMEFORMAT", "h:mm t"}}, {{"3:07 P", ZARQ_OK, 1507000}});
}

TEST(DateTextTest, DatesParse) {
  const Settings day_first = {{"ZARQ_SSHORTDATE", "d/M/yyyy"}};
  ExpectDates(day_first, {{"5/6/2009", ZARQ_OK, 20090605},
                          {"5/6/09", ZARQ_OK, 20090605},
                          {"31/2/2009", ZARQ_E_BAD_DATE, 20090231},
                          {"5/6/67536", ZARQ_E_BAD_DATE, 0},  // no 16-bit wrap
                          {"5/6/", ZARQ_E_BAD_DATE, 0},       // no year is no year 2000
                          {"5/6", ZARQ_E_BAD_DATE, 0},
                          {"5/-6/2009", ZARQ_E_BAD_DATE, 0}});
  ExpectDates({{"ZARQ_SSHORTDATE", "dd-MMM-yy"}, {"ZARQ_SDATE", "-"}},
              {{"05-Jun-09", ZARQ_OK, 20090605},
               {"05-jun-09", ZARQ_E_BAD_DATE, 0},  // the name stops the walk
               {"05-09 Jun", ZARQ_E_BAD_DATE,
                20090005}});  // names match where they stand  // names match where they stand
  // An unclosed parenthesis ends the picture instead of looping.
  ExpectDates({{"ZARQ_SSHORTDATE", "d/M/yyyy (g"}}, {{"5/6/2009", ZARQ_OK, 20090605}});
  ExpectDates({{"ZARQ_SSHORTDATE", "(g) d/M/yyyy"}}, {{"(AD) 5/6/2009", ZARQ_OK, 20090605}});
}
#endif

// Month names are tried longest first, at the parse position.
TEST(DateTextTest, LongerMonthNamesWin) {
  class Names : public PlatformWrapper {
   public:
    Names() : PlatformWrapper(SystemPlatform()) {
      RegionalValues v = UnitedStatesDefaults();
      v.short_date = "dd-MMM-yyyy";
      v.date_separator = "-";
      v.short_months[0] = "Ju";
      values_ = std::make_shared<const RegionalValues>(v);
    }
    std::shared_ptr<const RegionalValues> Regional() override { return values_; }

   private:
    std::shared_ptr<const RegionalValues> values_;
  } names;
  zarq_test::ScopedPlatform installed(&names);
  uint32_t date = 0;
  EXPECT_EQ(ZARQ1_ParseDateString(&date, "05-Jul-2009"), ZARQ_OK);
  EXPECT_EQ(date, 20090705u);
  EXPECT_EQ(ZARQ1_ParseDateString(&date, "05-Ju-2009"), ZARQ_OK);
  EXPECT_EQ(date, 20090105u);
}

TEST(DateTextTest, TextOutputsKeepToTheirBuffer) {
  ScopedRegion region({});
  const std::string date = FormatDate(20090601);
  const std::string time = FormatTime(1230456, true);
  EXPECT_EQ(ZARQ1_FormatDate(nullptr, 10, 20090601), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_FormatTime(nullptr, 10, 0, 0), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(ZARQ1_ParseDateString(nullptr, "1/1/2000"), ZARQ_E_INVALID_ARGUMENT);
  uint32_t value = 0;
  EXPECT_EQ(ZARQ1_ParseTimeString(&value, nullptr), ZARQ_E_INVALID_ARGUMENT);
  struct Case {
    int32_t (*format)(char*, uint32_t);
    uint32_t size;
    int32_t status;
    std::string text;
  };
  auto d = [](char* t, uint32_t n) {
    return ZARQ1_FormatDate(t, static_cast<uint16_t>(n), 20090601);
  };
  auto t = [](char* t, uint32_t n) { return ZARQ1_FormatTime(t, n, 1230456, 1); };
  auto bad = [](char* t, uint32_t n) { return ZARQ1_FormatDate(t, static_cast<uint16_t>(n), 0); };
  const uint32_t dz = static_cast<uint32_t>(date.size());
  const uint32_t tz = static_cast<uint32_t>(time.size());
  const Case cases[] = {{d, 0, 122, "xxxx"},  {d, dz + 1, 0, date},          {d, dz, 122, ""},
                        {t, 0, 122, "xxxx"},  {t, tz + 1, 0, time},          {t, tz, 122, ""},
                        {t, tz - 1, 122, ""}, {bad, 20, ZARQ_E_BAD_DATE, ""}};
  for (const Case& c : cases) {
    char text[64];
    std::memset(text, 'x', sizeof(text));
    EXPECT_EQ(c.format(text, c.size), c.status) << c.size;
    if (c.size == 0) {
      EXPECT_EQ(text[0], 'x');
      continue;
    }
    EXPECT_STREQ(text, c.text.c_str()) << c.size;
    for (size_t k = c.size; k < sizeof(text); ++k) ASSERT_EQ(text[k], 'x') << c.size;
  }
}

TEST(DateTextTest, PicturesFromPosixFormats) {
  const std::pair<const char*, const char*> cases[] = {
      {"%m/%d/%Y", "MM/dd/yyyy"},
      {"%d.%m.%Y", "dd.MM.yyyy"},
      {"%r", "hh:mm:ss tt"},
      {"%T", "HH:mm:ss"},
      {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5",
       "yyyy\xE5\xB9\xB4MM\xE6\x9C\x88"
       "dd\xE6\x97\xA5"},
      {"%e de %B de %Y", "d 'de' MMMM 'de' yyyy"},
      {"%a %-d %b %C%y", "ddd d MMM yyyy"},
      {"%l:%M %p %Z", "h:mm tt "},
  };
  for (const auto& [format, picture] : cases) {
    EXPECT_EQ(PictureFromPosixFormat(format, "%I:%M:%S %p"), picture) << format;
  }
  EXPECT_EQ(PictureSeparator("dd.MM.yyyy", "/"), ".");
  EXPECT_EQ(PictureSeparator("yyyyMMdd", "/"), "/");
}

}  // namespace
}  // namespace zarq
