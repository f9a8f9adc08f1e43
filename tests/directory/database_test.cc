// Database directories: opening a folder that holds a database as its first
// and only user (the build of the working files from the master files, their
// repairs, the write-back when the directory is closed), and several real
// processes sharing one (registration in the user file, leaving in different
// orders, the last user's clean-up, a second process of the same identity, a
// crashed process's record taken over, a program outside the library holding
// the directory, a security list file cut short by a crash).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/directory/lock_file.h"
#include "src/directory/user_file_format.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/security_index.h"
#include "src/master/security_list.h"
#include "src/master/security_record.h"
#include "src/master/xmaster_file.h"
#include "tests/directory/database_fixture.h"
#include "tests/support/master_builder.h"
#include "tests/support/peer.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

namespace fs = std::filesystem;
using zarq_test::NumberedSecurities;
using zarq_test::WriteMasterFiles;

TEST_F(DatabaseOpenTest, AnEmptyFolderIsTurnedIntoADatabase) {
  ASSERT_EQ(Open(), ZARQ_OPENED_NO_DATABASE);
  EXPECT_TRUE(fs::is_empty(folder_.path()));
  ASSERT_EQ(ZARQ1_BuildQuorvantaDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("MASTER"), std::string(53, '\0'));
  for (auto [name, size] : {std::pair{"EMASTER", 192u},
                            {"~ZARQ.SEC", 178u},
                            {"~ZARQ.INX", 38u},
                            {"~ZARQ.LCK", 37u},
                            {"~ZARQ.USR", 2u * 71}}) {
    EXPECT_EQ(Size(name), size) << name;
  }
  EXPECT_EQ(ListHeader().next_file_number, 1u);
  EXPECT_EQ(ListHeader().slot_count, 0u);
  EXPECT_EQ(ZARQ1_BuildQuorvantaDirectory(dir_), ZARQ_E_DATABASE_EXISTS);

  ZarqDirectoryStatus status;
  ASSERT_EQ(ZARQ1_GetDirectoryStatus(static_cast<int8_t>(dir_), "", &status), ZARQ_OK);
  EXPECT_EQ(status.Size, 40u);
  EXPECT_TRUE(status.Valid && status.InUse && status.HoldsDatabase && status.OpenHere);
  EXPECT_EQ(status.DirNumber, dir_);
  EXPECT_EQ(status.LiveSecurities, 0u);

  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_FALSE(WorkingFilesExist());
  EXPECT_FALSE(folder_.Exists("XMASTER"));  // fewer than 256 securities
  EXPECT_EQ(Size("MASTER"), 53u);
  EXPECT_EQ(Size("EMASTER"), 192u);
  EXPECT_TRUE(Writable("MASTER"));
}

TEST_F(DatabaseOpenTest, OpenFlagsBuildAndCreate) {
  ASSERT_EQ(Open(ZARQ_OPEN_BUILD_MASTERS), ZARQ_OPENED_BUILT);
  EXPECT_TRUE(folder_.Exists("MASTER"));
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  std::string created = folder_.Join("new") + zarq_test::Separator() + "db";
  EXPECT_EQ(ZARQ1_OpenDirectory(created.c_str(), &dir_,
                                ZARQ_OPEN_CREATE_FOLDER | ZARQ_OPEN_BUILD_MASTERS),
            ZARQ_OPENED_CREATED);
  EXPECT_TRUE(fs::exists(created + zarq_test::Separator() + "MASTER"));
}

