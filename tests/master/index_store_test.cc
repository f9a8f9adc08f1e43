// The security index file: sorted insertion and removal against a sort
// done here, duplicates and missing entries, header checks, the header
// lock kept between a read and the write that ends a change, and a failed
// write that must leave the file as it was.

#include "src/master/index_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/master/text_rules.h"
#include "tests/master/store_fixture.h"

namespace zarq {
namespace {

using zarq_test::FailingWrites;
using zarq_test::PlainRecord;

IndexHeader IndexHeaderOf(uint32_t count = 0) {
  IndexHeader header;
  header.stamp = zarq_test::kTestStamp;
  header.entry_count = count;
  return header;
}

class IndexTest : public zarq_test::StoreTest {
 protected:
  void WriteIndex(const std::vector<IndexEntry>& entries, IndexHeader header = IndexHeaderOf()) {
    std::vector<uint8_t> bytes((entries.size() + 1) * kIndexRecordSize);
    EncodeIndexHeader(header, bytes.data());
    for (size_t i = 0; i < entries.size(); ++i) {
      EncodeIndexEntry(entries[i], &bytes[(i + 1) * kIndexRecordSize]);
    }
    WriteFile(kKindIndex, bytes);
  }
  // The entries 1..EntryCount of the file.
  std::vector<IndexEntry> Entries() {
    std::vector<uint8_t> bytes = ReadFile(kKindIndex);
    IndexHeader header;
    EXPECT_EQ(DecodeIndexHeader(bytes.data(), &header), ZARQ_OK);
    std::vector<IndexEntry> entries(header.entry_count);
    EXPECT_GE(bytes.size(), (entries.size() + 1) * kIndexRecordSize);
    for (size_t i = 0; i < entries.size(); ++i) {
      DecodeIndexEntry(&bytes[(i + 1) * kIndexRecordSize], &entries[i]);
    }
    return entries;
  }
  static void Sort(std::vector<IndexEntry>* entries) {
    std::sort(entries->begin(), entries->end(), [](const IndexEntry& a, const IndexEntry& b) {
      return CompareIndexEntries(a, b) < 0;
    });
  }
};

// Records with distinct identities of every shape the order knows:
// symbols of mixed case and high bytes, all periods, intervals,
// composites of the same symbol with different second symbols.
std::vector<SecurityRecord> VariedRecords(int count, std::mt19937* rng) {
  const char letters[] = {'A', 'B', 'a', 'b', '0', '_', '\xC4', '\xE9'};
  std::vector<SecurityRecord> records;
  std::vector<IndexEntry> seen;
  while (static_cast<int>(records.size()) < count) {
    SecurityRecord r = PlainRecord(static_cast<uint32_t>(records.size() + 1));
    auto text = [&](char* out, int most) {
      std::memset(out, 0, kSymbolFieldSize);
      int length = 1 + static_cast<int>((*rng)() % most);
      for (int i = 0; i < length; ++i) out[i] = letters[(*rng)() % sizeof(letters)];
      out[length] = '\0';
    };
    text(r.symbol, 4);
    r.period = "DWMI"[(*rng)() % 4];
    r.interval = r.period == 'I' ? static_cast<uint16_t>(1 + (*rng)() % 3) : 0;
    if ((*rng)() % 4 == 0) {
      r.composite = 1;
      r.op = "+-*/"[(*rng)() % 4];
      text(r.symbol2, 3);
    }
    IndexEntry entry = IndexEntryFor(r);
    bool duplicate = std::any_of(seen.begin(), seen.end(), [&](const IndexEntry& e) {
      return CompareIndexEntries(e, entry) == 0;
    });
    if (duplicate) continue;
    seen.push_back(entry);
    records.push_back(r);
  }
  return records;
}

TEST_F(IndexTest, RandomInsertionsAndRemovalsKeepTheFileSorted) {
  WriteIndex({});
  std::mt19937 rng(20240611);
  std::vector<SecurityRecord> records = VariedRecords(300, &rng);
  std::shuffle(records.begin(), records.end(), rng);
  for (const SecurityRecord& r : records) ASSERT_EQ(AddToIndex(dir_, r), ZARQ_OK) << r.symbol;

  std::vector<IndexEntry> expected;
  for (const SecurityRecord& r : records) expected.push_back(IndexEntryFor(r));
  Sort(&expected);
  ASSERT_EQ(Entries(), expected);

  // The same identity under another slot is refused and changes nothing.
  std::vector<uint8_t> before = ReadFile(kKindIndex);
  for (int i = 0; i < 20; ++i) {
    SecurityRecord again = records[rng() % records.size()];
    again.slot = 5999;
    std::strcpy(again.name, "another name");
    EXPECT_EQ(AddToIndex(dir_, again), ZARQ_E_SECURITY_EXISTS) << again.symbol;
  }
  EXPECT_EQ(ReadFile(kKindIndex), before);

  std::shuffle(records.begin(), records.end(), rng);
  std::vector<SecurityRecord> removed(records.begin(), records.begin() + 150);
  for (const SecurityRecord& r : removed) ASSERT_EQ(RemoveFromIndex(dir_, r), ZARQ_OK);
  expected.clear();
  for (size_t i = 150; i < records.size(); ++i) expected.push_back(IndexEntryFor(records[i]));
  Sort(&expected);
  EXPECT_EQ(Entries(), expected);

  before = ReadFile(kKindIndex);
  EXPECT_EQ(RemoveFromIndex(dir_, removed[0]), ZARQ_E_INDEX_ENTRY_MISSING);
  EXPECT_EQ(ReadFile(kKindIndex), before);
  EXPECT_FALSE(IndexHeaderHeld(dir_));
}

TEST_F(IndexTest, ReplacingAnIdentity) {
  std::vector<SecurityRecord> records = {PlainRecord(1), PlainRecord(2), PlainRecord(3)};
  WriteIndex({});
  for (const SecurityRecord& r : records) ASSERT_EQ(AddToIndex(dir_, r), ZARQ_OK);

  SecurityRecord renamed = records[1];
  std::strcpy(renamed.symbol, "A-FIRST");
  ASSERT_EQ(ReplaceInIndex(dir_, records[1], renamed), ZARQ_OK);
  std::vector<IndexEntry> entries = Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], IndexEntryFor(renamed));

