// Adding, updating and deleting securities in one process: the exact bytes
// a new plain and a new composite security leave; refused additions and
// deletions that leave everything as it was; anchors; cascades; the list
// starting again once empty; updates; and a write failing at every point
// of an addition or a deletion, which leaves the change whole or not at
// all, with no lock held.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/security_handle.h"
#include "src/master/text_rules.h"
#include "src/security/lock_table.h"
#include "tests/security/list_checks.h"
#include "tests/security/security_fixture.h"
#include "tests/support/platform_doubles.h"

namespace zarq {
namespace {

class ChangesTest : public SecurityTest {
 protected:
  int32_t Add(ZarqSecurityInfo info, uint32_t anchor = 0, uint32_t* handle = nullptr) {
    int32_t status = ZARQ1_AddSecurity(dir_, &info, anchor);
    if (handle != nullptr) *handle = info.Handle;
    return status;
  }
  uint32_t Lookup(const char* symbol) {
    ZarqSecurityId id = {};
    id.DirNumber = dir_;
    std::snprintf(id.Symbol, sizeof(id.Symbol), "%s", symbol);
    id.Period = 'D';
    uint32_t handle = 0;
    ZARQ1_GetSecurityHandle(&id, &handle);
    return handle;
  }
  // The lock records that hold anything.
  std::set<uint32_t> HeldRecords() {
    std::set<uint32_t> held;
    const std::string locks = LockFile();
    for (uint32_t n = 1; (n + 1) * kLockRecordSize <= locks.size(); ++n) {
      if (LockAt(n) != std::string(kLockRecordSize, '\0')) held.insert(n);
    }
    return held;
  }
  std::string IndexEntryBytes(uint32_t slot) {
    const std::string index = folder_.ReadFile("~ZARQ.INX");
    for (size_t at = kIndexRecordSize; at + kIndexRecordSize <= index.size();
         at += kIndexRecordSize) {
      if (GetU32(Raw(index, at + 34)) == slot) return index.substr(at, kIndexRecordSize);
    }
    return "";
  }
};

// The 38 bytes of an index entry.
std::string EntryBytes(const char* symbol, const char* symbol2, char op, uint32_t slot) {
  std::string bytes(kIndexRecordSize, '\0');
  bytes.replace(0, std::strlen(symbol), symbol);
  bytes.replace(15, std::strlen(symbol2), symbol2);
  bytes[30] = op;
  bytes[31] = 'D';
  PutU32(reinterpret_cast<uint8_t*>(&bytes[34]), slot);
  return bytes;
}

// The header and the counted records of the list or the index file (both
// keep their count at offset 10); what lies beyond means nothing.
std::string Counted(const std::string& file, size_t record_size) {
  return file.substr(0, (GetU32(Raw(file, 10)) + size_t{1}) * record_size);
}

std::string RecordBytes(const SecurityRecord& record) {
  std::string bytes(kSecurityRecordSize, '\0');
  EncodeSecurityRecord(record, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

TEST_F(ChangesTest, NewSecuritiesAreStoredByteForByte) {
  FindDirectory(dir_)->flags |= kDirFieldListFiles;
  WriteDataFile(3, 3);                                                 // the primary: 2010
  EditList([](SecurityList& list) { list.at(4).field_mask = 0x1F; });  // the secondary: 5 fields
  ASSERT_EQ(ListHeader().next_file_number, 32u);

  ZarqSecurityInfo plain = DailyInfo("NEW");
  plain.Period = 'd';
  plain.Interval = 5;        // not intraday: no interval,
  plain.StartTime = 930000;  // no times,
  plain.BaseDate = 0;        // the first date as base date
  plain.Flagged = 9;
  plain.ExtraCode = 7;
  SecurityRecord want_plain = zarq_test::DailySecurity("NEW", 32);
  want_plain.slot = 32;
  want_plain.extra_code = 7;
  want_plain.flagged = 1;
  want_plain.base_date = want_plain.first_date = 20100104;
  want_plain.last_date = 20101231;
  want_plain.prev_slot = 31;

  ZarqSecurityInfo composite = CompositeInfo("S3", "S4", '/');
  composite.PrimaryFactor = 2.0f;
  composite.SecondaryFactor = 0.5f;
  composite.FirstDate = composite.LastDate = 19990101;  // a composite's come from its primary
  SecurityRecord want_composite = zarq_test::CompositeSecurity("S3", "S4", '/', 3, 4, 33);
  std::strcpy(want_composite.name, "Name of S3");
  want_composite.slot = 33;
  want_composite.field_mask = 0x1F;  // the fields both components have
  want_composite.primary_factor = 2.0f;
  want_composite.secondary_factor = 0.5f;
  want_composite.base_date = 20100104;
  want_composite.first_date = 20100104;
  want_composite.last_date = 20101231;
  want_composite.primary_slot = 3;
  want_composite.secondary_slot = 4;
  want_composite.prev_slot = 32;

  const struct {
    ZarqSecurityInfo info;
    SecurityRecord want;
    std::string entry;
    std::string data_file;
    std::string field_list;
  } cases[] = {
      {plain, want_plain, EntryBytes("NEW", "", 0, 32),
       std::string("\0\0\1\0", 4) + std::string(24, '\0'),
       "\"DATE\",0,0\r\n\"OPEN\",5,5\r\n\"HIGH\",5,5\r\n\"LOW\",5,5\r\n\"CLOSE\",5,5\r\n"
       "\"VOL\",0,0\r\n\"OI\",0,0\r\n\x1A"},
      {composite, want_composite, EntryBytes("S3", "S4", '/', 33),
       std::string("\0\0\1\0", 4) + std::string(16, '\0'),
       "\"DATE\",0,0\r\n\"HIGH\",5,5\r\n\"LOW\",5,5\r\n\"CLOSE\",5,5\r\n\"VOL\",0,0\r\n\x1A"},
  };
  for (const auto& c : cases) {
    ZarqSecurityInfo info = c.info;
    ASSERT_EQ(ZARQ1_AddSecurity(dir_, &info, 0), ZARQ_OK) << c.want.symbol;
    const uint32_t n = c.want.slot;
    EXPECT_EQ(info.Handle, MakeSecurityHandle(dir_, n, c.want.composite != 0));
    EXPECT_EQ(info.BaseDate, c.want.base_date);
    EXPECT_EQ(info.FieldMask, c.want.field_mask);
    EXPECT_EQ(folder_.ReadFile("~ZARQ.SEC").substr(n * kSecurityRecordSize, kSecurityRecordSize),
              RecordBytes(c.want))
        << n;
    EXPECT_EQ(IndexEntryBytes(n), c.entry) << n;
    const std::string name = "F" + std::to_string(n);
    EXPECT_EQ(folder_.ReadFile(name + ".DAT"), c.data_file) << n;
    EXPECT_EQ(folder_.ReadFile(name + ".DOP"), c.field_list) << n;
  }
  EXPECT_EQ(Counts(ListHeader()), std::make_tuple(33, 33, 1, 33, 34));
  EXPECT_EQ(ListRecord(32).next_slot, 33u);
  EXPECT_EQ(ListRecord(3).next_primary_user, 33u);    // the composite joins its components'
  EXPECT_EQ(ListRecord(4).next_secondary_user, 33u);  // chains
  EXPECT_EQ(DecodeLockFileHeader(Raw(LockFile())).record_count, 33u);
  EXPECT_TRUE(HeldRecords().empty());  // the components' holds end with the addition
  EXPECT_TRUE(Table().empty());
  CheckListAgrees(folder_);
}

// Each refused addition leaves the list, its index and the lock table as
// they were, and no lock-file record but those held before.
TEST_F(ChangesTest, RefusedAdditionsChangeNothing) {
  for (uint32_t n : {1u, 2u, 5u}) WriteDataFile(n, 3);  // else locking a component makes one
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(6), ZARQ_WRITE_LOCK), ZARQ_OK);
  ZarqSecurityInfo no_date = DailyInfo("NEW");
  no_date.FirstDate = 0;
  ZarqSecurityInfo six_fields_and_oi = DailyInfo("NEW");
  six_fields_and_oi.FieldMask = 0x5F;
  const struct {
    const char* what;
    ZarqSecurityInfo info;
    int32_t status;
  } cases[] = {
      {"identity listed", DailyInfo("S5"), ZARQ_E_SECURITY_EXISTS},
      {"composite listed", CompositeInfo("S1", "S2", '-'), ZARQ_E_SECURITY_EXISTS},
      {"no primary", CompositeInfo("NONE", "S2", '-'), ZARQ_E_NO_PRIMARY},
      {"no secondary", CompositeInfo("S1", "NONE", '-'), ZARQ_E_NO_SECONDARY},
      {"one security twice", CompositeInfo("S5", "S5", '+'), ZARQ_E_SAME_COMPONENTS},
      {"a component written here", CompositeInfo("S5", "S6", '+'), ZARQ_E_LOCK_CONFLICT},
      {"no first date", no_date, ZARQ_E_BAD_DATE},
      {"mask", six_fields_and_oi, ZARQ_E_BAD_FIELD_MASK},
  };
  for (const auto& c : cases) {
    const std::string list = folder_.ReadFile("~ZARQ.SEC");
    const std::string index = Counted(folder_.ReadFile("~ZARQ.INX"), kIndexRecordSize);
    const auto table = Table();
    const auto files = FolderFiles(folder_);
    EXPECT_EQ(Add(c.info), c.status) << c.what;
    EXPECT_TRUE(folder_.ReadFile("~ZARQ.SEC") == list) << c.what;
    EXPECT_TRUE(Counted(folder_.ReadFile("~ZARQ.INX"), kIndexRecordSize) == index) << c.what;
    EXPECT_EQ(Table(), table) << c.what;
    EXPECT_EQ(FolderFiles(folder_), files) << c.what;
    EXPECT_EQ(HeldRecords(), std::set<uint32_t>{6}) << c.what;
  }
  EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(6)), ZARQ_OK);
  EXPECT_EQ(ZARQ1_AddSecurity(dir_ + 1, nullptr, 0), ZARQ_E_INVALID_ARGUMENT);
  ZarqSecurityInfo info = DailyInfo("NEW");
  EXPECT_EQ(ZARQ1_AddSecurity(dir_ + 1, &info, 0), ZARQ_E_DIRECTORY_NOT_OPEN);
}

