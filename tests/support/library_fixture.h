// library_fixture.h: a test fixture with the library initialised and a
// fresh folder opened as a data directory (a folder without a database).

#ifndef ZARQ_TESTS_SUPPORT_LIBRARY_FIXTURE_H_
#define ZARQ_TESTS_SUPPORT_LIBRARY_FIXTURE_H_

#include <gtest/gtest.h>

#include <string>

#include "include/zarq.h"
#include "tests/support/temp_folder.h"

namespace zarq_test {

class InitializedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ZARQ1_Initialize("UnitTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  }
  void TearDown() override { ZARQ1_Shutdown(); }
};

class OpenFolderTest : public InitializedTest {
 protected:
  void SetUp() override {
    InitializedTest::SetUp();
    ASSERT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, 0), ZARQ_OPENED_NO_DATABASE);
  }
  // The full path of a file of the opened folder.
  std::string PathOf(const std::string& name) const { return folder_.Join(name); }

  TempFolder folder_;
  uint8_t dir_ = 0;
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_LIBRARY_FIXTURE_H_
