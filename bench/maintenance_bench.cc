// maintenance_bench.cc: sorting a data file at the format's limit of
// 65,500 daily records of seven fields.
//
// - Sort/zarq: lock, ZARQ2_SortData of a shuffled file (one run in memory,
//   the output written in whole chunks, flushed and swapped in), unlock;
//   Sort/raw: the same bytes read whole, keyed, ordered by std::sort,
//   written to another file in 64512-byte chunks and flushed.
// - Sort/in_order: ZARQ2_SortData of a file already in order, which is
//   read once and left alone.
// Restoring the shuffled file between iterations is not timed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bench/data_file_bytes.h"
#include "include/zarq.h"
#include "src/format/price_batch.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"
#include "src/platform/platform.h"
#include "tests/data/price_series.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr uint16_t kRecords = 65500;
constexpr uint16_t kMask = 0x7F;
constexpr uint32_t kSize = 28;
constexpr uint32_t kChunk = 64512;

std::string DataBytes(const std::vector<ZarqPriceRecord>& records) {
  return zarq_bench::DataFileBytes(records, kMask);
}

class SortDatabase {
 public:
  SortDatabase() {
    std::vector<ZarqPriceRecord> series = zarq_test::Series(0, kRecords);
    sorted_ = DataBytes(series);
    std::shuffle(series.begin(), series.end(), std::mt19937(7));
    shuffled_ = DataBytes(series);
    zarq_test::WriteMasterFiles(folder_, {zarq_test::DailySecurity("SORT", 1)});
    folder_.WriteFile("F1.DAT", shuffled_);
    status_ = ZARQ1_Initialize("Benchmark", "Bench", ZARQ_INTERFACE_VERSION);
    if (status_ == ZARQ_OK) status_ = ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, 0);
  }
  ~SortDatabase() {
    ZARQ1_CloseDirectory(dir_);
    ZARQ1_Shutdown();
  }
  int32_t status() const { return status_; }
  uint32_t handle() const { return (uint32_t{dir_} << 24) | 1; }
  void Reset(bool in_order) { folder_.WriteFile("F1.DAT", in_order ? sorted_ : shuffled_); }
  std::string Path(const std::string& name) const { return folder_.Join(name); }
  const std::string& shuffled() const { return shuffled_; }

 private:
  zarq_test::TempFolder folder_;
  std::string sorted_, shuffled_;
  uint8_t dir_ = 0;
  int32_t status_ = 0;
};

void SortThroughLibrary(benchmark::State& state, bool in_order) {
  SortDatabase db;
  if (db.status() != ZARQ_OK) return state.SkipWithError("database");
  for (auto _ : state) {
    state.PauseTiming();
    db.Reset(in_order);
    state.ResumeTiming();
    int32_t status = ZARQ1_LockSecurity(db.handle(), ZARQ_WRITE_LOCK);
    if (status == ZARQ_OK) status = ZARQ2_SortData(db.handle());
    if (status == ZARQ_OK) status = ZARQ1_UnlockSecurity(db.handle());
    if (status != ZARQ_OK) return state.SkipWithError("sort");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_Sort_zarq(benchmark::State& state) { SortThroughLibrary(state, false); }
BENCHMARK(BM_Sort_zarq)->Unit(benchmark::kMicrosecond);

void BM_Sort_in_order(benchmark::State& state) { SortThroughLibrary(state, true); }
BENCHMARK(BM_Sort_in_order)->Unit(benchmark::kMicrosecond);

void BM_Sort_raw(benchmark::State& state) {
  SortDatabase db;
  if (db.status() != ZARQ_OK) return state.SkipWithError("database");
  zarq::Platform& os = zarq::Os();
  const std::string input = db.Path("F1.DAT"), output = db.Path("RAW.DAT");
  std::vector<uint8_t> bytes(db.shuffled().size()), out(bytes.size());
  struct Key {
    int32_t date, time;
    uint32_t index;
  };
  std::vector<Key> keys(kRecords);
  for (auto _ : state) {
    zarq::FileHandle file = zarq::kNoFileHandle;
    uint32_t done = 0;
    bool ok = os.OpenFile(input, true, zarq::OpenDisposition::kOpenExisting, 0, &file) == 0;
    for (size_t at = 0; ok && at < bytes.size(); at += done) {
      const uint32_t want = static_cast<uint32_t>(std::min<size_t>(kChunk, bytes.size() - at));
      ok = os.ReadFile(file, bytes.data() + at, want, &done) == 0 && done > 0;
    }
    os.CloseFile(file);
    for (uint32_t k = 0; k < kRecords; ++k) {
      zarq::RecordToZarqDateTime(bytes.data() + (k + 1) * kSize, &keys[k].date, &keys[k].time,
                                 false);
      keys[k].index = k + 1;
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
      return std::tie(a.date, a.index) < std::tie(b.date, b.index);
    });
    std::copy_n(bytes.begin(), kSize, out.begin());
    for (uint32_t k = 0; k < kRecords; ++k) {
      std::copy_n(bytes.begin() + keys[k].index * kSize, kSize, out.begin() + (k + 1) * kSize);
    }
    ok = ok && os.OpenFile(output, false, zarq::OpenDisposition::kCreateAlways, 0, &file) == 0;
    for (size_t at = 0; ok && at < out.size(); at += done) {
      const uint32_t want = static_cast<uint32_t>(std::min<size_t>(kChunk, out.size() - at));
      ok = os.WriteFile(file, out.data() + at, want, &done) == 0;
    }
    ok = ok && os.FlushFile(file) == 0;
    os.CloseFile(file);
    if (!ok) return state.SkipWithError("raw sort");
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Sort_raw)->Unit(benchmark::kMicrosecond);

}  // namespace