TEST_F(ChangesTest, AnAnchorPlacesTheNewSecurity) {
  ASSERT_EQ(ZARQ1_DeleteSecurity(Handle(9), 0), ZARQ_OK);
  SetNextInvalidSymbolNumberForTesting(77);
  const struct {
    const char* symbol;
    uint32_t anchor;
    uint32_t prev, next;  // its neighbours
  } cases[] = {
      {"FIRST", Handle(1), 0, 1},                           // before the first
      {"MIDDLE", Handle(20), 19, 20},                       // before another
      {"LATE", Handle(9), 31, 0},                           // a deleted anchor: at the end
      {"", MakeSecurityHandle(dir_ + 1, 1, false), 34, 0},  // another directory's; "INVALID77"
  };
  uint32_t slot = 32;
  for (const auto& c : cases) {
    ZarqSecurityInfo info = DailyInfo(c.symbol);
    ASSERT_EQ(ZARQ1_AddSecurity(dir_, &info, c.anchor), ZARQ_OK) << c.symbol;
    EXPECT_EQ(SlotOfHandle(info.Handle), slot);
    SecurityRecord record = ListRecord(slot);
    EXPECT_EQ(std::make_tuple(record.prev_slot, record.next_slot), std::make_tuple(c.prev, c.next))
        << c.symbol;
    if (c.next != 0) {
      EXPECT_EQ(ListRecord(c.next).prev_slot, slot);
    }
    ++slot;
  }
  EXPECT_STREQ(ListRecord(35).symbol, "INVALID77");
  EXPECT_EQ(ListHeader().first_slot, 32u);
  EXPECT_EQ(ListHeader().last_slot, 35u);
  CheckListAgrees(folder_);
}

