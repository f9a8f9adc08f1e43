// converted_read_bench.cc: a converting read of 65,500 daily records to
// weekly bars (ordinal 215) beside a plain ZARQ2_ReadMultipleRecs of the
// same records, both under a read lock held throughout. sys_read counts
// the file reads per call: the conversion reads the file in blocks of a
// chunk each, a few dozen for the whole history.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/counting_platform.h"
#include "bench/data_file_bytes.h"
#include "include/zarq.h"
#include "include/zarq_private.h"
#include "src/format/price_batch.h"
#include "src/frame/little_endian.h"
#include "tests/data/price_series.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr uint16_t kRecords = 65500;

class HistoryDatabase {
 public:
  HistoryDatabase() {
    const std::vector<ZarqPriceRecord> series = zarq_test::Series(0, kRecords);
    zarq_test::WriteMasterFiles(folder_, {zarq_test::DailySecurity("FULL", 1)});
    folder_.WriteFile("F1.DAT", zarq_bench::DataFileBytes(series, 0x7F));  // seven fields
    last_ = series.back().Date;
    status_ = ZARQ1_Initialize("Benchmark", "Bench", ZARQ_INTERFACE_VERSION);
    if (status_ == ZARQ_OK) status_ = ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, 0);
    if (status_ == ZARQ_OK) status_ = ZARQ1_LockSecurity(handle(), ZARQ_READ_LOCK);
  }
  ~HistoryDatabase() {
    ZARQ1_UnlockSecurity(handle());
    ZARQ1_CloseDirectory(dir_);
    ZARQ1_Shutdown();
  }
  int32_t status() const { return status_; }
  uint32_t handle() const { return (uint32_t{dir_} << 24) | 1; }
  int32_t last() const { return last_; }

 private:
  zarq_test::TempFolder folder_;
  uint8_t dir_ = 0;
  int32_t status_ = 0;
  int32_t last_ = 0;
};

void BM_ConvertedRead_weekly(benchmark::State& state) {
  HistoryDatabase db;
  std::vector<ZarqPriceRecord> out(kRecords);
  zarq_bench::ScopedCountingPlatform counting;
  for (auto _ : state) {
    uint16_t count = kRecords;
    ZarqDateTimePair end = {db.last(), 0};
    int32_t status =
        db.status() != ZARQ_OK
            ? db.status()
            : ZARQ2_ReadBackConvertedRecs(db.handle(), out.data(), &end, &count, 0, 'W', 0, 0);
    if (status < 0) {
      state.SkipWithError("converting read failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  counting->Report(state);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ConvertedRead_weekly)->Unit(benchmark::kMicrosecond);

void BM_ConvertedRead_plain(benchmark::State& state) {
  HistoryDatabase db;
  std::vector<ZarqPriceRecord> out(kRecords);
  zarq_bench::ScopedCountingPlatform counting;
  for (auto _ : state) {
    uint16_t count = kRecords;
    ZarqDateTimePair first = {zarq_test::SeriesRecord(0).Date, 0};
    int32_t status = db.status() != ZARQ_OK
                         ? db.status()
                         : ZARQ2_ReadMultipleRecs(db.handle(), out.data(), &first, &count, 2);
    if (status != ZARQ_OK || count != kRecords) {
      state.SkipWithError("plain read failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  counting->Report(state);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ConvertedRead_plain)->Unit(benchmark::kMicrosecond);

}  // namespace
