// MASTER, EMASTER and XMASTER: entry bytes at their offsets, round trips
// through the security record, layout markers and header levels.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "include/zarq.h"
#include "src/data/mbf.h"
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

template <size_t N>
bool AllZero(const std::array<uint8_t, N>& bytes, int from, int to) {
  return std::all_of(bytes.begin() + from, bytes.begin() + to, [](uint8_t b) { return b == 0; });
}

using Master = std::array<uint8_t, kMasterRecordSize>;
using Emaster = std::array<uint8_t, kEmasterRecordSize>;
using Xmaster = std::array<uint8_t, kXmasterRecordSize>;

TEST(MasterFileTest, EntryBytes) {
  SecurityRecord r = zarq_test::DailyRecord();
  zarq_test::SetText(r.symbol, sizeof(r.symbol), "ABCDEFGHIJKLMN");  // 14 characters
  r.first_date = 20091231;
  Master m;
  EncodeMasterEntry(r, m.data());
  EXPECT_EQ(m[0], 17);
  EXPECT_EQ(GetU16(&m[1]), 0x0065);
  EXPECT_EQ(m[3], 28);
  EXPECT_EQ(m[4], 7);
  EXPECT_EQ(Text(m, 7, 16), "Intl Business Ma");
  EXPECT_EQ(Text(m, 25, 4), "\xF8\x34\x05\x95");
  EXPECT_EQ(MbfToIeee(&m[29], kClampNone), 991231.0f);
  EXPECT_EQ(m[33], 'D');
  EXPECT_EQ(Text(m, 36, 14), "ABCDEFGHIJKLMN");
  EXPECT_EQ(m[50], ' ');
  EXPECT_EQ(m[51], '*');
  EXPECT_TRUE(AllZero(m, 5, 7) && AllZero(m, 23, 25) && AllZero(m, 52, 53));

  zarq_test::SetText(r.symbol, sizeof(r.symbol), "IBM");
  zarq_test::SetText(r.name, sizeof(r.name), "Short");
  r.composite = 1;
  r.flagged = 0;
  r.file_number = 300;  // only its low byte fits
  EncodeMasterEntry(r, m.data());
  EXPECT_EQ(Text(m, 36, 15), "IBM            ");
  EXPECT_EQ(Text(m, 7, 16), "Short           ");
  EXPECT_EQ(m[33], 'd');
  EXPECT_EQ(m[51], ' ');
  EXPECT_EQ(m[0], 300 & 0xFF);
}

TEST(MasterFileTest, Header) {
  MasterHeader header{200, 210, 0xCAFE};
  Master m;
  EncodeMasterHeader(header, m.data());
  EXPECT_EQ(GetU32(&m[49]), 0xCAFEu);
  EXPECT_TRUE(AllZero(m, 4, 49));
  MasterHeader back;
  DecodeMasterHeader(m.data(), &back);
  EXPECT_EQ(back, header);

  const struct {
    int16_t count;
    uint16_t highest;
    int16_t want_count;
    uint16_t want_highest;
  } limits[] = {{300, 400, 255, 255}, {255, 260, 255, 260}, {-1, 9, 0, 0}, {0, 0, 0, 0}};
  for (const auto& c : limits) {
    MasterHeader h{c.count, c.highest, 0};
    LimitMasterHeader(&h);
    EXPECT_EQ(h.entry_count, c.want_count) << c.count;
    EXPECT_EQ(h.highest_file_number, c.want_highest) << c.count;
  }

  Emaster e;
  EncodeEmasterHeader(header, e.data());
  EXPECT_EQ(GetI16(&e[0]), 200);
  EXPECT_EQ(Text(e, 53, 44), std::string(kNoticeText, 44));
  EXPECT_TRUE(AllZero(e, 97, kEmasterRecordSize));
}

TEST(EmasterFileTest, LayoutMarker) {
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
    Emaster e;
    EncodeEmasterEntry(r, e.data());
    EXPECT_EQ(Text(e, 0, 2), c.want) << c.first_date << " " << c.last_date << " " << c.period;
  }
}