TEST_F(ChangesTest, ADeletionCascadesOnlyWhenAsked) {
  uint32_t second = 0;  // S1 + S5: a second composite on S1
  ASSERT_EQ(Add(CompositeInfo("S1", "S5", '+'), 0, &second), ZARQ_OK);
  for (uint32_t n : {1u, 31u, 32u}) WriteDataFile(n, 3);
  const std::string list = folder_.ReadFile("~ZARQ.SEC");
  EXPECT_EQ(ZARQ1_DeleteSecurity(Handle(1), 0), ZARQ_E_USED_BY_COMPOSITES);
  EXPECT_TRUE(folder_.ReadFile("~ZARQ.SEC") == list);
  EXPECT_TRUE(HeldRecords().empty());
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ(RangesHeld(), 0);

  ASSERT_EQ(ZARQ1_DeleteSecurity(Handle(1), 1), ZARQ_OK);
  for (uint32_t handle : {Handle(1), Handle(31) | kCompositeHandleBit, second}) {
    ZarqSecurityInfo info;
    EXPECT_EQ(ZARQ1_GetSecurityInfo(handle, &info), ZARQ_E_NO_SUCH_SECURITY) << handle;
    EXPECT_FALSE(folder_.Exists("F" + std::to_string(SlotOfHandle(handle)) + ".DAT")) << handle;
  }
  EXPECT_EQ(ListRecord(2).next_secondary_user, 0u);
  EXPECT_EQ(ListRecord(5).next_secondary_user, 0u);
  EXPECT_EQ(Lookup("S1"), 0u);
  // Deleted records stay in the chain. File number 32 was the last given
  // out: it is free again; 31 and 1 lie below.
  EXPECT_EQ(Counts(ListHeader()), std::make_tuple(32, 29, 1, 32, 32));
  EXPECT_TRUE(HeldRecords().empty());
  EXPECT_TRUE(Table().empty());
  CheckListAgrees(folder_);
  EXPECT_EQ(ZARQ1_DeleteSecurity(Handle(1), 1), ZARQ_E_NO_SUCH_SECURITY);
}

