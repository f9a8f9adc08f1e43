// master_import.cc: importing the master files into the security list.
//
// Thread-safety: callers hold the library lock.

#include "src/master/master_import.h"

#include <algorithm>
#include <memory>
#include <string>

#include "include/zarq.h"
#include "src/format/record_buffer.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/master/master_load.h"
#include "src/master/master_files.h"
#include "src/master/xmaster_file.h"

namespace zarq {
namespace {

constexpr uint32_t kReadOnlyAttributes = 0x01;
constexpr uint32_t kNormalAttributes = 0x80;
constexpr uint16_t kFirstFormatLevel = 400;

void SetAttributesOf(DirectoryEntry* entry, uint16_t kind, uint32_t attributes) {
  MasterFileName file;
  if (LocateMasterFile(entry->number, kind, &file) == ZARQ_OK && file.present) {
    FileAttributes(file.name, &attributes, kSetAttributes);
  }
}

// The statuses a failed load passes on; any other failure reads as a
// directory that cannot be used.
int32_t LoadFailure(int32_t status) {
  switch (status) {
    case ZARQ_E_FILE_NOT_FOUND:
      return ZARQ_OPENED_NO_DATABASE;
    case ZARQ_STATE_DAMAGED:
    case ZARQ_E_OUT_OF_MEMORY:
    case ZARQ_E_NOT_READY:
    case ZARQ_E_SYSTEM_31:
    case ZARQ_E_FOLDER_FAILED:
    case ZARQ_E_SYSTEM_27:
    case ZARQ_E_SYSTEM_11:
      return status;
    default:
      return ZARQ_E_DIRECTORY_NOT_OPEN;
  }
}

int32_t DecodeEntries(MasterImages* images, SecurityList* list) {
  uint32_t count = static_cast<uint32_t>(images->count);
  list->records.assign(count, SecurityRecord{});
  uint16_t level = kFirstFormatLevel;
  for (uint32_t position = 1; position <= count; ++position) {
    int32_t status = DecodeEmasterEntry(images->Emaster(static_cast<int>(position)), count,
                                        &list->at(position), &level);
    if (status != ZARQ_OK) return status;
  }
  list->header.format_level = level;
  return ZARQ_OK;
}

}  // namespace

void ReleaseMasterFiles(DirectoryEntry* entry) {
  if (entry->read_only()) return;
  SetAttributesOf(entry, kKindMaster, kNormalAttributes);
  SetAttributesOf(entry, kKindEmaster, kNormalAttributes);
}

int32_t ImportMasterFiles(DirectoryEntry* entry, SecurityList* list) {
  auto images = std::make_unique<MasterImages>();
  int32_t status = LoadMasterFiles(entry, images.get());
  if (status != ZARQ_OK) return LoadFailure(status);
  entry->flags |= kDirHoldsDatabase;
  status = SyncMasterImages(entry, images.get());
  if (status != ZARQ_OK) return status;
  if (!entry->read_only()) {
    SetAttributesOf(entry, kKindMaster, kReadOnlyAttributes);
    if (entry->Has(kDirEmasterInUse)) SetAttributesOf(entry, kKindEmaster, kReadOnlyAttributes);
  }
  status = DecodeEntries(images.get(), list);
  if (status != ZARQ_OK) {
    ReleaseMasterFiles(entry);
    return status;
  }
  SecurityListHeader& header = list->header;
  header.stamp = entry->user_file_stamp;
  header.slot_count = header.live_count = list->size();
  header.next_file_number = 1;
  return ZARQ_OK;
}

int32_t AppendXmaster(DirectoryEntry* entry, SecurityList* list) {
  MasterFileName xmaster;
  int32_t status = LocateMasterFile(entry->number, kKindXmaster, &xmaster);
  if (status != ZARQ_OK || !xmaster.present) return status;
  FileHandle file = kNoFileHandle;
  status = FileOpen(entry->number, xmaster.name.c_str(), &file, 0);
  uint32_t size = 0;
  if (status == ZARQ_OK) status = FileGetSize(file, &size);
  uint8_t bytes[kXmasterRecordSize];
  if (status == ZARQ_OK) status = FileSeek(file, 0, 0, kSeekStart);
  if (status == ZARQ_OK) status = FileRead(file, kXmasterRecordSize, bytes);
  if (status != ZARQ_OK) return status;
  XmasterHeader header;
  status = DecodeXmasterHeader(bytes, &header);
  if (status != ZARQ_OK) return status;
  if (header.entry_count2 == 0) return ZARQ_OK;
  // Only whole entries that the file holds are read: a file cut short by a
  // crash keeps the securities it still has.
  uint32_t present = size / kXmasterRecordSize - 1;
  uint32_t entries = std::min(header.entry_count, present);
  if (list->size() + entries > kMaxSlots) return ZARQ_E_DIRECTORY_FULL;

  uint32_t block = entries;
  HeapBuffer buffer =
      AllocRecordBuffer(&block, kXmasterRecordSize, std::min<uint32_t>(entries, 10));
  if (entries > 0 && buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  uint16_t level = list->header.format_level;
  for (uint32_t done = 0; done < entries;) {
    uint32_t chunk = std::min(block, entries - done);
    status = FileRead(file, chunk * kXmasterRecordSize, buffer.get());
    if (status != ZARQ_OK) return status;
    for (uint32_t i = 0; i < chunk; ++i) {
      SecurityRecord record;
      uint32_t position = list->size() + 1;
      DecodeXmasterEntry(buffer.get() + static_cast<size_t>(i) * kXmasterRecordSize, position,
                         &record, &level);
      list->records.push_back(record);
    }
    done += chunk;
  }
  list->header.slot_count = list->header.live_count = list->size();
  list->header.format_level = std::max(list->header.format_level, level);
  return ZARQ_OK;
}

}  // namespace zarq
