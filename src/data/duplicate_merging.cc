// duplicate_merging.cc: a security listed twice in the master files made
// one at the first user's build (open flag 0x08): the later copy's price
// data merged into the first copy's, the later copy retired. Installed as
// the directory layer's DuplicateMerger (directory_files.h).
//
// Every change of a data file is a rebuild swapped in and written through
// to the list (data_rebuild.h), so a process dying between two steps
// leaves both copies listed, each file whole and described by its record;
// the retirement comes last.
//
// Thread-safety: callers hold the library lock.

#include <algorithm>

#include "include/zarq.h"
#include "src/data/data_adjustment.h"
#include "src/data/data_merging.h"
#include "src/data/data_rebuild.h"
#include "src/data/data_sorting.h"
#include "src/data/locked_data.h"
#include "src/directory/directory_files.h"
#include "src/fileio/security_handle.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/format/record_buffer.h"
#include "src/security/lock_table.h"
#include "src/security/security_changes.h"
#include "src/security/security_locking.h"

namespace zarq {
namespace {

// The moments of a locked security's records in file order, chunk by chunk.
class MomentStream {
 public:
  explicit MomentStream(const LockedData& data) : data_(data), reader_(kNoFileHandle, 0, 0) {}

  int32_t Init() {
    FileHandle file = kNoFileHandle;
    int32_t status = OpenDataFile(data_, &file);
    if (status != ZARQ_OK) return status;
    uint32_t room = ChunkRecords(data_.record_size);
    buffer_ = AllocRecordBuffer(&room, data_.record_size, 1);
    if (buffer_ == nullptr) return ZARQ_E_OUT_OF_MEMORY;
    reader_ = StoredRecordReader(file, data_.record_size, data_.count());
    reader_.Use(buffer_.get(), room);
    return Load();
  }
  bool done() const { return pos_ >= n_; }
  const Moment& head() const { return head_; }
  int32_t Advance() {
    ++pos_;
    return pos_ < n_ ? Decode() : Load();
  }

 private:
  int32_t Load() {
    pos_ = 0;
    int32_t status = reader_.Next(&n_);
    return status == ZARQ_OK && n_ > 0 ? Decode() : status;
  }
  int32_t Decode() {
    const uint8_t* record = buffer_.get() + size_t{pos_} * data_.record_size;
    RecordToZarqDateTime(record, &head_.date, &head_.time, data_.has_time);
    return ZARQ_OK;
  }

  const LockedData& data_;
  StoredRecordReader reader_;
  HeapBuffer buffer_;
  uint32_t n_ = 0;
  uint32_t pos_ = 0;
  Moment head_;
};

// The number of records a merge of source into destination keeping the
// destination's record of a moment both have would write (both sorted):
// counted before any file is changed, so that a merge too large for a
// data file leaves both as they were.
int32_t CountMerged(const LockedData& source, const LockedData& destination, uint32_t* total) {
  *total = 0;
  MomentStream from(source), into(destination);
  int32_t status = from.Init();
  if (status == ZARQ_OK) status = into.Init();
  while (status == ZARQ_OK && !(from.done() && into.done())) {
    const int32_t order = from.done() ? -1
                          : into.done()
                              ? 1
                              : CompareMoments(into.head(), from.head(), destination.timed);
    if (order <= 0) status = into.Advance();
    if (status == ZARQ_OK && order >= 0) status = from.Advance();
    ++*total;
  }
  return status;
}

// Both copies locked here at FullLock.
int32_t MergeLockedCopies(uint32_t survivor, uint32_t retired) {
  LockedData first, second;
  int32_t status = LoadLockedData(survivor, kFullLock, &first);
  if (status == ZARQ_OK) status = LoadLockedData(retired, kFullLock, &second);
  if (status != ZARQ_OK) return status;
  // A master file that lists one data file twice: nothing to merge, and
  // the file stays with the first copy.
  if (first.view.record.file_number == second.view.record.file_number) {
    return RetireDuplicateSecurity(retired, true);
  }
  status = SortData(retired);
  if (status == ZARQ_OK) status = SortData(survivor);
  if (status == ZARQ_OK) status = LoadLockedData(survivor, kFullLock, &first);
  if (status == ZARQ_OK) status = LoadLockedData(retired, kFullLock, &second);
  uint32_t total = 0;
  if (status == ZARQ_OK) status = CountMerged(second, first, &total);
  if (status == ZARQ_OK && total > kMaxMultipleRecords) status = ZARQ_E_TOO_MANY_RECORDS;
  // Both take every field either has.
  const uint16_t mask = first.mask | second.mask;
  if (status == ZARQ_OK) status = ChangeFieldsInData(survivor, mask);
  if (status == ZARQ_OK) status = ChangeFieldsInData(retired, mask);
  if (status == ZARQ_OK) status = MergeData(retired, survivor, kMergeDestinationWins);
  return status == ZARQ_OK ? RetireDuplicateSecurity(retired, false) : status;
}

int32_t MergeDuplicateSecurity(uint8_t directory, uint32_t survivor_slot, uint32_t retired_slot) {
  const uint32_t survivor = MakeSecurityHandle(directory, survivor_slot, false);
  const uint32_t retired = MakeSecurityHandle(directory, retired_slot, false);
  int32_t status = LockSecurity(retired, kFullLock);
  if (status != ZARQ_OK) return status;
  status = LockSecurity(survivor, kFullLock);
  if (status == ZARQ_OK) {
    status = MergeLockedCopies(survivor, retired);
    int32_t unlocked = UnlockSecurity(survivor);
    if (status == ZARQ_OK) status = unlocked;
  }
  int32_t unlocked = UnlockSecurity(retired);
  return status == ZARQ_OK ? unlocked : status;
}

struct InstallMerger {
  InstallMerger() { SetDuplicateMerger(&MergeDuplicateSecurity); }
} const kInstallMerger;

}  // namespace
}  // namespace zarq
