// The directory files: MASTER, EMASTER and XMASTER, the security list and
// the security index (round trips, bytes at their offsets, layout markers,
// header checks, cleaning on import, the index order); repairing EMASTER
// from MASTER; record validation (its order and corrections), format
// levels, and text cleaning.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/frame/little_endian.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/master_repair.h"
#include "src/master/record_rules.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "src/master/text_rules.h"
#include "src/master/xmaster_file.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

using zarq_test::DailyRecord;
using zarq_test::IntradayComposite;

template <size_t N>
std::string Text(const std::array<uint8_t, N>& bytes, int offset, int size) {
  return std::string(reinterpret_cast<const char*>(&bytes[offset]), size);
}

// What a master file keeps of a record: no slot or links, and for a plain
// security none of a composite's fields.
SecurityRecord DataPart(SecurityRecord r) {
  if (r.composite == 0) {
    r.primary_factor = r.secondary_factor = 0;
    r.primary_file_number = r.secondary_file_number = 0;
  }
  r.slot = r.primary_slot = r.secondary_slot = r.prev_slot = r.next_slot = 0;
  r.next_primary_user = r.next_secondary_user = 0;
  return r;
}

TEST(MasterFilesTest, MasterEntryBytes) {
  SecurityRecord r = DailyRecord();
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
  EXPECT_EQ(std::tie(m[33], m[51]), std::make_tuple('d', ' '));

  MasterHeader header{.entry_count = 300, .highest_file_number = 400, .stamp = 7};
  LimitMasterHeader(&header);
  EXPECT_EQ(std::tie(header.entry_count, header.highest_file_number), std::make_tuple(255, 255));
}

TEST(MasterFilesTest, EmasterEntries) {
  SecurityRecord r = IntradayComposite();
  std::array<uint8_t, kEmasterRecordSize> e;
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 0, 11), std::string("66\x67\x12\0\0\x08\xFF\0 \0", 11));
  EXPECT_EQ(Text(e, 32, 17), std::string("A composite with\0", 17));
  EXPECT_EQ(e[60], 'i');                  // lower case for a composite
  EXPECT_EQ(GetF32(&e[76]), 9160099.0f);  // record time of 16:00 tick 999
  EXPECT_EQ(Text(e, 139, 44), std::string("A composite with a name longer than sixteen\0", 44));
  // A name of exactly 16 characters leaves the full name zero; 17 write it.
  zarq_test::SetText(r.name, sizeof(r.name), "Sixteen chars ok");
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 139, 46), std::string(46, '\0'));
  zarq_test::SetText(r.name, sizeof(r.name), "Seventeen chars!!");
  EncodeEmasterEntry(r, e.data());
  EXPECT_EQ(Text(e, 139, 18), std::string("Seventeen chars!!\0", 18));

  // The layout marker: "66" for data reaching past 1999 or before 1900,
  // intraday data or the long-data flag.
  const struct {
    int32_t first_date, last_date;
    char period;
    uint8_t long_data;
    const char* want;
  } markers[] = {{19991231, 19991231, 'D', 0, "41"}, {19991231, 20000103, 'D', 0, "66"},
                 {19000101, 19500101, 'W', 0, "41"}, {18991231, 19500101, 'M', 0, "66"},
                 {19900101, 19991231, 'I', 0, "66"}, {19900101, 19991231, 'D', 1, "66"}};
  for (const auto& c : markers) {
    r = DailyRecord();
    std::tie(r.first_date, r.last_date, r.period, r.long_data_flag) =
        std::tie(c.first_date, c.last_date, c.period, c.long_data);
    EncodeEmasterEntry(r, e.data());
    EXPECT_EQ(Text(e, 0, 2), c.want) << c.first_date << " " << c.last_date << " " << c.period;
  }

  for (const SecurityRecord& record : {DailyRecord(), IntradayComposite()}) {
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

TEST(MasterFilesTest, EmasterDecodingCleansAndChecks) {
  std::array<uint8_t, kEmasterRecordSize> e;
  EncodeEmasterEntry(IntradayComposite(), e.data());
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
  EXPECT_EQ(std::tie(back.field_mask, back.deleted, back.extra_code), std::make_tuple(0, 1, 0));
  EXPECT_EQ(back.base_date, back.first_date);
  EXPECT_EQ(back.extra_date + static_cast<int32_t>(back.extra_value), 0);
  e[32] = 'B';  // the full name no longer continues the short one
  ASSERT_EQ(DecodeEmasterEntry(e.data(), 5, &back, &level), ZARQ_OK);
  EXPECT_STREQ(back.name, "B composite with");
}

TEST(MasterFilesTest, XmasterEntriesAndHeader) {
  SecurityRecord r = IntradayComposite();
  std::array<uint8_t, kXmasterRecordSize> x;
  EncodeXmasterEntry(r, x.data());
  EXPECT_EQ(x[62], 'I');  // upper case even for a composite
  EXPECT_EQ(GetU32(&x[65]), 4711u);
  EXPECT_EQ(GetI32(&x[112]), 93015);  // times as record times
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
  facts.Note(DailyRecord());
  EXPECT_EQ(XmasterHeaderLevel(facts, 300), 200);
  EXPECT_EQ(XmasterHeaderLevel(facts, 2001), 800);
  facts.Note(r);
  EXPECT_EQ(XmasterHeaderLevel(facts, 2000), 651);
}

TEST(SecurityFilesTest, ListRecordsAndHeader) {
  std::array<uint8_t, kSecurityRecordSize> bytes;
  for (const SecurityRecord& record : {DailyRecord(), IntradayComposite()}) {
    bytes.fill(0xEE);
    EncodeSecurityRecord(record, bytes.data());
    SecurityRecord back;
    DecodeSecurityRecord(bytes.data(), &back);
    EXPECT_EQ(back, record) << record.symbol;
    EXPECT_EQ(Text(bytes, 5, 15), std::string(record.symbol, 15));  // zeros after the NUL
    EXPECT_EQ(GetU32(&bytes[174]), record.next_secondary_user);
  }
  // Text fields lacking their NUL are cut to their longest text.
  bytes.fill('A');
  SecurityRecord back;
  DecodeSecurityRecord(bytes.data(), &back);
  EXPECT_EQ(std::string(back.symbol), std::string(14, 'A'));
  EXPECT_EQ(std::string(back.name), std::string(45, 'A'));

  SecurityListHeader header{.stamp = 0x01020304, .slot_count = 300, .format_level = 651}, again;
  EncodeSecurityListHeader(header, bytes.data());
  EXPECT_EQ(Text(bytes, 0, 6), "\x5D\xFE\x15\x4D\x20\x03");
  EXPECT_EQ(GetU16(&bytes[75]), 651);
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &again), ZARQ_OK);
  EXPECT_EQ(again, header);
  PutU16(&bytes[4], 801);
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &again), ZARQ_E_BAD_VERSION);
  bytes[3] = 0x4E;
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &again), ZARQ_E_BAD_LIST_FILE);
}

