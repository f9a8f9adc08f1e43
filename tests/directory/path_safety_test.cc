// Paths and files handled safely: an overlong path is refused, never cut;
// ".." is resolved after symbolic links; the working files are never
// reached through a link planted in their place; the private folder of the
// working files of read-only directories is this user's own; a file that
// only differs in letter case from a master file is taken for one only
// when it is one; atomic replacement keeps one file under the folder's own
// spelling.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "include/zarq.h"
#include "src/platform/platform.h"
#include "src/platform/system_errors.h"
#include "tests/directory/database_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zarq {
namespace {

namespace fs = std::filesystem;
using zarq_test::NumberedSecurities;
using zarq_test::WriteMasterFiles;

class PathSafetyTest : public DatabaseOpenTest {};

TEST_F(PathSafetyTest, AnOverlongPathIsRefusedNeverCut) {
  // Cut to 255 characters, this path would name a folder that exists.
  std::string base = folder_.path() + zarq_test::Separator();
  std::string existing = base + std::string(255 - base.size(), 'd');
  fs::create_directory(existing);
  std::string overlong = existing + zarq_test::Separator() + "more";
  EXPECT_EQ(ZARQ1_OpenDirectory(overlong.c_str(), &dir_, ZARQ_OPEN_CREATE_FOLDER),
            ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(dir_, 0);
  EXPECT_EQ(ZARQ1_GetDirectoryNumber(overlong.c_str(), &dir_), ZARQ_E_INVALID_ARGUMENT);
  ZarqDirectoryStatus status;
  EXPECT_EQ(ZARQ1_GetDirectoryStatus(0, overlong.c_str(), &status), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_FALSE(fs::exists(overlong));
}

#ifndef _WIN32

TEST_F(PathSafetyTest, DotDotClimbsOutOfALinksTarget) {
  std::string real = folder_.MakeFolder("real");
  fs::create_directories(real + "/inner");
  fs::create_directory_symlink(real + "/inner", folder_.Join("link"));
  std::string path = folder_.Join("link") + "/..";
  ASSERT_EQ(ZARQ1_OpenDirectory(path.c_str(), &dir_, 0), ZARQ_OPENED_NO_DATABASE);
  char opened[300];
  ASSERT_EQ(ZARQ1_GetDataPath(dir_, opened, 1), ZARQ_OK);
  EXPECT_EQ(std::string(opened), real);  // not the folder that holds the link
}

TEST_F(PathSafetyTest, ALinkPlantedAsAWorkingFileIsNeverFollowed) {
  zarq_test::TempFolder elsewhere;
  elsewhere.WriteFile("victim", "precious");
  for (const char* planted : {"~ZARQ.USR", "~ZARQ.SEC"}) {
    WriteMasterFiles(folder_, NumberedSecurities(3));
    fs::create_symlink(elsewhere.Join("victim"), folder_.Join(planted));
    EXPECT_EQ(Open(), ZARQ_E_ACCESS_DENIED) << planted;
    EXPECT_EQ(elsewhere.ReadFile("victim"), "precious") << planted;
    fs::remove(folder_.Join(planted));
    EXPECT_FALSE(WorkingFilesExist()) << planted;
  }
}

TEST(PrivateFolderTest, IsMadeForThisUserAloneAndRefusedOtherwise) {
  zarq_test::TempFolder parent;
  std::string base = parent.path() + "/";
  std::string folder;
  ASSERT_EQ(Os().PrivateFolder(base, &folder), 0u);
  const std::string made = folder.substr(0, folder.size() - 1);
  EXPECT_EQ(made, base + "zarq-" + std::to_string(geteuid()));
  struct stat info;
  ASSERT_EQ(lstat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  EXPECT_EQ(Os().PrivateFolder(base, &folder), 0u);  // found again
  chmod(made.c_str(), 0755);
  EXPECT_EQ(Os().PrivateFolder(base, &folder), kErrorAccessDenied);
  fs::remove(made);
  fs::create_directory_symlink(parent.MakeFolder("planted"), made);
  EXPECT_EQ(Os().PrivateFolder(base, &folder), kErrorAccessDenied);
}

TEST_F(PathSafetyTest, AnUnrelatedMasterOfAnotherSpellingIsNoDatabase) {
  folder_.WriteFile("master", "a note that happens to be called master\n");
  ASSERT_EQ(Open(), ZARQ_OPENED_NO_DATABASE);
  ASSERT_EQ(ZARQ1_BuildQuorvantaDirectory(dir_), ZARQ_OK);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("master"), "a note that happens to be called master\n");
  EXPECT_EQ(Size("MASTER"), 53u);
}

TEST_F(PathSafetyTest, MasterFilesOfAnotherSpellingAreUsedAndReplacedInPlace) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  fs::rename(folder_.Join("MASTER"), folder_.Join("master"));
  fs::rename(folder_.Join("EMASTER"), folder_.Join("Emaster"));
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(ListHeader().live_count, 3u);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(Size("master"), 4u * 53);
  EXPECT_EQ(folder_.ReadFile("Emaster").size(), 4u * 192);
  EXPECT_FALSE(folder_.Exists("MASTER"));
  EXPECT_FALSE(folder_.Exists("EMASTER"));
}

#endif  // _WIN32

}  // namespace
}  // namespace zarq
