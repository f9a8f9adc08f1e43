// Security records as callers see them (ZarqSecurityInfo) both ways, and
// the format level: raised by additions, reported by ordinal 211.

#include "src/master/security_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/master/format_levels.h"
#include "src/master/security_store.h"
#include "tests/master/sample_records.h"
#include "tests/master/store_fixture.h"

namespace zarq {
namespace {

using zarq_test::LinkedRecords;
using zarq_test::ListHeader;
using zarq_test::PlainRecord;

class SecurityInfoTest : public zarq_test::StoreTest {
 protected:
  // Slot 2 of three holds the intraday composite of the samples.
  void SetUp() override {
    StoreTest::SetUp();
    std::vector<SecurityRecord> records = LinkedRecords(3);
    SecurityRecord composite = zarq_test::IntradayComposite();
    composite.slot = 2;
    composite.prev_slot = 1;
    composite.next_slot = 3;
    records[1] = composite;
    WriteList(ListHeader(3), records);
  }
};

TEST_F(SecurityInfoTest, RecordToInfo) {
  ZarqSecurityInfo info;
  std::memset(&info, 0xAB, sizeof(info));
  uint32_t prev = 99, next = 99;
  ASSERT_EQ(RecordToInfo(Handle(2), &prev, &next, &info), ZARQ_OK);
  EXPECT_EQ(info.Size, 148u);
  EXPECT_EQ(info.Handle, Handle(2, true));  // the handle carries the composite flag
  EXPECT_STREQ(info.Symbol2, "MSFT");
  EXPECT_EQ(info.Reserved1[0] | info.Reserved1[1] | info.Reserved1[2] | info.Reserved2, 0);
  EXPECT_EQ(info.SecondaryFactor, -0.75f);
  EXPECT_EQ(info.LastTime, zarq_test::IntradayComposite().last_time);
  EXPECT_EQ(prev, 1u);
  EXPECT_EQ(next, 3u);

  // A locked security shows its working copy, with the file's links.
  {
    zarq_test::LockedCopies locked;
    SecurityRecord copy = Stored(2);
    std::strcpy(copy.name, "not yet written");
    copy.prev_slot = 42;
    locked.copies[Handle(2, true)] = copy;
    ASSERT_EQ(RecordToInfo(Handle(2), &prev, &next, &info), ZARQ_OK);
    EXPECT_STREQ(info.Name, "not yet written");
    EXPECT_EQ(prev, 1u);
    locked.failure = ZARQ_E_REGISTRATION_LOST;
    EXPECT_EQ(RecordToInfo(Handle(2), &prev, &next, &info), ZARQ_E_REGISTRATION_LOST);
  }

  SecurityRecord deleted = Stored(3);
  deleted.deleted = 1;
  ASSERT_EQ(AccessSecurityRecord(Handle(3), &deleted, SecurityAccess::kWriteData), ZARQ_OK);
  EXPECT_EQ(RecordToInfo(Handle(3), nullptr, nullptr, &info), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_STREQ(info.Symbol, "S3");  // filled all the same
  EXPECT_EQ(RecordToInfo(0, nullptr, nullptr, &info), ZARQ_E_NO_SUCH_SECURITY);
  EXPECT_EQ(info.Symbol[0], '\0');
  EXPECT_EQ(RecordToInfo(Handle(7), nullptr, nullptr, &info), ZARQ_E_NO_SUCH_SECURITY);
  entry_->flags |= kDirRegistrationLost;
  EXPECT_EQ(RecordToInfo(Handle(1), nullptr, nullptr, &info), ZARQ_E_REGISTRATION_LOST);
  entry_->flags &= ~(kDirRegistrationLost | kDirHoldsDatabase);
  EXPECT_EQ(RecordToInfo(Handle(1), nullptr, nullptr, &info), ZARQ_E_NOT_REGISTERED);
}

ZarqSecurityInfo DailyInfo() {
  ZarqSecurityInfo info{};
  std::strcpy(info.Symbol, "ab\tc  ");
  std::strcpy(info.Name, "A\x01 name  ");
  info.Period = 'd';
  info.Interval = 15;
  info.FirstTime = info.LastTime = info.StartTime = info.EndTime = 930000;
  info.Flagged = 7;
  info.ExtraCode = 3;
  info.FieldMask = 0x7F;
  info.BaseDate = info.FirstDate = 20200102;
  info.LastDate = 20200630;
  info.Symbol2[0] = 'X';  // no part of a plain security
  info.Operator = '+';
  return info;
}

TEST_F(SecurityInfoTest, InfoToRecordCleansAndKeepsWhatThePeriodAllows) {
  SecurityRecord r;
  ASSERT_EQ(InfoToRecord(9, 0, 0, DailyInfo(), 33, &r), ZARQ_OK);
  EXPECT_EQ(r.in_use, 1);
  EXPECT_EQ(r.slot, 9u);
  EXPECT_STREQ(r.symbol, "abc");
  EXPECT_STREQ(r.name, "A name");
  EXPECT_EQ(r.period, 'D');
  EXPECT_EQ(r.interval, 0);
  EXPECT_EQ(r.first_time | r.last_time | r.start_time | r.end_time, 0);
  EXPECT_EQ(r.file_number, 33u);
  EXPECT_EQ(r.flagged, 1);
  EXPECT_EQ(r.composite, 0);
  EXPECT_EQ(r.op, 0);
  EXPECT_EQ(r.symbol2[0], '\0');

  ZarqSecurityInfo intraday = DailyInfo();
  intraday.Period = 'i';
  intraday.FieldMask = 0xBF;
  intraday.EndTime = 1600000;
  ASSERT_EQ(InfoToRecord(9, 0, 0, intraday, 33, &r), ZARQ_OK);
  EXPECT_EQ(r.period, 'I');
  EXPECT_EQ(r.interval, 15);
  EXPECT_EQ(r.start_time, 930000);
  EXPECT_EQ(r.end_time, 1600000);

  ZarqSecurityInfo bad = DailyInfo();
  bad.Period = 'Q';
  EXPECT_EQ(InfoToRecord(9, 0, 0, bad, 33, &r), ZARQ_E_BAD_PERIOD);
}

TEST_F(SecurityInfoTest, ACompositeTakesFromItsLockedComponents) {
  zarq_test::LockedCopies locked;
  SecurityRecord primary = PlainRecord(1);
  primary.file_number = 11;
  primary.first_date = 20190301;
  primary.last_date = 20190930;
  SecurityRecord secondary = PlainRecord(3);
  secondary.file_number = 13;
  secondary.field_mask = 0x3F;
  locked.copies[Handle(1)] = primary;

  ZarqSecurityInfo info = DailyInfo();
  info.Composite = 1;
  std::strcpy(info.Symbol2, " q\x02r");
  info.Operator = '*';
  info.PrimaryFactor = 2.0f;
  info.SecondaryFactor = 0.5f;
  SecurityRecord r;
  EXPECT_EQ(InfoToRecord(9, Handle(1), Handle(3), info, 40, &r), ZARQ_E_NOT_LOCKED);
  locked.copies[Handle(3)] = secondary;
  ASSERT_EQ(InfoToRecord(9, Handle(1), Handle(3), info, 40, &r), ZARQ_OK);
  EXPECT_EQ(r.composite, 1);
  EXPECT_STREQ(r.symbol2, " qr");
  EXPECT_EQ(r.op, '*');
  EXPECT_EQ(r.primary_factor, 2.0f);
  EXPECT_EQ(r.primary_slot, 1u);
  EXPECT_EQ(r.secondary_slot, 3u);
  EXPECT_EQ(r.primary_file_number, 11u);
  EXPECT_EQ(r.secondary_file_number, 13u);
  EXPECT_EQ(r.first_date, 20190301);
  EXPECT_EQ(r.last_date, 20190930);
  EXPECT_EQ(r.field_mask, 0x3F);  // the fields both components have
}

TEST_F(SecurityInfoTest, FormatLevelRisesOnlyAndIsReported) {
  SecurityListHeader header = ListHeader(3);
  header.live_count = 300;
  WriteList(header, LinkedRecords(3));
  zarq_test::FaultPlatform os;
  zarq_test::ScopedPlatform installed(&os);

  ASSERT_EQ(RaiseFormatLevel(dir_, zarq_test::DailyRecord()), ZARQ_OK);  // the 1990s
  EXPECT_EQ(StoredHeader().format_level, 600);
  ASSERT_EQ(RaiseFormatLevel(dir_, zarq_test::IntradayComposite()), ZARQ_OK);
  EXPECT_EQ(StoredHeader().format_level, 651);
  size_t writes = os.write_sizes.size();
  ASSERT_EQ(RaiseFormatLevel(dir_, zarq_test::DailyRecord()), ZARQ_OK);
  EXPECT_EQ(StoredHeader().format_level, 651);
  EXPECT_EQ(os.write_sizes.size(), writes);  // nothing to write
  EXPECT_EQ(os.lock_calls, os.unlock_calls);

  uint16_t levels[4] = {1, 1, 1, 1};
  EXPECT_EQ(ZARQP_GetFormatLevels(dir_, levels), ZARQ_OK);
  EXPECT_EQ(std::vector<uint16_t>(levels, levels + 4), (std::vector<uint16_t>{8, 0, 651, 800}));
  EXPECT_EQ(ZARQP_GetFormatLevels(static_cast<uint8_t>(dir_ + 1), levels),
            ZARQ_E_DIRECTORY_NOT_OPEN);
  EXPECT_EQ(std::vector<uint16_t>(levels, levels + 4), (std::vector<uint16_t>{0, 0, 0, 0}));
  EXPECT_EQ(ZARQP_GetFormatLevels(dir_, nullptr), ZARQ_E_INVALID_ARGUMENT);

  entry_->flags &= ~kDirHoldsDatabase;
  EXPECT_EQ(RaiseFormatLevel(dir_, PlainRecord(1)), ZARQ_E_NOT_REGISTERED);
}

}  // namespace
}  // namespace zarq
