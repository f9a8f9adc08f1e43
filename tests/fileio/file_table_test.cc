// The cache of open files: recency order, the flag match, eviction that
// spares locked handles, emptying, closing by selection, damage.

#include "src/fileio/file_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/directory/directory_entry.h"
#include "src/frame/library_state.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class FileTableTest : public zarq_test::OpenFolderTest {
 protected:
  FileHandle Open(const std::string& name, uint32_t flags = kOpenCreate) {
    FileHandle handle = kNoFileHandle;
    EXPECT_EQ(FileOpen(dir_, PathOf(name).c_str(), &handle, flags), ZARQ_OK) << name;
    return handle;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int i = 0; i < FileTableUsedSlots(); ++i) names.push_back(FileTableSlotName(i));
    return names;
  }
  static bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  }
};

TEST_F(FileTableTest, HitsMoveToTheFrontAndFlagsAboveTheLowTwoDecide) {
  FileHandle a = Open("a.bin");
  FileHandle b = Open("b.bin");
  EXPECT_EQ(FileTableSlotHandle(0), b);
  EXPECT_EQ(Open("a.bin", 0), a);  // create flags do not take part in the match
  EXPECT_EQ(FileTableSlotHandle(0), a);
  EXPECT_EQ(FileTableSlotHandle(1), b);
  EXPECT_EQ(Open("A.BIN", kOpenCreate), a);  // names match without regard to case
  FileHandle read_only = Open("a.bin", kOpenReadOnly);
  EXPECT_NE(read_only, a);
  EXPECT_EQ(FileTableUsedSlots(), 3);
}

TEST_F(FileTableTest, TheTwentyFirstFileEvictsTheLeastRecent) {
  for (int i = 0; i <= 20; ++i) Open("f" + std::to_string(i));
  EXPECT_EQ(FileTableUsedSlots(), kFileSlotCount);
  std::vector<std::string> names = Names();
  EXPECT_FALSE(Contains(names, "f0"));
  EXPECT_TRUE(Contains(names, "f1"));
  EXPECT_EQ(names.front(), "f20");
  Open("f0");  // reopened: f1 is now the least recent
  names = Names();
  EXPECT_EQ(names.front(), "f0");
  EXPECT_FALSE(Contains(names, "f1"));
}

TEST_F(FileTableTest, AHandleHoldingALockIsNeverEvicted) {
  FileHandle locked = Open("locked");
  ASSERT_EQ(FileLockRegion(locked, kLockRegionNoWait, 10), ZARQ_OK);
  for (int i = 0; i < 25; ++i) Open("other" + std::to_string(i));
  EXPECT_TRUE(Contains(Names(), "locked"));
  EXPECT_EQ(FileTableSlotHandle(kFileSlotCount - 1), locked);
  EXPECT_TRUE(FileHasLocks(locked));
  EXPECT_EQ(FileSeek(locked, 0, 0, kSeekStart), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(locked, kUnlockRegion, 10), ZARQ_OK);
  EXPECT_FALSE(FileHasLocks(locked));
}

TEST_F(FileTableTest, TruncateFlagEmptiesACachedFile) {
  FileHandle handle = Open("data");
  std::string bytes(100, 'x');
  ASSERT_EQ(FileWrite(handle, 100, bytes.data()), ZARQ_OK);
  EXPECT_EQ(Open("data", kOpenTruncate), handle);
  uint32_t size = 0;
  EXPECT_EQ(FileGetSize(handle, &size), ZARQ_OK);
  EXPECT_EQ(size, 0u);
}

TEST_F(FileTableTest, MissingAndReadOnlyFiles) {
  FileHandle handle = kNoFileHandle;
  EXPECT_EQ(FileOpen(dir_, PathOf("missing").c_str(), &handle, 0), ZARQ_E_FILE_NOT_FOUND);
  EXPECT_EQ(handle, kNoFileHandle);
  EXPECT_EQ(FileOpen(77, PathOf("x").c_str(), &handle, kOpenCreate), ZARQ_E_DIRECTORY_NOT_OPEN);

  folder_.WriteFile("MASTER.RO", "abc");
  zarq_test::FaultPlatform os;
  os.read_only_name = "MASTER.RO";
  zarq_test::ScopedPlatform installed(&os);
  EXPECT_EQ(FileOpen(dir_, PathOf("MASTER.RO").c_str(), &handle, 0), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(FileOpen(dir_, PathOf("MASTER.RO").c_str(), &handle, kOpenReadOnly), ZARQ_OK);
}

TEST_F(FileTableTest, FilesOfAReadOnlyDirectoryOpenReadOnly) {
  folder_.WriteFile("data", "abc");
  FindDirectory(dir_)->SetReadOnly(true);
  FileHandle handle = Open("data", 0);
  EXPECT_EQ(FileWrite(handle, 3, "xyz"), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(folder_.ReadFile("data"), "abc");
  FindDirectory(dir_)->SetReadOnly(false);
}

TEST_F(FileTableTest, CloseMatchingSelectsByDirectoryTagAndHandle) {
  FileHandle a = Open("a");
  Open("b");
  FileTagLatest(7);  // b belongs to the security of file number 7
  Open("c");
  EXPECT_EQ(FileCloseMatching(dir_, 7, kCloseDirectoryTag), ZARQ_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"c", "a"}));
  EXPECT_EQ(FileCloseMatching(dir_, static_cast<uint64_t>(a), kCloseHandle), ZARQ_OK);
  EXPECT_EQ(Names(), std::vector<std::string>{"c"});
  EXPECT_EQ(FileCloseMatching(dir_, 0, 9), ZARQ_OK);  // unknown mode closes nothing
  EXPECT_EQ(FileTableUsedSlots(), 1);
  EXPECT_EQ(FileCloseMatching(dir_, 0, kCloseDirectory), ZARQ_OK);
  EXPECT_EQ(FileTableUsedSlots(), 0);
}

TEST_F(FileTableTest, FlushPassFlushesWrittenFilesOnce) {
  FileHandle a = Open("a");
  Open("b");
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);
  ASSERT_EQ(FileWrite(a, 1, "x"), ZARQ_OK);
  FlushWrittenFiles();
  EXPECT_EQ(os.flushes, 1);
  FlushWrittenFiles();
  EXPECT_EQ(os.flushes, 1);
}

// Damage lasts for the process: shown in a child process.
TEST_F(FileTableTest, AHandleThatCannotBeClosedDamagesTheLibrary) {
  EXPECT_EXIT(
      {
        for (int i = 0; i < kFileSlotCount; ++i) Open("f" + std::to_string(i));
        zarq_test::FaultPlatform os;
        os.close_error = 6;
        zarq_test::ScopedPlatform installed(&os);
        FileHandle handle = kNoFileHandle;
        int32_t status = FileOpen(dir_, PathOf("one-more").c_str(), &handle, kOpenCreate);
        bool ok = status == ZARQ_STATE_DAMAGED && handle == kNoFileHandle &&
                  FileTableUsedSlots() == kFileSlotCount &&
                  ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zarq