TEST(SecurityFilesTest, IndexHeaderAndEntries) {
  std::array<uint8_t, kIndexRecordSize> bytes;
  IndexHeader header{.stamp = 99, .entry_count = 3}, back_header;
  EncodeIndexHeader(header, bytes.data());
  EXPECT_EQ(GetU32(&bytes[0]), 0x4D1DFE5Du);
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_OK);
  EXPECT_EQ(back_header, header);
  PutU32(&bytes[0], kSecurityListMagic);
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_E_BAD_INDEX_FILE);

  IndexEntry entry = IndexEntryFor(IntradayComposite()), back;
  EncodeIndexEntry(entry, bytes.data());
  EXPECT_STREQ(reinterpret_cast<char*>(&bytes[15]), "MSFT");
  EXPECT_EQ(GetU32(&bytes[34]), 300u);
  DecodeIndexEntry(bytes.data(), &back);
  EXPECT_EQ(back, entry);
  SecurityRecord plain = DailyRecord();
  plain.op = '+';  // stray bytes of a plain security are no part of its identity
  EXPECT_EQ(IndexEntryFor(plain).op, 0);
}

IndexEntry Entry(const char* symbol, char period, uint16_t interval = 0, const char* symbol2 = "",
                 char op = 0) {
  IndexEntry e{.op = op, .period = period, .interval = interval};
  zarq_test::SetText(e.symbol, sizeof(e.symbol), symbol);
  zarq_test::SetText(e.symbol2, sizeof(e.symbol2), symbol2);
  return e;
}

TEST(SecurityFilesTest, IndexOrderIsTotalAndCaseSensitive) {
  const std::vector<IndexEntry> sorted = {
      Entry("\xC0X", 'D'),            // a high first byte is negative as a signed byte
      Entry("AB", 'D'),               // plain first
      Entry("AB", 'D', 0, "B", '*'),  // composites: second symbol, then operator
      Entry("AB", 'D', 0, "B", '+'),
      Entry("AB", 'D', 0, "X", '+'),
      Entry("AB", 'I', 1),
      Entry("AB", 'I', 5),
      Entry("AB", 'I', 5, "A", '/'),  // after D "B*": the period decides first
      Entry("AB", 'W'),
      Entry("ABC", 'D'),
      Entry("AB\xC0", 'D'),  // the rest of the symbol compares unsigned
      Entry("Ab", 'D'),
      Entry("a", 'D'),
  };
  for (size_t i = 0; i < sorted.size(); ++i) {
    for (size_t j = 0; j < sorted.size(); ++j) {
      int32_t order = CompareIndexEntries(sorted[i], sorted[j]);
      EXPECT_EQ((order > 0) - (order < 0), (i > j) - (i < j)) << i << " vs " << j;
    }
  }
}

