// Paths: roots, normalisation, drive kinds, the name-based file operations,
// and the names of a directory's files (every kind and flag, read-only
// relocation, unique scratch names).

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "include/zarq.h"
#include "src/directory/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/path_services.h"
#include "src/platform/platform.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"
#include "tests/support/temp_folder.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;
constexpr bool kWindows = kPathSeparator == '\\';
const std::string kSep(1, kPathSeparator);

TEST(PathServicesTest, Roots) {
  const struct {
    const char* path;
    const char* root;  // empty: refused
  } posix[] = {{"/home/data", "/"}, {"/", "/"}, {"relative/x", ""}, {"", ""}},
    windows[] = {{"C:\\DATA\\x", "C:\\"},
                 {"d:\\", "d:\\"},
                 {"\\\\server\\share\\dir\\x", "\\\\server\\share\\"},
                 {"\\\\server\\share", "\\\\server\\share\\"},
                 {"C:", ""},
                 {"\\\\server", ""},
                 {"1:\\x", ""}};
  for (const auto& c : kWindows ? std::vector(std::begin(windows), std::end(windows))
                                : std::vector(std::begin(posix), std::end(posix))) {
    std::string root = "junk";
    EXPECT_EQ(GetRootPath(c.path, &root), c.root[0] ? ZARQ_OK : ZARQ_E_BAD_PATH) << c.path;
    EXPECT_EQ(root, c.root) << c.path;
  }
  EXPECT_TRUE(IsRootPath(kWindows ? "C:\\" : "/"));
  EXPECT_FALSE(IsRootPath(kWindows ? "C:\\DATA" : "/tmp"));
}

TEST(PathServicesTest, NormalizationMakesPathsAbsoluteAndReal) {
  zarq_test::TempFolder folder;
  std::string sub = folder.MakeFolder("sub");
  fs::path previous = fs::current_path();
  fs::current_path(folder.path());
  std::string path = "sub";
  uint16_t kind = 0;
  EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_OK);
  EXPECT_EQ(path, sub);  // no separator added
  EXPECT_NE(kind, 0);
  path = "sub" + kSep + ".." + kSep + "sub" + kSep;
  EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_OK);
  if (path.back() == kPathSeparator) path.pop_back();  // Windows keeps a given one
  EXPECT_EQ(path, sub);
  for (auto [bad, want] : {std::pair{std::string("missing"), ZARQ_E_NOT_A_FOLDER},
                           {"", ZARQ_E_BAD_PATH},
                           {std::string(300, 'a'), ZARQ_E_BAD_PATH}}) {
    EXPECT_EQ(NormalizeDirectoryPath(&bad, &kind), want) << bad;
  }
  fs::current_path(previous);
  if (!kWindows) {
    // Links are resolved: a link names the folder it points at.
    fs::create_directory_symlink(sub, folder.Join("link"));
    path = folder.Join("link");
    EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_OK);
    EXPECT_EQ(path, sub);
    path = "/";
    EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_OK);
    EXPECT_EQ(path, "/");
  }
}

TEST(PathServicesTest, DriveKindsAndTheTemporaryFolder) {
  uint16_t kind = 0;
  zarq_test::TempFolder folder;
  // Wine maps its drives by its own configuration: only the fixed system
  // drive is checked there.
  EXPECT_EQ(GetDriveKind(kWindows ? "C:\\" : folder.path(), &kind), ZARQ_OK);
  EXPECT_TRUE(kind == kDriveKindFixed ||
              (!kWindows && (kind == kDriveKindRamDisk || kind == kDriveKindRemote)))
      << kind;
  if (!kWindows && fs::exists("/dev/shm")) {
    EXPECT_EQ(GetDriveKind("/dev/shm", &kind), ZARQ_OK);
    EXPECT_EQ(kind, kDriveKindRamDisk);
  }
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  EXPECT_EQ(ChooseTempDirectory(), ZARQ_OK);
  EXPECT_EQ(TempDirectory().back(), kPathSeparator);
  os.drive_type = kDriveCdRom;
  EXPECT_EQ(GetDriveKind(folder.path(), &kind), ZARQ_OK);
  EXPECT_EQ(kind, kDriveKindCdRom | kDriveKindRemovable);
  os.drive_type = kDriveNoRootDirectory;
  EXPECT_EQ(GetDriveKind(folder.path(), &kind), ZARQ_E_BAD_DRIVE);
  os.drive_type = kDriveRemovable;  // no temporary folder on a removable drive
  EXPECT_EQ(ChooseTempDirectory(), ZARQ_E_NO_TEMP_FOLDER);
  EXPECT_EQ(ZARQ1_Initialize("App", "User", ZARQ_INTERFACE_VERSION), ZARQ_E_NO_TEMP_FOLDER);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
}

