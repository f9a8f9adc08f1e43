// data_rebuild.h: a security's data file made anew beside the old one and
// put in its place in one step, and the chunked reading the rebuilds share.
//
// A rebuild writes the whole new file under a temporary name (F<n>.TMP, or
// S<n>.TMP for a sort), gives its header the true record count, puts it on
// the disk and only then replaces the data file by one atomic rename. At
// every instant the data file's name holds either the old file or the new
// one, each complete and counted by its own header. The working copy is
// committed after the swap and written through to the security list file
// at once, so a process that dies before its unlock leaves the list and the
// data file agreeing (count, moments and field mask).
//
// A rebuild that is not swapped in removes its temporary file.
//
// Thread-safety: callers hold the library lock; objects are the
// operation's own.

#ifndef ZARQ_SRC_DATA_DATA_REBUILD_H_
#define ZARQ_SRC_DATA_DATA_REBUILD_H_

#include <cstdint>
#include <string>

#include "src/data/locked_data.h"
#include "src/fileio/file_naming.h"
#include "src/format/record_buffer.h"
#include "src/platform/platform.h"

namespace zarq {

class DataFileRebuild {
 public:
  // For data's security; records of record_size bytes (the security's own
  // unless the rebuild changes its fields); kind names the temporary file.
  DataFileRebuild(const LockedData& data, uint16_t record_size,
                  uint16_t kind = kKindData | kKindTemporary)
      : data_(data), size_(record_size), kind_(kind) {}
  ~DataFileRebuild();
  DataFileRebuild(const DataFileRebuild&) = delete;
  DataFileRebuild& operator=(const DataFileRebuild&) = delete;

  // Creates the temporary file anew with header (record_size bytes) as its
  // header record. -394 without memory for an output chunk.
  int32_t Begin(const uint8_t* header);

  // Appends n stored records (through a buffer of one I/O chunk).
  int32_t Append(const uint8_t* records, uint32_t n);

  uint32_t count() const { return count_; }
  // The moments of the first and last records appended (count() > 0).
  Moment first() const { return first_; }
  Moment last() const { return last_; }

  // Writes what is buffered, sets the header's count, puts the file on the
  // disk and replaces the data file with it. On failure the data file is
  // untouched and the temporary file is gone.
  int32_t SwapIn();

 private:
  int32_t WriteBuffered();
  void Discard();

  const LockedData& data_;
  uint16_t size_;
  uint16_t kind_;
  std::string name_;
  FileHandle file_ = kNoFileHandle;
  HeapBuffer chunk_;
  uint32_t chunk_records_ = 0;
  uint32_t buffered_ = 0;
  uint32_t count_ = 0;
  Moment first_;
  Moment last_;
  bool swapped_ = false;
};

// After a swap: the record count and first and last moments of the new
// file (moments only when it holds records) committed to the working copy,
// which is then written through to the files.
int32_t CommitRebuilt(LockedData* data, const DataFileRebuild& rebuilt);

// The working copy committed and written through to the files now.
int32_t CommitThrough(const LockedData& data);

// Reads the stored records of a data file from record 1 to record count in
// chunks.
class StoredRecordReader {
 public:
  StoredRecordReader(FileHandle file, uint16_t record_size, uint32_t count)
      : file_(file), size_(record_size), left_(count) {}

  // Takes a buffer of room records (at least 1).
  void Use(uint8_t* buffer, uint32_t room) {
    buffer_ = buffer;
    room_ = room;
  }
  // Reads the next chunk (*n records, 0 at the end) into the buffer.
  int32_t Next(uint32_t* n);
  uint32_t left() const { return left_; }

 private:
  FileHandle file_;
  uint16_t size_;
  uint32_t left_;
  uint32_t next_ = 1;
  uint8_t* buffer_ = nullptr;
  uint32_t room_ = 0;
};

// The stored records of data's file are read n records per chunk.
uint32_t ChunkRecords(uint16_t record_size);

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_DATA_REBUILD_H_
