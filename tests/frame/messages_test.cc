// Status messages: the status-to-text map (through a message file whose
// texts are their identifiers), the details and their limit, cutting to
// the caller's maximum, a missing message file, concurrent first requests,
// and the shipped texts.

#include "src/frame/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <string>

#include "include/zarq.h"
#include "src/platform/sync.h"
#include "tests/support/library_fixture.h"
#include "tests/support/message_files.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using zarq_test::Message;
using zarq_test::MessageFilePlatform;

#ifdef _WIN32
const std::string kOwnName = "zarq.dll";
#else
const std::string kOwnName = "libzarq.so.1";
#endif

class MessagesTest : public ::testing::Test {
 protected:
  MessageFilePlatform os_{zarq_test::kIdentifierMessages};
};

TEST_F(MessagesTest, EveryStatusRangeMapsToItsText) {
  struct Case {
    int32_t status;
    int identifier;
  };
  // Both ends of every range, and the statuses just outside them.
  const Case cases[] = {
      {-401, 9727},    {-400, 9612}, {-392, 9620}, {-390, 9727}, {-376, 9727},  {-375, 9623},
      {-360, 9638},    {-359, 9727}, {-356, 9727}, {-355, 9639}, {-340, 9654},  {-339, 9727},
      {-326, 9727},    {-325, 9655}, {-321, 9659}, {-319, 9661}, {-318, 9727},  {-301, 9727},
      {-300, 9662},    {-292, 9670}, {-291, 9727}, {-276, 9727}, {-275, 9671},  {-274, 9672},
      {-273, 9727},    {-251, 9727}, {-250, 9673}, {-247, 9676}, {-246, 9727},  {-226, 9727},
      {-225, 9677},    {-224, 9678}, {-223, 9727}, {-201, 9727}, {-200, 9679},  {-188, 9691},
      {-187, 9727},    {-176, 9727}, {-175, 9692}, {-167, 9700}, {-166, 9727},  {-151, 9727},
      {-150, 9701},    {-142, 9709}, {-141, 9727}, {-126, 9727}, {-125, 9710},  {-123, 9712},
      {-122, 9727},    {-100, 9727}, {-99, 9714},  {-98, 9727},  {-362, 9636},  {-1, 9727},
      {0, 9715},       {6, 9721},    {7, 9727},    {24, 9727},   {25, 9722},    {26, 9727},
      {49, 9727},      {50, 9723},   {53, 9726},   {54, 9727},   {12345, 9727}, {INT_MIN, 9727},
      {INT_MAX, 9727},
  };
  // Uninitialised, so no failure details follow -321 and -362.
  for (const Case& c : cases) {
    EXPECT_EQ(Message(c.status), std::to_string(c.identifier)) << c.status;
  }
  EXPECT_EQ(Message(ZARQ_E_WRONG_VERSION), "9622 (" + kOwnName + ")");
  EXPECT_EQ(os_.opens, 1);
}

// Failure sources the tests set.
struct FakeFailures {
  int32_t status = ZARQ_OK;
  uint32_t holders = 0;
  std::string application;
  std::string user;
} g_fake;

int32_t FakeOpen(std::string* application) {
  *application = g_fake.application;
  return g_fake.status;
}

int32_t FakeLock(uint32_t* holders, std::string* application, std::string* user) {
  *holders = g_fake.holders;
  *application = g_fake.application;
  *user = g_fake.user;
  return g_fake.status;
}

class MessageDetailsTest : public zarq_test::InitializedTest {
 protected:
  void TearDown() override {
    SetFailedOpenSource(open_);
    SetFailedLockSource(lock_);
    InitializedTest::TearDown();
  }
  MessageFilePlatform os_{zarq_test::kIdentifierMessages};
  FailedOpenSource open_ = SetFailedOpenSource(&FakeOpen);
  FailedLockSource lock_ = SetFailedLockSource(&FakeLock);
};

