// Opening and closing directories: numbers and their reuse, the limit of
// 125, paths opened twice, counted opens, folder creation, path lookups.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/directory/directory_entry.h"
#include "src/fileio/path_services.h"
#include "src/platform/platform.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"
#include "tests/support/temp_folder.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;

class DirectoryOpenTest : public zarq_test::InitializedTest {
 protected:
  uint8_t Open(const std::string& path, int32_t want = ZARQ_OPENED_NO_DATABASE,
               uint32_t flags = 0) {
    uint8_t number = 0;
    EXPECT_EQ(ZARQ1_OpenDirectory(path.c_str(), &number, flags), want) << path;
    return number;
  }
  zarq_test::TempFolder folder_;
};

// The number counter lives for the process: numbering is shown in a child.
TEST_F(DirectoryOpenTest, NumbersAndTheirReuse) {
  EXPECT_EXIT(
      {
        std::vector<std::string> paths;
        for (int i = 0; i < 130; ++i) paths.push_back(folder_.MakeFolder("d" + std::to_string(i)));
        bool ok = Open(paths[0]) == 1 && Open(paths[1]) == 2 && Open(paths[2]) == 3;
        ok = ok && ZARQ1_CloseDirectory(2) == ZARQ_OK && Open(paths[3]) == 4;
        for (int i = 4; i <= 124; ++i) ok = ok && Open(paths[i]) == i + 1;  // up to 125
        // The counter has passed 125: the lowest free number comes back.
        ok = ok && Open(paths[125]) == 2;
        uint8_t number = 0;
        ok = ok &&
             ZARQ1_OpenDirectory(paths[126].c_str(), &number, 0) == ZARQ_E_TOO_MANY_DIRECTORIES;
        ok = ok && ZARQ1_CloseDirectory(50) == ZARQ_OK && Open(paths[127]) == 50;
        ok = ok && ZARQ1_CloseDirectory(1) == ZARQ_OK && Open(paths[128]) == 1;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DirectoryOpenTest, APathOpenedTwice) {
  uint8_t first = Open(folder_.path());
  uint8_t number = 0;
  std::string with_separator = folder_.path() + kPathSeparator;
  EXPECT_EQ(ZARQ1_OpenDirectory(with_separator.c_str(), &number, 0), ZARQ_E_DIRECTORY_OPEN);
  EXPECT_EQ(number, first);
  if (kPathSeparator == '/') {
    fs::create_directory_symlink(folder_.path(), folder_.path() + "-link");
    number = 0;
    EXPECT_EQ(ZARQ1_OpenDirectory((folder_.path() + "-link").c_str(), &number, 0),
              ZARQ_E_DIRECTORY_OPEN);
    EXPECT_EQ(number, first);
    fs::remove(folder_.path() + "-link");
  }
  EXPECT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), &number, ZARQ_OPEN_COUNT_AGAIN), ZARQ_OK);
  EXPECT_EQ(number, first);
  EXPECT_EQ(ZARQ1_CloseDirectory(first), ZARQ_OK);
  EXPECT_NE(FindDirectory(first), nullptr);  // one open remains
  EXPECT_EQ(ZARQ1_CloseDirectory(first), ZARQ_OK);
  EXPECT_EQ(FindDirectory(first), nullptr);
  EXPECT_EQ(ZARQ1_CloseDirectory(first), ZARQ_E_DIRECTORY_NOT_OPEN);
}

