// Roots, normalisation, drive kinds and the name-based file operations.

#include "src/fileio/path_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "include/zarq.h"
#include "src/platform/platform.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"
#include "tests/support/temp_folder.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;
constexpr bool kWindows = kPathSeparator == '\\';

TEST(PathServicesTest, Roots) {
  struct {
    const char* path;
    int32_t status;
    const char* root;
  } cases_posix[] = {{"/home/data", ZARQ_OK, "/"},
                     {"/", ZARQ_OK, "/"},
                     {"relative/x", ZARQ_E_BAD_PATH, ""},
                     {"", ZARQ_E_BAD_PATH, ""}},
    cases_windows[] = {{"C:\\DATA\\x", ZARQ_OK, "C:\\"},
                       {"d:\\", ZARQ_OK, "d:\\"},
                       {"\\\\server\\share\\dir\\x", ZARQ_OK, "\\\\server\\share\\"},
                       {"\\\\server\\share", ZARQ_OK, "\\\\server\\share\\"},
                       {"C:", ZARQ_E_BAD_PATH, ""},
                       {"\\\\server", ZARQ_E_BAD_PATH, ""},
                       {"1:\\x", ZARQ_E_BAD_PATH, ""}};
  if (kWindows) {
    for (const auto& c : cases_windows) {
      std::string root = "junk";
      EXPECT_EQ(GetRootPath(c.path, &root), c.status) << c.path;
      EXPECT_EQ(root, c.root) << c.path;
    }
    EXPECT_TRUE(IsRootPath("C:\\"));
    EXPECT_FALSE(IsRootPath("C:\\DATA"));
  } else {
    for (const auto& c : cases_posix) {
      std::string root = "junk";
      EXPECT_EQ(GetRootPath(c.path, &root), c.status) << c.path;
      EXPECT_EQ(root, c.root) << c.path;
    }
    EXPECT_TRUE(IsRootPath("/"));
    EXPECT_FALSE(IsRootPath("/tmp"));
  }
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
  path = std::string("sub") + kPathSeparator + ".." + kPathSeparator + "sub" + kPathSeparator;
  EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_OK);
  if (path.back() == kPathSeparator) path.pop_back();  // Windows keeps a given one
  EXPECT_EQ(path, sub);
  path = "missing";
  EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_E_NOT_A_FOLDER);
  path = "";
  EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_E_BAD_PATH);
  path = std::string(300, 'a');
  EXPECT_EQ(NormalizeDirectoryPath(&path, &kind), ZARQ_E_BAD_PATH);
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

TEST(PathServicesTest, DriveKinds) {
  uint16_t kind = 0;
  zarq_test::TempFolder folder;
  if (kWindows) {
    // Wine maps its drives by its own configuration: only the fixed system
    // drive is checked there.
    EXPECT_EQ(GetDriveKind("C:\\", &kind), ZARQ_OK);
    EXPECT_EQ(kind, kDriveKindFixed);
    return;
  }
  EXPECT_EQ(GetDriveKind(zarq_test::TempFolder().path(), &kind), ZARQ_OK);
  EXPECT_NE(kind, 0);
  if (fs::exists("/dev/shm")) {
    EXPECT_EQ(GetDriveKind("/dev/shm", &kind), ZARQ_OK);
    EXPECT_EQ(kind, kDriveKindRamDisk);
  }
  EXPECT_EQ(GetDriveKind(fs::current_path().string(), &kind), ZARQ_OK);
  EXPECT_TRUE(kind == kDriveKindFixed || kind == kDriveKindRamDisk || kind == kDriveKindRemote)
      << kind;
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  os.drive_type = kDriveCdRom;
  EXPECT_EQ(GetDriveKind(folder.path(), &kind), ZARQ_OK);
  EXPECT_EQ(kind, kDriveKindCdRom | kDriveKindRemovable);
  os.drive_type = kDriveNoRootDirectory;
  EXPECT_EQ(GetDriveKind(folder.path(), &kind), ZARQ_E_BAD_DRIVE);
}

