// price_files.cc: writing a data file's records with the library's codec.

#include "tests/harness/price_files.h"

#include <vector>

#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"

namespace zarq_test {

std::string PriceFileBytes(const zarq::SecurityRecord& security, int records) {
  const size_t size = static_cast<size_t>(zarq::StoredRecordSize(security.field_mask));
  std::vector<uint8_t> bytes(size * static_cast<size_t>(records + 1), 0);
  zarq::PutU16(bytes.data() + zarq::kRecordsInFileOffset, static_cast<uint16_t>(records + 1));
  const float base = static_cast<float>(security.file_number);
  for (int k = 0; k < records; ++k) {
    ZarqPriceRecord price{};
    price.FieldMask = security.field_mask;
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
    zarq::EncodePriceRecord(price, &bytes[size * static_cast<size_t>(k + 1)]);
  }
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace zarq_test
