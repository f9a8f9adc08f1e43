// The security list file and the security index file: byte layouts,
// round trips, header checks and the index order.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/frame/little_endian.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "tests/master/sample_records.h"

namespace zarq {
namespace {

TEST(SecurityRecordTest, RoundTripAndOffsets) {
  for (const SecurityRecord& record : {zarq_test::DailyRecord(), zarq_test::IntradayComposite()}) {
    std::array<uint8_t, kSecurityRecordSize> bytes;
    bytes.fill(0xEE);
    EncodeSecurityRecord(record, bytes.data());
    SecurityRecord back;
    DecodeSecurityRecord(bytes.data(), &back);
    EXPECT_EQ(back, record) << record.symbol;

    namespace o = security_offset;
    EXPECT_EQ(bytes[o::kInUse], 1);
    EXPECT_EQ(GetU32(&bytes[o::kSlot]), record.slot);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[o::kSymbol])), record.symbol);
    EXPECT_EQ(bytes[o::kName + 45], 0);
    EXPECT_EQ(bytes[o::kPeriod], record.period);
    EXPECT_EQ(GetU16(&bytes[o::kFieldMask]), record.field_mask);
    EXPECT_EQ(GetF32(&bytes[o::kSecondaryFactor]), record.secondary_factor);
    EXPECT_EQ(GetI32(&bytes[o::kLastTime]), record.last_time);
    EXPECT_EQ(bytes[o::kImportBytes + 5], record.import_bytes[5]);
    EXPECT_EQ(GetU32(&bytes[o::kNextSecondaryUser]), record.next_secondary_user);
    // Bytes after a string's NUL are zero.
    EXPECT_EQ(bytes[o::kSymbol + 14], 0);
    EXPECT_EQ(bytes[o::kSymbol2 + 14], 0);
  }
}

TEST(SecurityRecordTest, LinksAreWrittenOnTheirOwn) {
  std::array<uint8_t, kSecurityRecordSize> bytes;
  EncodeSecurityRecord(zarq_test::DailyRecord(), bytes.data());
  std::array<uint8_t, kSecurityRecordSize> before = bytes;
  SecurityRecord links = zarq_test::IntradayComposite();
  EncodeSecurityLinks(links, bytes.data());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + kSecurityDataPartSize, before.begin()));
  SecurityRecord back;
  DecodeSecurityRecord(bytes.data(), &back);
  EXPECT_EQ(back.prev_slot, 299u);
  EXPECT_EQ(back.next_primary_user, 5u);
}

TEST(SecurityRecordTest, TextWithoutItsNulIsCut) {
  std::array<uint8_t, kSecurityRecordSize> bytes;
  bytes.fill('A');
  SecurityRecord back;
  DecodeSecurityRecord(bytes.data(), &back);
  EXPECT_EQ(std::string(back.symbol), std::string(14, 'A'));
  EXPECT_EQ(std::string(back.name), std::string(45, 'A'));
  EXPECT_EQ(std::string(back.symbol2), std::string(14, 'A'));
}

TEST(SecurityRecordTest, ListHeader) {
  SecurityListHeader header;
  header.stamp = 0x01020304;
  header.slot_count = 300;
  header.live_count = 299;
  header.first_slot = 1;
  header.last_slot = 300;
  header.next_file_number = 6001;
  header.format_level = 651;
  std::array<uint8_t, kSecurityRecordSize> bytes;
  EncodeSecurityListHeader(header, bytes.data());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6),
            (std::vector<uint8_t>{0x5D, 0xFE, 0x15, 0x4D, 0x20, 0x03}));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[30])).size(), 43u);
  EXPECT_EQ(bytes[74], 0);
  EXPECT_EQ(GetU16(&bytes[75]), 651);
  EXPECT_TRUE(std::all_of(bytes.begin() + 77, bytes.end(), [](uint8_t b) { return b == 0; }));

  SecurityListHeader back;
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &back), ZARQ_OK);
  EXPECT_EQ(back, header);
  PutU16(&bytes[4], 801);
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &back), ZARQ_E_BAD_VERSION);
  bytes[3] = 0x4E;
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &back), ZARQ_E_BAD_LIST_FILE);
}

