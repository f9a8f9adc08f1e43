// security_copying.cc: ZARQ2_CopySecurity through scratch files swapped in
// once all are complete.
//
// Thread-safety: callers hold the library lock.

#include "src/security/security_copying.h"

#include <algorithm>
#include <string>
#include <vector>

#include "include/zarq.h"
#include "src/fileio/file_naming.h"
#include "src/fileio/file_replacement.h"
#include "src/fileio/file_table.h"
#include "src/fileio/path_services.h"
#include "src/fileio/security_files.h"
#include "src/fileio/security_handle.h"
#include "src/format/data_file.h"
#include "src/format/field_mask.h"
#include "src/format/record_buffer.h"
#include "src/frame/little_endian.h"
#include "src/security/lock_table.h"
#include "src/security/security_changes.h"
#include "src/security/security_enumeration.h"
#include "src/security/security_locking.h"
#include "src/security/security_lookup.h"

namespace zarq {
namespace {

// A file that had no source to copy from.
bool Absent(int32_t status) {
  return status == ZARQ_E_FILE_NOT_FOUND || status == ZARQ_E_NOT_A_FOLDER;
}

// The files of one copy, each written under a scratch name and then given
// its own; whatever was not swapped in is removed.
class ScratchCopies {
 public:
  explicit ScratchCopies(uint8_t directory) : directory_(directory) {}
  ~ScratchCopies() {
    for (const Copy& copy : copies_) DeleteFileByName(copy.scratch);
  }
  ScratchCopies(const ScratchCopies&) = delete;
  ScratchCopies& operator=(const ScratchCopies&) = delete;

  // A new scratch file for the destination's file of kind, filled by
  // write(file) and put on the disk. A field-list or chart file that the
  // source lacks (-296, -373) leaves nothing.
  template <typename Write>
  int32_t Add(uint32_t destination, uint16_t kind, Write write) {
    Copy copy{kind, "", ""};
    FileHandle file = kNoFileHandle;
    int32_t status = BuildSecurityFileName(destination, &copy.target, kind);
    if (status == ZARQ_OK) status = CreateScratchFile(directory_, &copy.scratch, &file);
    if (status != ZARQ_OK) return status;
    status = write(file);
    if (status == ZARQ_OK) status = FileFlush(file);
    int32_t closed = FileCloseMatching(directory_, static_cast<uint64_t>(file), kCloseHandle);
    if (status == ZARQ_OK) status = closed;
    if (kind != kKindData && Absent(status)) {
      DeleteFileByName(copy.scratch);
      return ZARQ_OK;
    }
    copies_.push_back(copy);
    return status;
  }

  // Gives the scratch file of kind its name (0 when there is none).
  int32_t SwapIn(uint16_t kind) {
    auto found = std::find_if(copies_.begin(), copies_.end(),
                              [kind](const Copy& copy) { return copy.kind == kind; });
    if (found == copies_.end()) return ZARQ_OK;
    int32_t status = ReplaceWithFile(directory_, found->scratch, found->target, false);
    if (status == ZARQ_OK) copies_.erase(found);
    return status;
  }

