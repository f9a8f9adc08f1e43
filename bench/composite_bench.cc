// composite_bench.cc: reading a composite of two components of 65,500
// daily records each (every record paired), beside reading the two
// components plainly.
//
// - Composite/read: lock the composite (its components and common range
//   with it), one ZARQ2_ReadMultipleRecs of every record, unlock.
// - Composite/components: lock, read every record and unlock each
//   component in turn.
//
// Items are composite records (a pair each), so the times compare
// directly: the composite's cost over the plain reads of its components
// is the ratio of the two.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/data_file_bytes.h"
#include "include/zarq.h"
#include "src/format/price_batch.h"
#include "src/frame/little_endian.h"
#include "tests/data/price_series.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr uint16_t kRecords = 65500;
constexpr uint16_t kMask = 0x7F;
constexpr uint32_t kSize = 28;

std::string DataBytes(const std::vector<ZarqPriceRecord>& records) {
  return zarq_bench::DataFileBytes(records, kMask);
}

// Components A (slot 1) and B (slot 2) and the composite A / B (slot 3),
// opened for a benchmark's lifetime.
class CompositeDatabase {
 public:
  CompositeDatabase() {
    zarq_test::WriteMasterFiles(folder_,
                                {zarq_test::DailySecurity("A", 1), zarq_test::DailySecurity("B", 2),
                                 zarq_test::CompositeSecurity("A", "B", '/', 1, 2, 3)});
    folder_.WriteFile("F1.DAT", DataBytes(zarq_test::Series(0, kRecords, 0)));
    folder_.WriteFile("F2.DAT", DataBytes(zarq_test::Series(0, kRecords, 1)));
    status_ = ZARQ1_Initialize("Benchmark", "Bench", ZARQ_INTERFACE_VERSION);
    if (status_ == ZARQ_OK) status_ = ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, 0);
  }
  ~CompositeDatabase() {
    ZARQ1_CloseDirectory(dir_);
    ZARQ1_Shutdown();
  }
  int32_t status() const { return status_; }
  uint32_t Handle(uint32_t slot, bool composite = false) const {
    return (uint32_t{dir_} << 24) | (composite ? 0x00800000u : 0u) | slot;
  }

 private:
  zarq_test::TempFolder folder_;
  uint8_t dir_ = 0;
  int32_t status_ = 0;
};

// Locks h, reads every record from the start and unlocks: the count read.
uint16_t ReadAll(uint32_t h, std::vector<ZarqPriceRecord>* out) {
  uint16_t count = kRecords;
  int32_t status = ZARQ1_LockSecurity(h, ZARQ_READ_LOCK);
  if (status == ZARQ_OK) status = ZARQ2_ReadMultipleRecs(h, out->data(), nullptr, &count, 3);
  if (ZARQ1_UnlockSecurity(h) != ZARQ_OK || status != ZARQ_OK) return 0;
  return count;
}

void BM_Composite_read(benchmark::State& state) {
  CompositeDatabase db;
  std::vector<ZarqPriceRecord> out(kRecords);
  for (auto _ : state) {
    if (db.status() != ZARQ_OK || ReadAll(db.Handle(3, true), &out) != kRecords) {
      state.SkipWithError("the composite was not read whole");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Composite_read)->Unit(benchmark::kMicrosecond);

void BM_Composite_components(benchmark::State& state) {
  CompositeDatabase db;
  std::vector<ZarqPriceRecord> out(kRecords);
  for (auto _ : state) {
    if (db.status() != ZARQ_OK || ReadAll(db.Handle(1), &out) != kRecords ||
        ReadAll(db.Handle(2), &out) != kRecords) {
      state.SkipWithError("a component was not read whole");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Composite_components)->Unit(benchmark::kMicrosecond);

}  // namespace
