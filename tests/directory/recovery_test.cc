// What a process that died in a directory's lifecycle leaves, and how the
// next one through the gate deals with it: an unfinished build is built
// again from the master files, a list left without users is taken over,
// one that cannot be read is set aside, leftovers of the library go, and a
// write-back cut short while moving data files is finished from its
// journal. And the two races the gate closes: an open while the last user
// writes back and removes the working files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/master/renumber_journal.h"
#include "src/platform/system_errors.h"
#include "tests/directory/database_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

using zarq_test::NumberedSecurities;
using zarq_test::WriteMasterFiles;

class RecoveryTest : public DatabaseOpenTest {
 protected:
  // Fails the step-th file-changing call (1-based) with access denied.
  class StopAt : public zarq_test::FaultPlatform {
   public:
    explicit StopAt(int step) : step_(step) {}
    uint32_t OpenFile(const std::string& path, bool read_only, OpenDisposition disposition,
                      uint32_t options, FileHandle* handle) override {
      if (disposition != OpenDisposition::kOpenExisting && Stops()) return kErrorAccessDenied;
      return FaultPlatform::OpenFile(path, read_only, disposition, options, handle);
    }
    uint32_t WriteFile(FileHandle handle, const void* buffer, uint32_t count,
                       uint32_t* done) override {
      *done = 0;
      return Stops() ? kErrorAccessDenied : FaultPlatform::WriteFile(handle, buffer, count, done);
    }
    uint32_t SetFileSize(FileHandle handle, uint64_t size) override {
      return Stops() ? kErrorAccessDenied : FaultPlatform::SetFileSize(handle, size);
    }
    uint32_t RemoveFile(const std::string& path) override {
      return Stops() ? kErrorAccessDenied : FaultPlatform::RemoveFile(path);
    }
    uint32_t RenameFile(const std::string& from, const std::string& to) override {
      return Stops() ? kErrorAccessDenied : FaultPlatform::RenameFile(from, to);
    }
    uint32_t ReplaceFile(const std::string& from, const std::string& to,
                         uint32_t options) override {
      return Stops() ? kErrorAccessDenied : FaultPlatform::ReplaceFile(from, to, options);
    }

   private:
    // Once stopped, the process is as good as dead: later calls fail too.
    bool Stops() { return ++calls_ >= step_; }
    int step_;
    int calls_ = 0;
  };

  void OpenWithNumbersToMove();
  void ExpectNumbersMoved(const std::string& when);
  // Ends this process's use of the open directory as a crash would: its
  // registration and working files stay as they are.
  void Vanish() {
    FindDirectory(dir_)->flags |= kDirRegistrationLost;
    ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  }
  // The user file as a last user leaves it before writing back: no users.
  // (A user file already removed stays so.)
  void WithoutUsers() {
    std::string users = folder_.ReadFile("~ZARQ.USR");
    if (users.size() < kUserRecordSize) return;
    UserFileHeader header = DecodeUserFileHeader(Raw(users));
    header.users = 0;
    EncodeUserFileHeader(header, reinterpret_cast<uint8_t*>(users.data()));
    folder_.WriteFile("~ZARQ.USR", users);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder_.path())) {
      names.push_back(item.path().filename().string());
    }
    return names;
  }
};

TEST_F(RecoveryTest, AnUnfinishedBuildIsBuiltAgainFromTheMasters) {
  struct Case {
    const char* what;
    std::string users;
  } cases[] = {{"an empty user file", ""},
               {"a user file whose header was never written", std::string(142, '\0')}};
  for (const Case& c : cases) {
    WriteMasterFiles(folder_, NumberedSecurities(5));
    folder_.WriteFile("~ZARQ.USR", c.users);
    folder_.WriteFile("~ZARQ.SEC", std::string(300, 'x'));  // cut short while written
    folder_.WriteFile("~ZARQ.INX", "junk");
    ASSERT_EQ(Open(), ZARQ_OK) << c.what;
    EXPECT_EQ(Counts(ListHeader()), std::make_tuple(5, 5, 1, 5, 6)) << c.what;
    EXPECT_EQ(Users().users, 1) << c.what;
    EXPECT_EQ(ListHeader().stamp, Users().stamp) << c.what;
    ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
    EXPECT_FALSE(WorkingFilesExist()) << c.what;
    EXPECT_STREQ(EmasterRecord(5).symbol, "S5") << c.what;
  }
}

TEST_F(RecoveryTest, AListLeftWithoutUsersIsTakenOverWithFreshLockMarks) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  ASSERT_EQ(Open(), ZARQ_OK);
  // A change the master files do not have yet, and a lock mark of the dead.
  SecurityList list;
  ASSERT_EQ(ReadSecurityList(FindDirectory(dir_), &list), ZARQ_OK);
  CopyBounded(list.at(2).name, sizeof(list.at(2).name), "Renamed");
  ASSERT_EQ(WriteSecurityList(FindDirectory(dir_), list, false), ZARQ_OK);
  std::string locks = folder_.ReadFile("~ZARQ.LCK");
  locks[2 * 37] = 32;
  locks[2 * 37 + 1] = static_cast<char>(0x80);
  folder_.WriteFile("~ZARQ.LCK", locks);
  Vanish();
  WithoutUsers();

  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_STREQ(ListRecord(2).name, "Renamed");
  EXPECT_EQ(folder_.ReadFile("~ZARQ.LCK"), std::string(4 * 37, '\0').replace(0, 37, locks, 0, 37));
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  EXPECT_STREQ(EmasterRecord(2).name, "Renamed");
  EXPECT_FALSE(WorkingFilesExist());
}

