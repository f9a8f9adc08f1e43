// data_merging.cc: merging two securities' records and removing records of
// a repeated moment, both as streams of stored records into a rebuilt file.
//
// Thread-safety: callers hold the library lock.

#include "src/data/data_merging.h"

#include <algorithm>
#include <cstring>

#include "include/zarq.h"
#include "src/data/data_rebuild.h"
#include "src/data/data_sorting.h"
#include "src/data/locked_data.h"
#include "src/data/record_writing.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"

namespace zarq {
namespace {

// One input of a stream: its records chunk by chunk, and the one at hand.
class RecordStream {
 public:
  RecordStream(FileHandle file, uint16_t record_size, uint32_t count)
      : reader_(file, record_size, count), size_(record_size) {}

  int32_t Init(uint32_t room) {
    buffer_ = AllocRecordBuffer(&room, size_, std::min<uint32_t>(room, 3));
    if (buffer_ == nullptr) return ZARQ_E_OUT_OF_MEMORY;
    reader_.Use(buffer_.get(), room);
    return Advance();
  }
  bool done() const { return pos_ >= n_; }
  const uint8_t* head() const { return buffer_.get() + size_t{pos_} * size_; }
  // Moves to the next record, loading the next chunk when needed.
  int32_t Advance() {
    if (n_ > 0) ++pos_;
    if (pos_ < n_) return ZARQ_OK;
    pos_ = 0;
    return reader_.Next(&n_);
  }

 private:
  StoredRecordReader reader_;
  uint16_t size_;
  HeapBuffer buffer_;
  uint32_t n_ = 0;
  uint32_t pos_ = 0;
};

// Appends records one by one, refusing one earlier than the one before.
class OrderedOutput {
 public:
  OrderedOutput(DataFileRebuild* rebuild, uint16_t record_size, bool timed)
      : rebuild_(rebuild), size_(record_size), timed_(timed) {}

  int32_t Put(const uint8_t* record) {
    if (rebuild_->count() > 0 && CompareStoredRecords(previous_, record, timed_) > 0) {
      return ZARQ_E_OUT_OF_ORDER;
    }
    std::memcpy(previous_, record, size_);
    return rebuild_->Append(record, 1);
  }

