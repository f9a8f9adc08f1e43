// security_list.cc: whole-file reads and writes of the security list and
// index files.
//
// Thread-safety: callers hold the library lock.

#include "src/master/security_list.h"

#include <algorithm>
#include <string>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"

namespace zarq {
namespace {

int32_t OpenWorkingFile(DirectoryEntry* entry, uint16_t kind, uint32_t flags, FileHandle* file) {
  return OpenDirectoryFile(entry->number, kind, flags, file);
}

}  // namespace

int32_t ReadSecurityList(DirectoryEntry* entry, SecurityList* list) {
  list->records.clear();
  FileHandle file = kNoFileHandle;
  int32_t status = OpenWorkingFile(entry, kKindSecurityList, 0, &file);
  uint32_t size = 0;
  if (status == ZARQ_OK) status = FileGetSize(file, &size);
  if (status != ZARQ_OK) return status;
  uint32_t whole = size / kSecurityRecordSize;
  if (whole == 0) return ZARQ_E_END_OF_FILE;
  std::vector<uint8_t> bytes(static_cast<size_t>(whole) * kSecurityRecordSize);
  status = FileSeek(file, 0, 0, kSeekStart);
  if (status == ZARQ_OK) status = FileRead(file, static_cast<uint32_t>(bytes.size()), bytes.data());
  if (status != ZARQ_OK) return status;
  status = DecodeSecurityListHeader(bytes.data(), &list->header);
  if (status != ZARQ_OK) return status;
  uint32_t slots = std::min({list->header.slot_count, whole - 1, kMaxSlots});
  list->records.resize(slots);
  for (uint32_t slot = 1; slot <= slots; ++slot) {
    DecodeSecurityRecord(&bytes[static_cast<size_t>(slot) * kSecurityRecordSize], &list->at(slot));
  }
  return ZARQ_OK;
}

int32_t WriteSecurityList(DirectoryEntry* entry, const SecurityList& list, bool create) {
  std::vector<uint8_t> bytes((list.records.size() + 1) * kSecurityRecordSize);
  EncodeSecurityListHeader(list.header, bytes.data());
  for (size_t i = 0; i < list.records.size(); ++i) {
    EncodeSecurityRecord(list.records[i], &bytes[(i + 1) * kSecurityRecordSize]);
  }
  FileHandle file = kNoFileHandle;
  int32_t status =
      OpenWorkingFile(entry, kKindSecurityList, create ? kOpenCreate | kOpenTruncate : 0, &file);
  if (status == ZARQ_OK) status = FileSeek(file, 0, 0, kSeekStart);
  if (status == ZARQ_OK)
    status = FileWrite(file, static_cast<uint32_t>(bytes.size()), bytes.data());
  return status;
}

int32_t WriteIndexFile(DirectoryEntry* entry, const std::vector<IndexEntry>& entries) {
  std::vector<uint8_t> bytes((entries.size() + 1) * kIndexRecordSize);
  IndexHeader header;
  header.stamp = entry->user_file_stamp;
  header.entry_count = static_cast<uint32_t>(entries.size());
  EncodeIndexHeader(header, bytes.data());
  for (size_t i = 0; i < entries.size(); ++i) {
    EncodeIndexEntry(entries[i], &bytes[(i + 1) * kIndexRecordSize]);
  }
  FileHandle file = kNoFileHandle;
  int32_t status = OpenWorkingFile(entry, kKindIndex, kOpenCreate | kOpenTruncate, &file);
  if (status == ZARQ_OK)
    status = FileWrite(file, static_cast<uint32_t>(bytes.size()), bytes.data());
  return status;
}

}  // namespace zarq
