// File access: the table of open files (chunked reading and writing and the
// statuses of their failures with a faulty platform; the cache: recency
// order, the flag match, eviction that spares locked handles, closing by
// selection, damage; byte-range locks: nesting, overlaps, handles of one
// process, a real second process holding a range), and paths (roots,
// normalisation, drive kinds, named files, the names of a directory's files
// with read-only relocation and unique scratch names).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/system_error_map.h"
#include "src/platform/platform.h"
#include "tests/support/library_fixture.h"
#include "tests/support/peer.h"
#include "tests/support/platform_doubles.h"
#include "tests/support/temp_folder.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;
constexpr bool kWindows = kPathSeparator == '\\';
const std::string kSep(1, kPathSeparator);

TEST(PathServicesTest, Roots) {
  // clang-format off
  const struct { const char* path; const char* root; /* empty: refused */ } posix[] = {
      {"/home/data", "/"}, {"/", "/"}, {"relative/x", ""}, {"", ""}}, windows[] = {
      {"C:\\DATA\\x", "C:\\"}, {"d:\\", "d:\\"}, {"C:", ""}, {"\\\\server", ""}, {"1:\\x", ""},
      {"\\\\server\\share\\dir\\x", "\\\\server\\share\\"},
      {"\\\\server\\share", "\\\\server\\share\\"}};
  // clang-format on
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
  zarq_test::InstalledFaults os;
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

TEST_F(FileNamingTest, ReadOnlyDirectoriesKeepTheirWorkingFilesInAPrivateFolder) {
  FindDirectory(dir_)->SetReadOnly(true);
  std::string temp;
  ASSERT_EQ(PrivateWorkFolder(&temp), ZARQ_OK);
  ASSERT_EQ(temp.rfind(TempDirectory(), 0), 0u) << temp;
  const std::string users = Name(0, kKindUsers);
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
  zarq_test::InstalledFaults os;
  os.ticks = 0xABCD1234u;
  folder_.WriteFile("~ZQ1234.TMP", "");
  folder_.WriteFile("~ZQ1235.TMP", "");
  EXPECT_EQ(Name(0, kKindScratchOrAll | kKindTemporary), PathOf("~ZQ1236.TMP"));
}

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
  bool Cached(const std::string& name) {
    std::vector<std::string> names = Names();
    return std::find(names.begin(), names.end(), name) != names.end();
  }
  // Locks (or with kUnlockRegion unlocks) length bytes at offset.
  static int32_t Lock(FileHandle handle, uint32_t offset, uint32_t length, int mode) {
    int32_t status = FileSeek(handle, 1, static_cast<int32_t>(offset), kSeekRecord);
    return status != ZARQ_OK ? status : FileLockRegion(handle, mode, length);
  }
  zarq_test::FaultPlatform os_;
};