TEST_F(DatabaseOpenTest, TheFirstUserImportsLinksAndIndexes) {
  std::vector<SecurityRecord> records = NumberedSecurities(2);
  records.push_back(zarq_test::CompositeSecurity("S1", "S2", '/', 1, 2, 3));
  records[1].extra_value = 0;
  WriteMasterFiles(folder_, records);
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_FALSE(Writable("MASTER"));  // other programs keep off while in use
  EXPECT_FALSE(Writable("EMASTER"));
  EXPECT_EQ(Counts(ListHeader()), std::make_tuple(3, 3, 1, 3, 4));
  EXPECT_EQ(ListHeader().stamp, FindDirectory(dir_)->user_file_stamp);
  SecurityRecord one = ListRecord(1), two = ListRecord(2), composite = ListRecord(3);
  EXPECT_STREQ(one.symbol, "S1");
  EXPECT_EQ(std::tie(one.slot, one.next_slot, two.prev_slot), std::make_tuple(1, 2, 1));
  EXPECT_EQ(std::tie(composite.primary_slot, composite.secondary_slot), std::make_tuple(1, 2));
  EXPECT_EQ(std::tie(one.next_primary_user, two.next_secondary_user), std::make_tuple(3, 3));
  EXPECT_STREQ(composite.symbol2, "S2");
  std::string index = folder_.ReadFile("~ZARQ.INX");
  ASSERT_EQ(index.size(), 4u * kIndexRecordSize);
  std::vector<uint32_t> slots;
  for (int i = 1; i <= 3; ++i) {
    IndexEntry entry;
    DecodeIndexEntry(Raw(index, i * kIndexRecordSize), &entry);
    slots.push_back(entry.slot);
  }
  EXPECT_EQ(slots, (std::vector<uint32_t>{1, 3, 2}));  // S1 plain before S1/S2
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_TRUE(Writable("MASTER"));
}

TEST_F(DatabaseOpenTest, AMissingEmasterIsBuiltFromMaster) {
  WriteMasterFiles(folder_, NumberedSecurities(3), /*with_emaster=*/false);
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(Size("EMASTER"), 4u * 192);
  SecurityRecord rebuilt = EmasterRecord(2);
  EXPECT_STREQ(rebuilt.symbol, "S2");
  EXPECT_EQ(rebuilt.base_date, rebuilt.first_date);
  EXPECT_EQ(ListRecord(3).file_number, 3u);
  EXPECT_STREQ(ListRecord(3).name, "Name of S3");
}

TEST_F(DatabaseOpenTest, EmasterEntriesAreRepairedBySwappingAndFromMasterDates) {
  std::vector<SecurityRecord> records = NumberedSecurities(3);
  for (uint32_t i = 0; i < 3; ++i) {
    records[i].extra_value = 100 + i;
    records[i].extra_date = 20050505;
  }
  WriteMasterFiles(folder_, records);
  // Another program moved EMASTER's first two entries and changed a date
  // in MASTER only.
  std::string emaster = folder_.ReadFile("EMASTER");
  std::swap_ranges(emaster.begin() + 192, emaster.begin() + 384, emaster.begin() + 384);
  folder_.WriteFile("EMASTER", emaster);
  records[2].last_date = 20021231;
  std::vector<uint8_t> master_entry(53);
  EncodeMasterEntry(records[2], master_entry.data());
  std::string master = folder_.ReadFile("MASTER");
  master.replace(3 * 53, 53, zarq_test::Bytes(master_entry));
  folder_.WriteFile("MASTER", master);

  ASSERT_EQ(Open(), ZARQ_OK);
  for (uint32_t i = 1; i <= 3; ++i) {
    SecurityRecord repaired = EmasterRecord(static_cast<int>(i));
    EXPECT_EQ(repaired.file_number, i);
    EXPECT_EQ(repaired.extra_value, 99 + i);  // moved back, not rebuilt
    EXPECT_EQ(ListRecord(i).extra_value, 99 + i);
  }
  EXPECT_EQ(EmasterRecord(3).last_date, 20021231);
  EXPECT_EQ(ListRecord(3).last_date, 20021231);
}

TEST_F(DatabaseOpenTest, OddMasterHeadersAndSizes) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  std::string master = folder_.ReadFile("MASTER");
  PutI16(reinterpret_cast<uint8_t*>(master.data()), 300);  // claims 300 entries
  folder_.WriteFile("MASTER", master + std::string(53 * 400, '\0'));
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(ListHeader().slot_count, 3u);
  EXPECT_EQ(Size("MASTER"), 4u * 53);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);

  // A MASTER shorter than its header loads as empty.
  folder_.WriteFile("MASTER", std::string(20, '\0'));
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(ListHeader().slot_count, 0u);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(Size("MASTER"), 53u);
}

