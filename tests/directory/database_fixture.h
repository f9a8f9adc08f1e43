// database_fixture.h: fixtures for tests of database directories: a folder
// opened by the test process, read past the library (the working files'
// headers and records, the user file, the master files), and peers that
// share it.

#ifndef ZARQ_TESTS_DIRECTORY_DATABASE_FIXTURE_H_
#define ZARQ_TESTS_DIRECTORY_DATABASE_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "include/zarq.h"
#include "src/directory/user_file_format.h"
#include "src/master/emaster_file.h"
#include "src/master/security_list.h"
#include "src/master/security_record.h"
#include "tests/support/library_fixture.h"
#include "tests/support/master_builder.h"
#include "tests/support/peer.h"

namespace zarq {

inline const uint8_t* Raw(const std::string& bytes, size_t offset = 0) {
  return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

// SlotCount, LiveCount, FirstSlot, LastSlot and NextFileNumber.
inline std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, uint32_t> Counts(
    const SecurityListHeader& h) {
  return {h.slot_count, h.live_count, h.first_slot, h.last_slot, h.next_file_number};
}

class DatabaseOpenTest : public zarq_test::InitializedTest {
 protected:
  int32_t Open(uint32_t flags = 0) {
    dir_ = 0;
    return ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, flags);
  }
  // Starts a peer that opens the database with flags; its directory number.
  std::string StartPeer(zarq_test::Peer* peer, const std::string& identity, int flags = 0) {
    EXPECT_TRUE(peer->Start());
    EXPECT_EQ(peer->Call("init " + identity), ZARQ_OK);
    std::string number;
    EXPECT_EQ(peer->Call("open " + folder_.path() + " " + std::to_string(flags), &number), ZARQ_OK);
    return number;
  }
  SecurityListHeader ListHeader() {
    SecurityListHeader header;
    EXPECT_EQ(DecodeSecurityListHeader(Raw(folder_.ReadFile("~ZARQ.SEC")), &header), ZARQ_OK);
    return header;
  }
  SecurityRecord ListRecord(uint32_t slot) {
    SecurityRecord record;
    std::string bytes = folder_.ReadFile("~ZARQ.SEC");
    EXPECT_GE(bytes.size(), (slot + 1) * kSecurityRecordSize);
    DecodeSecurityRecord(Raw(bytes, slot * kSecurityRecordSize), &record);
    return record;
  }
  SecurityRecord EmasterRecord(int position) {
    SecurityRecord record;
    uint16_t level = 400;
    EXPECT_EQ(DecodeEmasterEntry(Raw(folder_.ReadFile("EMASTER"), position * kEmasterRecordSize),
                                 255, &record, &level),
              ZARQ_OK);
    return record;
  }
  bool WorkingFilesExist() {
    for (const char* name : {"~ZARQ.SEC", "~ZARQ.INX", "~ZARQ.LCK", "~ZARQ.USR"}) {
      if (folder_.Exists(name)) return true;
    }
    return false;
  }
  bool Writable(const std::string& name) {
    return (std::filesystem::status(folder_.Join(name)).permissions() &
            std::filesystem::perms::owner_write) != std::filesystem::perms::none;
  }
  size_t Size(const std::string& name) { return folder_.ReadFile(name).size(); }
  UserFileHeader Users() { return DecodeUserFileHeader(Raw(folder_.ReadFile("~ZARQ.USR"))); }
  UserRecord User(int index) {
    return DecodeUserRecord(Raw(folder_.ReadFile("~ZARQ.USR"), index * kUserRecordSize));
  }

  zarq_test::TempFolder folder_;
  uint8_t dir_ = 0;
};

class DirectorySharingTest : public DatabaseOpenTest {
 protected:
  void SetUp() override {
    DatabaseOpenTest::SetUp();
    zarq_test::WriteMasterFiles(folder_, zarq_test::NumberedSecurities(10));
  }
};

}  // namespace zarq

#endif  // ZARQ_TESTS_DIRECTORY_DATABASE_FIXTURE_H_
