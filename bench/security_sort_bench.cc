// security_sort_bench.cc: ZARQ2_SortSecurities of a whole list of 6000
// daily securities whose names are out of order in list order ("Name of
// S1", "Name of S10", ...): one read of the list, the order made in
// memory, writes only of link parts that change (sys_* counters per
// iteration). Sort/ordered runs it on a list already in order, which
// reads and writes nothing more. Putting the list back between iterations
// is not timed.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "bench/bench_database.h"
#include "bench/counting_platform.h"
#include "include/zarq.h"

namespace {

constexpr uint32_t kSecurities = 6000;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SortList(benchmark::State& state, bool ordered) {
  zarq_bench::OpenDatabase db(kSecurities);
  if (db.status() != ZARQ_OK) return state.SkipWithError("the database did not open");
  const uint32_t first = db.handles().front(), last = db.handles().back();
  const std::string path = zarq_bench::BenchDatabase(kSecurities) + "/~ZARQ.SEC";
  const std::string list = ReadAll(path);
  if (ordered && ZARQ2_SortSecurities(first, last) != ZARQ_OK) return state.SkipWithError("sort");
  zarq_bench::ScopedCountingPlatform counting;
  for (auto _ : state) {
    if (!ordered) {
      state.PauseTiming();
      std::ofstream(path, std::ios::binary | std::ios::trunc) << list;
      state.ResumeTiming();
    }
    if (ZARQ2_SortSecurities(first, last) != ZARQ_OK) return state.SkipWithError("sort");
  }
  counting->Report(state);
  state.SetItemsProcessed(state.iterations() * kSecurities);
  if (!ordered) std::ofstream(path, std::ios::binary | std::ios::trunc) << list;
}

void BM_SortSecurities(benchmark::State& state) { SortList(state, false); }
BENCHMARK(BM_SortSecurities)->Unit(benchmark::kMicrosecond);

void BM_SortSecurities_ordered(benchmark::State& state) { SortList(state, true); }
BENCHMARK(BM_SortSecurities_ordered)->Unit(benchmark::kMicrosecond);

}  // namespace
