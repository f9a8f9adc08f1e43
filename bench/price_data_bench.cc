// price_data_bench.cc: the cost of price data at the format's limit of
// 65,500 daily records of seven fields, as one process sees it.
//
// - Read/zarq: lock, ZARQ2_ReadMultipleRecs of every record, unlock;
//   Read/raw_decode: the same file opened and read in 64512-byte chunks
//   with the general decoder applied record by record, closed; and
//   Read/sqlite: the same bars selected from an indexed SQLite table into
//   the same array (statement prepared once).
// - Append/zarq: one ZARQ2_WriteMultipleRecs of every record into an empty
//   file (under a write lock held throughout); Append/raw: the same records
//   encoded record by record into a 64512-byte buffer, written chunk by
//   chunk. Emptying the file between iterations is not timed.
// - InsertOne: one record inserted in the middle of 65,499.
// - Search: ZARQ1_FindDataDate of a random day, from an unpositioned
//   cursor; sys_read is the records read per search.
//
// Items are records, so the rates compare directly; the ratios asked of
// these are measured within one run.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "bench/counting_platform.h"
#include "bench/data_file_bytes.h"
#include "include/zarq.h"
#include "src/fileio/file_table.h"
#include "src/format/field_mask.h"
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
constexpr uint32_t kFull = 1;   // slot of the security holding every record
constexpr uint32_t kEmpty = 2;  // slot of the one appended to

std::string DataBytes(const std::vector<ZarqPriceRecord>& records) {
  return zarq_bench::DataFileBytes(records, kMask);
}

// A database of the two securities, opened by the library for a
// benchmark's lifetime.
class PriceDatabase {
 public:
  PriceDatabase() : series_(zarq_test::Series(0, kRecords)) {
    zarq_test::WriteMasterFiles(folder_, {zarq_test::DailySecurity("FULL", kFull),
                                          zarq_test::DailySecurity("EMPTY", kEmpty)});
    folder_.WriteFile("F1.DAT", DataBytes(series_));
    folder_.WriteFile("F2.DAT", DataBytes({}));
    status_ = ZARQ1_Initialize("Benchmark", "Bench", ZARQ_INTERFACE_VERSION);
    if (status_ == ZARQ_OK) status_ = ZARQ1_OpenDirectory(folder_.path().c_str(), &dir_, 0);
  }
  ~PriceDatabase() {
    ZARQ1_CloseDirectory(dir_);
    ZARQ1_Shutdown();
  }
  int32_t status() const { return status_; }
  uint32_t Handle(uint32_t slot) const { return (uint32_t{dir_} << 24) | slot; }
  std::string Path(const std::string& name) const { return folder_.Join(name); }
  const std::vector<ZarqPriceRecord>& series() const { return series_; }

 private:
  zarq_test::TempFolder folder_;
  std::vector<ZarqPriceRecord> series_;
  uint8_t dir_ = 0;
  int32_t status_ = 0;
};

