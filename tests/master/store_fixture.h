// store_fixture.h: a directory that holds a security database as far as the
// record store and the index store need one: the entry is marked and
// stamped, and the tests write the security list and index files themselves
// with the codecs. Also a stand-in for the locking layer's working copies.

#ifndef ZARQ_TESTS_MASTER_STORE_FIXTURE_H_
#define ZARQ_TESTS_MASTER_STORE_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "src/directory/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/security_handle.h"
#include "src/master/locked_records.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "tests/support/library_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq_test {

inline constexpr uint32_t kTestStamp = 0x5EED1234;

// n live daily securities linked in slot order; slot s has data file number
// s and symbol "S<s>".
inline std::vector<zarq::SecurityRecord> LinkedRecords(uint32_t n) {
  std::vector<zarq::SecurityRecord> records(n);
  for (uint32_t slot = 1; slot <= n; ++slot) {
    zarq::SecurityRecord& r = records[slot - 1];
    r.in_use = 1;
    r.slot = r.file_number = slot;
    std::snprintf(r.symbol, sizeof(r.symbol), "S%u", slot);
    std::snprintf(r.name, sizeof(r.name), "Security %u", slot);
    r.period = 'D';
    r.field_mask = 0x7F;
    r.base_date = r.first_date = 20200102;
    r.last_date = 20201231;
    r.prev_slot = slot - 1;
    r.next_slot = slot < n ? slot + 1 : 0;
  }
  return records;
}

// The record of slot, not linked.
inline zarq::SecurityRecord PlainRecord(uint32_t slot) {
  zarq::SecurityRecord r = LinkedRecords(slot).back();
  r.prev_slot = 0;
  return r;
}

// The header of a list of n securities linked in slot order.
inline zarq::SecurityListHeader ListHeader(uint32_t n) {
  zarq::SecurityListHeader h;
  h.stamp = kTestStamp;
  h.slot_count = h.live_count = h.last_slot = n;
  h.first_slot = n > 0 ? 1 : 0;
  h.next_file_number = n + 1;
  return h;
}

// Working copies as the locking layer would keep them, keyed by handle.
class LockedCopies {
 public:
  LockedCopies() {
    current_ = this;
    zarq::SetLockedRecordHooks({&Fetch, &Refresh});
  }
  ~LockedCopies() { zarq::ResetLockedRecordHooks(); }
  std::map<uint32_t, zarq::SecurityRecord> copies;
  int32_t failure = 0;  // answered for every lookup when set

 private:
  static int32_t Fetch(uint32_t handle, zarq::SecurityRecord* record) {
    auto found = current_->copies.find(handle);
    if (current_->failure != 0) return current_->failure;
    if (found == current_->copies.end()) return ZARQ_E_NOT_LOCKED;
    *record = found->second;
    return ZARQ_OK;
  }
  // Takes over the links only.
  static void Refresh(uint32_t handle, const zarq::SecurityRecord& record) {
    auto found = current_->copies.find(handle);
    if (found == current_->copies.end()) return;
    zarq::SecurityRecord& copy = found->second;
    copy.primary_slot = record.primary_slot;
    copy.secondary_slot = record.secondary_slot;
    copy.prev_slot = record.prev_slot;
    copy.next_slot = record.next_slot;
    copy.next_primary_user = record.next_primary_user;
    copy.next_secondary_user = record.next_secondary_user;
  }
  static inline LockedCopies* current_ = nullptr;
};

class StoreTest : public OpenFolderTest {
 protected:
  void SetUp() override {
    OpenFolderTest::SetUp();
    entry_ = zarq::FindDirectory(dir_);
    entry_->flags |= zarq::kDirHoldsDatabase;
    entry_->user_file_stamp = kTestStamp;
  }
  void TearDown() override {
    // No user file was ever joined: leave nothing to deregister.
    if (zarq::DirectoryEntry* entry = zarq::FindDirectory(dir_)) {
      entry->flags &= ~zarq::kDirHoldsDatabase;
    }
    OpenFolderTest::TearDown();
  }