TEST_F(DatabaseOpenTest, XmasterAloneIsImported) {
  WriteMasterFiles(folder_, NumberedSecurities(258));
  std::remove(folder_.Join("MASTER").c_str());
  std::remove(folder_.Join("EMASTER").c_str());
  ASSERT_EQ(Open(), ZARQ_OK);  // built at once: XMASTER shows a database was here
  EXPECT_EQ(ListHeader().slot_count, 3u);
  EXPECT_STREQ(ListRecord(1).symbol, "S256");
  EXPECT_EQ(ListRecord(3).file_number, 258u);
}

TEST_F(DatabaseOpenTest, FailedFirstBuildsLeaveNoWorkingFiles) {
  std::vector<SecurityRecord> records = NumberedSecurities(3);
  records[2] = zarq_test::DailySecurity("S1", 3);  // the same security twice
  WriteMasterFiles(folder_, records);
  EXPECT_EQ(Open(), ZARQ_E_DUPLICATE_SECURITY);
  EXPECT_EQ(dir_, 0);
  EXPECT_FALSE(WorkingFilesExist());
  EXPECT_TRUE(Writable("MASTER"));
  EXPECT_TRUE(Writable("EMASTER"));

  // An EMASTER entry of a layout newer than this library knows.
  WriteMasterFiles(folder_, NumberedSecurities(3));
  std::string emaster = folder_.ReadFile("EMASTER");
  emaster.replace(2 * 192, 2, "67");
  folder_.WriteFile("EMASTER", emaster);
  EXPECT_EQ(Open(), ZARQ_E_BAD_VERSION);
  EXPECT_FALSE(WorkingFilesExist());
  EXPECT_TRUE(Writable("MASTER"));
}

TEST_F(DatabaseOpenTest, WriteBackSplitsTheListAndRenumbersDataFiles) {
  WriteMasterFiles(folder_, NumberedSecurities(300));
  ASSERT_EQ(Open(ZARQ_OPEN_FIELD_LIST_FILES), ZARQ_OK);
  // Position 10 now uses number 400 and position 300 number 10, and a
  // composite refers to both: each number lies in the wrong master file.
  DirectoryEntry* entry = FindDirectory(dir_);
  SecurityList list;
  ASSERT_EQ(ReadSecurityList(entry, &list), ZARQ_OK);
  list.at(10).file_number = 400;
  list.at(300).file_number = 10;
  list.at(50) = zarq_test::CompositeSecurity("S10", "S300", '-', 400, 10, 50);
  list.at(50).slot = 50;
  list.at(50).prev_slot = 49;
  list.at(50).next_slot = 51;
  ASSERT_EQ(WriteSecurityList(entry, list, false), ZARQ_OK);
  folder_.WriteFile("F400.MWD", "ten");
  folder_.WriteFile("F400.DOP", "fields of ten");
  folder_.WriteFile("F10.DAT", "three hundred");

  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(Size("MASTER"), 256u * 53);
  EXPECT_EQ(Size("EMASTER"), 256u * 192);
  std::string xmaster = folder_.ReadFile("XMASTER");
  ASSERT_EQ(xmaster.size(), 46u * 150);
  XmasterHeader xheader;
  ASSERT_EQ(DecodeXmasterHeader(Raw(xmaster), &xheader), ZARQ_OK);
  EXPECT_EQ(std::tie(xheader.entry_count, xheader.entry_count2), std::make_tuple(45, 45));
  EXPECT_EQ(folder_.ReadFile("F10.DAT"), "ten");
  EXPECT_EQ(folder_.ReadFile("F10.DOP"), "fields of ten");
  EXPECT_EQ(folder_.ReadFile("F300.MWD"), "three hundred");
  EXPECT_FALSE(folder_.Exists("F400.MWD"));
  EXPECT_EQ(EmasterRecord(10).file_number, 10u);
  EXPECT_EQ(Raw(folder_.ReadFile("MASTER"), 10 * 53)[0], 10);
  SecurityRecord last;
  uint16_t level = 200;
  DecodeXmasterEntry(Raw(xmaster, 45 * 150), 300, &last, &level);
  EXPECT_EQ(last.file_number, 300u);
  EXPECT_STREQ(last.symbol, "S300");
  SecurityRecord composite = EmasterRecord(50);
  EXPECT_EQ(std::tie(composite.primary_file_number, composite.secondary_file_number),
            std::make_tuple(10, 300));
  EXPECT_FALSE(WorkingFilesExist());
}

