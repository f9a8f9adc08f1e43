#include <gtest/gtest.h>
#include "include/zarq.h"
#include "tests/directory/database_fixture.h"
namespace zarq {
namespace {
TEST_F(DatabaseOpenTest, Smoke) {
  zarq_test::WriteMasterFiles(folder_, zarq_test::NumberedSecurities(5));
  ASSERT_EQ(Open(), ZARQ_OK);
  ZarqSecurityInfo info;
  EXPECT_EQ(ZARQ1_GetFirstSecurityInfo(dir_, &info), ZARQ_OK);
  EXPECT_STREQ(info.Symbol, "S1");
  int n = 1;
  int32_t s;
  while ((s = ZARQ1_GetNextSecurityInfo(0, &info)) >= 0) { ++n; if (s == ZARQ_NO_NEXT) break; }
  EXPECT_EQ(n, 5);
  EXPECT_EQ(s, ZARQ_NO_NEXT);
  ZarqSecurityId id = {};
  id.DirNumber = dir_;
  strcpy(id.Symbol, "S3");
  id.Period = 'd';
  uint32_t h = 0;
  ASSERT_EQ(ZARQ1_GetSecurityHandle(&id, &h), ZARQ_OK);
  EXPECT_EQ(h & 0xFFFF, 3u);
  uint32_t count = 0;
  EXPECT_EQ(ZARQ1_GetSecurityCount(dir_, &count), ZARQ_OK);
  EXPECT_EQ(count, 5u);
  uint32_t hs[10]; uint32_t got = 0;
  EXPECT_EQ(ZARQ2_GetSecurityHandles(dir_, 0, 10, hs, &got), ZARQ_OK);
  EXPECT_EQ(got, 5u);
  EXPECT_EQ(ZARQ1_LockSecurity(h, 32), ZARQ_OK);
  std::string lck = folder_.ReadFile("~ZARQ.LCK");
  EXPECT_EQ((uint8_t)lck[3 * 37], 32);
  EXPECT_EQ(ZARQ1_LockSecurity(h, 16), ZARQ_E_LOCK_CONFLICT);
  EXPECT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_OK);
  lck = folder_.ReadFile("~ZARQ.LCK");
  EXPECT_EQ((uint8_t)lck[3 * 37], 0);
  EXPECT_EQ(ZARQ1_UnlockSecurity(h), ZARQ_E_NOT_LOCKED);
  EXPECT_EQ(ZARQ1_LockSecurity(h, 17), ZARQ_E_BAD_LOCK_MODE);
  EXPECT_TRUE(folder_.Exists("F3.DAT"));
  EXPECT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
}
}  // namespace
}  // namespace zarq