class OneSecurityTest : public ChangesTest {
  std::vector<SecurityRecord> Records() override { return zarq_test::NumberedSecurities(1); }
};

TEST_F(OneSecurityTest, DeletingTheOnlySecurityStartsTheListAgain) {
  ASSERT_EQ(ZARQ1_DeleteSecurity(Handle(1), 0), ZARQ_OK);
  EXPECT_EQ(Counts(ListHeader()), std::make_tuple(0, 0, 0, 0, 1));
  uint32_t handle = 0;
  ASSERT_EQ(Add(DailyInfo("NEW"), 0, &handle), ZARQ_OK);
  EXPECT_EQ(handle, Handle(1));
  EXPECT_EQ(ListRecord(1).file_number, 1u);
  EXPECT_EQ(Counts(ListHeader()), std::make_tuple(1, 1, 1, 1, 2));
  EXPECT_EQ(Size("F1.DAT"), 28u);
  CheckListAgrees(folder_);
}

TEST_F(ChangesTest, UpdatesChangeTheWorkingCopyAsAllowed) {
  WriteDataFile(6, 3);  // records from 2010-01-04; S5 has none
  const uint32_t composite = Handle(31) | kCompositeHandleBit;
  for (uint32_t handle : {Handle(5), Handle(6), Handle(7), composite}) {
    ASSERT_EQ(ZARQ1_LockSecurity(handle, ZARQ_DEFINITION_LOCK), ZARQ_OK) << handle;
  }
  auto update = [](auto fill) {
    ZarqSecurityUpdate u = {};
    fill(u);
    return u;
  };
  const struct {
    const char* what;
    uint32_t handle;
    ZarqSecurityUpdate update;
    int32_t status;
  } cases[] = {
      {"fields", Handle(5), update([](ZarqSecurityUpdate& u) {
         std::strcpy(u.Name, "New name  ");
         u.Flagged = 3;
         u.ExtraDate = 20050110;
         u.ExtraValue = 9;
         u.PrimaryFactor = 2.0f;  // ignored: a plain security has none
         u.ChangeName = u.ChangeFlagged = u.ChangeExtraDate = u.ChangeExtraValue = 1;
         u.ChangePrimaryFactor = 1;
       }),
       ZARQ_OK},
      {"base date, no records", Handle(5), update([](ZarqSecurityUpdate& u) {
         u.BaseDate = 20050105;
         u.ChangeBaseDate = 1;
       }),
       ZARQ_OK},
      {"base date after the first record", Handle(6), update([](ZarqSecurityUpdate& u) {
         u.BaseDate = 20120101;
         u.ChangeBaseDate = 1;
       }),
       ZARQ_OK},
      {"symbol listed", Handle(7), update([](ZarqSecurityUpdate& u) {
         std::strcpy(u.Symbol, "S8");
         std::strcpy(u.Name, "lost with the symbol");
         u.ChangeSymbol = u.ChangeName = 1;
       }),
       ZARQ_E_SECURITY_EXISTS},
      {"symbol", Handle(7), update([](ZarqSecurityUpdate& u) {
         std::strcpy(u.Symbol, "RENAMED");
         u.ChangeSymbol = 1;
       }),
       ZARQ_OK},
      {"factors", composite, update([](ZarqSecurityUpdate& u) {
         u.PrimaryFactor = 3.0f;
         u.SecondaryFactor = 0.25f;
         u.ChangePrimaryFactor = u.ChangeSecondaryFactor = 1;
       }),
       ZARQ_OK},
      {"composite base date", composite,
       update([](ZarqSecurityUpdate& u) { u.ChangeBaseDate = 1; }), ZARQ_E_IS_COMPOSITE},
      {"composite symbol", composite, update([](ZarqSecurityUpdate& u) {
         std::strcpy(u.Symbol, "X");
         u.ChangeSymbol = 1;
       }),
       ZARQ_E_IS_COMPOSITE},
      {"bad extra code", Handle(6), update([](ZarqSecurityUpdate& u) {
         u.ExtraCode = 200;
         u.ChangeExtraCode = 1;
       }),
       ZARQ_E_BAD_EXTRA_CODE},
      {"not locked", Handle(8), {}, ZARQ_E_NOT_LOCKED},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ZARQ1_UpdateSecurity(c.handle, &c.update), c.status) << c.what;
  }
  EXPECT_EQ(ZARQ1_UpdateSecurity(Handle(5), nullptr), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(Lookup("RENAMED"), Handle(7));  // the index and the record follow at once
  EXPECT_EQ(Lookup("S7"), 0u);
  EXPECT_STREQ(ListRecord(7).symbol, "RENAMED");
  for (uint32_t handle : {Handle(5), Handle(6), Handle(7), composite}) {
    ASSERT_EQ(ZARQ1_UnlockSecurity(handle), ZARQ_OK) << handle;
  }
  const SecurityRecord s5 = ListRecord(5), s6 = ListRecord(6), s7 = ListRecord(7),
                       s31 = ListRecord(31);
  EXPECT_STREQ(s5.name, "New name");
  EXPECT_EQ(std::make_tuple(s5.flagged, s5.extra_date, s5.extra_value, s5.primary_factor),
            std::make_tuple(1, 20050110, 9u, 0.0f));
  EXPECT_EQ(std::make_tuple(s5.base_date, s5.first_date, s5.last_date),
            std::make_tuple(20050105, 20050105, 20050105));
  EXPECT_EQ(std::make_tuple(s6.base_date, s6.first_date, s6.extra_code),
            std::make_tuple(20100104, 20100104, 0));
  EXPECT_EQ(std::make_tuple(std::string(s7.symbol), std::string(s7.name)),
            std::make_tuple(std::string("RENAMED"), std::string("Name of S7")));
  EXPECT_EQ(std::make_tuple(s31.primary_factor, s31.secondary_factor),
            std::make_tuple(3.0f, 0.25f));

  ASSERT_EQ(ZARQ1_LockSecurity(Handle(6), ZARQ_WRITE_LOCK), ZARQ_OK);
  ZarqSecurityUpdate earlier = {};
  earlier.BaseDate = 20050101;
  earlier.ChangeBaseDate = 1;
  EXPECT_EQ(ZARQ1_UpdateSecurity(Handle(6), &earlier), ZARQ_E_LOCK_TOO_WEAK);
  ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(6)), ZARQ_OK);
  ASSERT_EQ(ZARQ1_LockSecurity(Handle(6), ZARQ_FULL_LOCK), ZARQ_OK);
  EXPECT_EQ(ZARQ1_UpdateSecurity(Handle(6), &earlier), ZARQ_OK);
  ASSERT_EQ(ZARQ1_UnlockSecurity(Handle(6)), ZARQ_OK);
  EXPECT_EQ(ListRecord(6).base_date, 20050101);
  CheckListAgrees(folder_);
}

