// MASTER against EMASTER: the mismatch bits, repairing an EMASTER entry
// from MASTER, and building a missing one.

#include "src/master/master_repair.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "include/zarq.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/record_rules.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

using Master = std::array<uint8_t, kMasterRecordSize>;
using Emaster = std::array<uint8_t, kEmasterRecordSize>;

struct Pair {
  Master master;
  Emaster emaster;
};

Pair EntriesOf(const SecurityRecord& r) {
  Pair p;
  EncodeMasterEntry(r, p.master.data());
  CleanMasterEntry(p.master.data());
  EncodeEmasterEntry(r, p.emaster.data());
  return p;
}

TEST(MasterRepairTest, EntriesOfOneRecordAgree) {
  SecurityRecord composite = zarq_test::IntradayComposite();
  composite.file_number = 200;  // MASTER holds file numbers up to 255 only
  for (const SecurityRecord& r : {zarq_test::DailyRecord(), composite}) {
    Pair p = EntriesOf(r);
    EXPECT_EQ(CompareMasterEmaster(p.master.data(), p.emaster.data()), 0) << r.symbol;
    // The cleaned MASTER entry carries IEEE dates and NUL-filled texts.
    EXPECT_EQ(GetF32(&p.master[master_offset::kFirstDate]),
              static_cast<float>(r.first_date - 19000000));
    EXPECT_FALSE(IsEmptyMasterEntry(p.master.data()));
  }
  Master empty{};
  EXPECT_TRUE(IsEmptyMasterEntry(empty.data()));
}

TEST(MasterRepairTest, EachDifferenceHasItsBitAndIsRepaired) {
  namespace e = emaster_offset;
  const struct {
    int offset;
    uint8_t mismatch;
  } cases[] = {
      {e::kSymbol + 1, kMismatchSymbol},     {e::kPeriod, kMismatchPeriod},
      {e::kInterval + 1, kMismatchInterval}, {e::kFieldCount, kMismatchFieldCount},
      {e::kName + 15, kMismatchName},        {e::kFileNumber + 1, kMismatchFileNumber},
      {e::kFirstDate, kMismatchFirstDate},   {e::kLastDate + 3, kMismatchLastDate},
  };
  SecurityRecord r = zarq_test::DailyRecord();
  zarq_test::SetText(r.name, sizeof(r.name), "Sixteen chars ok");
  for (const auto& c : cases) {
    Pair p = EntriesOf(r);
    p.emaster[c.offset] ^= 0x21;
    p.emaster[e::kFlag] = '?';
    uint8_t mismatch = CompareMasterEmaster(p.master.data(), p.emaster.data());
    EXPECT_EQ(mismatch, c.mismatch) << c.offset;
    CopyMasterFields(p.master.data(), p.emaster.data(), mismatch);
    EXPECT_EQ(CompareMasterEmaster(p.master.data(), p.emaster.data()), 0) << c.offset;
    EXPECT_EQ(p.emaster[e::kFlag], '*');  // the flag is always copied
  }
  // Only the named fields are copied.
  Pair p = EntriesOf(r);
  p.emaster[e::kPeriod] = 'W';
  p.emaster[e::kFieldCount] = 5;
  CopyMasterFields(p.master.data(), p.emaster.data(), kMismatchPeriod);
  EXPECT_EQ(CompareMasterEmaster(p.master.data(), p.emaster.data()), kMismatchFieldCount);
}

TEST(MasterRepairTest, EmasterBuiltFromMaster) {
  SecurityRecord r = zarq_test::DailyRecord();
  Pair p = EntriesOf(r);
  Emaster built;
  built.fill(0xEE);
  EmasterFromMaster(p.master.data(), built.data());
  EXPECT_EQ(CompareMasterEmaster(p.master.data(), built.data()), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&built[0]), 2), "41");
  EXPECT_EQ(GetI32(&built[emaster_offset::kBaseDate]), r.first_date);
  EXPECT_EQ(GetU16(&built[emaster_offset::kComposite]), 0);
  EXPECT_EQ(built[emaster_offset::kFlag], '*');
  EXPECT_EQ(built[emaster_offset::kLongDataFlag], 0);

  SecurityRecord back;
  uint16_t level = 400;
  ASSERT_EQ(DecodeEmasterEntry(built.data(), 1, &back, &level), ZARQ_OK);
  EXPECT_STREQ(back.symbol, "IBM");
  EXPECT_STREQ(back.name, "Intl Business Ma");
  EXPECT_EQ(back.field_mask, 0x7F);
  EXPECT_EQ(back.file_number, 17u);
  EXPECT_EQ(back.first_date, r.first_date);
  EXPECT_EQ(back.last_date, r.last_date);
  EXPECT_EQ(back.flagged, 1);

  // A composite (lower-case period) and an intraday security.
  SecurityRecord c = zarq_test::IntradayComposite();
  c.file_number = 40;
  p = EntriesOf(c);
  EmasterFromMaster(p.master.data(), built.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&built[0]), 2), "66");
  EXPECT_EQ(built[emaster_offset::kPeriod], 'i');
  EXPECT_EQ(GetU16(&built[emaster_offset::kComposite]), 1);

  SecurityRecord late = zarq_test::DailyRecord();
  late.last_date = 20000103;
  p = EntriesOf(late);
  EmasterFromMaster(p.master.data(), built.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&built[0]), 2), "66");
}

}  // namespace
}  // namespace zarq
