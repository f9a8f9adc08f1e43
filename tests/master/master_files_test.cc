// MASTER, EMASTER and XMASTER: bytes at their offsets, round trips through
// the security record, layout markers, cleaning on import, header levels.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "include/zarq.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/record_rules.h"
#include "src/master/text_rules.h"
#include "src/master/xmaster_file.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

template <size_t N>
std::string Text(const std::array<uint8_t, N>& bytes, int offset, int size) {
  return std::string(reinterpret_cast<const char*>(&bytes[offset]), size);
}

// What a master file keeps of a record: no slot or links, and for a plain
// security none of a composite's fields.
SecurityRecord DataPart(SecurityRecord r) {
  if (r.composite == 0) r.primary_factor = r.secondary_factor = 0;
  if (r.composite == 0) r.primary_file_number = r.secondary_file_number = 0;
  r.slot = r.primary_slot = r.secondary_slot = r.prev_slot = r.next_slot = 0;
  r.next_primary_user = r.next_secondary_user = 0;
  return r;
}

TEST(MasterFileTest, EntryBytes) {
  SecurityRecord r = zarq_test::DailyRecord();
  zarq_test::SetText(r.symbol, sizeof(r.symbol), "ABCDEFGHIJKLMN");  // 14 characters
  r.first_date = 20091231;
  std::array<uint8_t, kMasterRecordSize> m;
  EncodeMasterEntry(r, m.data());
  EXPECT_EQ(Text(m, 0, 7), std::string("\x11\x65\x00\x1C\x07\x00\x00", 7));
  EXPECT_EQ(Text(m, 7, 18), std::string("Intl Business Ma\0\0", 18));
  EXPECT_EQ(Text(m, 25, 8), "\xF8\x34\x05\x95\xF0\xFF\x71\x94");  // 1091231, 991231
  EXPECT_EQ(Text(m, 33, 20), std::string("D\0\0ABCDEFGHIJKLMN *\0", 20));

  r.composite = 1;
  r.flagged = 0;
  EncodeMasterEntry(r, m.data());
  EXPECT_EQ(m[33], 'd');
  EXPECT_EQ(m[51], ' ');

  MasterHeader header{.entry_count = 300, .highest_file_number = 400, .stamp = 7};
  LimitMasterHeader(&header);
  EXPECT_EQ(header.entry_count, 255);
  EXPECT_EQ(header.highest_file_number, 255);
}

TEST(EmasterFileTest, EntryBytes) {
  SecurityRecord r = zarq_test::IntradayComposite();
  std::array<uint8_t, kEmasterRecordSize> e;
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 0, 11), std::string("66\x67\x12\0\0\x08\xFF\0 \0", 11));
  EXPECT_EQ(Text(e, 32, 17), std::string("A composite with\0", 17));
  EXPECT_EQ(e[60], 'i');  // lower case for a composite
  EXPECT_EQ(GetF32(&e[64]), 1080102.0f);
  EXPECT_EQ(GetF32(&e[76]), 9160099.0f);  // record time of 16:00 tick 999
  EXPECT_EQ(GetU16(&e[88]), 1);
  EXPECT_EQ(GetI32(&e[126]), 20080101);
  EXPECT_EQ(Text(e, 139, 44), std::string("A composite with a name longer than sixteen\0", 44));

  // A name of exactly 16 characters leaves the full name zero; 17 write it.
  zarq_test::SetText(r.name, sizeof(r.name), "Sixteen chars ok");
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 139, 46), std::string(46, '\0'));
  zarq_test::SetText(r.name, sizeof(r.name), "Seventeen chars!!");
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 139, 18), std::string("Seventeen chars!!\0", 18));
}

TEST(EmasterFileTest, LayoutMarkerAtTheCenturyBoundaries) {
  const struct {
    int32_t first_date, last_date;
    char period;
    uint8_t long_data;
    const char* want;
  } cases[] = {
      {19991231, 19991231, 'D', 0, "41"}, {19991231, 20000103, 'D', 0, "66"},
      {19000101, 19500101, 'W', 0, "41"}, {18991231, 19500101, 'M', 0, "66"},
      {19900101, 19991231, 'I', 0, "66"}, {19900101, 19991231, 'D', 1, "66"},
  };
  for (const auto& c : cases) {
    SecurityRecord r = zarq_test::DailyRecord();
    r.first_date = c.first_date;
    r.last_date = c.last_date;
    r.period = c.period;
    r.long_data_flag = c.long_data;
    std::array<uint8_t, kEmasterRecordSize> e;
    EncodeEmasterEntry(r, e.data());
    EXPECT_EQ(Text(e, 0, 2), c.want) << c.first_date << " " << c.last_date << " " << c.period;
  }
}

