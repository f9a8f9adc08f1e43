// security_fixture.h: a database of numbered daily securities opened by
// the test process, with what the security tests read and write past the
// library: lock-file records, data-file headers, list records, the lock
// table and the byte ranges this process holds.

#ifndef ZARQ_TESTS_SECURITY_SECURITY_FIXTURE_H_
#define ZARQ_TESTS_SECURITY_SECURITY_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/directory/lock_file.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table_state.h"
#include "src/fileio/security_handle.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"
#include "src/master/security_list.h"
#include "src/security/lock_table.h"
#include "tests/directory/database_fixture.h"

namespace zarq {

class SecurityTest : public DatabaseOpenTest {
 protected:
  // The database's securities: by default daily S1..S30 with data file
  // numbers 1..30 in slots 1..30, and in slot 31 the composite S1 - S2.
  virtual std::vector<SecurityRecord> Records() {
    std::vector<SecurityRecord> records = zarq_test::NumberedSecurities(30);
    records.push_back(zarq_test::CompositeSecurity("S1", "S2", '-', 1, 2, 31));
    return records;
  }
  void SetUp() override {
    DatabaseOpenTest::SetUp();
    zarq_test::WriteMasterFiles(folder_, Records());
    ASSERT_EQ(Open(), ZARQ_OK);
  }

  uint32_t Handle(uint32_t slot) { return MakeSecurityHandle(dir_, slot, false); }

  // The lock file as the library names it (read-only directories keep it
  // in the temporary folder).
  std::string LockFile() {
    std::string name;
    EXPECT_EQ(BuildDirFileName(dir_, &name, kKindLock), ZARQ_OK);
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Lock record n as stored.
  std::string LockAt(uint32_t n) { return LockFile().substr(n * kLockRecordSize, kLockRecordSize); }
  void SetLockAt(uint32_t n, const LockRecord& record) {
    std::string bytes = folder_.ReadFile("~ZARQ.LCK");
    EncodeLockRecord(record, reinterpret_cast<uint8_t*>(&bytes[n * kLockRecordSize]));
    folder_.WriteFile("~ZARQ.LCK", bytes);
  }
  static LockRecord Held(uint8_t level, std::vector<uint16_t> users) {
    LockRecord record{.level = level};
    for (uint16_t user : users) record.SetUser(user);
    return record;
  }
  // The 37 bytes of a lock record.
  static std::string Bytes(const LockRecord& record) {
    std::string bytes(kLockRecordSize, '\0');
    EncodeLockRecord(record, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
  }
  uint16_t Own() { return FindDirectory(dir_)->user_record; }

  // Data file F<n>.DAT of a seven-field security: count (1 or more) records, the first
  // dated 2010-01-04 and the last 2010-12-31; the rest is a hole.
  static constexpr uint32_t kRecordSize = 28;
  void WriteDataFile(uint32_t number, uint16_t count) {
    const std::string name = "F" + std::to_string(number) + ".DAT";
    std::string header(kRecordSize, '\0');
    PutU16(reinterpret_cast<uint8_t*>(&header[2]), static_cast<uint16_t>(count + 1));
    folder_.WriteFile(name, header);
    std::filesystem::resize_file(folder_.Join(name), (count + 1) * kRecordSize);
    std::fstream file(folder_.Join(name), std::ios::binary | std::ios::in | std::ios::out);
    for (auto [k, date] : {std::pair{1u, 20100104}, std::pair{uint32_t{count}, 20101231}}) {
      ZarqPriceRecord price = {};
      price.Date = date;
      price.FieldMask = 0x7F;
      uint8_t stored[kRecordSize];
      EncodePriceRecord(price, stored);
      file.seekp(k * kRecordSize);
      file.write(reinterpret_cast<const char*>(stored), kRecordSize);
    }
  }
  // The record count the header of F<n>.DAT gives.
  uint16_t DataCount(uint32_t number) {
    return GetU16(Raw(folder_.ReadFile("F" + std::to_string(number) + ".DAT"), 2)) - 1;
  }

  // Changes the record count and ExtraValue of the working copy of a
  // security locked here, as a data operation does.
  static void Change(uint32_t handle, uint16_t count, uint32_t extra) {
    LockedSecurityView view;
    ASSERT_EQ(GetLockedSecurity(handle, &view), ZARQ_OK);
    view.record_count = count;
    view.record.extra_value = extra;
    ASSERT_EQ(UpdateLockedSecurity(handle, view), ZARQ_OK);
  }

  // Rewrites the security list file after change has edited it.
  void EditList(const std::function<void(SecurityList&)>& change) {
    SecurityList list;
    ASSERT_EQ(ReadSecurityList(FindDirectory(dir_), &list), ZARQ_OK);
    change(list);
    ASSERT_EQ(WriteSecurityList(FindDirectory(dir_), list, false), ZARQ_OK);
  }

  // The slots in use: handle, flags, level, nesting, count and record.
  using SlotImage = std::tuple<uint32_t, uint32_t, uint8_t, uint8_t, uint16_t, SecurityRecord>;
  static std::vector<SlotImage> Table() {
    std::vector<SlotImage> image;
    for (int i = 0; i < kLockSlotCount; ++i) {
      const LockSlot& s = LockSlotAt(i);
      if (s.in_use())
        image.emplace_back(s.handle, s.flags, s.level, s.nesting, s.record_count, s.record);
    }
    return image;
  }
  // Byte ranges this process holds locked, in any file.
  static int RangesHeld() {
    int held = 0;
    for (const RegionLock& region : TheFileTable().regions) held += region.used ? 1 : 0;
    return held;
  }
};

}  // namespace zarq

#endif  // ZARQ_TESTS_SECURITY_SECURITY_FIXTURE_H_