TEST_F(MessageDetailsTest, RefusedLocksAndOpensNameTheirHolders) {
  const std::string long_user(92, 'u');  // "9659" "9728" and it reach 100
  struct Case {
    int32_t status;
    FakeFailures failure;
    std::string expected;
  } cases[] = {
      {ZARQ_E_LOCK_CONFLICT, {ZARQ_OK, 1, "App", "Ann"}, "96599728Ann9729App"},
      {ZARQ_E_LOCK_CONFLICT, {ZARQ_OK, 3, "", "3 users"}, "965997283 users"},
      {ZARQ_E_LOCK_CONFLICT, {ZARQ_OK, 2, "App", "2 users"}, "965997282 users"},
      {ZARQ_E_LOCK_CONFLICT, {ZARQ_OK, 1, "", "unknown user"}, "96599728unknown user"},
      // A piece that would reach 100 characters is left out, later ones not.
      {ZARQ_E_LOCK_CONFLICT, {ZARQ_OK, 1, "App", long_user}, "965997289729App"},
      {ZARQ_E_LOCK_CONFLICT,
       {ZARQ_OK, 1, "App", long_user.substr(1)},
       "96599728" + long_user.substr(1)},
      {ZARQ_E_LOCK_CONFLICT, {ZARQ_E_USER_FILE_LOCKED, 1, "App", "Ann"}, "9659"},
      {ZARQ_E_HELD_BY_OTHER_PROGRAM, {ZARQ_OK, 0, "Other", ""}, "96369728Other"},
      {ZARQ_E_HELD_BY_OTHER_PROGRAM, {ZARQ_OK, 0, "", ""}, "9636"},
      {ZARQ_E_HELD_BY_OTHER_PROGRAM, {ZARQ_E_USER_FILE_LOCKED, 0, "Other", ""}, "9636"},
      {ZARQ_E_NOT_LOCKED, {ZARQ_OK, 1, "App", "Ann"}, "9660"},
  };
  for (const Case& c : cases) {
    g_fake = c.failure;
    EXPECT_EQ(Message(c.status), c.expected) << c.status << " " << c.failure.user;
  }
}

TEST_F(MessagesTest, TextsAreCutToTheMaximumWithANul) {
  const std::string full = "9622 (" + kOwnName + ")";
  for (uint16_t maximum : {0, 1, 10}) {
    char text[32];
    std::string(sizeof(text), 'x').copy(text, sizeof(text));
    EXPECT_EQ(ZARQ1_GetErrorMessage(ZARQ_E_WRONG_VERSION, text, maximum), text);
    EXPECT_EQ(std::string(text), full.substr(0, maximum));
    EXPECT_EQ(text[maximum + 1], 'x') << "written past " << maximum;
  }
  EXPECT_EQ(ZARQ1_GetErrorMessage(ZARQ_E_WRONG_VERSION, nullptr, 100), nullptr);
}

TEST_F(MessagesTest, AMissingFileGivesEmptyTextsAndIsTriedAgain) {
  os_.path = "no-such-folder/ZARQMSG110EN.missing";
  EXPECT_EQ(Message(ZARQ_E_NOT_LOCKED), "");
  EXPECT_EQ(Message(12345), "");
  EXPECT_EQ(os_.opens, 2);
  EXPECT_EQ(os_.reports, 2);
  os_.path = zarq_test::kIdentifierMessages;
  EXPECT_EQ(Message(ZARQ_E_NOT_LOCKED), "9660");
  EXPECT_EQ(os_.reports, 2);
}

TEST_F(MessagesTest, ConcurrentFirstRequestsLoadOnce) {
  constexpr int kThreads = 6;
  struct Run {
    std::atomic<int> wrong{0};
  } run;
  auto body = [](void* raw) {
    auto* r = static_cast<Run*>(raw);
    for (int i = 0; i < 20; ++i) {
      if (Message(ZARQ_STATE_UNINITIALIZED) != "9612") ++r->wrong;
    }
  };
  WorkerThread threads[kThreads];
  for (WorkerThread& thread : threads) ASSERT_TRUE(thread.Start(body, &run));
  for (WorkerThread& thread : threads) ASSERT_TRUE(thread.Join(30000));
  EXPECT_EQ(run.wrong, 0);
  EXPECT_EQ(os_.opens, 1);
}

TEST_F(MessagesTest, TheShippedFileHasATextForEveryStatus) {
  os_.path = zarq_test::kShippedMessages;
  ASSERT_TRUE(LoadMessages());
  for (int32_t status = -400; status <= 60; ++status) {
    uint32_t identifier = MessageIdFor(status);
    if (identifier != kUnknownStatusText) {
      EXPECT_NE(MessageText(identifier), "") << status;
    }
  }
  for (uint32_t identifier : {kUnknownStatusText, kHeldByText, kHeldInText}) {
    EXPECT_NE(MessageText(identifier), "") << identifier;
  }
}

TEST(MessageFilePathTest, TheSystemsPlace) {
#ifdef _WIN32
  std::string path = SystemPlatform()->MessageFilePath("STEM");
  EXPECT_TRUE(zarq_test::EndsWith(path, "\\Halvern\\Localized Resources\\STEM.DLL")) << path;
#else
  const char* saved = std::getenv("ZARQ_COMMON_FILES");
  std::string restore = saved != nullptr ? saved : "";
  setenv("ZARQ_COMMON_FILES", "/opt/common", 1);
  EXPECT_EQ(SystemPlatform()->MessageFilePath("STEM"), "/opt/common/zarq/STEM.cat");
  unsetenv("ZARQ_COMMON_FILES");
  EXPECT_TRUE(
      zarq_test::EndsWith(SystemPlatform()->MessageFilePath("STEM"), "/share/zarq/STEM.cat"));
  if (saved != nullptr) setenv("ZARQ_COMMON_FILES", restore.c_str(), 1);
#endif
}

}  // namespace
}  // namespace zarq