  // Onto an identity that exists: refused, nothing changed.
  std::vector<uint8_t> before = ReadFile(kKindIndex);
  SecurityRecord clash = records[0];
  std::strcpy(clash.symbol, "S3");
  EXPECT_EQ(ReplaceInIndex(dir_, records[0], clash), ZARQ_E_SECURITY_EXISTS);
  EXPECT_EQ(ReadFile(kKindIndex), before);

  // An old entry that is missing: the new one is taken out again.
  SecurityRecord ghost = PlainRecord(9);
  SecurityRecord ghost_renamed = ghost;
  std::strcpy(ghost_renamed.symbol, "NEW");
  EXPECT_EQ(ReplaceInIndex(dir_, ghost, ghost_renamed), ZARQ_E_INDEX_ENTRY_MISSING);
  EXPECT_EQ(Entries(), entries);
}

TEST_F(IndexTest, AFailedWriteAfterTheGapOpenedClosesItAgain) {
  std::vector<IndexEntry> entries;
  for (uint32_t slot = 1; slot <= 50; ++slot) entries.push_back(IndexEntryFor(PlainRecord(slot)));
  Sort(&entries);
  WriteIndex(entries, IndexHeaderOf(50));
  std::vector<uint8_t> before = ReadFile(kKindIndex);

  SecurityRecord first = PlainRecord(60);
  std::strcpy(first.symbol, "0FIRST");
  FailingWrites os;
  os.write_to_fail = 2;  // the moved block is write 1; the new entry write 2
  zarq_test::ScopedPlatform installed(&os);
  EXPECT_EQ(AddToIndex(dir_, first), ZARQ_E_ACCESS_DENIED);
  EXPECT_EQ(ReadFile(kKindIndex), before);
  EXPECT_FALSE(IndexHeaderHeld(dir_));
  EXPECT_EQ(os.lock_calls, os.unlock_calls);
}