TEST_F(RecoveryTest, AnUnreadableListWithoutUsersIsSetAsideAndBuiltAgain) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  ASSERT_EQ(Open(), ZARQ_OK);
  Vanish();
  WithoutUsers();
  std::string damaged = folder_.ReadFile("~ZARQ.SEC");
  damaged[0] = 'X';
  folder_.WriteFile("~ZARQ.SEC", damaged);

  ASSERT_EQ(Open(), ZARQ_OK);
  EXPECT_EQ(Counts(ListHeader()), std::make_tuple(3, 3, 1, 3, 4));
  std::vector<std::string> aside;
  for (const std::string& name : Names()) {
    if (name.rfind("~ZARQ-DAMAGED-", 0) == 0) aside.push_back(name);
  }
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(aside[0].substr(aside[0].size() - 4), ".SEC");
  EXPECT_EQ(folder_.ReadFile(aside[0]), damaged);
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
}

TEST_F(RecoveryTest, LeftoversOfTheLibraryGoAndNothingElse) {
  WriteMasterFiles(folder_, NumberedSecurities(3));
  const std::vector<std::string> leftovers = {"MASTER.TMP", "EMASTER.TMP", "XMASTER.TMP",
                                              "~ZQ12ab.TMP"};
  const std::vector<std::string> others = {"notes.TMP", "~ZQ12345.TMP", "MASTER.TMP.bak"};
  for (const auto& name : leftovers) folder_.WriteFile(name, "left");
  for (const auto& name : others) folder_.WriteFile(name, "mine");
  ASSERT_EQ(Open(), ZARQ_OK);
  for (const auto& name : leftovers) EXPECT_FALSE(folder_.Exists(name)) << name;
  for (const auto& name : others) EXPECT_EQ(folder_.ReadFile(name), "mine") << name;
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
}

// Position 10 uses number 400 and position 300 number 10, and a composite
// uses both: the write-back moves F10.DAT to F300.MWD and then F400.MWD to
// F10.DAT.
void RecoveryTest::OpenWithNumbersToMove() {
  WriteMasterFiles(folder_, NumberedSecurities(300));
  ASSERT_EQ(Open(), ZARQ_OK);
  SecurityList list;
  ASSERT_EQ(ReadSecurityList(FindDirectory(dir_), &list), ZARQ_OK);
  list.at(10).file_number = 400;
  list.at(300).file_number = 10;
  list.at(50) = zarq_test::CompositeSecurity("S10", "S300", '-', 400, 10, 50);
  list.at(50).slot = 50;
  list.at(50).prev_slot = 49;
  list.at(50).next_slot = 51;
  ASSERT_EQ(WriteSecurityList(FindDirectory(dir_), list, false), ZARQ_OK);
  folder_.WriteFile("F400.MWD", "ten");
  folder_.WriteFile("F400.DOP", "fields of ten");
  folder_.WriteFile("F10.DAT", "three hundred");
  folder_.WriteFile("F300.MWD", "stale");
}

// Where the moved data ends, in the files and in the master files.
void RecoveryTest::ExpectNumbersMoved(const std::string& when) {
  EXPECT_EQ(folder_.ReadFile("F10.DAT"), "ten") << when;
  EXPECT_EQ(folder_.ReadFile("F10.DOP"), "fields of ten") << when;
  EXPECT_EQ(folder_.ReadFile("F300.MWD"), "three hundred") << when;
  EXPECT_FALSE(folder_.Exists("F400.MWD")) << when;
  EXPECT_EQ(EmasterRecord(10).file_number, 10u) << when;
  SecurityRecord composite = EmasterRecord(50);
  EXPECT_EQ(std::tie(composite.primary_file_number, composite.secondary_file_number),
            std::make_tuple(10, 300))
      << when;
  EXPECT_FALSE(WorkingFilesExist()) << when;
  EXPECT_FALSE(folder_.Exists("~ZARQ.JNL")) << when;
}

// A write-back stopped at any of its file-changing steps (as a crash would
// stop it) is finished by the next user, whatever the step.
TEST_F(RecoveryTest, AWriteBackStoppedAtAnyStepIsFinishedByTheNextUser) {
  for (int step = 1;; ++step) {
    OpenWithNumbersToMove();
    int32_t closed = ZARQ_OK;
    {
      StopAt os(step);
      zarq_test::ScopedPlatform installed(&os);
      closed = ZARQ1_CloseDirectory(dir_);
    }
    if (closed == ZARQ_OK) {
      ExpectNumbersMoved("not stopped");
      ASSERT_GT(step, 10);
      break;
    }
    Vanish();
    WithoutUsers();
    ASSERT_EQ(Open(), ZARQ_OK) << "stopped at step " << step;
    ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK) << "stopped at step " << step;
    ExpectNumbersMoved("stopped at step " + std::to_string(step));
    for (const auto& name : Names()) std::filesystem::remove(folder_.Join(name));
  }
}