TEST(PathServicesTest, TemporaryFolderOnARemovableDriveIsRefused) {
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  EXPECT_EQ(ChooseTempDirectory(), ZARQ_OK);
  EXPECT_EQ(TempDirectory().back(), kPathSeparator);
  os.drive_type = kDriveRemovable;
  EXPECT_EQ(ChooseTempDirectory(), ZARQ_E_NO_TEMP_FOLDER);
  EXPECT_EQ(ZARQ1_Initialize("App", "User", ZARQ_INTERFACE_VERSION), ZARQ_E_NO_TEMP_FOLDER);
  EXPECT_EQ(ZARQ1_GetZARQState(), ZARQ_STATE_UNINITIALIZED);
}

TEST(PathServicesTest, FoldersAndNamedFiles) {
  zarq_test::TempFolder folder;
  std::string s(1, kPathSeparator);
  std::string deep = folder.path() + s + "a" + s + "b" + s + "c";
  EXPECT_EQ(MakeDirectoryPath(deep), ZARQ_OK);
  EXPECT_TRUE(IsExistingDirectory(deep));
  EXPECT_EQ(MakeDirectoryPath(deep), ZARQ_E_CANNOT_CREATE_FOLDER);
  EXPECT_EQ(RemoveDirectoryPath(deep + s), ZARQ_OK);
  EXPECT_FALSE(IsExistingDirectory(deep));

  folder.WriteFile("F1.DAT", "1");
  folder.WriteFile(kWindows ? "F2.DAT" : "f2.dat", "2");  // copied from Windows
  folder.WriteFile("F3.MWD", "3");
  EXPECT_TRUE(IsExistingFile(folder.Join("F1.DAT")));
  EXPECT_FALSE(IsExistingFile(folder.path()));
  EXPECT_EQ(DeleteFilesByPattern(folder.Join("X*.DAT")), ZARQ_OK);
  EXPECT_EQ(DeleteFilesByPattern(folder.Join("F*.DAT")), ZARQ_OK);
  EXPECT_FALSE(folder.Exists("F1.DAT"));
  EXPECT_FALSE(folder.Exists(kWindows ? "F2.DAT" : "f2.dat"));
  EXPECT_TRUE(folder.Exists("F3.MWD"));

  folder.WriteFile("P", "p");
  folder.WriteFile("Q", "q");
  EXPECT_EQ(MoveFileByName(folder.Join("P"), folder.Join("Q")), ZARQ_E_FILE_QUERY);
  EXPECT_EQ(folder.ReadFile("Q"), "q");
  EXPECT_EQ(MoveFileByName(folder.Join("P"), folder.Join("R")), ZARQ_OK);
  EXPECT_EQ(folder.ReadFile("R"), "p");
  EXPECT_EQ(DeleteFileByName(folder.Join("P")), ZARQ_E_FILE_NOT_FOUND);
  uint32_t attributes = 99;
  EXPECT_EQ(FileAttributes(folder.Join("P"), &attributes, kGetAttributes), ZARQ_E_FILE_NOT_FOUND);
  EXPECT_EQ(attributes, 0u);
  EXPECT_EQ(FileAttributes(folder.path(), &attributes, kGetAttributes), ZARQ_OK);
  EXPECT_TRUE(attributes & kAttributeDirectory);
}

TEST(PathServicesTest, NamesCopiedFromWindowsAreFoundWithoutRegardToCase) {
  if (kWindows) GTEST_SKIP() << "Windows names ignore case anyway";
  zarq_test::TempFolder folder;
  folder.WriteFile("master", "m");
  EXPECT_TRUE(IsExistingFile(folder.Join("MASTER")));
  EXPECT_EQ(DeleteFileByName(folder.Join("MASTER")), ZARQ_OK);
  EXPECT_FALSE(folder.Exists("master"));
}

}  // namespace
}  // namespace zarq
