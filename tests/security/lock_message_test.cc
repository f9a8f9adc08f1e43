// The message of a refused lock names who holds the security, as the
// directory's user file and lock file tell it.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "include/zarq.h"
#include "tests/security/security_fixture.h"
#include "tests/support/message_files.h"

namespace zarq {
namespace {

using LockMessageTest = SecurityTest;

TEST_F(LockMessageTest, ARefusedLockNamesItsHolders) {
  zarq_test::MessageFilePlatform os(zarq_test::kIdentifierMessages);
  const struct {
    const char* what;
    std::function<void(uint32_t slot)> prepare;
    std::string message;  // the texts are their identifiers
  } cases[] = {
      {"held here already",
       [&](uint32_t slot) { ASSERT_EQ(ZARQ1_LockSecurity(Handle(slot), 32), ZARQ_OK); },
       "96599728Tester9729UnitTest"},
      {"three readers",
       [&](uint32_t slot) {
         SetLockAt(slot, Held(16, {5, 6, 7}));
       },
       "965997283 users"},
      {"a holder the user file does not list",
       [&](uint32_t slot) { SetLockAt(slot, Held(32, {9})); }, "96599728unknown user"},
  };
  uint32_t slot = 0;
  for (const auto& c : cases) {
    c.prepare(++slot);
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(slot), ZARQ_WRITE_LOCK), ZARQ_E_LOCK_CONFLICT) << c.what;
    EXPECT_EQ(zarq_test::Message(ZARQ_E_LOCK_CONFLICT), c.message) << c.what;
  }
}

}  // namespace
}  // namespace zarq
