// The library lock (nesting, the error mode, threads) and the lifecycle:
// states, identity, initialisation and its unwinding, damage.

#include "src/frame/lifecycle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/frame/library_lock.h"
#include "src/frame/library_state.h"
#include "src/frame/process_parts.h"
#include "src/platform/sync.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class LibraryLockTest : public ::testing::Test {
 protected:
  zarq_test::FaultPlatform os_;
  zarq_test::ScopedPlatform installed_{&os_};
  LibraryLock lock_;
};

TEST_F(LibraryLockTest, NestingAndTheErrorMode) {
  lock_.Apply(7);             // other modes do nothing,
  lock_.Apply(kLockRelease);  // nor do releases of a lock not held
  lock_.Apply(kLockReleaseFinal);
  EXPECT_FALSE(lock_.HeldByCurrentThread());
  EXPECT_TRUE(os_.error_modes_set.empty());
  for (int i = 0; i < 3; ++i) lock_.Apply(kLockAcquire);
  EXPECT_EQ(lock_.nesting(), 3);
  EXPECT_EQ(os_.error_modes_set, std::vector<uint32_t>{kFailCriticalErrors});  // outermost only
  lock_.Apply(kLockRelease);
  lock_.Apply(kLockRelease);
  EXPECT_EQ(os_.error_mode, kFailCriticalErrors);
  lock_.Apply(kLockRelease);
  EXPECT_EQ(os_.error_mode, 0x8000u);
  EXPECT_FALSE(lock_.HeldByCurrentThread());

  // The final release restores the mode at once and leaves one entry.
  for (int i = 0; i < 3; ++i) lock_.Acquire();
  lock_.ReleaseFinal();
  EXPECT_EQ(lock_.nesting(), 0);
  EXPECT_EQ(os_.error_mode, 0x8000u);
  EXPECT_TRUE(lock_.HeldByCurrentThread());
  lock_.Release();
  lock_.Release();
  EXPECT_FALSE(lock_.HeldByCurrentThread());
  EXPECT_EQ(os_.error_modes_set.size(), 4u);
}

TEST_F(LibraryLockTest, ASecondThreadWaitsForTheHolderAndCannotReleaseIt) {
  struct Contender {
    LibraryLock* lock;
    std::atomic<bool> entered{false};
  } contender{&lock_};
  lock_.Acquire();
  WorkerThread stray, thread;
  ASSERT_TRUE(stray.Start([](void* lock) { static_cast<LibraryLock*>(lock)->Release(); }, &lock_));
  ASSERT_TRUE(stray.Join(5000));
  EXPECT_EQ(lock_.nesting(), 1);
  ASSERT_TRUE(thread.Start(
      [](void* raw) {
        auto* c = static_cast<Contender*>(raw);
        c->lock->Acquire();
        c->entered = true;
        c->lock->Release();
      },
      &contender));
  SystemPlatform()->Sleep(100);
  EXPECT_FALSE(contender.entered.load());
  lock_.Release();
  ASSERT_TRUE(thread.Join(5000));
  EXPECT_TRUE(contender.entered.load());
}

// Two parts after the real ones: the first records its start and stop, the
// second fails on request.
struct TestParts {
  int started = 0;
  int stopped = 0;
  int32_t fail_with = ZARQ_OK;
} g_parts;

const ProcessPartRegistration kRecorder({static_cast<PartOrder>(90),
                                         [] {
                                           ++g_parts.started;
                                           return int32_t{ZARQ_OK};
                                         },
                                         nullptr, [] { ++g_parts.stopped; }});
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

TEST_F(LifecycleTest, StatesVersionsAndASecondInitialize) {
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9100), ZARQ_E_WRONG_VERSION);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(g_parts.started, 0);
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), ZARQ_OK);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_INITIALIZED);
  EXPECT_GE(InstanceTag(), 0);
  EXPECT_LE(InstanceTag(), 32766);
  EXPECT_EQ(ZARQ1_Initialize("Other", "Someone", 9200), ZARQ_STATE_INITIALIZED);
  EXPECT_STREQ(IdentityString(), "App:User");
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(g_parts.started, 1);
  EXPECT_EQ(g_parts.stopped, 1);
  EXPECT_FALSE(TheLibraryLock().HeldByCurrentThread());
}

TEST_F(LifecycleTest, IdentityKeepsThirtyCharactersOfEachName) {
  const std::string a40(40, 'a'), u40(40, 'u');
  const struct {
    const char *application, *user;
    std::string want;
  } cases[] = {{"", "", "Unknown:Unknown User"},
               {nullptr, "Ann", "Unknown:Ann"},
               {a40.c_str(), u40.c_str(), std::string(30, 'a') + ":" + std::string(30, 'u')}};
  for (const auto& c : cases) {
    ASSERT_EQ(ZARQ1_Initialize(c.application, c.user, 9200), ZARQ_OK);
    EXPECT_EQ(IdentityString(), c.want);
    ZARQ1_Shutdown();
  }
}

TEST_F(LifecycleTest, OldSystemVersionsAreRefused) {
  zarq_test::InstalledFaults os;
  // 2.0, 3.0 and 3.10 of the old consumer line are refused; 3.10, 5.1 and
  // 4.0 of the consumer line are not.
  const std::pair<uint32_t, int32_t> cases[] = {{0x00000002, ZARQ_E_UNSUPPORTED_SYSTEM},
                                                {0x00000003, ZARQ_E_UNSUPPORTED_SYSTEM},
                                                {0x80000A03, ZARQ_E_UNSUPPORTED_SYSTEM},
                                                {0x00000A03, ZARQ_OK},
                                                {0x00000105, ZARQ_OK},
                                                {0x80000004, ZARQ_OK}};
  for (const auto& [version, want] : cases) {
    os.system_version = version;
    EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), want) << std::hex << version;
    ZARQ1_Shutdown();
  }
}

TEST_F(LifecycleTest, FailedInitializationStopsWhatItStarted) {
  g_parts.fail_with = ZARQ_E_OUT_OF_MEMORY;
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), ZARQ_E_OUT_OF_MEMORY);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(g_parts.started, 1);
  EXPECT_EQ(g_parts.stopped, 1);
  g_parts.fail_with = ZARQ_OK;
  EXPECT_EQ(ZARQ1_Initialize("App", "User", 9200), ZARQ_OK);
  EXPECT_EQ(g_parts.started, 2);
}

// Damage lasts for the life of the process, so it is shown in a child.
TEST_F(LifecycleTest, DamageStays) {
  EXPECT_EXIT(
      {
        ZARQ1_Initialize("App", "User", 9200);
        TheLibraryLock().Acquire();
        SetLibraryState(12345);  // out of range: counts as damage
        TheLibraryLock().Release();
        bool ok = ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED;
        TheLibraryLock().Acquire();
        SetLibraryState(ZARQ_STATE_INITIALIZED);
        TheLibraryLock().Release();
        ok = ok && ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED &&
             ZARQ1_Initialize("App", "User", 9200) == ZARQ_STATE_INITIALIZED &&
             ZARQ1_Shutdown() == ZARQ_STATE_DAMAGED && ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zarq
