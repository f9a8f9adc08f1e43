// stored_records.h: the records a write or insert was given, checked and
// in stored form.
//
// Every date (and time, for a security whose records store one) is
// checked before anything is written, and the records are encoded in the
// same pass: block by block, each while it is still in the cache, into one
// buffer that is then written in I/O chunks. So a block of 65500 records
// is read once from the caller's memory. When memory allows no buffer that
// large, the records are checked alone and encoded chunk by chunk as they
// are written.
//
// Thread-safety: callers hold the library lock; an object is the
// operation's own.

#ifndef ZARQ_SRC_DATA_STORED_RECORDS_H_
#define ZARQ_SRC_DATA_STORED_RECORDS_H_

#include <cstdint>

#include "include/zarq.h"
#include "src/data/data_file_edit.h"
#include "src/data/data_rebuild.h"
#include "src/data/locked_data.h"
#include "src/format/record_buffer.h"

namespace zarq {

class StoredRecords {
 public:
  StoredRecords() = default;
  StoredRecords(const StoredRecords&) = delete;
  StoredRecords& operator=(const StoredRecords&) = delete;

  // Checks and encodes records[0..n) (n of 1 or more) for data's security:
  // 0, or the first validation failure (-175, -174). records must outlive
  // the object.
  int32_t Prepare(const LockedData& data, const ZarqPriceRecord* records, uint32_t n);

  uint32_t size() const { return n_; }
  const ZarqPriceRecord& front() const { return records_[0]; }
  const ZarqPriceRecord& back() const { return records_[n_ - 1]; }

  // Writes the stored records from record at on.
  int32_t WriteTo(DataFileEdit* edit, uint32_t at) const;

  // Appends the stored records to a rebuilt file.
  int32_t AppendTo(DataFileRebuild* rebuild) const;

 private:
  const ZarqPriceRecord* records_ = nullptr;
  uint32_t n_ = 0;
  uint16_t mask_ = 0;
  HeapBuffer encoded_;  // all n records, or none
};

}  // namespace zarq

#endif  // ZARQ_SRC_DATA_STORED_RECORDS_H_
