// data_rebuild.cc: data files rebuilt under a temporary name and swapped
// in; chunked reading of stored records.
//
// Thread-safety: see data_rebuild.h.

#include "src/data/data_rebuild.h"

#include <algorithm>
#include <cstring>

#include "src/fileio/file_replacement.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"
#include "src/format/price_codec.h"
#include "src/frame/little_endian.h"
#include "src/security/security_locking.h"

namespace zarq {

uint32_t ChunkRecords(uint16_t record_size) {
  return std::max<uint32_t>(1, kIoChunkBytes / record_size);
}

DataFileRebuild::~DataFileRebuild() {
  if (!swapped_) Discard();
}

void DataFileRebuild::Discard() {
  if (file_ != kNoFileHandle) {
    FileCloseMatching(DirectoryOfHandle(data_.handle), static_cast<uint64_t>(file_), kCloseHandle);
    file_ = kNoFileHandle;
  }
  if (!name_.empty()) DeleteFileByName(name_);
}

int32_t DataFileRebuild::Begin(const uint8_t* header) {
  chunk_records_ = ChunkRecords(size_);
  chunk_ = AllocRecordBuffer(&chunk_records_, size_, 1);
  if (chunk_ == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  int32_t status = BuildSecurityFileName(data_.handle, &name_, kind_);
  if (status == ZARQ_OK) {
    status = OpenSecurityFile(data_.handle, &file_, kOpenCreate | kOpenTruncate, kind_);
  }
  if (status == ZARQ_OK) status = FileSeek(file_, size_, 0, kSeekRecord);
  return status == ZARQ_OK ? FileWrite(file_, size_, header) : status;
}

int32_t DataFileRebuild::WriteBuffered() {
  if (buffered_ == 0) return ZARQ_OK;
  int32_t status = FileWrite(file_, buffered_ * size_, chunk_.get());
  buffered_ = 0;
  return status;
}

int32_t DataFileRebuild::Append(const uint8_t* records, uint32_t n) {
  if (n == 0) return ZARQ_OK;
  if (count_ + n > kMaxMultipleRecords) return ZARQ_E_TOO_MANY_RECORDS;
  if (count_ == 0) RecordToZarqDateTime(records, &first_.date, &first_.time, data_.has_time);
  const uint8_t* end = records + size_t{n - 1} * size_;
  RecordToZarqDateTime(end, &last_.date, &last_.time, data_.has_time);
  count_ += n;
  // Whole chunks go straight to the file; pieces gather in the buffer.
  while (n > 0) {
    if (buffered_ == 0 && n >= chunk_records_) {
      const uint32_t k = n - n % chunk_records_;
      int32_t status = FileWrite(file_, k * size_, records);
      if (status != ZARQ_OK) return status;
      records += size_t{k} * size_;
      n -= k;
      continue;
    }
    const uint32_t k = std::min(n, chunk_records_ - buffered_);
    std::memcpy(chunk_.get() + size_t{buffered_} * size_, records, size_t{k} * size_);
    buffered_ += k;
    records += size_t{k} * size_;
    n -= k;
    if (buffered_ == chunk_records_) {
      int32_t status = WriteBuffered();
      if (status != ZARQ_OK) return status;
    }
  }
  return ZARQ_OK;
}

int32_t DataFileRebuild::SwapIn() {
  int32_t status = WriteBuffered();
  // The header counts the records before the file takes the name: a crash
  // after the swap leaves a file that reads right without the unlock.
  uint8_t words[2];
  PutU16(words, static_cast<uint16_t>(count_ + 1));
  if (status == ZARQ_OK) status = FileSeek(file_, 1, kRecordsInFileOffset, kSeekRecord);
  if (status == ZARQ_OK) status = FileWrite(file_, sizeof(words), words);
  if (status == ZARQ_OK) status = FileSetSize(file_, (count_ + 1) * size_);
  if (status == ZARQ_OK) status = FileFlush(file_);
  const uint8_t directory = DirectoryOfHandle(data_.handle);
  int32_t closed = FileCloseMatching(directory, static_cast<uint64_t>(file_), kCloseHandle);
  file_ = kNoFileHandle;
  if (status == ZARQ_OK) status = closed;
  std::string target;
  if (status == ZARQ_OK) status = BuildSecurityFileName(data_.handle, &target, kKindData);
  if (status == ZARQ_OK) status = ReplaceWithFile(directory, name_, target, false);
  if (status != ZARQ_OK) return status;
  swapped_ = true;
  return ZARQ_OK;
}

int32_t CommitThrough(const LockedData& data) {
  int32_t status = CommitLockedData(data);
  return status == ZARQ_OK ? StoreLockedSecurity(data.handle) : status;
}

int32_t CommitRebuilt(LockedData* data, const DataFileRebuild& rebuilt) {
  data->view.record_count = static_cast<uint16_t>(rebuilt.count());
  if (rebuilt.count() > 0) {
    SetFirstMoment(data, rebuilt.first());
    SetLastMoment(data, rebuilt.last());
  }
  return CommitThrough(*data);
}

int32_t StoredRecordReader::Next(uint32_t* n) {
  *n = std::min(left_, room_);
  if (*n == 0) return ZARQ_OK;
  int32_t status = ReadStoredRecords(file_, size_, next_, *n, buffer_);
  if (status != ZARQ_OK) {
    *n = 0;
    return status;
  }
  next_ += *n;
  left_ -= *n;
  return ZARQ_OK;
}

}  // namespace zarq