 private:
  struct Copy {
    uint16_t kind;
    std::string scratch;
    std::string target;
  };
  uint8_t directory_;
  std::vector<Copy> copies_;
};

// Writes into out the source's data as this process holds it: its header
// record counting the working copy's records, and exactly those records.
// The file's own header may be stale (records appended under a write lock
// are counted at the unlock), and records past the count are not data.
int32_t CopyCountedData(uint32_t source, const LockedSecurityView& from, FileHandle out) {
  const uint16_t size = static_cast<uint16_t>(StoredRecordSize(from.record.field_mask));
  FileHandle in = kNoFileHandle;
  int32_t status = OpenSecurityFile(source, &in, 0, kKindData);
  if (status != ZARQ_OK) return status;
  const uint32_t count = from.record_count;
  uint32_t room = std::max<uint32_t>(1, kIoChunkBytes / size);
  HeapBuffer buffer = AllocRecordBuffer(&room, size, 1);
  if (buffer == nullptr) return ZARQ_E_OUT_OF_MEMORY;
  status = ReadStoredRecords(in, size, 0, 1, buffer.get());
  if (status != ZARQ_OK) return status;
  PutU16(buffer.get() + kRecordsInFileOffset, static_cast<uint16_t>(count + 1));
  status = FileSeek(out, 0, 0, kSeekStart);
  if (status == ZARQ_OK) status = FileWrite(out, size, buffer.get());
  for (uint32_t next = 1; status == ZARQ_OK && next <= count;) {
    const uint32_t n = std::min(room, count - next + 1);
    status = ReadStoredRecords(in, size, next, n, buffer.get());
    if (status == ZARQ_OK) status = FileWrite(out, n * size, buffer.get());
    next += n;
  }
  return status;
}

// Copies the source's whole file of kind into out; -296 or -373 when the
// source has none.
int32_t CopyWholeFile(uint32_t source, uint16_t kind, FileHandle out) {
  FileHandle in = kNoFileHandle;
  int32_t status = OpenSecurityFile(source, &in, 0, kind);
  return status == ZARQ_OK ? CopyFileContents(in, out) : status;
}

int32_t MakeChartFolder(uint8_t directory) {
  std::string folder;
  int32_t status = BuildFileName(directory, 0, &folder, kKindChart | kKindFolderOnly);
  if (status != ZARQ_OK || IsExistingDirectory(folder)) return status;
  return MakeDirectoryPath(folder);
}

// The copy into a destination locked here at FullLock.
int32_t CopyIntoLocked(uint32_t source, uint32_t destination, bool charts) {
  LockedSecurityView from, into;
  int32_t status = GetLockedSecurity(source, &from);
  if (status == ZARQ_OK) status = GetLockedSecurity(destination, &into);
  if (status != ZARQ_OK) return status;
  const uint8_t directory = DirectoryOfHandle(destination);
  ScratchCopies copies(directory);
  status = copies.Add(destination, kKindData,
                      [&](FileHandle out) { return CopyCountedData(source, from, out); });
  // A source without a field-list or chart file leaves the destination's.
  for (uint16_t kind : {kKindFieldList, kKindChart, kKindChart2}) {
    if (status != ZARQ_OK) return status;
    if (kind != kKindFieldList && !charts) break;
    if (kind == kKindChart) status = MakeChartFolder(directory);
    if (status == ZARQ_OK) {
      status = copies.Add(destination, kind,
                          [&](FileHandle out) { return CopyWholeFile(source, kind, out); });
    }
  }
  if (status != ZARQ_OK) return status;

  // Everything is on the disk: the data file takes its name, and the list
  // record follows it at once, so that a process dying after the rename
  // leaves a destination that reads as the source.
  status = copies.SwapIn(kKindData);
  if (status != ZARQ_OK) return status;
  into.record = from.record;
  into.record_count = from.record_count;
  status = UpdateLockedSecurity(destination, into);
  if (status == ZARQ_OK) status = StoreLockedSecurity(destination);
  for (uint16_t kind : {kKindFieldList, kKindChart, kKindChart2}) {
    if (status == ZARQ_OK) status = copies.SwapIn(kind);
  }
  return status;
}

}  // namespace

int32_t CopySecurity(uint32_t source, uint8_t directory, int32_t charts, uint32_t replace) {
  if (IsCompositeHandle(source)) return ZARQ_E_IS_COMPOSITE;
  int32_t status = CheckSecurityHandle(source);
  if (status != ZARQ_OK) return status;
  // In its own directory the identity names the source itself, which the
  // copy would lock, overwrite and, failing, delete.
  if (DirectoryOfHandle(source) == directory) return ZARQ_E_SAME_SECURITY;
  status = RequireLockLevel(source, kReadLock);
  ZarqSecurityInfo info;
  if (status == ZARQ_OK) status = GetSecurityInfo(source, &info);
  if (status == ZARQ_OK) status = AddSecurity(directory, &info, 0);
  const bool added = status == ZARQ_OK;
  if (status == ZARQ_E_SECURITY_EXISTS && replace != 0) status = ZARQ_OK;
  if (status != ZARQ_OK) return status;

  uint32_t destination = 0;
  status = GetHandleFromInfo(directory, info, &destination);
  if (status == ZARQ_OK) status = LockSecurity(destination, kFullLock);
  if (status == ZARQ_OK) {
    status = CopyIntoLocked(source, destination, charts != 0);
    int32_t unlocked = UnlockSecurity(destination);
    if (status == ZARQ_OK) return unlocked;
  }
  // Only a security this call added is taken away again.
  if (added && destination != 0) DeleteSecurity(destination, 0);
  return status;
}

}  // namespace zarq
