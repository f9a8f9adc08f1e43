// Opening and closing a database directory as its only user: the first
// user's build of the working files from the master files, and the last
// user's write-back. The cost must grow with the number of securities, not
// with its square: compare the per-security times of the sizes.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "include/zarq.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_folder.h"

namespace {

void BM_OpenAndCloseDatabase(benchmark::State& state) {
  const uint32_t securities = static_cast<uint32_t>(state.range(0));
  zarq_test::TempFolder folder;
  zarq_test::WriteMasterFiles(folder, zarq_test::NumberedSecurities(securities));
  ZARQ1_Initialize("Benchmark", "Bench", ZARQ_INTERFACE_VERSION);
  for (auto _ : state) {
    uint8_t number = 0;
    if (ZARQ1_OpenDirectory(folder.path().c_str(), &number, 0) != ZARQ_OK ||
        ZARQ1_CloseDirectory(number) != ZARQ_OK) {
      state.SkipWithError("open or close failed");
      break;
    }
  }
  ZARQ1_Shutdown();
  state.SetItemsProcessed(state.iterations() * securities);
  state.counters["securities"] = securities;
}

// 255 securities fill MASTER and EMASTER; the rest go to XMASTER.
BENCHMARK(BM_OpenAndCloseDatabase)->Arg(255)->Arg(600)->Arg(6000)->Unit(benchmark::kMillisecond);

}  // namespace