  uint32_t Handle(uint32_t slot, bool composite = false) const {
    return zarq::MakeSecurityHandle(dir_, slot, composite);
  }
  // The file of kind through the file table, so that cached handles see
  // what the tests write.
  zarq::FileHandle Open(uint16_t kind) {
    std::string name;
    zarq::FileHandle file = zarq::kNoFileHandle;
    EXPECT_EQ(zarq::BuildDirFileName(dir_, &name, kind), ZARQ_OK);
    EXPECT_EQ(zarq::FileOpen(dir_, name.c_str(), &file, zarq::kOpenCreate), ZARQ_OK);
    EXPECT_EQ(zarq::FileSeek(file, 1, 0, zarq::kSeekStart), ZARQ_OK);
    return file;
  }
  void WriteFile(uint16_t kind, const std::vector<uint8_t>& bytes) {
    zarq::FileHandle file = Open(kind);
    ASSERT_EQ(zarq::FileSetSize(file, 0), ZARQ_OK);
    ASSERT_EQ(zarq::FileWrite(file, static_cast<uint32_t>(bytes.size()), bytes.data()), ZARQ_OK);
  }
  std::vector<uint8_t> ReadFile(uint16_t kind) {
    zarq::FileHandle file = Open(kind);
    uint32_t size = 0;
    EXPECT_EQ(zarq::FileGetSize(file, &size), ZARQ_OK);
    std::vector<uint8_t> bytes(size);
    if (size > 0) {
      EXPECT_EQ(zarq::FileRead(file, size, bytes.data()), ZARQ_OK);
    }
    return bytes;
  }
  std::vector<uint8_t> List() { return ReadFile(zarq::kKindSecurityList); }

  // The security list file: the header, then record i in slot i + 1.
  void WriteList(const zarq::SecurityListHeader& header,
                 const std::vector<zarq::SecurityRecord>& records) {
    std::vector<uint8_t> bytes((records.size() + 1) * zarq::kSecurityRecordSize);
    zarq::EncodeSecurityListHeader(header, bytes.data());
    for (size_t i = 0; i < records.size(); ++i) {
      zarq::EncodeSecurityRecord(records[i], &bytes[(i + 1) * zarq::kSecurityRecordSize]);
    }
    WriteFile(zarq::kKindSecurityList, bytes);
  }
  void WriteLinkedList(uint32_t n) { WriteList(ListHeader(n), LinkedRecords(n)); }

  zarq::SecurityListHeader StoredHeader() {
    zarq::SecurityListHeader header;
    zarq::DecodeSecurityListHeader(List().data(), &header);
    return header;
  }
  // The stored record of slot, read past the store.
  zarq::SecurityRecord Stored(uint32_t slot) { return RecordAt(List(), slot); }
  static zarq::SecurityRecord RecordAt(const std::vector<uint8_t>& list, uint32_t slot) {
    zarq::SecurityRecord record;
    size_t offset = size_t{slot} * zarq::kSecurityRecordSize;
    EXPECT_LE(offset + zarq::kSecurityRecordSize, list.size()) << "slot " << slot;
    if (offset + zarq::kSecurityRecordSize <= list.size()) {
      zarq::DecodeSecurityRecord(&list[offset], &record);
    }
    return record;
  }
  // The slots from first_slot on by NextSlot, checking every PrevSlot on
  // the way and that the walk ends at last_slot.
  std::vector<uint32_t> ListOrder(const zarq::SecurityListHeader& header) {
    std::vector<uint8_t> list = List();
    std::vector<uint32_t> order;
    uint32_t previous = 0;
    for (uint32_t slot = header.first_slot; slot != 0 && order.size() <= 6000;) {
      zarq::SecurityRecord record = RecordAt(list, slot);
      EXPECT_EQ(record.prev_slot, previous) << "slot " << slot;
      order.push_back(previous = slot);
      slot = record.next_slot;
    }
    EXPECT_EQ(header.last_slot, previous);
    return order;
  }

  zarq::DirectoryEntry* entry_ = nullptr;
};

}  // namespace zarq_test

#endif  // ZARQ_TESTS_MASTER_STORE_FIXTURE_H_
