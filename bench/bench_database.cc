// bench_database.cc: writing and opening the benchmarks' databases.

#include "bench/bench_database.h"

#include <map>
#include <memory>

#include "include/zarq.h"
#include "tests/harness/price_files.h"
#include "tests/support/master_builder.h"
#include "tests/support/temp_folder.h"

namespace zarq_bench {

const std::string& BenchDatabase(uint32_t n) {
  // Kept for the whole run: writing 6000 data files takes longer than the
  // benchmarks that use them.
  static std::map<uint32_t, std::unique_ptr<zarq_test::TempFolder>> folders;
  std::unique_ptr<zarq_test::TempFolder>& folder = folders[n];
  if (!folder) {
    folder = std::make_unique<zarq_test::TempFolder>();
    std::vector<zarq::SecurityRecord> records = zarq_test::NumberedSecurities(n);
    zarq_test::WriteMasterFiles(*folder, records);
    for (const zarq::SecurityRecord& r : records) {
      std::string name =
          "F" + std::to_string(r.file_number) + (r.file_number < 256 ? ".DAT" : ".MWD");
      folder->WriteFile(name, zarq_test::PriceFileBytes(r, kBenchRecords));
    }
  }
  return folder->path();
}

OpenDatabase::OpenDatabase(uint32_t n) {
  const std::string& path = BenchDatabase(n);
  status_ = ZARQ1_Initialize("Benchmark", "Bench", ZARQ_INTERFACE_VERSION);
  if (status_ == ZARQ_OK) status_ = ZARQ1_OpenDirectory(path.c_str(), &dir_, 0);
  if (status_ != ZARQ_OK) return;
  opened_ = true;
  handles_.resize(n);
  uint32_t count = 0;
  status_ = ZARQ2_GetSecurityHandles(dir_, 0, n, handles_.data(), &count);
  handles_.resize(count);
  if (status_ == ZARQ_OK && count != n) status_ = -1;
}

OpenDatabase::~OpenDatabase() {
  if (opened_) ZARQ1_CloseDirectory(dir_);
  ZARQ1_Shutdown();
}

}  // namespace zarq_bench