TEST_F(RecoveryTest, AWriteBackCutShortWhileMovingDataFilesIsFinished) {
  OpenWithNumbersToMove();
  {
    zarq_test::InstalledFaults os;
    os.rename_fails_from = "F400.MWD";
    EXPECT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_E_ACCESS_DENIED);
  }
  EXPECT_TRUE(folder_.Exists("~ZARQ.JNL"));
  EXPECT_EQ(folder_.ReadFile("F300.MWD"), "three hundred");
  EXPECT_FALSE(folder_.Exists("F10.DAT"));
  EXPECT_EQ(ListRecord(10).file_number, 10u);  // the list has its new numbers
  Vanish();  // dies with the journal unfinished, having left the user file
  WithoutUsers();

  ASSERT_EQ(Open(), ZARQ_OK);  // the next user finishes it first
  EXPECT_FALSE(folder_.Exists("~ZARQ.JNL"));
  EXPECT_EQ(folder_.ReadFile("F10.DAT"), "ten");
  ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK);
  ExpectNumbersMoved("finished by the next user");
}

TEST(RenumberJournalTest, OnlyAWholeJournalIsActedOn) {
  RenumberPlan plan{0x80402001u, {{300, 10, 300, 1}, {10, 400, 10, 3}}, {{10, 10, 0, 0}}};
  std::string bytes = EncodeJournal(plan, 0);
  RenumberPlan read;
  uint32_t done = 9;
  ASSERT_TRUE(DecodeJournal(bytes, &read, &done));
  EXPECT_EQ(read, plan);
  EXPECT_EQ(done, 0u);
  ASSERT_TRUE(DecodeJournal(EncodeJournal(plan, 1), &read, &done));  // progress is not checked
  EXPECT_EQ(done, 1u);
  std::string flipped = bytes;
  flipped[30] ^= 1;
  EXPECT_FALSE(DecodeJournal(flipped, &read, &done));
  EXPECT_FALSE(DecodeJournal(bytes.substr(0, bytes.size() - 1), &read, &done));
  EXPECT_FALSE(DecodeJournal("", &read, &done));
}

// The last user's write-back is slowed down at one of its steps, and a
// second process opens the folder right then: it waits at the gate and
// finds either the old directory or the new one, never a mixture.
class GateRaceTest : public DirectorySharingTest {
 protected:
  class SlowAt : public zarq_test::FaultPlatform {
   public:
    SlowAt(std::string name, zarq_test::Peer* peer, std::string open)
        : name_(std::move(name)), peer_(peer), open_(std::move(open)) {}
    uint32_t ReplaceFile(const std::string& from, const std::string& to,
                         uint32_t options) override {
      Meet(to);
      return FaultPlatform::ReplaceFile(from, to, options);
    }
    uint32_t RemoveFile(const std::string& path) override {
      Meet(path);
      return FaultPlatform::RemoveFile(path);
    }
    uint32_t RenameFile(const std::string& from, const std::string& to) override {
      Meet(from);
      return FaultPlatform::RenameFile(from, to);
    }

   private:
    void Meet(const std::string& path) {
      if (sent_ || !zarq_test::EndsWith(path, name_)) return;
      sent_ = peer_->Send(open_);
      Sleep(300);
    }
    std::string name_;
    zarq_test::Peer* peer_;
    std::string open_;
    bool sent_ = false;
  };
};

TEST_F(GateRaceTest, AnOpenWaitsForTheLastUsersWriteBackAndRemoval) {
  for (const char* step : {"MASTER", "~ZARQ.SEC", "~ZARQ.USR"}) {
    zarq_test::Peer peer;
    ASSERT_TRUE(peer.Start());
    ASSERT_EQ(peer.Call("init Other User"), ZARQ_OK);
    ASSERT_EQ(Open(), ZARQ_OK);
    {
      SlowAt os(step, &peer, "open " + folder_.path() + " 0");
      zarq_test::ScopedPlatform installed(&os);
      ASSERT_EQ(ZARQ1_CloseDirectory(dir_), ZARQ_OK) << step;
    }
    std::string number;
    ASSERT_EQ(peer.Answer(&number), ZARQ_OK) << step;
    EXPECT_EQ(Users().users, 1) << step;
    EXPECT_EQ(Counts(ListHeader()), std::make_tuple(10, 10, 1, 10, 11)) << step;
    ASSERT_EQ(peer.Call("close " + number), ZARQ_OK) << step;
    EXPECT_FALSE(WorkingFilesExist()) << step;
    EXPECT_EQ(Size("MASTER"), 11u * 53) << step;
    EXPECT_EQ(peer.Exit(), 0);
  }
}

}  // namespace
}  // namespace zarq
