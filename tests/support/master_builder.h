// master_builder.h: master files written byte by byte from security
// records, for tests and benchmarks that need a database folder. Uses the
// library's codecs, so it links with the library's objects.

#ifndef ZARQ_TESTS_SUPPORT_MASTER_BUILDER_H_
#define ZARQ_TESTS_SUPPORT_MASTER_BUILDER_H_

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "src/frame/ascii_text.h"
#include "src/master/emaster_file.h"
#include "src/master/master_file.h"
#include "src/master/security_record.h"
#include "src/master/xmaster_file.h"
#include "tests/support/temp_folder.h"

namespace zarq_test {

// A daily security of seven fields with data from 2000 to 2001.
inline zarq::SecurityRecord DailySecurity(const std::string& symbol, uint32_t file_number) {
  zarq::SecurityRecord record;
  record.in_use = 1;
  zarq::CopyBounded(record.symbol, sizeof(record.symbol), symbol.c_str());
  zarq::CopyBounded(record.name, sizeof(record.name), ("Name of " + symbol).c_str());
  record.period = 'D';
  record.file_number = file_number;
  record.field_mask = 0x7F;
  record.base_date = record.first_date = 20000103;
  record.last_date = 20011231;
  return record;
}

// A composite of two daily securities (given by data file number).
inline zarq::SecurityRecord CompositeSecurity(const std::string& symbol, const std::string& symbol2,
                                              char op, uint32_t primary, uint32_t secondary,
                                              uint32_t file_number) {
  zarq::SecurityRecord record = DailySecurity(symbol, file_number);
  zarq::CopyBounded(record.symbol2, sizeof(record.symbol2), symbol2.c_str());
  record.op = op;
  record.composite = 1;
  record.primary_factor = record.secondary_factor = 1.0f;
  record.primary_file_number = primary;
  record.secondary_file_number = secondary;
  return record;
}

inline std::string Bytes(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// MASTER and EMASTER for the first 255 records, XMASTER for the rest (only
// when there are more than 255). Folder: a TempFolder, or anything else
// with its WriteFile(name, bytes).
template <typename Folder = TempFolder>
inline void WriteMasterFiles(const Folder& folder, const std::vector<zarq::SecurityRecord>& records,
                             bool with_emaster = true) {
  size_t in_master = std::min<size_t>(records.size(), 255);
  std::vector<uint8_t> master((in_master + 1) * zarq::kMasterRecordSize);
  std::vector<uint8_t> emaster((in_master + 1) * zarq::kEmasterRecordSize);
  zarq::MasterHeader header;
  header.entry_count = static_cast<int16_t>(in_master);
  for (size_t i = 0; i < in_master; ++i) {
    header.highest_file_number = std::max<uint16_t>(header.highest_file_number,
                                                    static_cast<uint16_t>(records[i].file_number));
    zarq::EncodeMasterEntry(records[i], &master[(i + 1) * zarq::kMasterRecordSize]);
    zarq::EncodeEmasterEntry(records[i], &emaster[(i + 1) * zarq::kEmasterRecordSize]);
  }
  zarq::EncodeMasterHeader(header, master.data());
  zarq::EncodeEmasterHeader(header, emaster.data());
  folder.WriteFile("MASTER", Bytes(master));
  if (with_emaster) folder.WriteFile("EMASTER", Bytes(emaster));
  if (records.size() <= 255) return;
  size_t extra = records.size() - 255;
  std::vector<uint8_t> xmaster((extra + 1) * zarq::kXmasterRecordSize);
  zarq::XmasterHeader xheader;
  xheader.entry_count = xheader.entry_count2 = static_cast<uint32_t>(extra);
  for (size_t i = 0; i < extra; ++i) {
    xheader.next_file_number = std::max(xheader.next_file_number, records[255 + i].file_number + 1);
    zarq::EncodeXmasterEntry(records[255 + i], &xmaster[(i + 1) * zarq::kXmasterRecordSize]);
  }
  zarq::EncodeXmasterHeader(xheader, xmaster.data());
  folder.WriteFile("XMASTER", Bytes(xmaster));
}

// n daily securities "S1".."Sn" with data file numbers 1..n.
inline std::vector<zarq::SecurityRecord> NumberedSecurities(uint32_t n) {
  std::vector<zarq::SecurityRecord> records;
  for (uint32_t i = 1; i <= n; ++i) records.push_back(DailySecurity("S" + std::to_string(i), i));
  return records;
}

}  // namespace zarq_test

#endif  // ZARQ_TESTS_SUPPORT_MASTER_BUILDER_H_
