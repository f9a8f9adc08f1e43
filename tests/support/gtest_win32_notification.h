// gtest_win32_notification.h: GoogleTest's Notification for Windows builds
// whose compiler has no std::mutex (the win32 thread model). Force-included
// in GoogleTest and the tests of those builds.

#ifndef ZARQ_TESTS_SUPPORT_GTEST_WIN32_NOTIFICATION_H_
#define ZARQ_TESTS_SUPPORT_GTEST_WIN32_NOTIFICATION_H_

#ifdef __cplusplus
#include <atomic>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  void Notify() { notified_ = true; }
  void WaitForNotification() {
    while (!notified_) Sleep(1);
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing

#define GTEST_HAS_NOTIFICATION_ 1
#endif

#endif  // ZARQ_TESTS_SUPPORT_GTEST_WIN32_NOTIFICATION_H_
