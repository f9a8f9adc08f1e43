// stored_records.cc: checking and encoding the records of a change.
//
// Thread-safety: see stored_records.h.

#include "src/data/stored_records.h"

#include <algorithm>

#include "src/datetime/date_rules.h"
#include "src/format/field_mask.h"
#include "src/format/price_batch.h"

namespace zarq {
namespace {

// Records checked and encoded together (a few kilobytes of the caller's).
constexpr uint32_t kBlock = 256;

// Quick answers for the dates and times of nearly every record, which a
// block of 65500 records asks 65500 times. Days 1 to 28 of the month of a
// valid date are all valid: a date inside the last such window found
// needs two comparisons. A time in range with minutes 0..59 is valid. The
// rest are left to the full rules.
class DateWindow {
 public:
  bool Holds(int32_t date) const { return date >= first_ && date <= last_; }
  // Opens the window of date's month when date lies in the valid range
  // with a day of 1..28 (every such date is valid).
  bool Open(int32_t date) {
    if (date < kFirstValidDate || date > kLastValidDate) return false;
    int32_t day = date % 100;
    int32_t month = date / 100 % 100;
    if (day < 1 || day > 28 || month < 1 || month > 12) return false;
    first_ = date - day + 1;
    last_ = date - day + 28;
    return true;
  }

 private:
  int32_t first_ = 1;
  int32_t last_ = 0;
};

bool SurelyValidTime(int32_t time) {
  return time >= 0 && time <= kLastValidTime && time % 100000 < 60000;
}

int32_t Validate(const ZarqPriceRecord* records, uint32_t n, bool has_time, DateWindow* window) {
  for (uint32_t i = 0; i < n; ++i) {
    const int32_t date = records[i].Date;
    if (!window->Holds(date) && !window->Open(date)) {
      int32_t status = ValidateDate(date, true);
      if (status != ZARQ_OK) return status;
    }
    if (has_time && !SurelyValidTime(records[i].Time)) {
      int32_t status = ValidateTime(records[i].Time, true);
      if (status != ZARQ_OK) return status;
    }
  }
  return ZARQ_OK;
}

}  // namespace

int32_t StoredRecords::Prepare(const LockedData& data, const ZarqPriceRecord* records, uint32_t n) {
  records_ = records;
  n_ = n;
  mask_ = data.mask;
  uint32_t all = n;
  encoded_ = AllocRecordBuffer(&all, data.record_size, n);
  DateWindow window;
  for (uint32_t done = 0; done < n; done += kBlock) {
    const uint32_t k = std::min(kBlock, n - done);
    int32_t status = Validate(records + done, k, data.has_time, &window);
    if (status != ZARQ_OK) return status;
    if (encoded_ != nullptr) {
      EncodePriceRecords(records + done, k, mask_, encoded_.get() + done * data.record_size);
    }
  }
  return ZARQ_OK;
}

int32_t StoredRecords::WriteTo(DataFileEdit* edit, uint32_t at) const {
  return encoded_ != nullptr ? edit->Write(at, encoded_.get(), n_)
                             : edit->WriteEncoded(at, records_, n_, mask_);
}

int32_t StoredRecords::AppendTo(DataFileRebuild* rebuild) const {
  if (encoded_ != nullptr) return rebuild->Append(encoded_.get(), n_);
  // Short of memory for them all: encoded a chunk at a time.
  const uint32_t size = StoredRecordSize(mask_);
  uint32_t room = ChunkRecords(static_cast<uint16_t>(size));
  HeapBuffer chunk = AllocRecordBuffer(&room, size, 1);
  if (chunk == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  for (uint32_t done = 0; done < n_;) {
    const uint32_t k = std::min(room, n_ - done);
    EncodePriceRecords(records_ + done, k, mask_, chunk.get());
    int32_t status = rebuild->Append(chunk.get(), k);
    if (status != ZARQ_OK) return status;
    done += k;
  }
  return ZARQ_OK;
}

}  // namespace zarq
