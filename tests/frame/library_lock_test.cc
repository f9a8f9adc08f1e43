// The library lock: nesting, error mode, modes, and threads.

#include "src/frame/library_lock.h"

#include <gtest/gtest.h>

#include <atomic>

#include "src/platform/platform.h"
#include "src/platform/sync.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class LibraryLockTest : public ::testing::Test {
 protected:
  zarq_test::ProcessDouble os_;
  zarq_test::ScopedPlatform installed_{&os_};
  LibraryLock lock_;
};

TEST_F(LibraryLockTest, OutermostAcquireSuppressesDialogsUntilTheLastRelease) {
  lock_.Apply(kLockAcquire);
  EXPECT_EQ(os_.error_mode, kFailCriticalErrors);
  lock_.Apply(kLockAcquire);
  lock_.Apply(kLockAcquire);
  EXPECT_EQ(lock_.nesting(), 3);
  EXPECT_EQ(os_.error_modes_set.size(), 1u);
  lock_.Apply(kLockRelease);
  lock_.Apply(kLockRelease);
  EXPECT_EQ(os_.error_mode, kFailCriticalErrors);
  lock_.Apply(kLockRelease);
  EXPECT_EQ(os_.error_mode, 0x8000u);
  EXPECT_EQ(lock_.nesting(), 0);
  EXPECT_FALSE(lock_.HeldByCurrentThread());
}

TEST_F(LibraryLockTest, ReleaseFinalRestoresAtOnceAndLeavesOnce) {
  lock_.Acquire();
  lock_.Acquire();
  lock_.Acquire();
  lock_.ReleaseFinal();
  EXPECT_EQ(lock_.nesting(), 0);
  EXPECT_EQ(os_.error_mode, 0x8000u);
  EXPECT_TRUE(lock_.HeldByCurrentThread());  // two entries remain
  lock_.Release();
  lock_.Release();
  EXPECT_FALSE(lock_.HeldByCurrentThread());
  EXPECT_EQ(os_.error_modes_set.size(), 2u);
}

TEST_F(LibraryLockTest, OtherModesAndStrayReleasesDoNothing) {
  lock_.Apply(7);
  EXPECT_FALSE(lock_.HeldByCurrentThread());
  EXPECT_TRUE(os_.error_modes_set.empty());
  lock_.Apply(kLockRelease);  // not held: refused instead of corrupting it
  lock_.Apply(kLockReleaseFinal);
  lock_.Acquire();
  EXPECT_EQ(lock_.nesting(), 1);
  lock_.Release();
  EXPECT_FALSE(lock_.HeldByCurrentThread());
}

struct Contender {
  LibraryLock* lock;
  std::atomic<bool> entered{false};
};

TEST_F(LibraryLockTest, SecondThreadWaitsForTheHolder) {
  Contender contender{&lock_};
  lock_.Acquire();
  WorkerThread thread;
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

TEST_F(LibraryLockTest, ReleaseFromAThreadThatDoesNotHoldItIsRefused) {
  lock_.Acquire();
  WorkerThread thread;
  ASSERT_TRUE(thread.Start([](void* raw) { static_cast<LibraryLock*>(raw)->Release(); }, &lock_));
  ASSERT_TRUE(thread.Join(5000));
  EXPECT_TRUE(lock_.HeldByCurrentThread());
  EXPECT_EQ(lock_.nesting(), 1);
  lock_.Release();
}

}  // namespace
}  // namespace zarq
