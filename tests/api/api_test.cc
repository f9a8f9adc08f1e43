// The shipped library through its public headers: the lifecycle, the
// exports that need an initialised library, the exports and private
// operations that work in every state, the library lock as ordinal 217, and
// unloading.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/api/private_ops.h"
#include "tests/support/temp_folder.h"
#include "zarq.h"
#include "zarq_private.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

extern "C" int zarq_c_header_check(void);

namespace {

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED); }
  void TearDown() override { ZARQ1_Shutdown(); }
};

TEST_F(ApiTest, HeaderIsValidC) { EXPECT_EQ(zarq_c_header_check(), 0); }

// Every export that needs the initialised library, called before and after
// its lifetime; outputs are cleared all the same. New exports join this table.
TEST_F(ApiTest, ExportsNeedingTheLibraryReportItsState) {
  static uint8_t number;
  static char text[300];
  static ZarqDirectoryStatus status;
  static uint16_t levels[4];
  // clang-format off
  const std::vector<std::pair<std::string, std::function<int32_t()>>> calls = {
      {"ZARQ1_Shutdown", [] { return ZARQ1_Shutdown(); }},
      {"ZARQ1_OpenDirectory", [] { return ZARQ1_OpenDirectory(".", &number, 0); }},
      {"ZARQ1_CloseDirectory", [] { return ZARQ1_CloseDirectory(1); }},
      {"ZARQ1_GetDataPath", [] { return ZARQ1_GetDataPath(1, text, 0); }},
      {"ZARQ1_GetDirectoryStatus", [] { return ZARQ1_GetDirectoryStatus(1, ".", &status); }},
      {"ZARQ1_GetLastFailedOpenDirInfo",
       [] { return ZARQ1_GetLastFailedOpenDirInfo(text, text + 31); }},
      {"ZARQ1_BuildQuorvantaDirectory", [] { return ZARQ1_BuildQuorvantaDirectory(1); }},
      {"ZARQ1_GetDirectoryNumber", [] { return ZARQ1_GetDirectoryNumber(".", &number); }},
      {"ordinal 211", [] { return zarq_test::GetFormatLevelsOp()(1, levels); }},
      {"ordinal 214", [] {
         static ZarqDateTimePair m = {20090601, 1000000};
         return zarq_test::GetTradingBarOp()(930000, 1600000, 15, &m, &m, &m, &m, 0);
       }},
      {"ordinal 215", [] {
         static ZarqPriceRecord out[1];
         static ZarqDateTimePair end = {20090601, 0};
         static uint16_t count = 1;
         return zarq_test::ReadBackConvertedRecsOp()(1u << 24 | 1, out, &end, &count, 0, 'W',
                                                     0, 0);
       }},
      {"ordinal 216", [] {
         static ZarqPriceRecord out[1];
         static ZarqDateTimePair end = {20090601, 0};
         static uint16_t count = 1;
         return zarq_test::ReadConvertedRecsByDatesOp()(1u << 24 | 1, out, &end, &end, &count,
                                                        0, 'W', 0, 0);
       }}};
  // clang-format on
  auto check_all = [&](const char* when) {
    for (const auto& [name, call] : calls) {
      number = 9;
      status.Size = 0;
      EXPECT_EQ(call(), ZARQ_STATE_UNINITIALIZED) << name << when;
      bool gives_number = name == "ZARQ1_OpenDirectory" || name == "ZARQ1_GetDirectoryNumber";
      EXPECT_EQ(number, gives_number ? 0 : 9) << name << when;
      EXPECT_EQ(status.Size, name == "ZARQ1_GetDirectoryStatus" ? 40u : 0u) << name << when;
    }
  };
  check_all("");
  EXPECT_EQ(ZARQ1_Initialize("ApiTest", "Tester", 9100), ZARQ_E_WRONG_VERSION);
  ASSERT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_INITIALIZED);
  EXPECT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_STATE_INITIALIZED);
  ASSERT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  check_all(" after shutdown");
}