// Creating folders and deleting by pattern are shown where directories are
// opened and erased.
TEST(PathServicesTest, NamedFiles) {
  zarq_test::TempFolder folder;
  folder.WriteFile("master", "m");  // copied from Windows
  EXPECT_TRUE(IsExistingFile(folder.Join("MASTER")));
  EXPECT_FALSE(IsExistingFile(folder.path()));
  EXPECT_EQ(DeleteFileByName(folder.Join("MASTER")), ZARQ_OK);
  EXPECT_FALSE(folder.Exists("master"));
  EXPECT_EQ(DeleteFileByName(folder.Join("P")), ZARQ_E_FILE_NOT_FOUND);
  folder.WriteFile("P", "p");
  folder.WriteFile("Q", "q");
  EXPECT_EQ(MoveFileByName(folder.Join("P"), folder.Join("Q")), ZARQ_E_FILE_QUERY);
  EXPECT_EQ(folder.ReadFile("Q"), "q");
  EXPECT_EQ(MoveFileByName(folder.Join("P"), folder.Join("R")), ZARQ_OK);
  EXPECT_EQ(folder.ReadFile("R"), "p");
  uint32_t attributes = 99;
  EXPECT_EQ(FileAttributes(folder.Join("P"), &attributes, kGetAttributes), ZARQ_E_FILE_NOT_FOUND);
  EXPECT_EQ(attributes, 0u);
}

class FileNamingTest : public zarq_test::OpenFolderTest {
 protected:
  std::string Name(uint32_t number, uint16_t kind, uint8_t dir = 0) {
    std::string name = "junk";
    EXPECT_EQ(BuildFileName(dir ? dir : dir_, number, &name, kind), ZARQ_OK) << number << kind;
    return name;
  }
};

TEST_F(FileNamingTest, EveryKind) {
  const std::string smart = "ZQSmart" + kSep;
  // clang-format off
  const struct { uint32_t number; uint16_t kind; std::string name; } cases[] = {
      {12, kKindPrimaryData, "F12.DAT"},       {300, kKindData, "F300.MWD"},
      {255, kKindSecondaryData, "F255.DAT"},   {256, kKindData, "F256.MWD"},
      {12, kKindFieldList, "F12.DOP"},         {0, kKindEmaster, "EMASTER"},
      {0, kKindIndex, "~ZARQ.INX"},            {0, kKindLock, "~ZARQ.LCK"},
      {0, kKindMaster, "MASTER"},              {0, kKindXmaster, "XMASTER"},
      {0, kKindForeignMarker, "~NONZARQ.USR"}, {0, kKindSecurityList, "~ZARQ.SEC"},
      {7, kKindChart, smart + "C7.CHT"},       {7, kKindSecurityScratch, "S7.TMP"},
      {0, kKindUsers, "~ZARQ.USR"},            {7, kKindChart2, smart + "C7.MWS"},
      {0, kKindMaster | kKindTemporary, "MASTER.TMP"},
      {12, kKindData | kKindTemporary, "F12.TMP"},
      {0, kKindPrimaryData | kKindWildcard, "F*.DAT"},
      {6000, kKindData | kKindWildcard, "F*.MWD"},
      {0, kKindScratchOrAll | kKindWildcard, "*"},
      {0, kKindScratchOrAll | kKindWildcard | kKindTemporary, "*.TMP"}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(Name(c.number, c.kind), PathOf(c.name));
  EXPECT_EQ(Name(0, kKindMaster | kKindFolderOnly), folder_.path());
  EXPECT_EQ(Name(7, kKindChart | kKindFolderOnly), PathOf("ZQSmart"));

  std::string name = "junk";
  EXPECT_EQ(BuildFileName(dir_, 1, &name, 16), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(name, "");
  EXPECT_EQ(BuildFileName(dir_, 1, &name, kKindScratchOrAll), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(BuildFileName(99, 1, &name, kKindData), ZARQ_E_DIRECTORY_NOT_OPEN);
}

TEST_F(FileNamingTest, ReadOnlyDirectoriesKeepTheirWorkingFilesInTheTempFolder) {
  FindDirectory(dir_)->SetReadOnly(true);
  const std::string users = Name(0, kKindUsers), temp = TempDirectory();
  ASSERT_EQ(users.rfind(temp, 0), 0u) << users;
  const std::string id = users.substr(temp.size() + 5, 3);
  EXPECT_EQ(users, temp + "~ZARQ" + id + ".USR");
  EXPECT_EQ(Name(0, kKindIndex), temp + "~ZARQ" + id + ".INX");
  EXPECT_EQ(Name(0, kKindLock), temp + "~ZARQ" + id + ".LCK");
  EXPECT_EQ(Name(0, kKindSecurityList), temp + "~ZARQ" + id + ".SEC");
  EXPECT_EQ(Name(5, kKindData), PathOf("F5.DAT"));  // data files stay in place

  // A second read-only directory skips an id whose user file exists.
  zarq_test::TempFolder other;
  uint8_t second = 0;
  ASSERT_EQ(ZARQ1_OpenDirectory(other.path().c_str(), &second, 0), ZARQ_OPENED_NO_DATABASE);
  FindDirectory(second)->SetReadOnly(true);
  char taken[8];
  std::snprintf(taken, sizeof(taken), "%03x", std::stoi(id, nullptr, 16) + 1);
  const std::string blocker = temp + "~ZARQ" + taken + ".USR";
  std::fclose(std::fopen(blocker.c_str(), "wb"));
  std::string name = Name(0, kKindUsers, second);
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
  EXPECT_EQ(Name(0, kKindScratchOrAll | kKindTemporary), PathOf("~ZQ1236.TMP"));
}

}  // namespace
}  // namespace zarq