TEST_F(IndexTest, HeaderChecksAndLimits) {
  struct Case {
    const char* what;
    IndexHeader header;
    int32_t expected;
  };
  IndexHeader bad_magic = IndexHeaderOf(), bad_version = IndexHeaderOf(),
              bad_stamp = IndexHeaderOf();
  bad_magic.magic = kSecurityListMagic;
  bad_version.file_version = 801;
  bad_stamp.stamp = 1;
  IndexHeader full = IndexHeaderOf(6000);
  const Case cases[] = {
      {"magic", bad_magic, ZARQ_E_BAD_INDEX_FILE},
      {"version", bad_version, ZARQ_E_BAD_VERSION},
      {"stamp", bad_stamp, ZARQ_E_STAMP_MISMATCH},
      {"full", full, ZARQ_E_DIRECTORY_FULL},
  };
  for (const Case& c : cases) {
    WriteIndex({}, c.header);
    std::vector<uint8_t> before = ReadFile(kKindIndex);
    zarq_test::FaultPlatform os;
    zarq_test::ScopedPlatform installed(&os);
    EXPECT_EQ(AddToIndex(dir_, PlainRecord(1)), c.expected) << c.what;
    EXPECT_EQ(ReadFile(kKindIndex), before) << c.what;
    EXPECT_EQ(os.lock_calls, os.unlock_calls) << c.what;
    EXPECT_FALSE(IndexHeaderHeld(dir_));
  }
  // Removal from an empty index is no failure.
  WriteIndex({});
  EXPECT_EQ(RemoveFromIndex(dir_, PlainRecord(1)), ZARQ_OK);
  // A replacement may pass 6000 for the moment; no further.
  uint32_t count = 6001;
  EXPECT_EQ(IndexInsert(Open(kKindIndex), &count, PlainRecord(1), true), ZARQ_E_DIRECTORY_FULL);

  entry_->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(AddToIndex(dir_, PlainRecord(1)), ZARQ_E_NOT_REGISTERED);
  IndexHeader header;
  EXPECT_EQ(AccessIndexHeader(static_cast<uint8_t>(dir_ + 1), Open(kKindIndex), &header,
                              IndexHeaderAccess::kRead, false),
            ZARQ_E_DIRECTORY_NOT_OPEN);
}

TEST_F(IndexTest, AKeptHeaderLockIsPerDirectory) {
  WriteIndex({});
  zarq_test::TempFolder other_folder;
  uint8_t other = 0;
  ASSERT_EQ(ZARQ1_OpenDirectory(other_folder.path().c_str(), &other, 0), ZARQ_OPENED_NO_DATABASE);
  DirectoryEntry* other_entry = FindDirectory(other);
  other_entry->flags |= kDirHoldsDatabase;
  other_entry->user_file_stamp = zarq_test::kTestStamp;
  std::string name;
  ASSERT_EQ(BuildDirFileName(other, &name, kKindIndex), ZARQ_OK);
  FileHandle other_file = kNoFileHandle;
  ASSERT_EQ(FileOpen(other, name.c_str(), &other_file, kOpenCreate), ZARQ_OK);
  uint8_t bytes[kIndexRecordSize];
  EncodeIndexHeader(IndexHeaderOf(), bytes);
  ASSERT_EQ(FileWrite(other_file, kIndexRecordSize, bytes), ZARQ_OK);

  FileHandle file = Open(kKindIndex);
  IndexHeader header, other_header;
  ASSERT_EQ(AccessIndexHeader(dir_, file, &header, IndexHeaderAccess::kRead, true), ZARQ_OK);
  EXPECT_TRUE(IndexHeaderHeld(dir_));
  EXPECT_TRUE(FileHasLocks(file));
  // Another directory's whole access neither takes nor gives up this one.
  ASSERT_EQ(AccessIndexHeader(other, other_file, &other_header, IndexHeaderAccess::kRead, false),
            ZARQ_OK);
  EXPECT_FALSE(FileHasLocks(other_file));
  EXPECT_TRUE(IndexHeaderHeld(dir_));
  EXPECT_TRUE(FileHasLocks(file));
  // Nested in the held lock, a read does not lock twice; the write ends it.
  ASSERT_EQ(AccessIndexHeader(dir_, file, &header, IndexHeaderAccess::kRead, true), ZARQ_OK);
  ASSERT_EQ(AccessIndexHeader(dir_, file, &header, IndexHeaderAccess::kWrite, false), ZARQ_OK);
  EXPECT_FALSE(IndexHeaderHeld(dir_));
  EXPECT_FALSE(FileHasLocks(file));

  other_entry->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(ZARQ1_CloseDirectory(other), ZARQ_OK);
}

}  // namespace
}  // namespace zarq
