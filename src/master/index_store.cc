// index_store.cc: index header access and sorted insertion and removal.
//
// Thread-safety: callers hold the library lock.

#include "src/master/index_store.h"

#include <string>

#include "include/zarq.h"
#include "src/fileio/directory_entry.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_table.h"
#include "src/format/record_gap.h"

namespace zarq {
namespace {

constexpr uint16_t kRecordSize = kIndexRecordSize;
constexpr uint32_t kMaxEntries = 6000;

// Per directory number: this process holds that directory's index header
// lock. One flag per directory, so that nesting in one directory never
// leaves another's lock held or released behind its owner's back.
constinit bool g_header_held[kMaxOpenDirectories + 1] = {};

int32_t FirstFailure(int32_t first, int32_t second) { return first != ZARQ_OK ? first : second; }

int32_t CompareWithEntry(const void* key, const uint8_t* record) {
  IndexEntry entry;
  DecodeIndexEntry(record, &entry);
  return CompareIndexEntries(*static_cast<const IndexEntry*>(key), entry);
}

int32_t CheckHeader(const IndexHeader& header, const DirectoryEntry& entry) {
  if (header.magic != kSecurityIndexMagic) return ZARQ_E_BAD_INDEX_FILE;
  if (header.file_version > kWorkingFileVersion) return ZARQ_E_BAD_VERSION;
  if (header.stamp != entry.user_file_stamp) return ZARQ_E_STAMP_MISMATCH;
  return ZARQ_OK;
}

int32_t ReleaseHeader(uint8_t directory, FileHandle file) {
  g_header_held[directory] = false;
  int32_t status = FileSeek(file, kRecordSize, 0, kSeekRecord);
  return status != ZARQ_OK ? status : FileLockRegion(file, kUnlockRegion, kRecordSize);
}

// Reads the header keeping its lock, runs change on the entry count, and
// writes the header with the count that change leaves, then releases the
// lock. When that write fails, revert takes the entries back while the
// lock is still held: moved entries under the old count would lose one.
template <typename Change, typename Revert>
int32_t ChangeIndex(uint8_t directory, Change change, Revert revert) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityIndex(directory, &file);
  if (status != ZARQ_OK) return status;
  IndexHeader header;
  status = AccessIndexHeader(directory, file, &header, IndexHeaderAccess::kRead, true);
  if (status != ZARQ_OK) return status;
  uint32_t count = header.entry_count;
  status = change(file, &count);
  if (status == ZARQ_OK) {
    header.entry_count = count;
    uint8_t bytes[kIndexRecordSize];
    EncodeIndexHeader(header, bytes);
    status = FileSeek(file, kRecordSize, 0, kSeekRecord);
    if (status == ZARQ_OK) status = FileWrite(file, kIndexRecordSize, bytes);
    if (status != ZARQ_OK) revert(file, &count);
  }
  return FirstFailure(status, ReleaseHeader(directory, file));
}

}  // namespace

int32_t OpenSecurityIndex(uint8_t directory, FileHandle* file) {
  return OpenDirectoryFile(directory, kKindIndex, 0, file);
}

bool IndexHeaderHeld(uint8_t directory) {
  return directory <= kMaxOpenDirectories && g_header_held[directory];
}

int32_t AccessIndexHeader(uint8_t directory, FileHandle file, IndexHeader* header,
                          IndexHeaderAccess mode, bool keep_locked) {
  if (header == nullptr) return ZARQ_E_INVALID_ARGUMENT;
  if (mode != IndexHeaderAccess::kRead && mode != IndexHeaderAccess::kWrite) {
    return ZARQ_E_INVALID_ARGUMENT;
  }
  DirectoryEntry* entry = FindDirectory(directory);
  if (entry == nullptr) return ZARQ_E_DIRECTORY_NOT_OPEN;
  if (!entry->Has(kDirHoldsDatabase)) return ZARQ_E_NOT_REGISTERED;

  bool held = g_header_held[directory];
  int32_t status = FileSeek(file, kRecordSize, 0, kSeekRecord);
  if (status == ZARQ_OK && !held) status = FileLockRegion(file, kLockRegionWaiting, kRecordSize);
  if (status != ZARQ_OK) {
    // A lock held from an earlier read is given up with the failure.
    if (held) ReleaseHeader(directory, file);
    return status;
  }
  g_header_held[directory] = true;

  uint8_t bytes[kIndexRecordSize];
  if (mode == IndexHeaderAccess::kRead) {
    status = FileRead(file, kIndexRecordSize, bytes);
    if (status == ZARQ_OK) status = DecodeIndexHeader(bytes, header);
  }
  if (status == ZARQ_OK) status = CheckHeader(*header, *entry);
  if (status == ZARQ_OK && mode == IndexHeaderAccess::kWrite) {
    EncodeIndexHeader(*header, bytes);
    status = FileWrite(file, kIndexRecordSize, bytes);
  }
  if (status == ZARQ_OK && keep_locked && mode == IndexHeaderAccess::kRead) return ZARQ_OK;
  return FirstFailure(status, ReleaseHeader(directory, file));
}

