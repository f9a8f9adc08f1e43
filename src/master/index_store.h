// index_store.h: the security index file ("~ZARQ.INX") of an open
// directory: its header under a cross-process lock, and the insertion and
// removal of entries that keep it sorted by CompareIndexEntries.
//
// The lock on the index header (record 0) serialises index changes and
// searches of different processes. A read may keep the lock for a change
// that follows; the header write that ends the change releases it. The
// process remembers per directory that it holds the lock, so accesses
// nested inside such a change do not lock twice.
//
// Thread-safety: callers hold the library lock; index changes are made
// while the caller also holds the security list header lock.

#ifndef ZARQ_SRC_MASTER_INDEX_STORE_H_
#define ZARQ_SRC_MASTER_INDEX_STORE_H_

#include <cstdint>

#include "src/format/record_search.h"
#include "src/master/security_index.h"
#include "src/master/security_record.h"
#include "src/platform/platform.h"

namespace zarq {

enum class IndexHeaderAccess : int {
  kRead = 10,
  kWrite = 12,
};

// Names and opens the directory's security index file (never creating it).
int32_t OpenSecurityIndex(uint8_t directory, FileHandle* file);

// Reads or writes the index header of directory through file, its open
// index file. ZARQ_E_DIRECTORY_NOT_OPEN; ZARQ_E_NOT_REGISTERED without a
// database; a read checks and a write refuses a wrong magic
// (ZARQ_E_BAD_INDEX_FILE), a version above 800 (ZARQ_E_BAD_VERSION) and a
// stamp other than the directory's (ZARQ_E_STAMP_MISMATCH). A successful
// read with keep_locked returns holding the header lock; every other
// outcome releases it.
int32_t AccessIndexHeader(uint8_t directory, FileHandle file, IndexHeader* header,
                          IndexHeaderAccess mode, bool keep_locked);

// Whether this process holds the index header lock of directory.
bool IndexHeaderHeld(uint8_t directory);

// Finds the entry of key's identity among entries 1..count (SearchRecords
// over the index order).
int32_t FindIndexEntry(FileHandle file, uint32_t count, const IndexEntry& key, SearchMode mode,
                       uint32_t* index);

// Looks the identity of key up in the directory's index, holding the index
// header lock through the search (peers insert and remove entries under
// it): 0 and the entry found; ZARQ_E_NO_SUCH_SECURITY when the index is
// empty or lacks it; the header's and the file's failures.
int32_t LookUpIndexEntry(uint8_t directory, const IndexEntry& key, IndexEntry* found);

// Inserts the entry of record among entries 1..*count in order and counts
// it. ZARQ_E_DIRECTORY_FULL at 6000 entries (6001 with allow_extra, room
// for a replacement that removes one afterwards); ZARQ_E_SECURITY_EXISTS
// when the identity is present (the file is unchanged); search, move and
// write failures. A write that fails after records were moved up moves them
// back, leaving the file as it was.
int32_t IndexInsert(FileHandle file, uint32_t* count, const SecurityRecord& record,
                    bool allow_extra);

// Removes the entry of record's identity from entries 1..*count and counts
// it out. 0 for an empty index; ZARQ_E_INDEX_ENTRY_MISSING when absent.
// The records beyond the new count stay in the file.
int32_t IndexRemove(FileHandle file, uint32_t* count, const SecurityRecord& record);

// The whole changes, each under the index header lock with the header's
// EntryCount kept: add record's entry, remove it, and replace old's entry
// by new's (a symbol change; an identity that exists already gives
// ZARQ_E_SECURITY_EXISTS and leaves the old entry).
int32_t AddToIndex(uint8_t directory, const SecurityRecord& record);
int32_t RemoveFromIndex(uint8_t directory, const SecurityRecord& record);
int32_t ReplaceInIndex(uint8_t directory, const SecurityRecord& old_record,
                       const SecurityRecord& new_record);

}  // namespace zarq

#endif  // ZARQ_SRC_MASTER_INDEX_STORE_H_