 private:
  DataFileRebuild* rebuild_;
  uint16_t size_;
  bool timed_;
  uint8_t previous_[kMaxStoredRecordSize] = {};
};

int32_t ReadHeader(FileHandle file, uint16_t record_size, uint8_t* header) {
  return ReadStoredRecords(file, record_size, 0, 1, header);
}

bool SameLayout(const LockedData& a, const LockedData& b) {
  const SecurityRecord& x = a.view.record;
  const SecurityRecord& y = b.view.record;
  return a.mask == b.mask && x.period == y.period && (x.period != 'I' || x.interval == y.interval);
}

// Merges the records of the two streams into output.
int32_t MergeStreams(RecordStream* source, RecordStream* destination, uint32_t mode, bool timed,
                     OrderedOutput* output) {
  int32_t status = ZARQ_OK;
  while (status == ZARQ_OK && !(source->done() && destination->done())) {
    int32_t order = source->done() ? -1
                    : destination->done()
                        ? 1
                        : CompareStoredRecords(destination->head(), source->head(), timed);
    if (order < 0 || (order == 0 && mode != kMergeSourceWins)) {
      status = output->Put(destination->head());
      if (status == ZARQ_OK) status = destination->Advance();
      if (status == ZARQ_OK && order == 0 && mode == kMergeDestinationWins) {
        status = source->Advance();
      }
    } else {
      status = output->Put(source->head());
      if (status == ZARQ_OK) status = source->Advance();
      if (status == ZARQ_OK && order == 0) status = destination->Advance();
    }
  }
  return status;
}

// One pass of duplicate removal; -147 when the file is out of order.
int32_t RemovalPass(uint32_t handle, uint32_t keep) {
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  if (status != ZARQ_OK || data.count() < 2) return status;
  const uint16_t size = data.record_size;
  FileHandle file = kNoFileHandle;
  status = OpenDataFile(data, &file);
  uint8_t header[kMaxStoredRecordSize];
  if (status == ZARQ_OK) status = ReadHeader(file, size, header);
  RecordStream input(file, size, data.count());
  if (status == ZARQ_OK) status = input.Init(ChunkRecords(size));
  DataFileRebuild rebuild(data, size);
  if (status == ZARQ_OK) status = rebuild.Begin(header);
  if (status != ZARQ_OK) return status;
  uint8_t candidate[kMaxStoredRecordSize];
  std::memcpy(candidate, input.head(), size);
  for (status = input.Advance(); status == ZARQ_OK && !input.done(); status = input.Advance()) {
    const int32_t order = CompareStoredRecords(candidate, input.head(), data.timed);
    if (order > 0) return ZARQ_E_OUT_OF_ORDER;
    if (order < 0) status = rebuild.Append(candidate, 1);
    if (order < 0 || keep == 1) std::memcpy(candidate, input.head(), size);
  }
  if (status == ZARQ_OK) status = rebuild.Append(candidate, 1);
  // Nothing dropped: the data file stays byte for byte as it was.
  if (status != ZARQ_OK || rebuild.count() == data.count()) return status;
  // The swap comes first: the lower count never hides records of a file
  // that was not replaced.
  status = rebuild.SwapIn();
  return status == ZARQ_OK ? CommitRebuilt(&data, rebuild) : status;
}

}  // namespace

int32_t MergeData(uint32_t source, uint32_t destination, uint32_t mode) {
  if (IsCompositeHandle(source) || IsCompositeHandle(destination)) return ZARQ_E_IS_COMPOSITE;
  if (DirectoryOfHandle(source) == DirectoryOfHandle(destination) &&
      SlotOfHandle(source) == SlotOfHandle(destination)) {
    return ZARQ_E_SAME_SECURITY;
  }
  LockedData from, into;
  int32_t status = LoadLockedData(source, kReadLock, &from);
  if (status == ZARQ_OK && from.composite()) status = ZARQ_E_IS_COMPOSITE;
  if (status == ZARQ_OK) status = LoadForWriting(destination, &into);
  if (status != ZARQ_OK) return status;
  if (!SameLayout(from, into)) return ZARQ_E_LAYOUT_DIFFERS;
  if (from.count() == 0) return ZARQ_OK;

  const uint16_t size = into.record_size;
  FileHandle source_file = kNoFileHandle, destination_file = kNoFileHandle;
  status = OpenDataFile(from, &source_file);
  if (status == ZARQ_OK) status = OpenDataFile(into, &destination_file);
  uint8_t header[kMaxStoredRecordSize];
  if (status == ZARQ_OK) status = ReadHeader(destination_file, size, header);
  // The output has a chunk buffer of its own; the inputs share one chunk.
  const uint32_t room = std::max<uint32_t>(1, ChunkRecords(size) / 2);
  RecordStream source_records(source_file, size, from.count());
  RecordStream destination_records(destination_file, size, into.count());
  if (status == ZARQ_OK) status = source_records.Init(room);
  if (status == ZARQ_OK) status = destination_records.Init(room);
  DataFileRebuild rebuild(into, size);
  if (status == ZARQ_OK) status = rebuild.Begin(header);
  OrderedOutput output(&rebuild, size, into.timed);
  if (status == ZARQ_OK) {
    status = MergeStreams(&source_records, &destination_records, mode, into.timed, &output);
  }
  if (status == ZARQ_OK) status = rebuild.SwapIn();
  if (status != ZARQ_OK) return status;
  SecurityRecord& record = into.view.record;
  if (from.view.record.extra_date > record.extra_date) {
    record.extra_date = from.view.record.extra_date;
    record.extra_value = from.view.record.extra_value;
  }
  return CommitRebuilt(&into, rebuild);
}

int32_t RemoveDuplicateDataRecs(uint32_t handle, uint32_t keep) {
  int32_t status = RemovalPass(handle, keep);
  if (status != ZARQ_E_OUT_OF_ORDER) return status;
  status = SortData(handle);
  return status == ZARQ_OK ? RemovalPass(handle, keep) : status;
}

}  // namespace zarq