TEST_F(DatabaseOpenTest, CompositesFollowTheirComponentsOrAreDropped) {
  std::vector<SecurityRecord> records = NumberedSecurities(2);
  // The composite names its components by data file number; its symbols
  // are refreshed from them. One whose component is gone is dropped.
  records.push_back(zarq_test::CompositeSecurity("OLD1", "OLD2", '*', 1, 2, 3));
  records.push_back(zarq_test::CompositeSecurity("S1", "GONE", '+', 1, 99, 4));
  WriteMasterFiles(folder_, records);
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_STREQ(ListRecord(3).symbol, "S1");
  EXPECT_STREQ(ListRecord(3).symbol2, "S2");
  EXPECT_FALSE(ListRecord(3).deleted);
  EXPECT_TRUE(ListRecord(4).deleted);
  EXPECT_EQ(ListHeader().live_count, 3u);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(Size("MASTER"), 4u * 53);  // the dropped one is gone
}

TEST_F(DatabaseOpenTest, AnEmptiedDatabaseIsErasedWhenAskedFor) {
  WriteMasterFiles(folder_, {});
  const std::string chart = std::string("ZQSmart") + zarq_test::Separator() + "C1.CHT";
  folder_.MakeFolder("ZQSmart");
  // Only names of the library's own forms go; a user's files that merely
  // share a pattern with them stay.
  const std::string mine = std::string("ZQSmart") + zarq_test::Separator() + "readme.txt";
  for (const std::string& name :
       std::vector<std::string>{"F1.DAT", "F300.MWD", "F1.DOP", "S1.TMP", "MASTER.TMP", "notes.txt",
                                "Forecast.dat", "F1x.DAT", "notes.TMP", chart, mine}) {
    folder_.WriteFile(name, "x");
  }
  ASSERT_EQ(Open(ZARQ_OPEN_ERASE_WHEN_EMPTY), ZARQ_OK);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  for (const std::string& name : std::vector<std::string>{"MASTER", "EMASTER", "XMASTER", "F1.DAT",
                                                          "F300.MWD", "F1.DOP", "S1.TMP", chart}) {
    EXPECT_FALSE(folder_.Exists(name)) << name;
  }
  for (const std::string& name :
       std::vector<std::string>{"notes.txt", "Forecast.dat", "F1x.DAT", "notes.TMP", mine}) {
    EXPECT_TRUE(folder_.Exists(name)) << name;
  }
  EXPECT_FALSE(WorkingFilesExist());
}

TEST_F(DatabaseOpenTest, AFailedWriteBackKeepsTheWorkingFilesAndTheOldMasters) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  const size_t old_size = Size("MASTER");
  ASSERT_EQ(Open(), ZARQ_OK);
  {
    zarq_test::InstalledFaults os;
    os.rename_fails_from = "EMASTER.TMP";
    EXPECT_NE(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  }
  EXPECT_TRUE(folder_.Exists("~ZARQ.SEC"));
  EXPECT_TRUE(folder_.Exists("EMASTER"));  // the old one: never without it
  EXPECT_FALSE(folder_.Exists("EMASTER.TMP"));
  EXPECT_NE(FindDirectory(dir_), nullptr);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);  // tried again: it works now
  EXPECT_FALSE(WorkingFilesExist());
  EXPECT_EQ(Size("MASTER"), old_size);
}

TEST_F(DatabaseOpenTest, AReadOnlyDatabaseKeepsItsWorkingFilesInTheTemporaryFolder) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  const std::string master = folder_.ReadFile("MASTER");
  zarq_test::InstalledFaults os;
  os.deny_writes_in = folder_.path();
  ASSERT_EQ(Open(), ZARQ_OK);
  DirectoryEntry* entry = FindDirectory(dir_);
  EXPECT_TRUE(entry->read_only());
  EXPECT_FALSE(WorkingFilesExist());
  SecurityList list;
  ASSERT_EQ(ReadSecurityList(entry, &list), ZARQ_OK);  // from the temporary folder
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(ZARQ1_BuildQuorvantaDirectory(dir_), ZARQ_E_DATABASE_EXISTS);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_EQ(folder_.ReadFile("MASTER"), master);
  EXPECT_FALSE(folder_.Exists("XMASTER"));
  EXPECT_FALSE(folder_.Exists("EMASTER.TMP"));
}