TEST(EmasterFileTest, EntryBytes) {
  SecurityRecord r = zarq_test::IntradayComposite();
  Emaster e;
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(GetU16(&e[2]), 4711);
  EXPECT_EQ(e[6], 8);
  EXPECT_EQ(GetU16(&e[7]), 0xFF);
  EXPECT_EQ(e[9], ' ');
  EXPECT_EQ(Text(e, 11, 15), std::string("SPREAD14CHARSX\0", 15));
  EXPECT_EQ(Text(e, 32, 17), std::string("A composite with\0", 17));
  EXPECT_EQ(e[60], 'i');  // lower case for a composite
  EXPECT_EQ(GetU16(&e[62]), 5);
  EXPECT_EQ(GetF32(&e[64]), 1080102.0f);
  EXPECT_EQ(GetF32(&e[68]), 93015.0f);
  EXPECT_EQ(GetF32(&e[76]), 9160099.0f);  // 16:00 tick 999
  EXPECT_EQ(GetU16(&e[88]), 1);
  EXPECT_EQ(Text(e, 90, 5), std::string("MSFT\0", 5));
  EXPECT_EQ(e[111], '/');
  EXPECT_EQ(GetF32(&e[118]), -0.75f);
  EXPECT_EQ(GetU16(&e[124]), 302);
  EXPECT_EQ(GetI32(&e[126]), 20080101);
  EXPECT_EQ(Text(e, 139, 44), std::string("A composite with a name longer than sixteen\0", 44));
  EXPECT_EQ(e[185], 1);

  // Exactly 16 characters leave the full name empty; 17 write it.
  zarq_test::SetText(r.name, sizeof(r.name), "Sixteen chars ok");
  EncodeEmasterEntry(r, e.data());
  EXPECT_TRUE(AllZero(e, 139, 185));
  zarq_test::SetText(r.name, sizeof(r.name), "Seventeen chars!!");
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 139, 18), std::string("Seventeen chars!!\0", 18));
  EXPECT_EQ(Text(e, 32, 17), std::string("Seventeen chars!\0", 17));
}

// The data part that a master file keeps: no slot or links, and for a
// plain security none of the composite's fields.
SecurityRecord DataPart(SecurityRecord r) {
  if (r.composite == 0) {
    r.primary_factor = r.secondary_factor = 0;
    r.primary_file_number = r.secondary_file_number = 0;
  }
  r.slot = 0;
  r.primary_slot = r.secondary_slot = r.prev_slot = r.next_slot = 0;
  r.next_primary_user = r.next_secondary_user = 0;
  return r;
}

TEST(EmasterFileTest, RoundTrip) {
  for (const SecurityRecord& record : {zarq_test::DailyRecord(), zarq_test::IntradayComposite()}) {
    Emaster e;
    EncodeEmasterEntry(record, e.data());
    SecurityRecord back;
    uint16_t level = 400;
    ASSERT_EQ(DecodeEmasterEntry(e.data(), 10, &back, &level), ZARQ_OK);
    EXPECT_EQ(back, DataPart(record)) << record.symbol;
    EXPECT_EQ(level, FormatLevelFor(record, 10));
  }
}

TEST(EmasterFileTest, DecodingCleansAndChecks) {
  SecurityRecord r = zarq_test::IntradayComposite();
  Emaster e;
  EncodeEmasterEntry(r, e.data());
  e[60] = 'd';           // a daily composite: interval and times are not read
  e[6] = 3;              // no canonical mask for 3 fields
  PutU16(&e[124], 301);  // both components in one file
  e[130] = 200;          // extra code out of range
  PutI32(&e[126], 17000101);
  PutI32(&e[131], 20090230);
  PutU32(&e[135], 5);
  std::memcpy(&e[11], "\x01\x02  ", 5);
  SetNextInvalidSymbolNumberForTesting(7);
  SecurityRecord back;
  uint16_t level = 800;
  ASSERT_EQ(DecodeEmasterEntry(e.data(), 5, &back, &level), ZARQ_OK);
  EXPECT_EQ(level, 800);  // never lowered, nor raised past 800
  EXPECT_STREQ(back.symbol, "INVALID7");
  EXPECT_EQ(back.period, 'D');
  EXPECT_EQ(back.interval, 0);
  EXPECT_EQ(back.first_time + back.last_time + back.start_time + back.end_time, 0);
  EXPECT_EQ(back.field_mask, 0);
  EXPECT_EQ(back.deleted, 1);
  EXPECT_EQ(back.extra_code, 0);
  EXPECT_EQ(back.base_date, back.first_date);
  EXPECT_EQ(back.extra_date, 0);
  EXPECT_EQ(back.extra_value, 0u);

  // A full name that does not continue the short one is ignored.
  EncodeEmasterEntry(r, e.data());
  e[32] = 'B';
  ASSERT_EQ(DecodeEmasterEntry(e.data(), 5, &back, &level), ZARQ_OK);
  EXPECT_STREQ(back.name, "B composite with");
  // A missing file number frees the slot.
  PutU16(&e[2], 0);
  ASSERT_EQ(DecodeEmasterEntry(e.data(), 5, &back, &level), ZARQ_OK);
  EXPECT_EQ(back.deleted, 1);
}