TEST_F(FileTableTest, ReadsAndWritesGoInChunksOfAtMost64512Bytes) {
  FileHandle file = Open("data.bin");
  std::string bytes(150000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  zarq_test::ScopedPlatform installed(&os_);
  ASSERT_EQ(FileWrite(file, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  EXPECT_EQ(os_.write_sizes, (std::vector<uint32_t>{64512, 64512, 20976}));
  ASSERT_EQ(FileSeek(file, 0, 0, kSeekStart), ZARQ_OK);
  std::string back(bytes.size(), '\0');
  ASSERT_EQ(FileRead(file, static_cast<uint32_t>(back.size()), back.data()), ZARQ_OK);
  EXPECT_EQ(os_.read_sizes, (std::vector<uint32_t>{64512, 64512, 20976}));
  EXPECT_EQ(back, bytes);
}

TEST_F(FileTableTest, FailuresAndTheirStatuses) {
  FileHandle file = Open("data.bin");
  ASSERT_EQ(FileWrite(file, 10, "0123456789"), ZARQ_OK);
  char buffer[20];
  EXPECT_EQ(FileRead(file, 5, buffer), ZARQ_E_END_OF_FILE);  // at the end
  ASSERT_EQ(FileSeek(file, 1, 8, kSeekRecord), ZARQ_OK);
  EXPECT_EQ(FileRead(file, 5, buffer), ZARQ_E_SHORT_READ);  // across the end
  ASSERT_EQ(FileSeek(file, 0, 0, kSeekStart), ZARQ_OK);
  zarq_test::ScopedPlatform installed(&os_);
  os_.short_read = true;
  EXPECT_EQ(FileRead(file, 5, buffer), ZARQ_E_SHORT_READ);

  os_.write_error = 39;  // the system's own disk-full error
  EXPECT_EQ(FileWrite(file, 4, "abcd"), ZARQ_E_DISK_FULL);
  os_.write_error = 29;  // a write fault on a volume without room for the chunk
  os_.free_bytes_override = 3;
  EXPECT_EQ(FileWrite(file, 4, "abcd"), ZARQ_E_DISK_FULL);
  os_.free_bytes_override = 1ull << 40;  // with room it stays a write fault
  EXPECT_EQ(FileWrite(file, 4, "abcd"), ZARQ_E_WRITE_FAILED);
  os_.write_error = 5;  // without room, other faults stay what they are
  os_.free_bytes_override = 0;
  EXPECT_EQ(FileWrite(file, 4, "abcd"), ZARQ_E_ACCESS_DENIED);
  FileHandle handle = kNoFileHandle;
  os_.open_error = 5;
  EXPECT_EQ(FileOpen(dir_, PathOf("new.bin").c_str(), &handle, kOpenCreate), ZARQ_E_ACCESS_DENIED);
  os_.open_error = 1234;  // unmapped
  EXPECT_EQ(FileOpen(dir_, PathOf("new.bin").c_str(), &handle, kOpenCreate), ZARQ_E_OPEN_FAILED);
  EXPECT_EQ(handle, kNoFileHandle);
  // clang-format off
  const std::pair<uint32_t, int32_t> mapped[] = {
      {0, ZARQ_OK}, {2, ZARQ_E_FILE_NOT_FOUND}, {18, ZARQ_E_FILE_NOT_FOUND}, {3, ZARQ_E_NOT_A_FOLDER},
      {33, ZARQ_E_RANGE_LOCKED}, {53, ZARQ_E_NETWORK}, {82, ZARQ_E_CANNOT_CREATE_FOLDER},
      {87, ZARQ_E_INVALID_ARGUMENT}, {0x10021, ZARQ_E_RANGE_LOCKED} /* the low 16 bits count */,
      {1234, -777}};
  // clang-format on
  for (auto [error, want] : mapped) EXPECT_EQ(MapSystemError(error, -777), want) << error;
}

TEST_F(FileTableTest, SizingAndSeeking) {
  FileHandle file = Open("data.bin");
  ASSERT_EQ(FileWrite(file, 4, "abcd"), ZARQ_OK);
  ASSERT_EQ(FileSeek(file, 1, 2, kSeekRecord), ZARQ_OK);
  ASSERT_EQ(FileSetSize(file, 250), ZARQ_OK);  // zero-filled, the position kept
  uint32_t size = 0;
  ASSERT_EQ(FileGetSize(file, &size), ZARQ_OK);
  EXPECT_EQ(size, 250u);
  std::string rest(248, 'x');
  ASSERT_EQ(FileRead(file, 248, rest.data()), ZARQ_OK);
  EXPECT_EQ(rest, "cd" + std::string(246, '\0'));
  ASSERT_EQ(FileSetSize(file, 48), ZARQ_OK);
  EXPECT_EQ(FileSeek(file, 24, -1, kSeekRecord), ZARQ_E_SEEK_FAILED);
  EXPECT_EQ(FileSeek(file, 24, 1, kSeekRecord), ZARQ_OK);
  EXPECT_EQ(FileSeek(file, 24, 1, kSeekRelative), ZARQ_OK);
  char byte;
  EXPECT_EQ(FileRead(file, 1, &byte), ZARQ_E_END_OF_FILE);
  EXPECT_EQ(FileSeek(file, 0, 0, kSeekStart), ZARQ_OK);
  EXPECT_EQ(FileRead(file, 1, &byte), ZARQ_OK);
  EXPECT_EQ(byte, 'a');
  EXPECT_EQ(FileSeek(file, 0, 0, kSeekEnd), ZARQ_OK);
  EXPECT_EQ(FileRead(file, 1, &byte), ZARQ_E_END_OF_FILE);
}

TEST_F(FileTableTest, HitsMoveToTheFrontAndFlagsAboveTheLowTwoDecide) {
  FileHandle a = Open("a.bin");
  ASSERT_EQ(FileWrite(a, 3, "abc"), ZARQ_OK);
  FileHandle b = Open("b.bin");
  EXPECT_EQ(FileTableSlotHandle(0), b);
  EXPECT_EQ(Open("a.bin", 0), a);  // create flags do not take part in the match
  EXPECT_EQ(FileTableSlotHandle(0), a);
  EXPECT_EQ(FileTableSlotHandle(1), b);
  EXPECT_EQ(Open("A.BIN", kOpenCreate), a);  // names match without regard to case
  EXPECT_NE(Open("a.bin", kOpenReadOnly), a);
  EXPECT_EQ(FileTableUsedSlots(), 3);
  EXPECT_EQ(Open("a.bin", kOpenTruncate), a);  // a cached file is emptied
  uint32_t size = 9;
  EXPECT_EQ(FileGetSize(a, &size), ZARQ_OK);
  EXPECT_EQ(size, 0u);
}

TEST_F(FileTableTest, TheTwentyFirstFileEvictsTheLeastRecentButNeverALockedOne) {
  FileHandle locked = Open("locked");
  ASSERT_EQ(FileLockRegion(locked, kLockRegionNoWait, 10), ZARQ_OK);
  for (int i = 0; i < 20; ++i) Open("f" + std::to_string(i));
  EXPECT_EQ(FileTableUsedSlots(), kFileSlotCount);
  EXPECT_EQ(Names().front(), "f19");
  EXPECT_TRUE(Cached("locked"));
  EXPECT_FALSE(Cached("f0"));
  Open("f0");  // reopened: f1 is now the least recent
  EXPECT_EQ(Names().front(), "f0");
  EXPECT_FALSE(Cached("f1"));
  EXPECT_EQ(FileTableSlotHandle(kFileSlotCount - 1), locked);
  EXPECT_EQ(FileSeek(locked, 0, 0, kSeekStart), ZARQ_OK);
  EXPECT_EQ(FileLockRegion(locked, kUnlockRegion, 10), ZARQ_OK);
  EXPECT_FALSE(FileHasLocks(locked));
  Open("f1");
  EXPECT_FALSE(Cached("locked"));
}

TEST_F(FileTableTest, MissingAndReadOnlyFiles) {
  FileHandle handle = kNoFileHandle;
  EXPECT_EQ(FileOpen(dir_, PathOf("missing").c_str(), &handle, 0), ZARQ_E_FILE_NOT_FOUND);
  EXPECT_EQ(handle, kNoFileHandle);
  EXPECT_EQ(FileOpen(77, PathOf("x").c_str(), &handle, kOpenCreate), ZARQ_E_DIRECTORY_NOT_OPEN);
  folder_.WriteFile("MASTER.RO", "abc");
  {
    os_.read_only_name = "MASTER.RO";
    zarq_test::ScopedPlatform installed(&os_);
    EXPECT_EQ(FileOpen(dir_, PathOf("MASTER.RO").c_str(), &handle, 0), ZARQ_E_ACCESS_DENIED);
    EXPECT_EQ(FileOpen(dir_, PathOf("MASTER.RO").c_str(), &handle, kOpenReadOnly), ZARQ_OK);
  }
  // The files of a read-only directory open read-only.
  folder_.WriteFile("data", "abc");
  FindDirectory(dir_)->SetReadOnly(true);
  EXPECT_EQ(FileWrite(Open("data", 0), 3, "xyz"), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(folder_.ReadFile("data"), "abc");
  FindDirectory(dir_)->SetReadOnly(false);
}

TEST_F(FileTableTest, ClosingBySelectionAndFlushing) {
  FileHandle a = Open("a");
  Open("b");
  FileTagLatest(7);  // b belongs to the security of file number 7
  Open("c");
  EXPECT_EQ(FileCloseMatching(dir_, 7, kCloseDirectoryTag), ZARQ_OK);
  EXPECT_EQ(Names(), (std::vector<std::string>{"c", "a"}));
  {
    zarq_test::ScopedPlatform installed(&os_);
    ASSERT_EQ(FileWrite(a, 1, "x"), ZARQ_OK);
    FlushWrittenFiles();
    FlushWrittenFiles();
    EXPECT_EQ(os_.flushes, 1);  // written files only, once
  }
  EXPECT_EQ(FileCloseMatching(dir_, static_cast<uint64_t>(a), kCloseHandle), ZARQ_OK);
  EXPECT_EQ(Names(), std::vector<std::string>{"c"});
  EXPECT_EQ(FileCloseMatching(dir_, 0, 9), ZARQ_OK);  // unknown mode closes nothing
  EXPECT_EQ(FileTableUsedSlots(), 1);
  EXPECT_EQ(FileCloseMatching(dir_, 0, kCloseDirectory), ZARQ_OK);
  EXPECT_EQ(FileTableUsedSlots(), 0);
}

// Damage lasts for the process: shown in a child process.
TEST_F(FileTableTest, AHandleThatCannotBeClosedDamagesTheLibrary) {
  EXPECT_EXIT(
      {
        for (int i = 0; i < kFileSlotCount; ++i) Open("f" + std::to_string(i));
        os_.close_error = 6;
        zarq_test::ScopedPlatform installed(&os_);
        FileHandle handle = kNoFileHandle;
        int32_t status = FileOpen(dir_, PathOf("one-more").c_str(), &handle, kOpenCreate);
        bool ok = status == ZARQ_STATE_DAMAGED && handle == kNoFileHandle &&
                  FileTableUsedSlots() == kFileSlotCount &&
                  ZARQ1_GetZARQState() == ZARQ_STATE_DAMAGED;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FileTableTest, RangeLocksNestAndOnlyTouchingRangesGoToTheSystem) {
  FileHandle file = Open("shared.bin");
  EXPECT_EQ(Lock(file, 0, 1, 7), ZARQ_E_BAD_LOCK_MODE);
  EXPECT_EQ(FileLockRegion(static_cast<FileHandle>(987654), kLockRegionNoWait, 1),
            ZARQ_E_BAD_FILE_HANDLE);
  Lock(file, 500, 5, kUnlockRegion);  // never locked: nothing recorded
  EXPECT_FALSE(FileHasLocks(file));
  zarq_test::ScopedPlatform installed(&os_);
  EXPECT_EQ(Lock(file, 100, 10, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(file, 100, 10, kLockRegionNoWait), ZARQ_OK);  // nested
  EXPECT_EQ(os_.lock_calls, 1);
  for (auto [offset, length] : {std::pair{95, 6}, {98, 20}, {100, 5}}) {
    EXPECT_EQ(Lock(file, offset, length, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED) << offset;
  }
  EXPECT_EQ(os_.lock_calls, 1);  // overlaps refused without asking the system
  EXPECT_EQ(Lock(file, 95, 5, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(file, 110, 5, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(os_.lock_calls, 3);
  EXPECT_EQ(Lock(file, 95, 5, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(Lock(file, 110, 5, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(Lock(file, 100, 10, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(os_.unlock_calls, 2);  // still held once
  EXPECT_TRUE(FileHasLocks(file));
  EXPECT_EQ(Lock(file, 100, 10, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(os_.unlock_calls, 3);
  EXPECT_FALSE(FileHasLocks(file));
}

TEST_F(FileTableTest, TwoHandlesOfOneProcessExcludeEachOther) {
  FileHandle file = Open("shared.bin");
  FileHandle reader = Open("shared.bin", kOpenReadOnly);
  ASSERT_NE(reader, file);
  ASSERT_EQ(Lock(file, 0, 10, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(reader, 5, 10, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_EQ(Lock(file, 0, 10, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(Lock(reader, 5, 10, kLockRegionNoWait), ZARQ_OK);
  EXPECT_EQ(Lock(reader, 5, 10, kUnlockRegion), ZARQ_OK);
}

TEST_F(FileTableTest, ARangeHeldByAnotherProcess) {
  FileHandle file = Open("shared.bin");
  ASSERT_EQ(FileSetSize(file, 1000), ZARQ_OK);
  zarq_test::Peer peer;
  ASSERT_TRUE(peer.Start());
  ASSERT_EQ(peer.Call("init Peer Other"), ZARQ_OK);
  std::string number;
  ASSERT_EQ(peer.Call("open " + folder_.path() + " 0", &number), ZARQ_OPENED_NO_DATABASE);
  ASSERT_EQ(peer.Call("lock " + number + " shared.bin 0 100 2"), ZARQ_OK);

  uint32_t start = Os().TickCount();
  EXPECT_EQ(Lock(file, 50, 10, kLockRegionNoWait), ZARQ_E_RANGE_LOCKED);
  EXPECT_LT(Os().TickCount() - start, 2000u);
  start = Os().TickCount();
  EXPECT_EQ(Lock(file, 50, 10, kLockRegionWaiting), ZARQ_E_RANGE_LOCKED);
  uint32_t waited = Os().TickCount() - start;
  EXPECT_GE(waited, 9900u);
  EXPECT_LT(waited, 15000u);

  // The holder lets go after 1.5 s: the waiting lock succeeds then.
  ASSERT_TRUE(peer.Send("sleep 1500"));
  ASSERT_TRUE(peer.Send("lock " + number + " shared.bin 0 100 0"));
  start = Os().TickCount();
  EXPECT_EQ(Lock(file, 50, 10, kLockRegionWaiting), ZARQ_OK);
  waited = Os().TickCount() - start;
  EXPECT_GE(waited, 1000u);
  EXPECT_LT(waited, 9000u);
  EXPECT_EQ(peer.Answer(), ZARQ_OK);
  EXPECT_EQ(peer.Answer(), ZARQ_OK);
  EXPECT_EQ(Lock(file, 50, 10, kUnlockRegion), ZARQ_OK);
  EXPECT_EQ(peer.Exit(), 0);
}

}  // namespace
}  // namespace zarq
