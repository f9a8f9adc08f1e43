// data_file_numbers.h: the data file numbers of the list positions being
// written back, and the renumbering that makes each position's number fit
// its master file (1..255 for MASTER, 256..6000 for XMASTER).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_MASTER_DATA_FILE_NUMBERS_H_
#define ZARQ_SRC_MASTER_DATA_FILE_NUMBERS_H_

#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

namespace zarq {

inline constexpr uint32_t kMasterNumberLimit = 255;
inline constexpr uint32_t kHighestFileNumber = 6000;
inline constexpr uint32_t kNumberSpace = 6256;

// Data file numbers in use: number k is bit k.
class FileNumberMap {
 public:
  void Set(uint32_t number) {
    if (number >= 1 && number <= kNumberSpace) used_.set(number);
  }
  void Clear(uint32_t number) {
    if (number >= 1 && number <= kNumberSpace) used_.reset(number);
  }
  // The lowest number from low to high not in use, or 0.
  uint32_t FindFree(uint32_t low, uint32_t high) const;

 private:
  std::bitset<kNumberSpace + 1> used_;
};

// Takes one position to a new number (and whatever names the old one);
// false keeps the position's number.
using RenumberFn = std::function<bool(uint32_t position, uint32_t old_number, uint32_t new_number)>;

// Moves positions out of the range their master file cannot hold, in the
// order that frees numbers for each other. numbers[p - 1] is position p's
// number; it is updated for every position moved.
void RenumberPositions(std::vector<uint32_t>* numbers, FileNumberMap* used,
                       const RenumberFn& renumber);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_DATA_FILE_NUMBERS_H_