int32_t FindIndexEntry(FileHandle file, uint32_t count, const IndexEntry& key, SearchMode mode,
                       uint32_t* index) {
  return SearchRecords(file, kRecordSize, count, &key, &CompareWithEntry, mode, index);
}

int32_t LookUpIndexEntry(uint8_t directory, const IndexEntry& key, IndexEntry* found) {
  FileHandle file = kNoFileHandle;
  int32_t status = OpenSecurityIndex(directory, &file);
  if (status != ZARQ_OK) return status;
  IndexHeader header;
  status = AccessIndexHeader(directory, file, &header, IndexHeaderAccess::kRead, true);
  if (status != ZARQ_OK) return status;
  uint32_t index = 0;
  status = header.entry_count == 0
               ? ZARQ_E_NO_SUCH_SECURITY
               : FindIndexEntry(file, header.entry_count, key, SearchMode::kExact, &index);
  if (status == ZARQ_E_INDEX_ENTRY_MISSING) status = ZARQ_E_NO_SUCH_SECURITY;
  uint8_t bytes[kIndexRecordSize];
  if (status == ZARQ_OK)
    status = FileSeek(file, kRecordSize, static_cast<int32_t>(index), kSeekRecord);
  if (status == ZARQ_OK) status = FileRead(file, kIndexRecordSize, bytes);
  if (status == ZARQ_OK) DecodeIndexEntry(bytes, found);
  return FirstFailure(status, ReleaseHeader(directory, file));
}

int32_t IndexInsert(FileHandle file, uint32_t* count, const SecurityRecord& record,
                    bool allow_extra) {
  IndexEntry entry = IndexEntryFor(record);
  if (*count >= (allow_extra ? kMaxEntries + 1 : kMaxEntries)) return ZARQ_E_DIRECTORY_FULL;
  uint32_t index = 1;
  bool gap_opened = false;
  if (*count != 0) {
    int32_t status = FindIndexEntry(file, *count, entry, SearchMode::kInsertion, &index);
    if (status == ZARQ_OK) return ZARQ_E_SECURITY_EXISTS;
    if (status != ZARQ_NEAR_MATCH) return status;
    if (index <= *count) {
      status = OpenRecordGap(file, *count, index, 1, kRecordSize);
      if (status != ZARQ_OK) return status;
      gap_opened = true;
    }
  }
  uint8_t bytes[kIndexRecordSize] = {};
  EncodeIndexEntry(entry, bytes);
  int32_t status = FileSeek(file, kRecordSize, static_cast<int32_t>(index), kSeekRecord);
  if (status == ZARQ_OK) status = FileWrite(file, kIndexRecordSize, bytes);
  if (status != ZARQ_OK) {
    if (gap_opened && CloseRecordGap(file, *count + 1, index, index, kRecordSize) == ZARQ_OK) {
      FileSetSize(file, (*count + 1) * kRecordSize);
    }
    return status;
  }
  ++*count;
  return ZARQ_OK;
}

int32_t IndexRemove(FileHandle file, uint32_t* count, const SecurityRecord& record) {
  if (*count == 0) return ZARQ_OK;
  uint32_t index = 0;
  int32_t status = FindIndexEntry(file, *count, IndexEntryFor(record), SearchMode::kExact, &index);
  if (status == ZARQ_OK) status = CloseRecordGap(file, *count, index, index, kRecordSize);
  if (status != ZARQ_OK) return status;
  --*count;
  return ZARQ_OK;
}

int32_t AddToIndex(uint8_t directory, const SecurityRecord& record) {
  return ChangeIndex(
      directory,
      [&](FileHandle file, uint32_t* count) { return IndexInsert(file, count, record, false); },
      [&](FileHandle file, uint32_t* count) { IndexRemove(file, count, record); });
}

int32_t RemoveFromIndex(uint8_t directory, const SecurityRecord& record) {
  return ChangeIndex(
      directory, [&](FileHandle file, uint32_t* count) { return IndexRemove(file, count, record); },
      [&](FileHandle file, uint32_t* count) { IndexInsert(file, count, record, true); });
}

int32_t ReplaceInIndex(uint8_t directory, const SecurityRecord& old_record,
                       const SecurityRecord& new_record) {
  return ChangeIndex(
      directory,
      [&](FileHandle file, uint32_t* count) {
        int32_t status = IndexInsert(file, count, new_record, true);
        if (status != ZARQ_OK) return status;
        status = IndexRemove(file, count, old_record);
        if (status != ZARQ_OK) IndexRemove(file, count, new_record);
        return status;
      },
      [&](FileHandle file, uint32_t* count) {
        if (IndexInsert(file, count, old_record, true) == ZARQ_OK) {
          IndexRemove(file, count, new_record);
        }
      });
}

}  // namespace zarq