TEST(SecurityIndexTest, HeaderAndEntryBytes) {
  IndexHeader header;
  header.stamp = 99;
  header.entry_count = 3;
  std::array<uint8_t, kIndexRecordSize> bytes;
  EncodeIndexHeader(header, bytes.data());
  EXPECT_EQ(GetU32(&bytes[0]), 0x4D1DFE5Du);
  IndexHeader back_header;
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_OK);
  EXPECT_EQ(back_header, header);
  PutU16(&bytes[4], 900);
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_E_BAD_VERSION);
  PutU32(&bytes[0], kSecurityListMagic);
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_E_BAD_INDEX_FILE);

  IndexEntry entry = IndexEntryFor(zarq_test::IntradayComposite());
  EncodeIndexEntry(entry, bytes.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[15])), "MSFT");
  EXPECT_EQ(bytes[30], '/');
  EXPECT_EQ(bytes[31], 'I');
  EXPECT_EQ(GetU16(&bytes[32]), 5);
  EXPECT_EQ(GetU32(&bytes[34]), 300u);
  IndexEntry back;
  DecodeIndexEntry(bytes.data(), &back);
  EXPECT_EQ(back, entry);

  SecurityRecord plain = zarq_test::DailyRecord();
  plain.op = '+';  // stray bytes of a plain security do not enter its identity
  zarq_test::SetText(plain.symbol2, sizeof(plain.symbol2), "X");
  IndexEntry plain_entry = IndexEntryFor(plain);
  EXPECT_EQ(plain_entry.op, 0);
  EXPECT_EQ(plain_entry.symbol2[0], 0);
}

IndexEntry Entry(const char* symbol, char period, uint16_t interval = 0, const char* symbol2 = "",
                 char op = 0) {
  IndexEntry e;
  zarq_test::SetText(e.symbol, sizeof(e.symbol), symbol);
  zarq_test::SetText(e.symbol2, sizeof(e.symbol2), symbol2);
  e.op = op;
  e.period = period;
  e.interval = interval;
  return e;
}

std::string Describe(const IndexEntry& e) {
  std::string text = e.symbol;
  if (e.op) text += std::string("|") + e.symbol2 + e.op;
  return text + " " + e.period + std::to_string(e.interval);
}

TEST(SecurityIndexTest, Order) {
  // Listed in index order.
  const std::vector<IndexEntry> sorted = {
      Entry("\xC0X", 'D'),            // a high first byte is negative as a signed byte
      Entry("AB", 'D'),               // plain first
      Entry("AB", 'D', 0, "B", '*'),  // composites: second symbol first...
      Entry("AB", 'D', 0, "B", '+'),  // ... then operator
      Entry("AB", 'D', 0, "X", '+'),
      Entry("AB", 'I', 1),
      Entry("AB", 'I', 5),
      Entry("AB", 'I', 5, "A", '/'),  // after D "B*": the period decides first
      Entry("AB", 'W'),
      Entry("ABC", 'D'),
      Entry("AB\xC0", 'D'),  // the rest of the symbol compares unsigned
      Entry("Ab", 'D'),      // case counts
      Entry("a", 'D'),
  };
  for (size_t i = 0; i < sorted.size(); ++i) {
    EXPECT_EQ(CompareIndexEntries(sorted[i], sorted[i]), 0) << Describe(sorted[i]);
    for (size_t j = i + 1; j < sorted.size(); ++j) {
      EXPECT_LT(CompareIndexEntries(sorted[i], sorted[j]), 0)
          << Describe(sorted[i]) << " < " << Describe(sorted[j]);
      EXPECT_GT(CompareIndexEntries(sorted[j], sorted[i]), 0)
          << Describe(sorted[j]) << " > " << Describe(sorted[i]);
    }
  }
}

}  // namespace
}  // namespace zarq
