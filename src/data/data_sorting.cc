// data_sorting.cc: sorting a data file by moment, in memory or by merging
// sorted runs kept in a runs file.
//
// Thread-safety: callers hold the library lock.

#include "src/data/data_sorting.h"

#include <algorithm>
#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "include/zarq.h"
#include "src/data/data_rebuild.h"
#include "src/data/locked_data.h"
#include "src/data/record_writing.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"

namespace zarq {
namespace {

constexpr uint32_t kMaxRuns = 100;

// A record's place in the order: its moment, then its place in the file.
struct SortKey {
  int32_t date;
  int32_t time;
  uint32_t index;
  bool operator<(const SortKey& other) const {
    return std::tie(date, time, index) < std::tie(other.date, other.time, other.index);
  }
};
constexpr uint32_t kKeyBytes = 12;  // a key in the runs file, before its record

// Keys of n stored records, the first of them record number first; clears
// *in_order when a moment comes before the one before it (*last).
void MakeKeys(const LockedData& data, const uint8_t* records, uint32_t n, uint32_t first,
              SortKey* keys, bool* in_order, SortKey* last) {
  for (uint32_t k = 0; k < n; ++k) {
    SortKey& key = keys[k];
    RecordToZarqDateTime(records + size_t{k} * data.record_size, &key.date, &key.time,
                         data.has_time);
    if (!data.timed) key.time = 0;
    key.index = first + k;
    if (std::tie(key.date, key.time) < std::tie(last->date, last->time)) *in_order = false;
    *last = key;
  }
}

SortKey DecodeKey(const uint8_t* entry) {
  return {GetI32(entry), GetI32(entry + 4), GetU32(entry + 8)};
}

// The runs file: sorted runs of entries (key and stored record) back to
// back; removed when the sort ends.
class RunsFile {
 public:
  explicit RunsFile(uint32_t handle) : handle_(handle) {}
  ~RunsFile() {
    if (file_ != kNoFileHandle) {
      FileCloseMatching(DirectoryOfHandle(handle_), static_cast<uint64_t>(file_), kCloseHandle);
    }
    if (!name_.empty()) DeleteFileByName(name_);
  }
  int32_t Create() {
    const uint16_t kind = kKindData | kKindTemporary;
    int32_t status = BuildSecurityFileName(handle_, &name_, kind);
    return status == ZARQ_OK ? OpenSecurityFile(handle_, &file_, kOpenCreate | kOpenTruncate, kind)
                             : status;
  }
  FileHandle file() const { return file_; }