// The date exports and the private operations, in either state, safe with
// null pointers.
void ExerciseStatelessCalls() {
  using namespace zarq_test;
  uint32_t date = 1, time = 1;
  EXPECT_EQ(ZARQ1_MakeZARQDate(&date, 2, 29, 2000), ZARQ_OK);
  EXPECT_EQ(ZARQ1_MakeZARQTime(&time, 23, 59, 999), ZARQ_OK);
  EXPECT_EQ(std::tie(date, time), std::make_tuple(20000229, 2359999));
  uint16_t a = 7, b = 7, c = 7;
  EXPECT_EQ(ZARQ1_GetDayMonthYear(&a, &b, &c, 20090601), ZARQ_OK);
  EXPECT_EQ(std::tie(a, b, c), std::make_tuple(1, 6, 2009));
  EXPECT_EQ(ZARQ1_GetHourMinTicks(&a, &b, &c, 1260000), ZARQ_E_BAD_TIME);
  EXPECT_EQ(a + b + c, 0);
  EXPECT_EQ(ZARQ1_MakeZARQDate(nullptr, 1, 1, 2000), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(CountBitsOp()(0xFFFFFFFFu), 32);
  EXPECT_EQ(ValidateDateOp()(-1, 0), ZARQ_E_BAD_DATE);
  EXPECT_EQ(ValidateTimeOp()(235959, 0), ZARQ_OK);
  char root[261] = "junk";
  EXPECT_EQ(GetRootPathOp()("relative", root), ZARQ_E_BAD_PATH);
  EXPECT_STREQ(root, "");
  float ten = 10.0f, value = 0;
  uint8_t mbf[4] = {1, 2, 3, 4};
  IeeeToMbfOp()(mbf, &ten);
  MbfToIeeeOp()(&value, mbf, ZARQ_CLAMP_SIGNED);
  EXPECT_EQ(value, 10.0f);
  value = 1e-45f;
  SanitizeFloatOp()(&value, ZARQ_CLAMP_NONE);
  EXPECT_EQ(value, 0.0f);
  ZarqPriceRecord record{};
  record.High = record.Low = record.Close = 32767.0f;
  EXPECT_EQ(IsPlaceholderRecordOp()(&record), 1);
  char text[10] = "xxxxxxxxx";
  CopyCleanTextOp()(text, " a\tb  ", 6);
  PadTextOp()(text, '.', 6);
  EXPECT_EQ(std::string(text, 8), std::string(" ab...\0x", 8));
  IeeeToMbfOp()(nullptr, &ten);
  MbfToIeeeOp()(&value, nullptr, 0);
  SanitizeFloatOp()(nullptr, 1);
  EXPECT_EQ(IsPlaceholderRecordOp()(nullptr), 0);
  CopyCleanTextOp()(nullptr, "abc", 3);
  PadTextOp()(nullptr, ' ', 5);
}

// Date and time text through the shipped library in the user's own
// settings (under Wine, the Windows locale): what is formatted parses back,
// in every library state.
TEST_F(ApiTest, DateAndTimeTextRoundTrip) {
  for (int round = 0; round < 2; ++round) {
    char text[64];
    uint32_t value = 0;
    for (int32_t minute = 0; minute < 1440; ++minute) {
      for (int32_t ticks : {0, 7, 999}) {
        const int32_t time = (minute / 60 * 100 + minute % 60) * 1000 + ticks;
        ASSERT_EQ(ZARQ1_FormatTime(text, sizeof(text), time, 1), ZARQ_OK);
        ASSERT_EQ(ZARQ1_ParseTimeString(&value, text), ZARQ_OK) << text;
        const bool shows_ticks = std::string(text).find(std::to_string(ticks)) != std::string::npos;
        ASSERT_EQ(static_cast<int32_t>(value), shows_ticks ? time : time - ticks) << text;
        ASSERT_EQ(ZARQ1_FormatTime(text, sizeof(text), time, 0), ZARQ_OK);
        ASSERT_EQ(ZARQ1_ParseTimeString(&value, text), ZARQ_OK) << text;
        ASSERT_EQ(static_cast<int32_t>(value), time - ticks) << text;
      }
    }
    for (int32_t year = 1800; year <= 2200; year += 7) {
      for (int32_t month_day : {101, 229, 1231}) {
        const int32_t date = year * 10000 + month_day;
        if (ZARQ1_FormatDate(text, sizeof(text), date) == ZARQ_E_BAD_DATE) continue;
        ASSERT_EQ(ZARQ1_ParseDateString(&value, text), ZARQ_OK) << text;
        ASSERT_EQ(static_cast<int32_t>(value), date) << text;
      }
    }
    EXPECT_EQ(ZARQ1_FormatDate(text, 0, 20090601), 122);
    EXPECT_EQ(ZARQ1_FormatDate(text, 3, 20090601), 122);
    EXPECT_STREQ(text, "");
    if (round == 0) {
      ASSERT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
    }
  }
}

TEST_F(ApiTest, SymbolTextOrdinal) {
  char symbol[15], second[15], op = 0;
  EXPECT_EQ(zarq_test::ParseSecuritySymbolOp()(symbol, second, &op,
                                               "\xDB"
                                               "ABC"
                                               "\xB3"
                                               "XYZ/"),
            ZARQ_OK);
  EXPECT_STREQ(symbol, "ABC");
  EXPECT_STREQ(second, "XYZ");
  EXPECT_EQ(op, '/');
  EXPECT_EQ(zarq_test::ParseSecuritySymbolOp()(symbol, second, &op,
                                               "\xDB"
                                               "ABC"
                                               "\xB3"),
            ZARQ_E_BAD_SYMBOL_TEXT);
}

TEST_F(ApiTest, DatesAndPrivateOperationsWorkInEveryState) {
  ExerciseStatelessCalls();
  ASSERT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  ExerciseStatelessCalls();
}

TEST_F(ApiTest, LibraryLockOrdinalNestsWithExports) {
  ZarqLibraryLockFn lock = zarq_test::LibraryLockOp();
  lock(ZARQ_LOCK_ACQUIRE);
  // Re-entrant: an export called by the holder does not block.
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  lock(ZARQ_LOCK_RELEASE);
  lock(ZARQ_LOCK_RELEASE);  // a stray release is harmless
  lock(99);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
}

// Loading a second copy by path and unloading it while initialised must
// neither hang nor crash, and the library stays usable afterwards.
TEST_F(ApiTest, UnloadWhileInitializedIsSafe) {
#ifdef _WIN32
  auto load = [] { return static_cast<void*>(LoadLibraryA("zarq.dll")); };
  auto symbol = [](void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  };
  auto unload = [](void* library) { FreeLibrary(static_cast<HMODULE>(library)); };
#else
  auto load = [] { return dlopen(ZARQ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL); };
  auto symbol = [](void* library, const char* name) { return dlsym(library, name); };
  auto unload = [](void* library) { dlclose(library); };
#endif
  void* library = load();
  ASSERT_NE(library, nullptr);
  auto initialize =
      reinterpret_cast<decltype(&ZARQ1_Initialize)>(symbol(library, "ZARQ1_Initialize"));
  ASSERT_NE(initialize, nullptr);
  EXPECT_EQ(initialize("Unload", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  unload(library);
  library = load();
  ASSERT_NE(library, nullptr);
  auto shutdown = reinterpret_cast<decltype(&ZARQ1_Shutdown)>(symbol(library, "ZARQ1_Shutdown"));
  // The library is the one this program linked as well, so it is still
  // initialised from above.
  EXPECT_EQ(shutdown(), ZARQ_OK);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  unload(library);
}

// A caller's whole round: a new database, a security added, its history
// written in one call, read back whole and by a search, the security
// deleted, all through the shipped library.
TEST_F(ApiTest, APriceHistoryRoundTripsThroughTheShippedLibrary) {
  zarq_test::TempFolder folder;
  const std::string path = folder.Join("db");
  ASSERT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  uint8_t dir = 0;
  ASSERT_GE(
      ZARQ1_OpenDirectory(path.c_str(), &dir, ZARQ_OPEN_CREATE_FOLDER | ZARQ_OPEN_BUILD_MASTERS),
      0);
  ZarqSecurityInfo info{};
  std::strcpy(info.Name, "Round Trip");
  std::strcpy(info.Symbol, "RT");
  info.Period = 'D';
  info.FirstDate = info.LastDate = info.BaseDate = 20000103;
  info.FieldMask = ZARQ_FIELD_DATE | ZARQ_FIELD_CLOSE | ZARQ_FIELD_VOL | ZARQ_FIELD_HIGH |
                   ZARQ_FIELD_LOW | ZARQ_FIELD_OPEN;
  ASSERT_EQ(ZARQ1_AddSecurity(dir, &info, 0), ZARQ_OK);
  const uint32_t handle = info.Handle;

  std::vector<ZarqPriceRecord> bars(3000);
  for (size_t i = 0; i < bars.size(); ++i) {
    ZarqPriceRecord& bar = bars[i];
    bar = ZarqPriceRecord{};
    bar.Date = static_cast<int32_t>(20000101 + (i / 28) * 100 + i % 28 + (i / 336) * 8800);
    bar.Open = 10.0f + i;
    bar.High = bar.Open + 1;
    bar.Low = bar.Open - 1;
    bar.Close = bar.Open + 0.5f;
    bar.Volume = 1000.0f * i;
    bar.FieldMask = info.FieldMask;
  }
  ASSERT_EQ(ZARQ1_LockSecurity(handle, ZARQ_WRITE_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ2_WriteMultipleRecs(handle, bars.data(), static_cast<uint16_t>(bars.size()), 1),
            ZARQ_OK);
  ASSERT_EQ(ZARQ1_UnlockSecurity(handle), ZARQ_OK);

  ASSERT_EQ(ZARQ1_LockSecurity(handle, ZARQ_READ_LOCK), ZARQ_OK);
  std::vector<ZarqPriceRecord> read(bars.size() + 1);
  uint16_t count = static_cast<uint16_t>(read.size());
  ZarqDateTimePair first = {bars[0].Date, 0};
  EXPECT_EQ(ZARQ2_ReadMultipleRecs(handle, read.data(), &first, &count, 2), ZARQ_FEWER_READ);
  ASSERT_EQ(count, bars.size());
  EXPECT_EQ(std::memcmp(read.data(), bars.data(), bars.size() * sizeof(ZarqPriceRecord)), 0);
  ZarqDateTimePair pair = {bars[1234].Date, 0};
  uint16_t recno = 0;
  EXPECT_EQ(ZARQ1_FindDataDate(handle, &pair, &recno, 2), ZARQ_OK);
  EXPECT_EQ(recno, 1235);
  EXPECT_EQ(ZARQ1_WriteDataRec(handle, &bars[0]), ZARQ_E_LOCK_TOO_WEAK);
  ASSERT_EQ(ZARQ1_UnlockSecurity(handle), ZARQ_OK);

  EXPECT_EQ(ZARQ1_DeleteSecurity(handle, 0), ZARQ_OK);
  uint32_t securities = 9;
  EXPECT_EQ(ZARQ1_GetSecurityCount(dir, &securities), ZARQ_OK);
  EXPECT_EQ(securities, 0u);
  EXPECT_EQ(ZARQ1_CloseDirectory(dir), ZARQ_OK);
}

}  // namespace