TEST(MasterRepairTest, EachDifferenceHasItsBitAndIsRepaired) {
  namespace e = emaster_offset;
  // clang-format off
  const std::pair<int, uint8_t> cases[] = {
      {-1, 0}, {e::kSymbol + 1, kMismatchSymbol}, {e::kPeriod, kMismatchPeriod},
      {e::kInterval + 1, kMismatchInterval}, {e::kFieldCount, kMismatchFieldCount},
      {e::kName + 15, kMismatchName}, {e::kFileNumber + 1, kMismatchFileNumber},
      {e::kFirstDate, kMismatchFirstDate}, {e::kLastDate + 3, kMismatchLastDate}};
  // clang-format on
  SecurityRecord composite = IntradayComposite();
  composite.file_number = 200;  // MASTER holds numbers up to 255 only
  std::array<uint8_t, kMasterRecordSize> m;
  std::array<uint8_t, kEmasterRecordSize> em;
  for (const SecurityRecord& r : {DailyRecord(), composite}) {
    for (const auto& [offset, mismatch] : cases) {
      EncodeMasterEntry(r, m.data());
      CleanMasterEntry(m.data());
      EncodeEmasterEntry(r, em.data());
      if (offset >= 0) em[offset] ^= 0x21;
      em[e::kFlag] = '?';
      EXPECT_EQ(CompareMasterEmaster(m.data(), em.data()), mismatch) << offset;
      CopyMasterFields(m.data(), em.data(), mismatch);
      EXPECT_EQ(CompareMasterEmaster(m.data(), em.data()), 0) << offset;
      EXPECT_EQ(em[e::kFlag], r.flagged ? '*' : ' ');  // the flag is always copied
    }
  }
  em[e::kPeriod] = 'W';
  em[e::kFieldCount] = 5;
  CopyMasterFields(m.data(), em.data(), kMismatchPeriod);  // only what it names
  EXPECT_EQ(CompareMasterEmaster(m.data(), em.data()), kMismatchFieldCount);
}

// A daily record with the changes of one case; 0 fields stay as they are.
struct Change {
  char period = 0;
  uint16_t interval = 0;
  uint8_t composite = 0;
  char op = 0;
  uint8_t extra_code = 0;
  uint16_t field_mask = 0;
  int32_t first_date = 0;
  int32_t start_time = 0;
};

TEST(RecordRulesTest, FirstFailureWinsAndCorrectionsAreSilent) {
  // clang-format off
  const struct { Change change; int32_t want; } cases[] = {
      {{}, ZARQ_OK}, {{.period = 'd'}, ZARQ_E_BAD_PERIOD},  // case-sensitive
      {{.period = 'Q', .interval = 5000, .first_date = -1}, ZARQ_E_BAD_PERIOD},
      {{.interval = 1440, .composite = 1}, ZARQ_E_BAD_INTERVAL},
      {{.composite = 1, .extra_code = 200}, ZARQ_E_BAD_OPERATOR},
      {{.op = '%'}, ZARQ_OK},  // a plain security's operator is not checked
      {{.extra_code = 129, .field_mask = 0x07}, ZARQ_E_BAD_EXTRA_CODE},
      {{.field_mask = 0xFF, .first_date = -1}, ZARQ_E_BAD_FIELD_MASK},  // daily, 8 fields
      {{.field_mask = 0x87}, ZARQ_E_BAD_FIELD_MASK},                    // daily with TIME
      {{.field_mask = 0x2F}, ZARQ_E_BAD_FIELD_MASK},                    // not canonical
      {{.field_mask = 0x0F}, ZARQ_OK}, {{.period = 'I', .field_mask = 0xFF}, ZARQ_OK},
      {{.period = 'I', .field_mask = 0x7F}, ZARQ_E_BAD_FIELD_MASK},
      {{.period = 'I', .field_mask = 0xFF, .first_date = 20090230, .start_time = -1}, ZARQ_E_BAD_DATE},
      {{.period = 'I', .field_mask = 0xFF, .start_time = 1260000}, ZARQ_E_BAD_TIME},
      {{.start_time = 1260000}, ZARQ_OK}};  // a daily record's times are cleared, not checked
  // clang-format on
  for (const auto& [c, want] : cases) {
    SecurityRecord r = DailyRecord();
    if (c.period) r.period = c.period;
    if (c.interval) r.interval = c.interval;
    if (c.composite) r.composite = c.composite;
    if (c.op) r.op = c.op;
    if (c.extra_code) r.extra_code = c.extra_code;
    if (c.field_mask) r.field_mask = c.field_mask;
    if (c.first_date) r.first_date = c.first_date;
    if (c.start_time) r.start_time = c.start_time;
    EXPECT_EQ(ValidateSecurityRecord(&r), want)
        << r.period << " mask " << std::hex << r.field_mask << " op " << r.op;
  }

  SecurityRecord r = DailyRecord();
  r.first_time = r.last_time = r.start_time = r.end_time = 930000;
  r.base_date = 19900103;  // after the first date
  r.extra_date = 20090230;
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r.first_time + r.last_time + r.start_time + r.end_time, 0);
  EXPECT_EQ(std::tie(r.base_date, r.extra_date, r.extra_value), std::make_tuple(19900102, 0, 0));
  r.base_date = 3;  // invalid
  ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
  EXPECT_EQ(r.base_date, 19900102);
  for (const SecurityRecord& valid : {DailyRecord(), IntradayComposite()}) {
    r = valid;
    ASSERT_EQ(ValidateSecurityRecord(&r), ZARQ_OK);
    EXPECT_EQ(r, valid);  // nothing to correct
  }
}