void BM_Read_zarq(benchmark::State& state) {
  PriceDatabase db;
  std::vector<ZarqPriceRecord> out(kRecords);
  const uint32_t h = db.Handle(kFull);
  for (auto _ : state) {
    uint16_t count = kRecords;
    ZarqDateTimePair first = {db.series()[0].Date, 0};
    int32_t status = ZARQ1_LockSecurity(h, ZARQ_READ_LOCK);
    if (status == ZARQ_OK) status = ZARQ2_ReadMultipleRecs(h, out.data(), &first, &count, 2);
    if (ZARQ1_UnlockSecurity(h) != ZARQ_OK || status != ZARQ_OK || count != kRecords) {
      state.SkipWithError("lock, read or unlock failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Read_zarq)->Unit(benchmark::kMicrosecond);

void BM_Read_raw_decode(benchmark::State& state) {
  PriceDatabase db;
  std::vector<ZarqPriceRecord> out(kRecords);
  std::vector<uint8_t> chunk(zarq::kIoChunkBytes / kSize * kSize);
  const std::string path = db.Path("F1.DAT");
  for (auto _ : state) {
    zarq::FileHandle file = zarq::kNoFileHandle;
    uint32_t error =
        zarq::Os().OpenFile(path, true, zarq::OpenDisposition::kOpenExisting, 0, &file);
    uint64_t position = 0;
    if (error == 0) error = zarq::Os().SeekFile(file, kSize, zarq::SeekOrigin::kBegin, &position);
    for (uint32_t done = 0; error == 0 && done < kRecords;) {
      uint32_t n = std::min<uint32_t>(kRecords - done, static_cast<uint32_t>(chunk.size() / kSize));
      uint32_t got = 0;
      error = zarq::Os().ReadFile(file, chunk.data(), n * kSize, &got);
      if (got != n * kSize) error = error != 0 ? error : 1;
      for (uint32_t i = 0; error == 0 && i < n; ++i) {
        zarq::DecodePriceRecord(&chunk[i * kSize], kMask, &out[done + i]);
      }
      done += n;
    }
    if (file != zarq::kNoFileHandle) zarq::Os().CloseFile(file);
    if (error != 0) {
      state.SkipWithError("raw read failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Read_raw_decode)->Unit(benchmark::kMicrosecond);

void BM_Read_sqlite(benchmark::State& state) {
  PriceDatabase db;
  sqlite3* sql = nullptr;
  sqlite3_stmt* select = nullptr;
  bool ready = sqlite3_open(db.Path("bars.db").c_str(), &sql) == SQLITE_OK &&
               sqlite3_exec(sql,
                            "CREATE TABLE bars(date INTEGER, time INTEGER, open REAL, high REAL,"
                            " low REAL, close REAL, volume REAL, oi REAL);"
                            "CREATE INDEX bars_moment ON bars(date, time);",
                            nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ready = ready && sqlite3_exec(sql, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
          sqlite3_prepare_v2(sql, "INSERT INTO bars VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1,
                             &insert, nullptr) == SQLITE_OK;
  for (const ZarqPriceRecord& r : db.series()) {
    if (!ready) break;
    const double values[] = {r.Open, r.High, r.Low, r.Close, r.Volume, r.OpenInterest};
    sqlite3_bind_int(insert, 1, r.Date);
    sqlite3_bind_int(insert, 2, 0);
    for (int i = 0; i < 6; ++i) sqlite3_bind_double(insert, 3 + i, values[i]);
    ready = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  ready = ready && sqlite3_exec(sql, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK &&
          sqlite3_prepare_v2(sql,
                             "SELECT date, time, open, high, low, close, volume, oi FROM bars"
                             " WHERE date BETWEEN ?1 AND ?2 ORDER BY date, time",
                             -1, &select, nullptr) == SQLITE_OK;
  if (!ready) state.SkipWithError("the SQLite table could not be made");
  std::vector<ZarqPriceRecord> out(kRecords);
  for (auto _ : state) {
    if (!ready) break;
    sqlite3_bind_int(select, 1, db.series().front().Date);
    sqlite3_bind_int(select, 2, db.series().back().Date);
    size_t n = 0;
    while (n < out.size() && sqlite3_step(select) == SQLITE_ROW) {
      ZarqPriceRecord& r = out[n++];
      r.Date = sqlite3_column_int(select, 0);
      r.Time = sqlite3_column_int(select, 1);
      r.Open = static_cast<float>(sqlite3_column_double(select, 2));
      r.High = static_cast<float>(sqlite3_column_double(select, 3));
      r.Low = static_cast<float>(sqlite3_column_double(select, 4));
      r.Close = static_cast<float>(sqlite3_column_double(select, 5));
      r.Volume = static_cast<float>(sqlite3_column_double(select, 6));
      r.OpenInterest = static_cast<float>(sqlite3_column_double(select, 7));
      r.FieldMask = kMask;
      r.Reserved = 0;
    }
    sqlite3_reset(select);
    if (n != kRecords) {
      state.SkipWithError("SQLite returned too few bars");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  sqlite3_finalize(select);
  sqlite3_close(sql);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Read_sqlite)->Unit(benchmark::kMicrosecond);

void BM_Append_zarq(benchmark::State& state) {
  PriceDatabase db;
  const uint32_t h = db.Handle(kEmpty);
  if (ZARQ1_LockSecurity(h, ZARQ_WRITE_LOCK) != ZARQ_OK) {
    state.SkipWithError("no write lock");
    return;
  }
  for (auto _ : state) {
    int32_t status = ZARQ2_WriteMultipleRecs(h, db.series().data(), kRecords, 1);
    state.PauseTiming();
    if (status == ZARQ_OK) status = ZARQ1_SeekBeginData(h);
    if (status == ZARQ_OK) status = ZARQ2_DeleteMultipleRecs(h, nullptr, kRecords, 3);
    if (status != ZARQ_OK) {
      state.SkipWithError("append or delete failed");
      break;
    }
    state.ResumeTiming();
  }
  ZARQ1_UnlockSecurity(h);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Append_zarq)->Unit(benchmark::kMicrosecond);

void BM_Append_raw(benchmark::State& state) {
  PriceDatabase db;
  const std::vector<ZarqPriceRecord>& series = db.series();
  std::vector<uint8_t> chunk(zarq::kIoChunkBytes / kSize * kSize);
  const uint32_t per_chunk = static_cast<uint32_t>(chunk.size() / kSize);
  zarq::FileHandle file = zarq::kNoFileHandle;
  if (zarq::Os().OpenFile(db.Path("F2.DAT"), false, zarq::OpenDisposition::kOpenExisting, 0,
                          &file) != 0) {
    state.SkipWithError("no file");
    return;
  }
  for (auto _ : state) {
    uint64_t position = 0;
    uint32_t error = zarq::Os().SeekFile(file, kSize, zarq::SeekOrigin::kBegin, &position);
    for (uint32_t done = 0; error == 0 && done < kRecords;) {
      uint32_t n = std::min<uint32_t>(kRecords - done, per_chunk);
      for (uint32_t i = 0; i < n; ++i) {
        ZarqPriceRecord record = series[done + i];
        record.FieldMask = kMask;
        zarq::EncodePriceRecord(record, &chunk[i * kSize]);
      }
      uint32_t put = 0;
      error = zarq::Os().WriteFile(file, chunk.data(), n * kSize, &put);
      done += n;
    }
    state.PauseTiming();
    if (error != 0 || zarq::Os().SetFileSize(file, kSize) != 0) {
      state.SkipWithError("write failed");
      break;
    }
    state.ResumeTiming();
  }
  zarq::Os().CloseFile(file);
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Append_raw)->Unit(benchmark::kMicrosecond);

void BM_InsertOne_zarq(benchmark::State& state) {
  // One record into the middle of 65,499 (the file is made anew and
  // renamed over the old one); taking it out again is not timed.
  PriceDatabase db;
  const uint32_t h = db.Handle(kFull);
  ZarqDateTimePair at = {};
  if (ZARQ1_LockSecurity(h, ZARQ_WRITE_LOCK) != ZARQ_OK || ZARQ1_SeekEndData(h) != ZARQ_OK ||
      ZARQ1_FindDataRec(h, kRecords, &at) != ZARQ_OK || ZARQ1_DeleteDataRec(h) != ZARQ_OK) {
    state.SkipWithError("no write lock or no room");
    return;
  }
  ZarqPriceRecord record = db.series()[kRecords / 2];
  for (auto _ : state) {
    int32_t status = ZARQ1_FindDataRec(h, kRecords / 2, &at);
    if (status == ZARQ_OK) status = ZARQ1_InsertDataRec(h, &record);
    state.PauseTiming();
    if (status == ZARQ_OK) status = ZARQ1_FindDataRec(h, kRecords / 2, &at);
    if (status == ZARQ_OK) status = ZARQ1_DeleteDataRec(h);
    if (status != ZARQ_OK) {
      state.SkipWithError("insert or delete failed");
      break;
    }
    state.ResumeTiming();
  }
  ZARQ1_UnlockSecurity(h);
}
BENCHMARK(BM_InsertOne_zarq)->Unit(benchmark::kMicrosecond);

void BM_Search(benchmark::State& state) {
  PriceDatabase db;
  const uint32_t h = db.Handle(kFull);
  if (ZARQ1_LockSecurity(h, ZARQ_READ_LOCK) != ZARQ_OK) {
    state.SkipWithError("no lock");
    return;
  }
  std::mt19937 random(1);
  zarq_bench::ScopedCountingPlatform counting;
  for (auto _ : state) {
    ZarqDateTimePair pair = {db.series()[random() % kRecords].Date, 0};
    uint16_t recno = 0;
    if (ZARQ1_SeekBeginData(h) != ZARQ_OK || ZARQ1_FindDataDate(h, &pair, &recno, 2) != ZARQ_OK) {
      state.SkipWithError("search failed");
      break;
    }
  }
  counting->Report(state);
  ZARQ1_UnlockSecurity(h);
}
BENCHMARK(BM_Search);

}  // namespace
