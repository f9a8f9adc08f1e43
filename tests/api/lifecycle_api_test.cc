// The lifecycle through the shipped library: states, the exports that need
// an initialised library, the library lock as ordinal 217, and unloading.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/api/private_ops.h"
#include "tests/support/dynamic_library.h"
#include "zarq.h"
#include "zarq_private.h"

extern "C" int zarq_c_header_check(void);

namespace {

class LifecycleApiTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED); }
  void TearDown() override { ZARQ1_Shutdown(); }
};

TEST_F(LifecycleApiTest, HeaderIsValidC) { EXPECT_EQ(zarq_c_header_check(), 0); }

TEST_F(LifecycleApiTest, InitializeShutdownCycle) {
  EXPECT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_INITIALIZED);
  EXPECT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_STATE_INITIALIZED);
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(ZARQ1_Initialize("ApiTest", "Tester", 9100), ZARQ_E_WRONG_VERSION);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
}

// Every export that needs the initialised library, called before and after
// its lifetime. New exports join this table.
TEST_F(LifecycleApiTest, ExportsNeedingTheLibraryReportItsState) {
  const std::vector<std::pair<std::string, std::function<int32_t()>>> calls = {
      {"ZARQ1_Shutdown", [] { return ZARQ1_Shutdown(); }},
      {"ZARQ1_OpenDirectory",
       [] {
         uint8_t number = 9;
         int32_t status = ZARQ1_OpenDirectory(".", &number, 0);
         return number == 0 ? status : -1;
       }},
      {"ZARQ1_CloseDirectory", [] { return ZARQ1_CloseDirectory(1); }},
      {"ZARQ1_GetDataPath",
       [] {
         char path[300];
         return ZARQ1_GetDataPath(1, path, 0);
       }},
      {"ZARQ1_GetDirectoryStatus",
       [] {
         ZarqDirectoryStatus status;
         int32_t result = ZARQ1_GetDirectoryStatus(1, ".", &status);
         return status.Size == 40 ? result : -1;
       }},
      {"ZARQ1_GetLastFailedOpenDirInfo",
       [] {
         char application[31], user[31];
         return ZARQ1_GetLastFailedOpenDirInfo(application, user);
       }},
      {"ZARQ1_BuildQuorvantaDirectory", [] { return ZARQ1_BuildQuorvantaDirectory(1); }},
      {"ZARQ1_GetDirectoryNumber",
       [] {
         uint8_t number = 9;
         int32_t status = ZARQ1_GetDirectoryNumber(".", &number);
         return number == 0 ? status : -1;
       }},
  };
  for (const auto& [name, call] : calls) {
    EXPECT_EQ(call(), ZARQ_STATE_UNINITIALIZED) << name;
  }
  ASSERT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  ASSERT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  for (const auto& [name, call] : calls) {
    EXPECT_EQ(call(), ZARQ_STATE_UNINITIALIZED) << name << " after shutdown";
  }
}

TEST_F(LifecycleApiTest, PrivateOperationsWorkInEveryState) {
  ASSERT_NE(zarq_test::CountBitsOp(), nullptr);
  EXPECT_EQ(zarq_test::CountBitsOp()(0x7F), 7);
  EXPECT_EQ(zarq_test::CountBitsOp()(0xFFFFFFFFu), 32);
  ASSERT_NE(zarq_test::ValidateDateOp(), nullptr);
  EXPECT_EQ(zarq_test::ValidateDateOp()(1090601, 0), ZARQ_OK);
  EXPECT_EQ(zarq_test::ValidateDateOp()(-1, 0), ZARQ_E_BAD_DATE);
  ASSERT_NE(zarq_test::GetRootPathOp(), nullptr);
  char root[261] = "junk";
#ifdef _WIN32
  EXPECT_EQ(zarq_test::GetRootPathOp()("\\\\server\\share", root), ZARQ_OK);
  EXPECT_STREQ(root, "\\\\server\\share\\");
#else
  EXPECT_EQ(zarq_test::GetRootPathOp()("/var/data", root), ZARQ_OK);
  EXPECT_STREQ(root, "/");
#endif
  EXPECT_EQ(zarq_test::GetRootPathOp()("relative", root), ZARQ_E_BAD_PATH);
  EXPECT_STREQ(root, "");
  ASSERT_NE(zarq_test::ValidateTimeOp(), nullptr);
  EXPECT_EQ(zarq_test::ValidateTimeOp()(235959, 0), ZARQ_OK);
  EXPECT_EQ(zarq_test::ValidateTimeOp()(2400000, 1), ZARQ_E_BAD_TIME);
}

TEST_F(LifecycleApiTest, LibraryLockOrdinalNestsWithExports) {
  ZarqLibraryLockFn lock = zarq_test::LibraryLockOp();
  ASSERT_NE(lock, nullptr);
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
TEST_F(LifecycleApiTest, UnloadWhileInitializedIsSafe) {
  zarq_test::DynamicLibrary library;
  ASSERT_TRUE(library.Load(zarq_test::ZarqLibraryPath()));
  auto initialize =
      reinterpret_cast<decltype(&ZARQ1_Initialize)>(library.Symbol("ZARQ1_Initialize"));
  ASSERT_NE(initialize, nullptr);
  EXPECT_EQ(initialize("Unload", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  library.Unload();
  ASSERT_TRUE(library.Load(zarq_test::ZarqLibraryPath()));
  auto shutdown = reinterpret_cast<decltype(&ZARQ1_Shutdown)>(library.Symbol("ZARQ1_Shutdown"));
  ASSERT_NE(shutdown, nullptr);
  // The library is the one this program linked as well, so it is still
  // initialised from above.
  EXPECT_EQ(shutdown(), ZARQ_OK);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
}

}  // namespace
