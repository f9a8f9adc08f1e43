// data_file_edit.h: a change to a data file that can be taken back.
//
// Before the first byte moves, an edit saves the records it is about to
// overwrite (from a record on, up to a limit or to the end of the file,
// trailing bytes included) and the file's size. When a later step fails,
// Undo writes them back and restores the size, so that a write, insert or
// delete that fails leaves the data file as it was, as far as the file can
// still be written.
//
// Thread-safety: callers hold the library lock; an edit is the operation's
// own.

#ifndef ZARQ_SRC_DATA_DATA_FILE_EDIT_H_
#define ZARQ_SRC_DATA_DATA_FILE_EDIT_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/format/record_buffer.h"
#include "src/platform/platform.h"

namespace zarq {

inline constexpr uint32_t kToEndOfFile = 0xFFFFFFFFu;

class DataFileEdit {
 public:
  DataFileEdit(FileHandle file, uint16_t record_size) : file_(file), size_(record_size) {}
  DataFileEdit(const DataFileEdit&) = delete;
  DataFileEdit& operator=(const DataFileEdit&) = delete;

  // Saves the bytes of records from..to - 1 that the file holds (to
  // kToEndOfFile: everything from record from on) and the file's size.
  // -394 without memory for them; file failures.
  int32_t Save(uint32_t from, uint32_t to);

  // The whole records saved, and saved record r (from <= r).
  uint32_t saved_records() const { return saved_bytes_ / size_; }
  const uint8_t* Saved(uint32_t record) const { return saved_.get() + (record - from_) * size_; }
  uint64_t file_bytes() const { return file_bytes_; }
  uint16_t record_size() const { return size_; }

  // Writes n stored records at record at.
  int32_t Write(uint32_t at, const uint8_t* records, uint32_t n);

  // Encodes n price records with mask (their own masks ignored) and writes
  // them from record at on, through a buffer of at most one I/O chunk.
  int32_t WriteEncoded(uint32_t at, const ZarqPriceRecord* records, uint32_t n, uint16_t mask);

  // Makes the file records x the record size bytes long.
  int32_t Resize(uint32_t records);

  // Writes the saved bytes back and restores the size; best effort (the
  // caller reports the failure that made it undo).
  void Undo();

 private:
  FileHandle file_;
  uint16_t size_;
  uint32_t from_ = 0;
  uint32_t saved_bytes_ = 0;
  uint64_t file_bytes_ = 0;
  HeapBuffer saved_;
};

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATA_FILE_EDIT_H_
