// security_lock_bench.cc: the cost of working on one security of a
// 6000-security database as its only process: lock it, read one price
// record, unlock it (the cycle every reading operation repeats), and the
// same with a write lock whose working copy changes, so that the unlock
// writes it back. Besides the time, each reports the system calls of one
// cycle by kind (sys_* counters), counted through the platform layer; the
// count costs a few nanoseconds per call, well inside the noise.
// "one" repeats one security, "all" goes round all 6000.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_database.h"
#include "bench/counting_platform.h"
#include "include/zarq.h"
#include "src/format/data_file.h"
#include "src/frame/entry_frame.h"
#include "src/security/lock_table.h"

namespace {

using zarq_bench::kBenchRecords;
constexpr uint32_t kSecurities = 6000;

// The security of the i-th cycle.
uint32_t Pick(const zarq_bench::OpenDatabase& db, bool rotate, uint64_t i) {
  return db.handles()[rotate ? i % db.handles().size() : 0];
}

void BM_ReadLockCycle(benchmark::State& state, bool rotate) {
  zarq_bench::OpenDatabase db(kSecurities);
  if (db.status() != ZARQ_OK) {
    state.SkipWithError("the database did not open");
    return;
  }
  zarq_bench::ScopedCountingPlatform counting;
  uint64_t i = 0;
  for (auto _ : state) {
    uint32_t handle = Pick(db, rotate, i++);
    ZarqPriceRecord record;
    int32_t status = ZARQ1_LockSecurity(handle, ZARQ_READ_LOCK);
    if (status == ZARQ_OK) {
      // The reading exports will wrap this read in the same frame.
      status = zarq::EnterInitialized([&] {
        return zarq::ReadDataRecord(handle, 1 + static_cast<uint32_t>(i % kBenchRecords), &record);
      });
    }
    int32_t unlocked = ZARQ1_UnlockSecurity(handle);
    if (status != ZARQ_OK || unlocked != ZARQ_OK) {
      state.SkipWithError("lock, read or unlock failed");
      break;
    }
    benchmark::DoNotOptimize(record);
  }
  counting->Report(state);
}
BENCHMARK_CAPTURE(BM_ReadLockCycle, one, false);
BENCHMARK_CAPTURE(BM_ReadLockCycle, all, true);

void BM_WriteLockCycle(benchmark::State& state, bool rotate) {
  zarq_bench::OpenDatabase db(kSecurities);
  if (db.status() != ZARQ_OK) {
    state.SkipWithError("the database did not open");
    return;
  }
  zarq_bench::ScopedCountingPlatform counting;
  uint64_t i = 0;
  for (auto _ : state) {
    uint32_t handle = Pick(db, rotate, i++);
    int32_t status = ZARQ1_LockSecurity(handle, ZARQ_WRITE_LOCK);
    if (status == ZARQ_OK) {
      status = zarq::EnterInitialized([&] {
        zarq::LockedSecurityView view;
        int32_t result = zarq::GetLockedSecurity(handle, &view);
        ++view.record.extra_value;
        return result == ZARQ_OK ? zarq::UpdateLockedSecurity(handle, view) : result;
      });
    }
    int32_t unlocked = ZARQ1_UnlockSecurity(handle);
    if (status != ZARQ_OK || unlocked != ZARQ_OK) {
      state.SkipWithError("lock, change or unlock failed");
      break;
    }
  }
  counting->Report(state);
}
BENCHMARK_CAPTURE(BM_WriteLockCycle, one, false);
BENCHMARK_CAPTURE(BM_WriteLockCycle, all, true);

}  // namespace
