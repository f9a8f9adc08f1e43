// Composite locks: a composite held with its components (always for
// reading) by a real peer as this process sees it; the slots a composite
// takes and gives back here, also when an unlock is retried; and who held
// a refused lock, as the shared user file names them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "include/zarq.h"
#include "src/directory/user_file_format.h"
#include "src/frame/ascii_text.h"
#include "tests/security/security_fixture.h"
#include "tests/support/message_files.h"
#include "tests/support/peer.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class CompositeLockTest : public SecurityTest {
 protected:
  uint32_t Composite() { return Handle(31) | kCompositeHandleBit; }  // S1 - S2
  static std::tuple<int32_t, uint32_t, uint32_t> Status(uint32_t handle) {
    uint32_t status = 9, level = 9;
    int32_t result = ZARQ1_GetSecurityLockedStatus(handle, &status, &level);
    return {result, status, level};
  }
  static std::tuple<int32_t, std::string, std::string, uint32_t, uint32_t> FailedInfo() {
    char application[31], user[31];
    uint32_t count = 9, level = 9;
    int32_t result = ZARQ1_GetLastFailedLockInfo(application, user, &count, &level);
    return {result, application, user, count, level};
  }
  // User record index of the user file, in use with identity, as another
  // process would have written it.
  void PutUser(uint16_t index, const std::string& identity) {
    std::string bytes = folder_.ReadFile("~ZARQ.USR");
    bytes.resize(std::max<size_t>(bytes.size(), (index + 1u) * kUserRecordSize), '\0');
    UserFileHeader header = DecodeUserFileHeader(Raw(bytes));
    header.records = std::max(header.records, index);
    EncodeUserFileHeader(header, reinterpret_cast<uint8_t*>(bytes.data()));
    UserRecord record;
    record.in_use = true;
    record.instance_tag = 99;
    CopyBounded(record.identity, sizeof(record.identity), identity.c_str());
    EncodeUserRecord(record, reinterpret_cast<uint8_t*>(&bytes[index * kUserRecordSize]));
    folder_.WriteFile("~ZARQ.USR", bytes);
  }
};

TEST_F(CompositeLockTest, APeersCompositeAndItsComponentsAsSeenHere) {
  zarq_test::Peer peer;
  const std::string peer_dir = StartPeer(&peer, "Other User");
  auto theirs = [&](uint32_t slot, bool composite) {
    return std::to_string(MakeSecurityHandle(std::stoi(peer_dir), slot, composite));
  };
  ASSERT_EQ(peer.Call("seclock " + theirs(31, true) + " 16"), ZARQ_OK);
  for (uint32_t handle : {Composite(), Handle(1), Handle(2)}) {
    EXPECT_EQ(Status(handle), std::make_tuple(ZARQ_OK, 2u, 16u)) << handle;
  }
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(2), ZARQ_WRITE_LOCK), ZARQ_E_LOCK_CONFLICT);
  EXPECT_EQ(FailedInfo(), std::make_tuple(ZARQ_OK, "Other", "User", 1u, 16u));
  {
    // The message of the refusal names the holder (texts are their
    // identifiers here).
    zarq_test::MessageFilePlatform messages(zarq_test::kIdentifierMessages);
    EXPECT_EQ(zarq_test::Message(ZARQ_E_LOCK_CONFLICT), "96599728User9729Other");
  }
  ASSERT_EQ(peer.Call("secunlock " + theirs(31, true)), ZARQ_OK);
  for (uint32_t n : {1u, 2u, 31u}) EXPECT_EQ(LockAt(n), std::string(kLockRecordSize, '\0')) << n;
  EXPECT_EQ(Status(Composite()), std::make_tuple(ZARQ_OK, 0u, 0u));

  // An unlocked composite tells how its components are held: the primary
  // (here) before the secondary (elsewhere).
  ASSERT_EQ(peer.Call("seclock " + theirs(2, false) + " 32"), ZARQ_OK);
  EXPECT_EQ(Status(Composite()), std::make_tuple(ZARQ_OK, 4u, 32u));
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);
  EXPECT_EQ(Status(Composite()), std::make_tuple(ZARQ_OK, 3u, 16u));
  EXPECT_EQ(Status(Handle(3) | kCompositeHandleBit),
            std::make_tuple(ZARQ_E_INVALID_HANDLE, 0u, 0u));
  EXPECT_EQ(peer.Exit(), 0);
}

