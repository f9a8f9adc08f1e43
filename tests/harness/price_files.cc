// price_files.cc: writing a data file's records with the library's codec.

#include "tests/harness/price_files.h"

#include <vector>

#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"

namespace zarq_test {

std::string PriceFileOf(const zarq::SecurityRecord& security,
                        const std::vector<ZarqPriceRecord>& records) {
  const size_t size = static_cast<size_t>(zarq::StoredRecordSize(security.field_mask));
  std::vector<uint8_t> bytes(size * (records.size() + 1), 0);
  zarq::PutU16(bytes.data() + zarq::kRecordsInFileOffset,
               static_cast<uint16_t>(records.size() + 1));
  for (size_t k = 0; k < records.size(); ++k) {
    ZarqPriceRecord price = records[k];
    price.FieldMask = security.field_mask;
    zarq::EncodePriceRecord(price, &bytes[size * (k + 1)]);
  }
  return std::string(bytes.begin(), bytes.end());
}

std::string PriceFileBytes(const zarq::SecurityRecord& security, int records) {
  std::vector<ZarqPriceRecord> prices(static_cast<size_t>(records));
  const float base = static_cast<float>(security.file_number);
  for (int k = 0; k < records; ++k) {
    ZarqPriceRecord& price = prices[static_cast<size_t>(k)];
    // Between the first and the last moment: days of February 2000, which
    // lies inside every sample security's range.
    bool first = k == 0, last = k == records - 1;
    price.Date = first ? security.first_date : last ? security.last_date : 20000201 + k;
    price.Time = last ? security.last_time : security.first_time;
    price.Open = base + 0.25f * static_cast<float>(k);
    price.High = price.Open + 1.0f;
    price.Low = price.Open - 0.5f;
    price.Close = price.Open + 0.5f;
    price.Volume = 1000.0f * base + static_cast<float>(k);
    price.OpenInterest = static_cast<float>(k);
  }
  return PriceFileOf(security, prices);
}

std::string ReadPriceFile(const zarq::SecurityRecord& security, const std::string& bytes,
                          std::vector<ZarqPriceRecord>* records) {
  records->clear();
  const size_t size = static_cast<size_t>(zarq::StoredRecordSize(security.field_mask));
  const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() < size) return std::to_string(bytes.size()) + " bytes, no header";
  const uint16_t in_file = zarq::GetU16(raw + zarq::kRecordsInFileOffset);
  if (in_file == 0 || bytes.size() < in_file * size) {
    return std::to_string(bytes.size()) + " bytes for " + std::to_string(in_file) + " records of " +
           std::to_string(size);
  }
  records->resize(in_file - 1u);
  for (size_t k = 1; k < in_file; ++k) {
    zarq::DecodePriceRecord(raw + k * size, security.field_mask, &(*records)[k - 1]);
  }
  return "";
}

}  // namespace zarq_test
