// security_walk_bench.cc: going through every security of a database:
// a walk with ZARQ1_GetFirstSecurityInfo / ZARQ1_GetNextSecurityInfo, and
// ZARQ2_GetSecurityHandles of all of them in one call. Times and system
// calls (sys_* counters) are per security: they must not grow with the
// size of the list (compare 600 and 6000).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/bench_database.h"
#include "bench/counting_platform.h"
#include "include/zarq.h"

namespace {

void BM_WalkFirstNext(benchmark::State& state) {
  const uint32_t securities = static_cast<uint32_t>(state.range(0));
  zarq_bench::OpenDatabase db(securities);
  if (db.status() != ZARQ_OK) {
    state.SkipWithError("the database did not open");
    return;
  }
  zarq_bench::ScopedCountingPlatform counting;
  for (auto _ : state) {
    ZarqSecurityInfo info;
    uint32_t seen = 0;
    int32_t status = ZARQ1_GetFirstSecurityInfo(db.dir(), &info);
    while (status == ZARQ_OK || status == ZARQ_NO_PREVIOUS) {
      ++seen;
      status = ZARQ1_GetNextSecurityInfo(0, &info);
    }
    if (status == ZARQ_NO_NEXT) ++seen;
    if (seen != securities) {
      state.SkipWithError("the walk did not see every security");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * securities);
  counting->Report(state, securities);
}
BENCHMARK(BM_WalkFirstNext)->Arg(600)->Arg(6000)->Unit(benchmark::kMillisecond);

void BM_GetSecurityHandles(benchmark::State& state) {
  const uint32_t securities = static_cast<uint32_t>(state.range(0));
  zarq_bench::OpenDatabase db(securities);
  if (db.status() != ZARQ_OK) {
    state.SkipWithError("the database did not open");
    return;
  }
  std::vector<uint32_t> handles(securities);
  zarq_bench::ScopedCountingPlatform counting;
  for (auto _ : state) {
    uint32_t count = 0;
    if (ZARQ2_GetSecurityHandles(db.dir(), 0, securities, handles.data(), &count) != ZARQ_OK ||
        count != securities) {
      state.SkipWithError("not every handle came");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * securities);
  counting->Report(state, securities);
}
BENCHMARK(BM_GetSecurityHandles)->Arg(600)->Arg(6000)->Unit(benchmark::kMicrosecond);

}  // namespace
