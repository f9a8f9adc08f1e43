// data_file.h: a security's data file as a whole: its header record (the
// records-in-file count), creating it, its field-list companion, and
// copying a file's contents.
//
// A data file holds fixed-size records: record 0 is the header, whose
// 16-bit word at offset 2 is the number of records in the file including
// the header; records 1..count are the price records. The file may be
// longer after an interrupted operation; the count tells where data ends.
// The security's files are reached through its record as this process
// holds it locked (see src/fileio/security_files.h).
//
// Thread-safety: callers hold the library lock.

#ifndef ZARQ_SRC_FORMAT_DATA_FILE_H_
#define ZARQ_SRC_FORMAT_DATA_FILE_H_

#include <cstdint>
#include <string>

#include "include/zarq.h"
#include "src/platform/platform.h"

namespace zarq {

inline constexpr uint16_t kMaxDataRecords = 65500;
inline constexpr int kRecordsInFileOffset = 2;

// The number of data records of the security's data file, read with the
// record size of field_mask. *damaged is set when the file had to be
// believed less than its header says: shorter than one record (it is then
// made anew, empty), a header claiming more records than the file holds
// (the whole records present count), or more than 65500 records.
int32_t ReadDataRecordCount(uint32_t security, uint16_t* count, uint16_t field_mask, bool* damaged);

// Reads price record k (1-based) of the security's data file into *record
// (decoded with the security's field mask): the one-record read that
// locking and the reading operations share.
int32_t ReadDataRecord(uint32_t security, uint32_t k, ZarqPriceRecord* record);

// Reads n stored records (record_size bytes each) from record first on
// into buffer: one positioning and one read (chunked by the file layer).
int32_t ReadStoredRecords(FileHandle file, uint16_t record_size, uint32_t first, uint32_t n,
                          void* buffer);

// Reads price records first..first + n - 1 of a data file of field_mask
// into out[0..n): the stored records go to the start of out in one read and
// are decoded there in place (out holds n records, each larger than any
// stored one).
int32_t ReadPriceRecords(FileHandle file, uint16_t field_mask, uint32_t first, uint32_t n,
                         ZarqPriceRecord* out);

// Rewrites the header's count; -169 for a count above 65500.
int32_t WriteDataRecordCount(uint32_t security, uint16_t count);

// Creates the data file anew with an empty header, and removes the
// security's files in the ZQSmart sub-folder.
int32_t CreateDataFile(uint32_t security);

// Writes the field-list file of the fields of mask, when the security's
// directory keeps field-list files; otherwise does nothing.
int32_t WriteFieldListFile(uint32_t security, uint16_t mask);

// The exact bytes of the field-list file of mask.
std::string FieldListText(uint16_t mask);

// Copies the whole contents of source into destination, which ends up the
// same size.
int32_t CopyFileContents(FileHandle source, FileHandle destination);

}  // namespace zarq

#endif  // ZARQ_SRC_FORMAT_DATA_FILE_H_