TEST_F(DirectoryOpenTest, PathsAndNumbers) {
  uint8_t number = Open(folder_.path());
  char path[300];
  ASSERT_EQ(ZARQ1_GetDataPath(number, path, 0), ZARQ_OK);
  EXPECT_EQ(std::string(path), folder_.path() + kPathSeparator);
  ASSERT_EQ(ZARQ1_GetDataPath(number, path, 1), ZARQ_OK);
  EXPECT_EQ(std::string(path), folder_.path());
  EXPECT_EQ(ZARQ1_GetDataPath(number + 1, path, 0), ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(ZARQ1_GetDataPath(number, nullptr, 0), ZARQ_E_INVALID_ARGUMENT);

  uint8_t found = 0;
  EXPECT_EQ(ZARQ1_GetDirectoryNumber((folder_.path() + kPathSeparator).c_str(), &found), ZARQ_OK);
  EXPECT_EQ(found, number);
  std::string other = folder_.MakeFolder("other");
  EXPECT_EQ(ZARQ1_GetDirectoryNumber(other.c_str(), &found), ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(ZARQ1_GetDirectoryNumber(folder_.Join("missing").c_str(), &found), ZARQ_E_NOT_A_FOLDER);
  EXPECT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
}

TEST_F(DirectoryOpenTest, MissingFoldersAndCreation) {
  std::string s(1, kPathSeparator);
  std::string deep = folder_.path() + s + "x" + s + "y" + s + "z";
  uint8_t number = 9;
  EXPECT_EQ(ZARQ1_OpenDirectory(deep.c_str(), &number, 0), ZARQ_E_NOT_A_FOLDER);
  EXPECT_EQ(number, 0);
  number = Open(deep, ZARQ_OPENED_NO_DATABASE, ZARQ_OPEN_CREATE_FOLDER);
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_NE(number, 0);
  EXPECT_EQ(ZARQ1_OpenDirectory("", &number, 0), ZARQ_E_BAD_PATH);
  EXPECT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), nullptr, 0), ZARQ_E_INVALID_ARGUMENT);
  folder_.WriteFile("plain-file", "x");
  EXPECT_EQ(ZARQ1_OpenDirectory(folder_.Join("plain-file").c_str(), &number, 0),
            ZARQ_E_NOT_A_FOLDER);
}

TEST_F(DirectoryOpenTest, AnEmptyFolderOpensWritableAndLeavesNoFileBehind) {
  uint8_t number = Open(folder_.path());
  DirectoryEntry* entry = FindDirectory(number);
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(entry->read_only());
  EXPECT_FALSE(entry->Has(kDirHoldsDatabase));
  EXPECT_TRUE(fs::is_empty(folder_.path()));
  ASSERT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
  EXPECT_TRUE(fs::is_empty(folder_.path()));
}

TEST_F(DirectoryOpenTest, ReadOnlyDirectories) {
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  os.open_error = 5;  // no right to create files there
  uint8_t number = Open(folder_.path());
  EXPECT_TRUE(FindDirectory(number)->read_only());
  ASSERT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);

  // A CD-ROM is read-only without any file being written to it.
  os.open_error = 0;
  os.drive_type = kDriveCdRom;
  number = Open(folder_.path());
  EXPECT_TRUE(FindDirectory(number)->read_only());
  EXPECT_EQ(FindDirectory(number)->drive_kind, kDriveKindCdRom | kDriveKindRemovable);
  EXPECT_TRUE(fs::is_empty(folder_.path()));
  ASSERT_EQ(ZARQ1_CloseDirectory(number), ZARQ_OK);
}

TEST_F(DirectoryOpenTest, ShutdownClosesDirectoriesOpenedSeveralTimes) {
  uint8_t number = Open(folder_.path());
  ASSERT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), &number, ZARQ_OPEN_COUNT_AGAIN), ZARQ_OK);
  ASSERT_EQ(ZARQ1_OpenDirectory(folder_.path().c_str(), &number, ZARQ_OPEN_COUNT_AGAIN), ZARQ_OK);
  ASSERT_EQ(ZARQ1_Shutdown(), ZARQ_OK);
  ASSERT_EQ(ZARQ1_Initialize("UnitTest", "Tester", ZARQ_INTERFACE_VERSION), ZARQ_OK);
  EXPECT_EQ(OpenDirectories().size(), 0u);
  EXPECT_EQ(ZARQ1_GetDirectoryNumber(folder_.path().c_str(), &number), ZARQ_E_DIRECTORY_NOT_OPEN);
}

}  // namespace
}  // namespace zarq