TEST(EmasterFileTest, RoundTripAndUnknownMarkers) {
  for (const SecurityRecord& record : {zarq_test::DailyRecord(), zarq_test::IntradayComposite()}) {
    std::array<uint8_t, kEmasterRecordSize> e;
    EncodeEmasterEntry(record, e.data());
    SecurityRecord back;
    uint16_t level = 400;
    ASSERT_EQ(DecodeEmasterEntry(e.data(), 10, &back, &level), ZARQ_OK);
    EXPECT_EQ(back, DataPart(record)) << record.symbol;
    EXPECT_EQ(level, FormatLevelFor(record, 10));
    // Read as a u16, "70" (0x3037) is no newer than "66" (0x3636); "67" is.
    for (const char* marker : {"70", "67", "99"}) {
      std::memcpy(&e[0], marker, 2);
      EXPECT_EQ(DecodeEmasterEntry(e.data(), 10, &back, &level),
                marker[0] == '7' ? ZARQ_OK : ZARQ_E_BAD_VERSION)
          << marker;
    }
  }
}

TEST(EmasterFileTest, DecodingCleansAndChecks) {
  std::array<uint8_t, kEmasterRecordSize> e;
  EncodeEmasterEntry(zarq_test::IntradayComposite(), e.data());
  std::memcpy(&e[11], "\x01\x02  ", 5);  // nothing left of the symbol
  e[60] = 'd';                           // daily: interval and times are not read
  e[6] = 3;                              // no canonical mask for 3 fields
  PutU16(&e[124], 301);                  // both components in one file
  e[130] = 200;                          // extra code out of range
  PutI32(&e[126], 17000101);             // base date before 1800
  PutI32(&e[131], 20090230);
  SetNextInvalidSymbolNumberForTesting(7);
  SecurityRecord back;
  uint16_t level = 800;
  ASSERT_EQ(DecodeEmasterEntry(e.data(), 5, &back, &level), ZARQ_OK);
  EXPECT_EQ(level, 800);  // never lowered
  EXPECT_STREQ(back.symbol, "INVALID7");
  EXPECT_EQ(back.period, 'D');
  EXPECT_EQ(back.interval + back.first_time + back.last_time + back.end_time, 0);
  EXPECT_EQ(back.field_mask, 0);
  EXPECT_EQ(back.deleted, 1);
  EXPECT_EQ(back.extra_code, 0);
  EXPECT_EQ(back.base_date, back.first_date);
  EXPECT_EQ(back.extra_date + static_cast<int32_t>(back.extra_value), 0);

  e[32] = 'B';  // the full name no longer continues the short one
  ASSERT_EQ(DecodeEmasterEntry(e.data(), 5, &back, &level), ZARQ_OK);
  EXPECT_STREQ(back.name, "B composite with");
}

TEST(XmasterFileTest, EntriesAndHeader) {
  SecurityRecord r = zarq_test::IntradayComposite();
  std::array<uint8_t, kXmasterRecordSize> x;
  EncodeXmasterEntry(r, x.data());
  EXPECT_EQ(x[62], 'I');  // upper case even for a composite
  EXPECT_EQ(GetU32(&x[65]), 4711u);
  EXPECT_EQ(GetI32(&x[108]), 20080102);
  EXPECT_EQ(GetI32(&x[112]), 93015);  // times as record times
  EXPECT_EQ(GetI32(&x[120]), 9160099);
  SecurityRecord back;
  uint16_t level = 400;
  DecodeXmasterEntry(x.data(), 300, &back, &level);
  EXPECT_EQ(back, DataPart(r));
  EXPECT_EQ(level, 651);
  PutU32(&x[65], 0);
  DecodeXmasterEntry(x.data(), 300, &back, &level);
  EXPECT_EQ(back.deleted, 1);

  XmasterHeader header{.format_level = 651, .entry_count = 45, .entry_count2 = 45}, back_header;
  EncodeXmasterHeader(header, x.data());
  EXPECT_EQ(Text(x, 0, 4), "\x5D\xFE\x58\x4D");
  EXPECT_EQ(Text(x, 22, 44), std::string(kNoticeText, 44));
  EXPECT_EQ(DecodeXmasterHeader(x.data(), &back_header), ZARQ_OK);
  EXPECT_EQ(back_header, header);
  PutU16(&x[4], 801);
  EXPECT_EQ(DecodeXmasterHeader(x.data(), &back_header), ZARQ_E_BAD_VERSION);
  x[0] = 0;
  EXPECT_EQ(DecodeXmasterHeader(x.data(), &back_header), ZARQ_E_BAD_XMASTER);

  XmasterLevelFacts facts;
  facts.Note(zarq_test::DailyRecord());
  EXPECT_EQ(XmasterHeaderLevel(facts, 300), 200);
  EXPECT_EQ(XmasterHeaderLevel(facts, 2001), 800);
  facts.Note(r);
  EXPECT_EQ(XmasterHeaderLevel(facts, 2000), 651);
}

}  // namespace
}  // namespace zarq
