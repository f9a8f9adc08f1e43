// data_file_bytes.h: the bytes of a whole data file of price records, as
// the benchmarks write their files before the library opens the folder.
//
// Thread-safety: a pure function.

#ifndef ZARQ_BENCH_DATA_FILE_BYTES_H_
#define ZARQ_BENCH_DATA_FILE_BYTES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_batch.h"
#include "src/frame/little_endian.h"

namespace zarq_bench {

// A header record counting records, then the records stored with mask.
inline std::string DataFileBytes(const std::vector<ZarqPriceRecord>& records, uint16_t mask) {
  const size_t size = static_cast<size_t>(zarq::StoredRecordSize(mask));
  std::string bytes((records.size() + 1) * size, '\0');
  uint8_t* at = reinterpret_cast<uint8_t*>(bytes.data());
  zarq::PutU16(at + zarq::kRecordsInFileOffset, static_cast<uint16_t>(records.size() + 1));
  zarq::EncodePriceRecords(records.data(), records.size(), mask, at + size);
  return bytes;
}

}  // namespace zarq_bench

#endif  // ZARQ_BENCH_DATA_FILE_BYTES_H_
