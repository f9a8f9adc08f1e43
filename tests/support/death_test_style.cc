// death_test_style.cc: child processes of death tests start afresh instead
// of forking this one: the library runs a background thread, which a fork
// would not carry over, and process-wide state (directory numbers, damage)
// must start clean in the child.

#include <gtest/gtest.h>

namespace {

class ThreadsafeDeathTests : public ::testing::Environment {
 public:
  // Runs after the command line is parsed, so the setting sticks.
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

::testing::Environment* const kThreadsafeDeathTests =
    ::testing::AddGlobalTestEnvironment(new ThreadsafeDeathTests);

}  // namespace
