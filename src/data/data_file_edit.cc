// data_file_edit.cc: saving, changing and restoring a data file.
//
// Thread-safety: see data_file_edit.h.

#include "src/data/data_file_edit.h"

#include <algorithm>

#include "src/fileio/file_table.h"
#include "src/format/field_mask.h"
#include "src/format/price_batch.h"

namespace zarq {

int32_t DataFileEdit::Save(uint32_t from, uint32_t to) {
  from_ = from;
  saved_bytes_ = 0;
  uint32_t file_size = 0;
  int32_t status = FileGetSize(file_, &file_size);
  if (status != ZARQ_OK) return status;
  file_bytes_ = file_size;
  uint64_t begin = static_cast<uint64_t>(from) * size_;
  uint64_t end = std::min<uint64_t>(static_cast<uint64_t>(to) * size_, file_size);
  if (end <= begin) return ZARQ_OK;
  uint32_t bytes = static_cast<uint32_t>(end - begin);
  // All or nothing: a part would not undo the edit.
  saved_ = AllocByteBuffer(&bytes, bytes);
  if (saved_ == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  status = FileSeek(file_, size_, static_cast<int32_t>(from), kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file_, bytes, saved_.get());
  if (status == ZARQ_OK) saved_bytes_ = bytes;
  return status;
}

int32_t DataFileEdit::Write(uint32_t at, const uint8_t* records, uint32_t n) {
  int32_t status = FileSeek(file_, size_, static_cast<int32_t>(at), kSeekRecord);
  return status == ZARQ_OK ? FileWrite(file_, n * size_, records) : status;
}

int32_t DataFileEdit::WriteEncoded(uint32_t at, const ZarqPriceRecord* records, uint32_t n,
                                   uint16_t mask) {
  uint32_t chunk = std::min<uint32_t>(n, std::max<uint32_t>(1, kIoChunkBytes / size_));
  HeapBuffer buffer = AllocRecordBuffer(&chunk, size_, 1);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  int32_t status = FileSeek(file_, size_, static_cast<int32_t>(at), kSeekRecord);
  for (uint32_t done = 0; status == ZARQ_OK && done < n;) {
    uint32_t k = std::min(chunk, n - done);
    EncodePriceRecords(records + done, k, mask, buffer.get());
    status = FileWrite(file_, k * size_, buffer.get());
    done += k;
  }
  return status;
}

int32_t DataFileEdit::Resize(uint32_t records) { return FileSetSize(file_, records * size_); }

void DataFileEdit::Undo() {
  if (saved_bytes_ > 0 && FileSeek(file_, size_, static_cast<int32_t>(from_), kSeekRecord) == 0) {
    FileWrite(file_, saved_bytes_, saved_.get());
  }
  FileSetSize(file_, static_cast<uint32_t>(file_bytes_));
}

}  // namespace zarq
