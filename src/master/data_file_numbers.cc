// data_file_numbers.cc: choosing new data file numbers at write-back.
//
// Thread-safety: pure apart from the renumber callback.

#include "src/master/data_file_numbers.h"

namespace zarq {

uint32_t FileNumberMap::FindFree(uint32_t low, uint32_t high) const {
  for (uint32_t number = low; number <= high && number <= kNumberSpace; ++number) {
    if (!used_.test(number)) return number;
  }
  return 0;
}

void RenumberPositions(std::vector<uint32_t>* numbers, FileNumberMap* used,
                       const RenumberFn& renumber) {
  auto move = [&](uint32_t position, uint32_t low, uint32_t high) {
    uint32_t old_number = (*numbers)[position - 1];
    uint32_t fresh = used->FindFree(low, high);
    if (fresh == 0 || !renumber(position, old_number, fresh)) return false;
    used->Set(fresh);
    used->Clear(old_number);
    (*numbers)[position - 1] = fresh;
    return fresh > kHighestFileNumber;
  };
  uint32_t n = static_cast<uint32_t>(numbers->size());
  // Positions after 255 whose numbers belong to MASTER go first, beyond
  // 6000 for the moment if need be; that frees the low numbers the early
  // positions need.
  bool went_beyond = false;
  for (uint32_t p = kMasterNumberLimit + 1; p <= n; ++p) {
    if ((*numbers)[p - 1] <= kMasterNumberLimit) {
      went_beyond |= move(p, kMasterNumberLimit + 1, kNumberSpace - 1);
    }
  }
  for (uint32_t p = 1; p <= n && p <= kMasterNumberLimit; ++p) {
    if ((*numbers)[p - 1] > kMasterNumberLimit) move(p, 1, kMasterNumberLimit);
  }
  if (!went_beyond) return;
  for (uint32_t p = kMasterNumberLimit + 1; p <= n; ++p) {
    if ((*numbers)[p - 1] > kHighestFileNumber) move(p, kMasterNumberLimit + 1, kHighestFileNumber);
  }
}

}  // namespace zarq
