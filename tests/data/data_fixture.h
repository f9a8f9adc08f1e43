// data_fixture.h: a database opened by the test process whose securities
// cover every canonical field mask, with what the price data tests read and
// write past the library: data files as bytes, records written straight
// into them, and whole reads through the exports.

#ifndef ZARQ_TESTS_DATA_DATA_FIXTURE_H_
#define ZARQ_TESTS_DATA_DATA_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/security_handle.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"
#include "tests/data/price_series.h"
#include "tests/directory/database_fixture.h"

namespace zarq {

// Slot i + 1 holds a security of kMasks[i]: a daily one of seven fields, an
// intraday one of seven, then the other canonical masks.
inline constexpr uint16_t kMasks[] = {0x7F, 0xBF, 0x0F, 0x1F, 0x3F, 0x87, 0x8F, 0x9F, 0xFF};
inline constexpr uint32_t kDaily = 1;
inline constexpr uint32_t kIntraday = 2;

inline bool SameRecord(const ZarqPriceRecord& a, const ZarqPriceRecord& b) {
  return std::memcmp(&a, &b, sizeof(a)) == 0;
}

// Equal byte for byte; else the first record that differs.
inline testing::AssertionResult SameRecords(const std::vector<ZarqPriceRecord>& got,
                                            const std::vector<ZarqPriceRecord>& want) {
  if (got.size() != want.size()) {
    return testing::AssertionFailure() << got.size() << " records, " << want.size() << " wanted";
  }
  for (size_t i = 0; i < got.size(); ++i) {
    if (!SameRecord(got[i], want[i])) {
      return testing::AssertionFailure()
             << "record " << i << ": " << got[i].Date << " " << got[i].Time << " close "
             << got[i].Close << ", wanted " << want[i].Date << " " << want[i].Time << " close "
             << want[i].Close;
    }
  }
  return testing::AssertionSuccess();
}

class DataTest : public DatabaseOpenTest {
 protected:
  void SetUp() override {
    DatabaseOpenTest::SetUp();
    std::vector<SecurityRecord> records;
    for (uint32_t slot = 1; slot <= std::size(kMasks); ++slot) {
      SecurityRecord record = zarq_test::DailySecurity("M" + std::to_string(slot), slot);
      record.field_mask = MaskOf(slot);
      if (record.field_mask & kFieldTime) {
        record.period = 'I';
        record.interval = 1;
      }
      records.push_back(record);
    }
    zarq_test::WriteMasterFiles(folder_, records);
    ASSERT_EQ(Open(), ZARQ_OK);
  }

  static uint16_t MaskOf(uint32_t slot) { return kMasks[slot - 1]; }
  static uint32_t SizeOf(uint32_t slot) { return StoredRecordSize(MaskOf(slot)); }
  uint32_t Handle(uint32_t slot) const { return MakeSecurityHandle(dir_, slot, false); }
  static std::string FileName(uint32_t slot) { return "F" + std::to_string(slot) + ".DAT"; }
  std::string DataFile(uint32_t slot) { return folder_.ReadFile(FileName(slot)); }
  uint16_t HeaderCount(uint32_t slot) { return GetU16(Raw(DataFile(slot), 2)) - 1; }

  // The bytes of a data file of slot's security holding records.
  static std::string FileBytes(uint32_t slot, const std::vector<ZarqPriceRecord>& records) {
    const uint32_t size = SizeOf(slot);
    std::string bytes((records.size() + 1) * size, '\0');
    PutU16(reinterpret_cast<uint8_t*>(&bytes[2]), static_cast<uint16_t>(records.size() + 1));
    for (size_t k = 0; k < records.size(); ++k) {
      ZarqPriceRecord record = records[k];
      record.FieldMask = MaskOf(slot);
      EncodePriceRecord(record, reinterpret_cast<uint8_t*>(&bytes[(k + 1) * size]));
    }
    return bytes;
  }
  void WriteData(uint32_t slot, const std::vector<ZarqPriceRecord>& records) {
    folder_.WriteFile(FileName(slot), FileBytes(slot, records));
  }

  // records as slot's security reads them back.
  static std::vector<ZarqPriceRecord> AsRead(uint32_t slot,
                                             const std::vector<ZarqPriceRecord>& records) {
    std::vector<ZarqPriceRecord> read;
    for (const ZarqPriceRecord& record : records) {
      read.push_back(zarq_test::AsRead(record, MaskOf(slot)));
    }
    return read;
  }

  // Every record of a security this process holds locked, read from
  // record 1 in one call (the cursor is left after them).
  std::vector<ZarqPriceRecord> ReadAll(uint32_t slot) {
    uint16_t count = 0;
    EXPECT_EQ(ZARQ1_GetDataRecordCount(Handle(slot), &count), ZARQ_OK);
    if (count == 0) return {};
    std::vector<ZarqPriceRecord> records(count);
    EXPECT_EQ(ZARQ1_SeekBeginData(Handle(slot)), ZARQ_OK);
    EXPECT_EQ(ZARQ2_ReadMultipleRecs(Handle(slot), records.data(), nullptr, &count, 3), ZARQ_OK);
    records.resize(count);
    return records;
  }
  // Every record of slot's security, read under a read lock of its own.
  std::vector<ZarqPriceRecord> Locked(uint32_t slot) {
    EXPECT_EQ(ZARQ1_LockSecurity(Handle(slot), ZARQ_READ_LOCK), ZARQ_OK);
    std::vector<ZarqPriceRecord> records = ReadAll(slot);
    EXPECT_EQ(ZARQ1_UnlockSecurity(Handle(slot)), ZARQ_OK);
    return records;
  }
  // The list record of slot as stored.
  std::string ListBytes(uint32_t slot) {
    return folder_.ReadFile("~ZARQ.SEC").substr(slot * kSecurityRecordSize, kSecurityRecordSize);
  }
};

}  // namespace zarq

#endif  // ZARQ_TESTS_DATA_DATA_FIXTURE_H_