TEST(RecordRulesTest, FormatLevels) {
  SecurityRecord daily = DailyRecord(), late = daily, early = daily, deleted = IntradayComposite();
  late.last_date = 20000103;
  early.first_date = 18991231;
  deleted.deleted = 1;
  // clang-format off
  const struct { const SecurityRecord& record; uint32_t n; uint16_t want; } cases[] = {
      {daily, 255, 400}, {daily, 256, 600}, {daily, 2001, 800}, {late, 10, 651}, {early, 10, 651},
      {IntradayComposite(), 300, 651}, {deleted, 10, 400}, {deleted, 256, 600}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(FormatLevelFor(c.record, c.n), c.want) << c.record.first_date << " n " << c.n;
  }
}

TEST(TextRulesTest, NormalizeSymbolCopyCleanTextAndPadText) {
  SetNextInvalidSymbolNumberForTesting(31999);
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"ibm  ", "ibm"}, {"  A B", "  A B"},    // trailing spaces go; others and case stay
      {"A\tB\x01\x1F" "C", "ABC"},            // control characters are dropped
      {"\xC4X\x7F", "\xC4X\x7F"},             // bytes of 127 and above stay
      {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMN"},  // 14 bytes looked at, even when dropped
      {"\t\t\t\t\t\t\t\t\t\t\t\t\t\tX", "INVALID31999"},
      {"   ", "INVALID32000"}, {"", "INVALID1"}};  // the counter starts again
  // clang-format on
  for (const auto& [in, want] : cases) {
    char out[kSymbolFieldSize];
    std::memset(out, 0x55, sizeof(out));
    EXPECT_EQ(NormalizeSymbol(in, out), ZARQ_OK);
    EXPECT_EQ(out[14], 0);
    EXPECT_STREQ(out, want) << in;
  }
  char out[12];
  EXPECT_EQ(NormalizeSymbol(nullptr, out), ZARQ_E_INVALID_ARGUMENT);
  EXPECT_EQ(NormalizeSymbol("X", nullptr), ZARQ_E_INVALID_ARGUMENT);

  std::memset(out, 'x', sizeof(out));
  CopyCleanText(out, "Na\x01me  of many words", 6);
  EXPECT_EQ(std::string(out, 8), std::string("Name\0\0\0x", 8));  // n + 1 bytes cleared
  char text[16] = "\tin place  ";
  CopyCleanText(text, text, 15);  // source and destination may overlap
  EXPECT_STREQ(text, "in place");
  char shifted[16] = "xxABC";
  CopyCleanText(shifted + 1, shifted, 4);
  EXPECT_STREQ(shifted + 1, "xxAB");
  CopyCleanText(out, nullptr, 3);
  EXPECT_STREQ(out, "");
  CopyCleanText(nullptr, "abc", 3);
  char padded[8] = "AB";
  PadText(padded, ' ', 5);
  EXPECT_EQ(std::string(padded, 6), std::string("AB   \0", 6));
  char full[4] = {'W', 'X', 'Y', 'Z'};  // no NUL within the length: nothing to read past
  PadText(full, '*', 4);
  EXPECT_EQ(std::string(full, 4), "WXYZ");
  PadText(nullptr, '*', 3);
}

}  // namespace
}  // namespace zarq