// Whatever the composite's level, its components are held for reading;
// DefinitionLock takes the composite alone. A component held only through
// the composite is not the caller's to unlock; an explicit lock of it
// outlives the composite, also when the composite's unlock failed first.
TEST_F(CompositeLockTest, ComponentsAreHeldForReadingAndGivenBackOnce) {
  EXPECT_EQ(ZARQ1_LockSecurity(Composite(), ZARQ_WRITE_LOCK), ZARQ_E_BAD_LOCK_MODE);
  ASSERT_EQ(ZARQ1_LockSecurity(Composite(), ZARQ_DEFINITION_LOCK), ZARQ_OK);
  EXPECT_EQ(Table().size(), 1u);
  ASSERT_EQ(ZARQ1_UnlockSecurity(Composite()), ZARQ_OK);

  ASSERT_EQ(ZARQ1_LockSecurity(Composite(), ZARQ_FULL_LOCK), ZARQ_OK);
  EXPECT_EQ(Table().size(), 3u);
  EXPECT_EQ(Status(Composite()), std::make_tuple(ZARQ_OK, 1u, 128u));
  for (uint32_t n : {1u, 2u}) {
    EXPECT_EQ(Status(Handle(n)), std::make_tuple(ZARQ_OK, 1u, 16u));
    EXPECT_EQ(LockAt(n), Bytes(Held(16, {Own()})));
  }
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_E_NOT_LOCKED);
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_WRITE_LOCK), ZARQ_E_LOCK_CONFLICT);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);  // joins the hold
  {
    zarq_test::InstalledFaults os;
    os.write_to_fail = 1;
    EXPECT_EQ(ZARQ1_UnlockSecurity(Composite()), ZARQ_E_ACCESS_DENIED);
  }
  EXPECT_EQ(Table().size(), 3u);
  ASSERT_EQ(ZARQ1_UnlockSecurity(Composite()), ZARQ_OK);
  ASSERT_EQ(Table().size(), 1u);
  EXPECT_EQ(Status(Handle(1)), std::make_tuple(ZARQ_OK, 1u, 16u));
  ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(1)), ZARQ_OK);
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(LockFile().substr(kLockRecordSize), std::string(31 * kLockRecordSize, '\0'));
}

// The names come from a shared file: each is cut to 30 characters, and a
// record that is no user's names no one.
TEST_F(CompositeLockTest, WhoHeldTheLastRefusedLock) {
  PutUser(5, std::string(39, 'A') + ":" + std::string(25, 'B'));
  const struct {
    const char* what;
    LockRecord held;
    std::string application, user;
    uint32_t count, level;
  } cases[] = {
      {"long names", Held(32, {5}), std::string(30, 'A'), std::string(25, 'B'), 1, 32},
      {"three holders", Held(16, {3, 5, 6}), "", "3 users", 3, 16},
      {"no user record", Held(127, {4}), "", "unknown user", 1, 127},
  };
  uint32_t slot = 4;
  for (const auto& c : cases) {
    SetLockAt(++slot, c.held);
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(slot), ZARQ_WRITE_LOCK), ZARQ_E_LOCK_CONFLICT) << c.what;
    EXPECT_EQ(FailedInfo(), std::make_tuple(ZARQ_OK, c.application, c.user, c.count, c.level))
        << c.what;
  }
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ1_LockSecurity(Handle(1), ZARQ_READ_LOCK), ZARQ_E_LOCK_CONFLICT);
  EXPECT_EQ(FailedInfo(), std::make_tuple(ZARQ_OK, "UnitTest", "Tester", 1u, 16u));

  char application[31] = "x", user[31] = "x";
  uint32_t count = 9, level = 9;
  EXPECT_EQ(ZARQ1_GetLastFailedLockInfo(application, user, nullptr, &level),
            ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(std::make_tuple(std::string(application), std::string(user), level),
            std::make_tuple("", "", 0u));
  ZARQ1_Shutdown();
  EXPECT_EQ(ZARQ1_GetLastFailedLockInfo(application, user, &count, &level),
            ZARQ_STATE_UNINITIALIZED);
  EXPECT_EQ(std::make_tuple(count, level), std::make_tuple(0u, 0u));
}

}  // namespace
}  // namespace zarq
