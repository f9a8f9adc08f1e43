// Initialisation, shutdown, the library states and the unwinding of a
// failed initialisation.

#include "src/frame/lifecycle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/frame/library_lock.h"
#include "src/frame/library_state.h"
#include "src/frame/process_parts.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

// Two parts after the real ones: the first records its start and stop, the
// second fails on request.
struct TestParts {
  int recorder_started = 0;
  int recorder_stopped = 0;
  int32_t fail_with = ZARQ_OK;
};
TestParts g_parts;

const ProcessPartRegistration kRecorder({static_cast<PartOrder>(90),
                                         [] {
                                           ++g_parts.recorder_started;
                                           return int32_t{ZARQ_OK};
                                         },
                                         nullptr, [] { ++g_parts.recorder_stopped; }});
const ProcessPartRegistration kFailer({static_cast<PartOrder>(91), [] { return g_parts.fail_with; },
                                       nullptr, nullptr});

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
    g_parts = TestParts{};
  }
  void TearDown() override { ZARQ1_Shutdown(); }
};

TEST_F(LifecycleTest, StatesAndASecondInitialize) {
  EXPECT_EQ(ZARQ1_Initialize("", "", 9200), ZARQ_OK);
  EXPECT_STREQ(IdentityString(), "Unknown:Unknown User");
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_INITIALIZED);
  EXPECT_GE(InstanceTag(), 0);
  EXPECT_LE(InstanceTag(), 32766);
  EXPECT_EQ(ZARQ1_Initialize("Other", "Someone", 9200), ZARQ_STATE_INITIALIZED);
  EXPECT_STREQ(IdentityString(), "Unknown:Unknown User");
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(g_parts.recorder_started, 1);
  EXPECT_EQ(g_parts.recorder_stopped, 1);
  EXPECT_FALSE(TheLibraryLock().HeldByCurrentThread());
}

TEST_F(LifecycleTest, IdentityKeepsThirtyCharactersOfEachName) {
  const std::string forty(40, 'a');
  const std::string forty_user(40, 'u');
  ASSERT_EQ(ZARQ1_Initialize(forty.c_str(), forty_user.c_str(), 9200), ZARQ_OK);
  EXPECT_EQ(std::string(IdentityString()), std::string(30, 'a') + ":" + std::string(30, 'u'));
  EXPECT_EQ(std::strlen(IdentityString()), 61u);
  ZARQ1_Shutdown();
  ASSERT_EQ(ZARQ1_Initialize(nullptr, "Ann", 9200), ZARQ_OK);
  EXPECT_STREQ(IdentityString(), "Unknown:Ann");
}

TEST_F(LifecycleTest, WrongVersionLeavesTheLibraryUninitialized) {
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9100), ZARQ_E_WRONG_VERSION);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(g_parts.recorder_started, 0);
}

TEST_F(LifecycleTest, OldSystemVersionsAreRefused) {
  zarq_test::ProcessDouble os;
  zarq_test::ScopedPlatform installed(&os);
  struct {
    uint32_t version;
    int32_t want;
  } cases[] = {
      {0x00000002, ZARQ_E_UNSUPPORTED_SYSTEM},  // 2.0
      {0x00000003, ZARQ_E_UNSUPPORTED_SYSTEM},  // 3.0
      {0x80000A03, ZARQ_E_UNSUPPORTED_SYSTEM},  // 3.10, old consumer line
      {0x00000A03, ZARQ_OK},                    // 3.10
      {0x00000105, ZARQ_OK},                    // 5.1
      {0x80000004, ZARQ_OK},                    // 4.0 of the consumer line
  };
  for (const auto& c : cases) {
    os.system_version = c.version;
    EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), c.want) << std::hex << c.version;
    ZARQ1_Shutdown();
  }
}

TEST_F(LifecycleTest, FailedInitializationStopsWhatItStarted) {
  g_parts.fail_with = ZARQ_E_OUT_OF_MEMORY;
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(g_parts.recorder_started, 1);
  EXPECT_EQ(g_parts.recorder_stopped, 1);
  g_parts.fail_with = ZARQ_OK;
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), ZARQ_OK);
  EXPECT_EQ(g_parts.recorder_started, 2);
}

TEST_F(LifecycleTest, CountBitsWorksInEveryState) {
  EXPECT_EQ(ZARQP_CountBits(0x0000007F), 7);
  EXPECT_EQ(ZARQP_CountBits(0xFFFFFFFF), 32);
  EXPECT_EQ(ZARQP_CountBits(0), 0);
}

// Damage lasts for the life of the process, so it is shown in a child.
TEST_F(LifecycleTest, DamagedLibraryStaysDamaged) {
  EXPECT_EXIT(
      {
        ZARQ1_Initialize("App", "User", 9200);
        TheLibraryLock().Acquire();
        SetLibraryState(ZARQ_STATE_DAMAGED);
        SetLibraryState(ZARQ_STATE_INITIALIZED);
        TheLibraryLock().Release();
        bool ok = ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED &&
                  ZARQ1_Initialize("App", "User", 9200) == ZARQ_STATE_INITIALIZED &&
                  ZARQ1_Shutdown() == ZARQ_STATE_DAMAGED &&
                  ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LifecycleTest, OutOfRangeStateCountsAsDamage) {
  EXPECT_EXIT(
      {
        TheLibraryLock().Acquire();
        SetLibraryState(12345);
        TheLibraryLock().Release();
        std::exit(ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zarq
