// MASTER against EMASTER: the mismatch bits, repairing an EMASTER entry
// from MASTER, and building a missing one.

#include "src/master/master_repair.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "include/zarq.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

struct Entries {
  std::array<uint8_t, kMasterRecordSize> master;
  std::array<uint8_t, kEmasterRecordSize> emaster;
};

Entries Of(const SecurityRecord& r) {
  Entries p;
  EncodeMasterEntry(r, p.master.data());
  CleanMasterEntry(p.master.data());
  EncodeEmasterEntry(r, p.emaster.data());
  return p;
}

TEST(MasterRepairTest, EachDifferenceHasItsBitAndIsRepaired) {
  namespace e = emaster_offset;
  const std::pair<int, uint8_t> cases[] = {
      {-1, 0},
      {e::kSymbol + 1, kMismatchSymbol},
      {e::kPeriod, kMismatchPeriod},
      {e::kInterval + 1, kMismatchInterval},
      {e::kFieldCount, kMismatchFieldCount},
      {e::kName + 15, kMismatchName},
      {e::kFileNumber + 1, kMismatchFileNumber},
      {e::kFirstDate, kMismatchFirstDate},
      {e::kLastDate + 3, kMismatchLastDate},
  };
  SecurityRecord composite = zarq_test::IntradayComposite();
  composite.file_number = 200;  // MASTER holds numbers up to 255 only
  for (const SecurityRecord& r : {zarq_test::DailyRecord(), composite}) {
    for (const auto& [offset, mismatch] : cases) {
      Entries p = Of(r);
      if (offset >= 0) p.emaster[offset] ^= 0x21;
      p.emaster[e::kFlag] = '?';
      EXPECT_EQ(CompareMasterEmaster(p.master.data(), p.emaster.data()), mismatch) << offset;
      CopyMasterFields(p.master.data(), p.emaster.data(), mismatch);
      EXPECT_EQ(CompareMasterEmaster(p.master.data(), p.emaster.data()), 0) << offset;
      EXPECT_EQ(p.emaster[e::kFlag], r.flagged ? '*' : ' ');  // the flag is always copied
    }
  }
  Entries p = Of(zarq_test::DailyRecord());
  p.emaster[e::kPeriod] = 'W';
  p.emaster[e::kFieldCount] = 5;
  CopyMasterFields(p.master.data(), p.emaster.data(), kMismatchPeriod);  // only what it names
  EXPECT_EQ(CompareMasterEmaster(p.master.data(), p.emaster.data()), kMismatchFieldCount);
}

TEST(MasterRepairTest, EmasterBuiltFromMaster) {
  SecurityRecord r = zarq_test::DailyRecord();
  Entries p = Of(r);
  std::array<uint8_t, kEmasterRecordSize> built;
  built.fill(0xEE);
  EmasterFromMaster(p.master.data(), built.data());
  EXPECT_EQ(CompareMasterEmaster(p.master.data(), built.data()), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&built[0]), 2), "41");
  EXPECT_EQ(GetI32(&built[emaster_offset::kBaseDate]), r.first_date);

  SecurityRecord back;
  uint16_t level = 400;
  ASSERT_EQ(DecodeEmasterEntry(built.data(), 1, &back, &level), ZARQ_OK);
  EXPECT_STREQ(back.name, "Intl Business Ma");
  EXPECT_EQ(back.field_mask, 0x7F);
  EXPECT_EQ(back.last_date, r.last_date);
  EXPECT_EQ(back.flagged, 1);

  SecurityRecord c = zarq_test::IntradayComposite();
  c.file_number = 40;
  EmasterFromMaster(Of(c).master.data(), built.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&built[0]), 2), "66");
  EXPECT_EQ(GetU16(&built[emaster_offset::kComposite]), 1);  // from the lower-case period
}

}  // namespace
}  // namespace zarq
