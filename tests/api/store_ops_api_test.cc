// Ordinal 211 through the shipped library: found by ordinal, needs the
// initialised library, and reports zeros with the failure for a directory
// it cannot read.

#include <gtest/gtest.h>

#include <vector>

#include "tests/api/private_ops.h"
#include "tests/support/temp_folder.h"
#include "zarq.h"
#include "zarq_private.h"

namespace {

TEST(StoreOpsApiTest, FormatLevelsOfDirectoriesWithoutAList) {
  ZarqGetFormatLevelsFn get_levels = zarq_test::GetFormatLevelsOp();
  ASSERT_NE(get_levels, nullptr);
  uint16_t levels[4] = {9, 9, 9, 9};
  EXPECT_EQ(get_levels(1, levels), ZARQ_STATE_UNINITIALIZED);

  ASSERT_EQ(ZARQ1_Initialize("ApiTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  EXPECT_EQ(get_levels(1, levels), ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(std::vector<uint16_t>(levels, levels + 4), std::vector<uint16_t>(4, 0));
  {
    zarq_test::TempFolder folder;
    uint8_t dir = 0;
    ASSERT_EQ(ZARQ1_OpenDirectory(folder.path().c_str(), &dir, 0), ZARQ_OPENED_NO_DATABASE);
    levels[0] = 9;
    EXPECT_EQ(get_levels(dir, levels), ZARQ_E_FILE_NOT_FOUND);
    EXPECT_EQ(levels[0], 0);
    EXPECT_EQ(get_levels(dir, nullptr), ZARQ_E_INVALID_ARGUMENT);
    EXPECT_EQ(ZARQ1_CloseDirectory(dir), ZARQ_OK);
  }
  EXPECT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
}

}  // namespace
