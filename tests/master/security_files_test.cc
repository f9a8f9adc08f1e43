// The security list file and the security index file: round trips, bytes
// at their offsets, header checks and the index order.

#include <gtest/gtest.h>

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
    EXPECT_EQ(GetU32(&bytes[1]), record.slot);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[5]), 15),
              std::string(record.symbol, 15));  // zeros after the NUL
    EXPECT_EQ(bytes[66], record.period);
    EXPECT_EQ(GetU16(&bytes[74]), record.field_mask);
    EXPECT_EQ(GetI32(&bytes[124]), record.last_time);
    EXPECT_EQ(GetU32(&bytes[174]), record.next_secondary_user);
  }
  // Text fields lacking their NUL are cut to their longest text.
  std::array<uint8_t, kSecurityRecordSize> bytes;
  bytes.fill('A');
  SecurityRecord back;
  DecodeSecurityRecord(bytes.data(), &back);
  EXPECT_EQ(std::string(back.symbol), std::string(14, 'A'));
  EXPECT_EQ(std::string(back.name), std::string(45, 'A'));
}

TEST(SecurityRecordTest, ListHeader) {
  SecurityListHeader header{.stamp = 0x01020304, .slot_count = 300, .format_level = 651}, back;
  std::array<uint8_t, kSecurityRecordSize> bytes;
  EncodeSecurityListHeader(header, bytes.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[0]), 6), "\x5D\xFE\x15\x4D\x20\x03");
  EXPECT_EQ(GetU16(&bytes[75]), 651);
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &back), ZARQ_OK);
  EXPECT_EQ(back, header);
  PutU16(&bytes[4], 801);
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &back), ZARQ_E_BAD_VERSION);
  bytes[3] = 0x4E;
  EXPECT_EQ(DecodeSecurityListHeader(bytes.data(), &back), ZARQ_E_BAD_LIST_FILE);
}

TEST(SecurityIndexTest, HeaderAndEntries) {
  std::array<uint8_t, kIndexRecordSize> bytes;
  IndexHeader header{.stamp = 99, .entry_count = 3}, back_header;
  EncodeIndexHeader(header, bytes.data());
  EXPECT_EQ(GetU32(&bytes[0]), 0x4D1DFE5Du);
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_OK);
  EXPECT_EQ(back_header, header);
  PutU32(&bytes[0], kSecurityListMagic);
  EXPECT_EQ(DecodeIndexHeader(bytes.data(), &back_header), ZARQ_E_BAD_INDEX_FILE);

  IndexEntry entry = IndexEntryFor(zarq_test::IntradayComposite()), back;
  EncodeIndexEntry(entry, bytes.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&bytes[15])), "MSFT");
  EXPECT_EQ(bytes[30], '/');
  EXPECT_EQ(GetU32(&bytes[34]), 300u);
  DecodeIndexEntry(bytes.data(), &back);
  EXPECT_EQ(back, entry);

  SecurityRecord plain = zarq_test::DailyRecord();
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

TEST(SecurityIndexTest, OrderIsTotalAndCaseSensitive) {
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
    EXPECT_EQ(CompareIndexEntries(sorted[i], sorted[i]), 0) << i;
    for (size_t j = i + 1; j < sorted.size(); ++j) {
      EXPECT_LT(CompareIndexEntries(sorted[i], sorted[j]), 0) << i << " < " << j;
      EXPECT_GT(CompareIndexEntries(sorted[j], sorted[i]), 0) << j << " > " << i;
    }
  }
}

}  // namespace
}  // namespace zarq
