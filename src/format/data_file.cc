// data_file.cc: data file headers, creation, field-list files and copies.
//
// Thread-safety: callers hold the library lock.

#include "src/format/data_file.h"

#include <algorithm>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/security_files.h"
#include "src/format/field_mask.h"
#include "src/format/price_codec.h"
#include "src/format/record_buffer.h"
#include "src/frame/little_endian.h"

namespace zarq {
namespace {

constexpr uint32_t kCopyChunk = 64512;
constexpr uint32_t kMinCopyBuffer = 1024;

struct FieldLine {
  uint16_t bit;
  const char* text;
};

// In the order the fields are stored.
constexpr FieldLine kFieldLines[] = {
    {kFieldDate, "\"DATE\",0,0\r\n"},  {kFieldTime, "\"TIME\",5,5\r\n"},
    {kFieldOpen, "\"OPEN\",5,5\r\n"},  {kFieldHigh, "\"HIGH\",5,5\r\n"},
    {kFieldLow, "\"LOW\",5,5\r\n"},    {kFieldClose, "\"CLOSE\",5,5\r\n"},
    {kFieldVolume, "\"VOL\",0,0\r\n"}, {kFieldOpenInterest, "\"OI\",0,0\r\n"},
};

int32_t ReadHeaderRecord(uint32_t security, FileHandle* file, std::vector<uint8_t>* header) {
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  if (status == ZARQ_OK) status = OpenSecurityFile(security, file, 0, kKindData);
  if (status != ZARQ_OK) return status;
  header->assign(facts.record_size, 0);
  status = FileSeek(*file, facts.record_size, 0, kSeekRecord);
  return status != ZARQ_OK ? status : FileRead(*file, facts.record_size, header->data());
}

}  // namespace

int32_t ReadDataRecordCount(uint32_t security, uint16_t* count, uint16_t field_mask,
                            bool* damaged) {
  *count = 0;
  *damaged = false;
  uint32_t record_size = static_cast<uint32_t>(StoredRecordSize(field_mask));
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityFile(security, &file, 0, kKindData);
  uint32_t size = 0;
  if (status == ZARQ_OK) status = FileGetSize(file, &size);
  if (status != ZARQ_OK) return status;
  if (size < record_size) {
    *damaged = true;
    return CreateDataFile(security);
  }
  uint8_t header[kMaxStoredRecordSize];
  status = FileSeek(file, static_cast<uint16_t>(record_size), 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, record_size, header);
  if (status != ZARQ_OK) return status;
  uint32_t in_file = GetU16(header + kRecordsInFileOffset);
  if (size / record_size < in_file) {
    *damaged = true;
    in_file = std::min<uint32_t>(size / record_size, 0xFFFF);
  }
  uint32_t records = in_file > 0 ? in_file - 1 : 0;
  if (records > kMaxDataRecords) {
    *damaged = true;
    records = kMaxDataRecords;
  }
  *count = static_cast<uint16_t>(records);
  return ZARQ_OK;
}

int32_t ReadStoredRecords(FileHandle file, uint16_t record_size, uint32_t first, uint32_t n,
                          void* buffer) {
  int32_t status = FileSeek(file, record_size, static_cast<int32_t>(first), kSeekRecord);
  return status == ZARQ_OK ? FileRead(file, n * record_size, buffer) : status;
}

int32_t ReadPriceRecords(FileHandle file, uint16_t field_mask, uint32_t first, uint32_t n,
                         ZarqPriceRecord* out) {
  const uint32_t record_size = static_cast<uint32_t>(StoredRecordSize(field_mask));
  int32_t status = FileSeek(file, static_cast<uint16_t>(record_size), static_cast<int32_t>(first),
                            kSeekRecord);
  // Chunk by chunk, each decoded while it is fresh in the cache: the stored
  // records of out[done..] go to out[done]'s place, and decoding them in
  // place never reaches what the records before them became.
  const uint32_t chunk = kIoChunkBytes / record_size;
  for (uint32_t done = 0; status == ZARQ_OK && done < n;) {
    uint32_t k = std::min(chunk, n - done);
    status = FileRead(file, k * record_size, out + done);
    if (status == ZARQ_OK) DecodePriceRecordsInPlace(out + done, k, field_mask);
    done += k;
  }
  return status;
}

int32_t ReadDataRecord(uint32_t security, uint32_t k, ZarqPriceRecord* record) {
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  if (status == ZARQ_OK && (facts.record_size == 0 || facts.record_size > kMaxStoredRecordSize)) {
    status = ZARQ_E_BAD_FIELD_MASK;
  }
  FileHandle file = kNoFileHandle;
  if (status == ZARQ_OK) status = OpenSecurityFile(security, &file, 0, kKindData);
  return status == ZARQ_OK ? ReadPriceRecords(file, facts.field_mask, k, 1, record) : status;
}

int32_t WriteDataRecordCount(uint32_t security, uint16_t count) {
  if (count > kMaxDataRecords) return ZARQ_E_BAD_RECORD_COUNT;
  FileHandle file = kNoFileHandle;
  std::vector<uint8_t> header;
  int32_t status = ReadHeaderRecord(security, &file, &header);
  if (status != ZARQ_OK) return status;
  PutU16(header.data() + kRecordsInFileOffset, static_cast<uint16_t>(count + 1));
  status = FileSeek(file, static_cast<uint16_t>(header.size()), 0, kSeekRecord);
  return status != ZARQ_OK ? status
                           : FileWrite(file, static_cast<uint32_t>(header.size()), header.data());
}

int32_t CreateDataFile(uint32_t security) {
  SecurityFileFacts facts;
  int32_t status = FetchSecurityFacts(security, &facts);
  FileHandle file = kNoFileHandle;
  if (status == ZARQ_OK)
    status = OpenSecurityFile(security, &file, kOpenCreate | kOpenTruncate, kKindData);
  if (status != ZARQ_OK) return status;
  std::vector<uint8_t> header(facts.record_size, 0);
  PutU16(header.data() + kRecordsInFileOffset, 1);
  status = FileSeek(file, facts.record_size, 0, kSeekRecord);
  if (status == ZARQ_OK) status = FileWrite(file, facts.record_size, header.data());
  if (status != ZARQ_OK) return status;
  // Files that belonged to an earlier security of this number are stale.
  for (uint16_t kind : {kKindChart, kKindChart2}) {
    std::string name;
    if (BuildSecurityFileName(security, &name, kind) == ZARQ_OK) DeleteFileByName(name);
  }
  return ZARQ_OK;
}

std::string FieldListText(uint16_t mask) {
  std::string text;
  for (const FieldLine& line : kFieldLines) {
    if (CodecFields(mask) & line.bit) text += line.text;
  }
  text += '\x1A';
  return text;
}

int32_t WriteFieldListFile(uint32_t security, uint16_t mask) {
  DirectoryEntry* entry = FindDirectory(DirectoryOfHandle(security));
  if (entry == nullptr || !entry->Has(kDirFieldListFiles)) return ZARQ_OK;
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityFile(security, &file, kOpenCreate | kOpenTruncate, kKindFieldList);
  if (status != ZARQ_OK) return status;
  std::string text = FieldListText(mask);
  return FileWrite(file, static_cast<uint32_t>(text.size()), text.data());
}

int32_t CopyFileContents(FileHandle source, FileHandle destination) {
  uint32_t size = 0;
  int32_t status = FileGetSize(source, &size);
  if (status != ZARQ_OK) return status;
  if (size < 1) return ZARQ_OK;
  uint32_t bytes = std::min(size, kCopyChunk);
  HeapBuffer buffer = AllocByteBuffer(&bytes, kMinCopyBuffer);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  status = FileSeek(source, 0, 0, kSeekStart);
  if (status == ZARQ_OK) status = FileSeek(destination, 0, 0, kSeekStart);
  for (uint32_t done = 0; status == ZARQ_OK && done < size;) {
    uint32_t chunk = std::min(bytes, size - done);
    status = FileRead(source, chunk, buffer.get());
    if (status == ZARQ_OK) status = FileWrite(destination, chunk, buffer.get());
    done += chunk;
  }
  return status == ZARQ_OK ? FileSetSize(destination, size) : status;
}

}  // namespace zarq
