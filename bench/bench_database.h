// bench_database.h: the databases the security benchmarks run on: n daily
// securities "S1".."Sn" (MASTER, EMASTER and, beyond 255, XMASTER) with a
// data file of a few price records each, written once per size and run;
// and the library initialised with one of them open, for a benchmark's
// lifetime.
//
// Thread-safety: single-threaded benchmarks.

#ifndef ZARQ_BENCH_BENCH_DATABASE_H_
#define ZARQ_BENCH_BENCH_DATABASE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zarq_bench {

// Price records in each data file.
inline constexpr int kBenchRecords = 5;

// The folder of the database of n securities.
const std::string& BenchDatabase(uint32_t n);

// Initialises the library and opens the database of n securities (its
// first user: the working files are built here, outside any timing).
class OpenDatabase {
 public:
  explicit OpenDatabase(uint32_t n);
  ~OpenDatabase();
  OpenDatabase(const OpenDatabase&) = delete;
  OpenDatabase& operator=(const OpenDatabase&) = delete;

  // 0 when the library started and the directory opened.
  int32_t status() const { return status_; }
  uint8_t dir() const { return dir_; }
  // The handles of every security, in list order.
  const std::vector<uint32_t>& handles() const { return handles_; }

 private:
  int32_t status_ = 0;
  bool opened_ = false;
  uint8_t dir_ = 0;
  std::vector<uint32_t> handles_;
};

}  // namespace zarq_bench

#endif  // ZARQ_BENCH_BENCH_DATABASE_H_