 private:
  uint32_t handle_;
  std::string name_;
  FileHandle file_ = kNoFileHandle;
};

// Appends the n records in key order as entries of entry_size bytes.
int32_t WriteRun(const LockedData& data, const SortKey* keys, uint32_t n, uint32_t first,
                 const uint8_t* records, uint16_t entry_size, FileHandle runs) {
  const uint32_t per_chunk = ChunkRecords(entry_size);
  std::vector<uint8_t> chunk(size_t{per_chunk} * entry_size);
  for (uint32_t done = 0; done < n;) {
    const uint32_t k = std::min(per_chunk, n - done);
    for (uint32_t i = 0; i < k; ++i) {
      const SortKey& key = keys[done + i];
      uint8_t* entry = chunk.data() + size_t{i} * entry_size;
      PutI32(entry, key.date);
      PutI32(entry + 4, key.time);
      PutU32(entry + 8, key.index);
      std::copy_n(records + size_t{key.index - first} * data.record_size, data.record_size,
                  entry + kKeyBytes);
    }
    int32_t status = FileWrite(runs, k * entry_size, chunk.data());
    if (status != ZARQ_OK) return status;
    done += k;
  }
  return ZARQ_OK;
}

// A run being merged: its entries first..end - 1 of the runs file, read
// share at a time into its window.
struct RunWindow {
  uint32_t next = 0;
  uint32_t end = 0;
  uint8_t* window = nullptr;
  uint32_t loaded = 0;
  uint32_t pos = 0;
};

int32_t MergeRuns(const LockedData& data, FileHandle runs, uint32_t count, uint32_t run_size,
                  uint32_t share, uint8_t* buffer, DataFileRebuild* rebuild) {
  const uint16_t entry_size = static_cast<uint16_t>(kKeyBytes + data.record_size);
  std::vector<RunWindow> windows;
  for (uint32_t first = 0; first < count; first += run_size) {
    RunWindow run;
    run.next = first;
    run.end = std::min(count, first + run_size);
    run.window = buffer + size_t{windows.size()} * share * entry_size;
    windows.push_back(run);
  }
  for (uint32_t out = 0; out < count; ++out) {
    RunWindow* best = nullptr;
    SortKey best_key{};
    for (RunWindow& run : windows) {
      if (run.pos == run.loaded && run.next < run.end) {
        const uint32_t k = std::min(share, run.end - run.next);
        int32_t status = FileSeek(runs, entry_size, static_cast<int32_t>(run.next), kSeekRecord);
        if (status == ZARQ_OK) status = FileRead(runs, k * entry_size, run.window);
        if (status != ZARQ_OK) return status;
        run.next += k;
        run.loaded = k;
        run.pos = 0;
      }
      if (run.pos == run.loaded) continue;
      // Equal keys cannot occur (the file index decides), so the earlier
      // run's record of a moment always goes first.
      SortKey key = DecodeKey(run.window + size_t{run.pos} * entry_size);
      if (best == nullptr || key < best_key) {
        best = &run;
        best_key = key;
      }
    }
    if (best == nullptr) return ZARQ_E_END_OF_FILE;
    int32_t status = rebuild->Append(best->window + size_t{best->pos} * entry_size + kKeyBytes, 1);
    if (status != ZARQ_OK) return status;
    ++best->pos;
  }
  return ZARQ_OK;
}

}  // namespace

int32_t SortData(uint32_t handle) { return SortDataInRuns(handle, UINT32_MAX); }

int32_t SortDataInRuns(uint32_t handle, uint32_t run_limit) {
  LockedData data;
  int32_t status = LoadForWriting(handle, &data);
  if (status != ZARQ_OK || data.count() < 2) return status;
  const uint32_t count = data.count();
  const uint16_t size = data.record_size;
  const uint16_t entry_size = static_cast<uint16_t>(sizeof(SortKey) + size);
  uint32_t run_size = count;
  HeapBuffer buffer = AllocRecordBuffer(&run_size, entry_size, (count + kMaxRuns - 1) / kMaxRuns);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  run_size = std::max<uint32_t>(1, std::min(run_size, run_limit));
  const uint32_t runs = (count + run_size - 1) / run_size;
  const uint32_t share = run_size / runs;
  // Without an entry's room per run the merge could never load one.
  if (runs > 1 && share == 0) return ZARQ_E_OUT_OF_MEMORY;
  SortKey* keys = reinterpret_cast<SortKey*>(buffer.get());
  uint8_t* records = buffer.get() + size_t{run_size} * sizeof(SortKey);

  FileHandle file = kNoFileHandle;
  status = OpenDataFile(data, &file);
  uint8_t header[kMaxStoredRecordSize];
  if (status == ZARQ_OK) status = ReadStoredRecords(file, size, 0, 1, header);
  if (status != ZARQ_OK) return status;
  bool in_order = true;
  SortKey last{INT32_MIN, INT32_MIN, 0};
  DataFileRebuild rebuild(data, size, kKindSecurityScratch);
  if (runs == 1) {
    status = ReadStoredRecords(file, size, 1, count, records);
    if (status != ZARQ_OK) return status;
    MakeKeys(data, records, count, 1, keys, &in_order, &last);
    if (in_order) return ZARQ_OK;
    std::sort(keys, keys + count);
    status = rebuild.Begin(header);
    for (uint32_t k = 0; status == ZARQ_OK && k < count; ++k) {
      status = rebuild.Append(records + size_t{keys[k].index - 1} * size, 1);
    }
  } else {
    RunsFile runs_file(handle);
    status = runs_file.Create();
    for (uint32_t first = 1; status == ZARQ_OK && first <= count; first += run_size) {
      const uint32_t n = std::min(run_size, count - first + 1);
      status = ReadStoredRecords(file, size, first, n, records);
      if (status != ZARQ_OK) break;
      MakeKeys(data, records, n, first, keys, &in_order, &last);
      std::sort(keys, keys + n);
      status = WriteRun(data, keys, n, first, records, static_cast<uint16_t>(kKeyBytes + size),
                        runs_file.file());
    }
    if (status != ZARQ_OK || in_order) return status;
    status = rebuild.Begin(header);
    if (status == ZARQ_OK) {
      status = MergeRuns(data, runs_file.file(), count, run_size, share, buffer.get(), &rebuild);
    }
  }
  if (status == ZARQ_OK) status = rebuild.SwapIn();
  return status == ZARQ_OK ? CommitRebuilt(&data, rebuild) : status;
}

}  // namespace zarq