TEST_F(DatabaseOpenTest, StatusOfClosedFolders) {
  ZarqDirectoryStatus status;
  ASSERT_EQ(ZARQ1_GetDirectoryStatus(0, folder_.path().c_str(), &status), ZARQ_OK);
  EXPECT_TRUE(status.Valid);
  EXPECT_FALSE(status.HoldsDatabase || status.InUse || status.OpenHere);
  EXPECT_NE(status.DriveKind, 0);
  WriteMasterFiles(folder_, NumberedSecurities(1));
  ASSERT_EQ(ZARQ1_GetDirectoryStatus(0, folder_.path().c_str(), &status), ZARQ_OK);
  EXPECT_TRUE(status.HoldsDatabase);
  EXPECT_FALSE(status.InUse);
  folder_.WriteFile("~ZARQ.USR", "");
  ASSERT_EQ(ZARQ1_GetDirectoryStatus(0, folder_.path().c_str(), &status), ZARQ_OK);
  EXPECT_TRUE(status.InUse);
  EXPECT_EQ(ZARQ1_GetDirectoryStatus(0, "", &status), ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(status.Size, 40u);
  EXPECT_FALSE(status.Valid);
}

TEST_F(DirectorySharingTest, ThreeUsersComeAndLeave) {
  zarq_test::Peer first, second;
  std::string first_dir = StartPeer(&first, "App1 U1");
  std::string second_dir = StartPeer(&second, "App2 U2");
  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(std::make_tuple(Users().users, Users().records), std::make_tuple(3, 3));
  EXPECT_STREQ(User(1).identity, "App1:U1");
  EXPECT_STREQ(User(2).identity, "App2:U2");
  EXPECT_STREQ(User(3).identity, "UnitTest:Tester");
  EXPECT_EQ(FindDirectory(dir_)->user_record, 3);

  ASSERT_EQ(second.Call("close " + second_dir), ZARQ_OK);  // a middle record: zeroed
  EXPECT_FALSE(User(2).in_use);
  EXPECT_EQ(std::make_tuple(Users().users, Users().records), std::make_tuple(2, 3));
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);  // the last record: the file shrinks
  EXPECT_EQ(Size("~ZARQ.USR"), 3u * kUserRecordSize);
  EXPECT_EQ(Users().users, 1);
  EXPECT_TRUE(folder_.Exists("~ZARQ.SEC"));

  ASSERT_EQ(first.Call("close " + first_dir), ZARQ_OK);  // the last user cleans up
  EXPECT_FALSE(WorkingFilesExist());
  EXPECT_EQ(Size("MASTER"), 11u * 53);
  EXPECT_TRUE(Writable("MASTER"));
  EXPECT_EQ(first.Exit(), 0);
  EXPECT_EQ(second.Exit(), 0);
}

TEST_F(DirectorySharingTest, TheSameIdentityTwiceIsRefused) {
  zarq_test::Peer twin;
  std::string twin_dir = StartPeer(&twin, "UnitTest Tester");
  EXPECT_EQ(Open(), ZARQ_E_ALREADY_REGISTERED);
  char application[31], user[31];
  ASSERT_EQ(ZARQ1_GetLastFailedOpenDirInfo(application, user), ZARQ_OK);
  EXPECT_EQ(std::string(application) + ":" + user, "UnitTest:Tester");
  EXPECT_EQ(Users().users, 1);
  ASSERT_EQ(twin.Call("close " + twin_dir), ZARQ_OK);
  EXPECT_EQ(twin.Exit(), 0);
}

