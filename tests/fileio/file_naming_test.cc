// The names of a directory's files: every kind and flag, read-only
// relocation, and unique scratch names.

#include "src/fileio/file_naming.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "src/directory/directory_entry.h"
#include "src/fileio/path_services.h"
#include "src/platform/platform.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class FileNamingTest : public zarq_test::OpenFolderTest {
 protected:
  std::string Name(uint32_t number, uint16_t kind) {
    std::string name = "junk";
    EXPECT_EQ(BuildFileName(dir_, number, &name, kind), ZARQ_OK) << number << " " << kind;
    return name;
  }
  std::string In(const std::string& name) { return folder_.path() + kPathSeparator + name; }
};

TEST_F(FileNamingTest, EveryKind) {
  const std::string sub = std::string("ZQSmart") + kPathSeparator;
  struct {
    uint32_t number;
    uint16_t kind;
    std::string name;
  } cases[] = {
      {12, kKindPrimaryData, "F12.DAT"},
      {300, kKindData, "F300.MWD"},
      {255, kKindSecondaryData, "F255.DAT"},
      {256, kKindData, "F256.MWD"},
      {12, kKindFieldList, "F12.DOP"},
      {0, kKindEmaster, "EMASTER"},
      {0, kKindIndex, "~ZARQ.INX"},
      {0, kKindLock, "~ZARQ.LCK"},
      {0, kKindMaster, "MASTER"},
      {0, kKindXmaster, "XMASTER"},
      {0, kKindForeignMarker, "~NONZARQ.USR"},
      {0, kKindSecurityList, "~ZARQ.SEC"},
      {7, kKindChart, sub + "C7.CHT"},
      {7, kKindSecurityScratch, "S7.TMP"},
      {0, kKindUsers, "~ZARQ.USR"},
      {7, kKindChart2, sub + "C7.MWS"},
      {0, kKindMaster | kKindTemporary, "MASTER.TMP"},
      {12, kKindData | kKindTemporary, "F12.TMP"},
      {0, kKindPrimaryData | kKindWildcard, "F*.DAT"},
      {6000, kKindData | kKindWildcard, "F*.MWD"},
      {0, kKindScratchOrAll | kKindWildcard, "*"},
      {0, kKindScratchOrAll | kKindWildcard | kKindTemporary, "*.TMP"},
  };
  for (const auto& c : cases) EXPECT_EQ(Name(c.number, c.kind), In(c.name));
  EXPECT_EQ(Name(0, kKindMaster | kKindFolderOnly), folder_.path());
  EXPECT_EQ(Name(7, kKindChart | kKindFolderOnly), In("ZQSmart"));
}

TEST_F(FileNamingTest, InvalidKindsAndDirectories) {
  std::string name = "junk";
  EXPECT_EQ(BuildFileName(dir_, 1, &name, 16), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(name, "");
  EXPECT_EQ(BuildFileName(dir_, 1, &name, kKindScratchOrAll), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(BuildFileName(99, 1, &name, kKindData), ZARQ_E_DIRECTORY_NOT_OPEN);
}

TEST_F(FileNamingTest, ReadOnlyDirectoriesKeepTheirWorkingFilesInTheTempFolder) {
  FindDirectory(dir_)->SetReadOnly(true);
  std::string users = Name(0, kKindUsers);
  ASSERT_EQ(users.rfind(TempDirectory(), 0), 0u) << users;
  std::string id = users.substr(TempDirectory().size() + 5, 3);
  EXPECT_EQ(users, TempDirectory() + "~ZARQ" + id + ".USR");
  EXPECT_EQ(Name(0, kKindIndex), TempDirectory() + "~ZARQ" + id + ".INX");
  EXPECT_EQ(Name(0, kKindLock), TempDirectory() + "~ZARQ" + id + ".LCK");
  EXPECT_EQ(Name(0, kKindSecurityList), TempDirectory() + "~ZARQ" + id + ".SEC");
  EXPECT_EQ(Name(5, kKindData), In("F5.DAT"));  // data files stay in place

  // A second read-only directory skips an id whose user file exists.
  zarq_test::TempFolder other;
  uint8_t second = 0;
  ASSERT_EQ(ZARQ1_OpenDirectory(other.path().c_str(), &second, 0), ZARQ_OPENED_NO_DATABASE);
  FindDirectory(second)->SetReadOnly(true);
  char taken[8];
  std::snprintf(taken, sizeof(taken), "%03x", std::stoi(id, nullptr, 16) + 1);
  std::string blocker = TempDirectory() + "~ZARQ" + taken + ".USR";
  std::FILE* file = std::fopen(blocker.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  std::string name;
  ASSERT_EQ(BuildFileName(second, 0, &name, kKindUsers), ZARQ_OK);
  EXPECT_NE(name, blocker);
  EXPECT_NE(name, users);
  std::remove(blocker.c_str());
}

TEST_F(FileNamingTest, ScratchNamesNeverCollideWithFiles) {
  zarq_test::FaultPlatform os;
  os.ticks = 0xABCD1234u;
  zarq_test::ScopedPlatform installed(&os);
  folder_.WriteFile("~ZQ1234.TMP", "");
  folder_.WriteFile("~ZQ1235.TMP", "");
  EXPECT_EQ(Name(0, kKindScratchOrAll | kKindTemporary), In("~ZQ1236.TMP"));
}

}  // namespace
}  // namespace zarq