// Write k of an addition, then of a deletion, fails, for every k: the
// change is whole (the list agreeing with itself and the files) or not
// there at all (the list, the index and the files as before, up to what
// lies beyond their counts), and no lock is left held.
TEST_F(ChangesTest, AWriteFailingAnywhereLeavesAChangeWholeOrNotAtAll) {
  FindDirectory(dir_)->flags |= kDirFieldListFiles;
  WriteDataFile(10, 3);
  for (bool deleting : {false, true}) {
    bool unhindered = false;
    for (int k = 1; !unhindered && k < 200; ++k) {
      const std::string list = Counted(folder_.ReadFile("~ZARQ.SEC"), kSecurityRecordSize);
      const std::string index = Counted(folder_.ReadFile("~ZARQ.INX"), kIndexRecordSize);
      const auto files = FolderFiles(folder_);
      const uint32_t target = Lookup(deleting ? "S10" : "NEW");
      int32_t status = 0;
      size_t writes = 0;
      {
        zarq_test::InstalledFaults os;
        os.write_to_fail = k;
        status = deleting ? ZARQ1_DeleteSecurity(target, 0) : Add(DailyInfo("NEW"));
        writes = os.write_sizes.size();
      }
      unhindered = writes < static_cast<size_t>(k);
      if (unhindered) {
        EXPECT_EQ(status, ZARQ_OK);
      }
      const uint32_t after = Lookup(deleting ? "S10" : "NEW");
      const bool done = deleting ? after == 0 : after != 0;
      if (!Table().empty()) {
        // Only the final unlock failed: the change is whole and still held.
        EXPECT_TRUE(done) << k;
        EXPECT_NE(status, ZARQ_OK) << k;
        EXPECT_EQ(ZARQ1_UnlockSecurity(Table().size() == 1 ? std::get<0>(Table()[0]) : 0), 0);
      }
      EXPECT_TRUE(Table().empty()) << k;
      EXPECT_TRUE(HeldRecords().empty()) << k;
      EXPECT_EQ(RangesHeld(), 0) << k;
      CheckListAgrees(folder_);
      if (!done) {
        EXPECT_NE(status, ZARQ_OK) << k;
        EXPECT_TRUE(Counted(folder_.ReadFile("~ZARQ.SEC"), kSecurityRecordSize) == list) << k;
        EXPECT_TRUE(Counted(folder_.ReadFile("~ZARQ.INX"), kIndexRecordSize) == index) << k;
        EXPECT_EQ(FolderFiles(folder_), files) << k;
        continue;
      }
      const uint32_t number = ListRecord(SlotOfHandle(deleting ? target : after)).file_number;
      EXPECT_EQ(folder_.Exists("F" + std::to_string(number) + ".DAT"), !deleting) << k;
      // Back to the start for the next k.
      ASSERT_EQ(deleting ? Add(DailyInfo("S10")) : ZARQ1_DeleteSecurity(after, 0), ZARQ_OK) << k;
    }
    EXPECT_TRUE(unhindered);
  }
}

}  // namespace
}  // namespace zarq