TEST_F(DirectorySharingTest, ACrashedProcessesRecordIsTakenOverWithItsLockMarks) {
  zarq_test::Peer keeper, crashed;
  std::string keeper_dir = StartPeer(&keeper, "Keeper K");
  StartPeer(&crashed, "UnitTest Tester");
  // The crashed process held securities 2 (alone) and 3 (with the keeper).
  std::string locks = folder_.ReadFile("~ZARQ.LCK");
  LockRecord alone{.level = 32}, shared{.level = 16};
  alone.SetUser(2);
  shared.SetUser(1);
  shared.SetUser(2);
  EncodeLockRecord(alone, reinterpret_cast<uint8_t*>(&locks[2 * kLockRecordSize]));
  EncodeLockRecord(shared, reinterpret_cast<uint8_t*>(&locks[3 * kLockRecordSize]));
  folder_.WriteFile("~ZARQ.LCK", locks);
  crashed.Kill();

  EXPECT_EQ(Open(), ZARQ_E_ALREADY_REGISTERED);
  ASSERT_EQ(Open(ZARQ_OPEN_ALLOW_SAME_USER), ZARQ_OK);
  EXPECT_EQ(FindDirectory(dir_)->user_record, 2);
  EXPECT_EQ(Users().users, 2);
  locks = folder_.ReadFile("~ZARQ.LCK");
  LockRecord two = DecodeLockRecord(Raw(locks, 2 * kLockRecordSize));
  LockRecord three = DecodeLockRecord(Raw(locks, 3 * kLockRecordSize));
  EXPECT_EQ(std::make_tuple(two.level, two.AnyUser()), std::make_tuple(0, false));
  EXPECT_EQ(std::make_tuple(three.level, three.HasUser(1), three.HasUser(2)),
            std::make_tuple(16, true, false));
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  ASSERT_EQ(keeper.Call("close " + keeper_dir), ZARQ_OK);
  EXPECT_FALSE(folder_.Exists("~ZARQ.USR"));
  EXPECT_EQ(keeper.Exit(), 0);
}

TEST_F(DirectorySharingTest, AProgramOutsideTheLibraryHoldsTheDirectory) {
  folder_.WriteFile("~NONZARQ.USR", std::string("Charting Program:Somebody Else\0junk", 35));
  EXPECT_EQ(Open(), ZARQ_E_HELD_BY_OTHER_PROGRAM);
  char application[31], user[31];
  ASSERT_EQ(ZARQ1_GetLastFailedOpenDirInfo(application, user), ZARQ_OK);
  EXPECT_EQ(std::string(application) + ":" + user, "Charting Program:Somebody Else");
  EXPECT_FALSE(folder_.Exists("~ZARQ.USR"));
  std::remove(folder_.Join("~NONZARQ.USR").c_str());
  ASSERT_EQ(Open(), ZARQ_OK);  // an open that works clears the names
  ASSERT_EQ(ZARQ1_GetLastFailedOpenDirInfo(application, user), ZARQ_OK);
  EXPECT_STREQ(application, "");
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
}

TEST_F(DirectorySharingTest, AListFileCutShortByACrashKeepsItsWholeRecords) {
  zarq_test::Peer keeper;
  std::string keeper_dir = StartPeer(&keeper, "Keeper K");
  ASSERT_EQ(Size("~ZARQ.SEC"), 11u * kSecurityRecordSize);
  fs::resize_file(folder_.Join("~ZARQ.SEC"), 11 * kSecurityRecordSize - 100);
  ASSERT_EQ(Open(), ZARQ_OK);
  const SecurityListHeader header = ListHeader();
  EXPECT_EQ(std::tie(header.slot_count, header.live_count, header.first_slot, header.last_slot),
            std::make_tuple(9, 9, 1, 9));  // relinked within the records left
  // The lost tenth security's data file number is not handed out again.
  EXPECT_EQ(header.next_file_number, 11u);
  for (uint32_t slot = 1; slot <= 9; ++slot) {
    EXPECT_EQ(ListRecord(slot).symbol, "S" + std::to_string(slot));
    EXPECT_EQ(ListRecord(slot).next_slot, slot == 9 ? 0u : slot + 1);
  }
  EXPECT_EQ(Size("~ZARQ.INX"), 10u * kIndexRecordSize);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  ASSERT_EQ(keeper.Call("close " + keeper_dir), ZARQ_OK);
  EXPECT_EQ(Size("MASTER"), 10u * 53);
  EXPECT_EQ(keeper.Exit(), 0);
}

}  // namespace
}  // namespace zarq