TEST(EmasterFileTest, UnknownLayoutMarkers) {
  Emaster e;
  EncodeEmasterEntry(zarq_test::DailyRecord(), e.data());
  for (const char* marker : {"41", "66", "00", "70"}) {  // read as a u16: "70" is 0x3037
    std::memcpy(&e[0], marker, 2);
    SecurityRecord back;
    uint16_t level = 400;
    EXPECT_EQ(DecodeEmasterEntry(e.data(), 1, &back, &level), ZARQ_OK) << marker;
  }
  for (const char* marker : {"67", "76", "99"}) {
    std::memcpy(&e[0], marker, 2);
    SecurityRecord back;
    uint16_t level = 400;
    EXPECT_EQ(DecodeEmasterEntry(e.data(), 1, &back, &level), ZARQ_E_BAD_VERSION) << marker;
    EXPECT_EQ(level, 400);
  }
}

TEST(XmasterFileTest, EntryBytesAndRoundTrip) {
  SecurityRecord r = zarq_test::IntradayComposite();
  Xmaster x;
  EncodeXmasterEntry(r, x.data());
  EXPECT_EQ(x[0], 1);
  EXPECT_EQ(Text(x, 1, 15), std::string("SPREAD14CHARSX\0", 15));
  EXPECT_EQ(x[62], 'I');  // upper case even for a composite
  EXPECT_EQ(GetU32(&x[65]), 4711u);
  EXPECT_EQ(GetU16(&x[70]), 0xFF);
  EXPECT_EQ(x[87], '/');
  EXPECT_EQ(GetU32(&x[100]), 302u);
  EXPECT_EQ(GetI32(&x[108]), 20080102);
  EXPECT_EQ(GetI32(&x[112]), 93015);    // record time
  EXPECT_EQ(GetI32(&x[120]), 9160099);  // 16:00 tick 999
  EXPECT_EQ(x[140], 1);
  EXPECT_EQ(x[143], 1);

  SecurityRecord back;
  uint16_t level = 400;
  DecodeXmasterEntry(x.data(), 300, &back, &level);
  EXPECT_EQ(back, DataPart(r));
  EXPECT_EQ(level, 651);

  SecurityRecord daily = zarq_test::DailyRecord();
  daily.slot = 0;
  EncodeXmasterEntry(daily, x.data());
  DecodeXmasterEntry(x.data(), 300, &back, &level);
  EXPECT_EQ(back, daily);  // XMASTER keeps every field of the data part

  PutU32(&x[65], 0);
  DecodeXmasterEntry(x.data(), 300, &back, &level);
  EXPECT_EQ(back.deleted, 1);
}

TEST(XmasterFileTest, HeaderAndLevel) {
  XmasterHeader header;
  header.format_level = 651;
  header.stamp = 3;
  header.entry_count = header.entry_count2 = 45;
  header.next_file_number = 301;
  Xmaster x;
  EncodeXmasterHeader(header, x.data());
  EXPECT_EQ(Text(x, 0, 4), "\x5D\xFE\x58\x4D");
  EXPECT_EQ(Text(x, 22, 44), std::string(kNoticeText, 44));
  EXPECT_TRUE(AllZero(x, 66, kXmasterRecordSize));
  XmasterHeader back;
  EXPECT_EQ(DecodeXmasterHeader(x.data(), &back), ZARQ_OK);
  EXPECT_EQ(back, header);
  PutU16(&x[4], 801);
  EXPECT_EQ(DecodeXmasterHeader(x.data(), &back), ZARQ_E_BAD_VERSION);
  x[0] = 0;
  EXPECT_EQ(DecodeXmasterHeader(x.data(), &back), ZARQ_E_BAD_XMASTER);

  XmasterLevelFacts facts;
  facts.Note(zarq_test::DailyRecord());
  EXPECT_EQ(XmasterHeaderLevel(facts, 300), 200);
  EXPECT_EQ(XmasterHeaderLevel(facts, 2001), 800);
  facts.Note(zarq_test::IntradayComposite());
  EXPECT_EQ(XmasterHeaderLevel(facts, 300), 651);
  EXPECT_EQ(XmasterHeaderLevel(facts, 2000), 651);
}

}  // namespace
}  // namespace zarq
